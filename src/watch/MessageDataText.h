// What the hook copied from the memory a message points to, in words: a string quoted, a
// structure as its fields ("{hwnd:0x000A01F2 x:0 y:0 cx:640 cy:480 flags:SWP_NOZORDER}").
#pragma once
#include "watch/MessageDecoder.h"
#include "watch/MessageFieldText.h"

#include <cstdint>
#include <string>

// Empty when nothing was copied or the kind has no layout; "(unreadable)" when the hook could
// not read it.
std::wstring DataText(const MessageData& data, bool sixtyFour, const FieldContext& context);
// The name of the code in a copied NMHDR (a notification's structure), as DataText names it;
// empty when there is none or it has no name.
std::wstring NotificationName(const MessageData& data, bool sixtyFour);
