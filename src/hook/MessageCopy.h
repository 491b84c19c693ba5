// What the hook copies into a record from the memory a message points to: the strings and
// structures of system and control messages, bounded by the record. It runs inside the watched
// thread for every message, so it reads only what the message defines, never sends a message,
// never allocates, and a message without data costs one switch.
#pragma once
#include "hook/ControlClass.h"
#include "hook/WatchRing.h"

#include <windows.h>

#include <array>
#include <cstdint>

namespace message_copy {

// A bit per message number below WM_USER: set for the messages Copy looks at.
extern const std::array<uint32_t, WM_USER / 32> kCopied;

// Whether Copy has anything to do for `message`. One lookup the hook makes inline, so that the
// many messages without data cost what they did before anything was copied.
inline bool Copies(UINT message)
{
    return message < WM_USER && ((kCopied[message / 32] >> (message % 32)) & 1) != 0;
}

// Fills `record`'s data fields for `message` to `window`: as sent (before the window procedure
// ran) or as answered with `result` (after it); `sentHere` as the hook was told (this thread
// sent it). Posted messages carry no pointer the system lets through, so they are never copied.
// For a message Copies() says no to, it only marks the record as holding no data.
void Copy(ClassCache& classes, watch_ring::Record& record, bool answered, bool sentHere, HWND window, UINT message,
          WPARAM wParam, LPARAM lParam, LRESULT result);

} // namespace message_copy
