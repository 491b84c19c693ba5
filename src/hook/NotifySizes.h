// How many bytes a WM_NOTIFY's structure has, by the sending control's class and the code: the
// common controls' documented structures, in this module's bitness.
#pragma once
#include "hook/ControlClass.h"

#include <cstddef>

namespace message_copy {

// sizeof(NMHDR) for a code whose structure is not known for that control (the NM_ codes other
// than NM_CUSTOMDRAW vary by control, and other windows send what they please).
size_t NotifySize(Control sender, UINT code);

} // namespace message_copy
