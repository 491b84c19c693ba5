// The command line "/compare OLD.json NEW.json [OUT.txt|OUT.json]": what changed between two
// saved inventories, on standard output or into OUT. No window is created.
#pragma once

#include <string>
#include <vector>

// The arguments after "/compare". Exit code: 0 when the inventories are equal, 1 when they
// differ, 2 when an argument or a file is wrong or the report cannot be written (said on
// standard error).
int RunCompareCommand(const std::vector<std::wstring>& arguments);
