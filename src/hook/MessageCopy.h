// What the hook copies into a record from the memory a message points to: the strings and
// structures of system and control messages, bounded by the record. It runs inside the watched
// thread for every message, so it reads only what the message defines, never sends a message,
// never allocates, and a message without data costs one switch.
#pragma once
#include "hook/ControlClass.h"
#include "hook/WatchRing.h"

#include <windows.h>

namespace message_copy {

// Fills `record`'s data fields for `message` to `window`: as sent (before the window procedure
// ran) or as answered with `result` (after it). Posted messages carry no pointer the system lets
// through, so they are never copied.
void Copy(ClassCache& classes, watch_ring::Record& record, bool answered, HWND window, UINT message, WPARAM wParam,
          LPARAM lParam, LRESULT result);

} // namespace message_copy
