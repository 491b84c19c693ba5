// Arming generated machine code: the pages that hold it become executable.
#pragma once
#include <cstddef>

// Makes the pages holding [code, code + size) readable, writable and executable. The old
// protection is not restored: the pages keep serving the data stored beside the code.
[[nodiscard]] bool MakeExecutable(void* code, size_t size) noexcept;
