// Message boxes through one replaceable function.
#include "platform/MessageBox.h"

namespace {
MessageBoxFunction g_messageBox = MessageBoxW;
}

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    return g_messageBox(owner, text.c_str(), caption.c_str(), type);
}

MessageBoxFunction ReplaceMessageBoxFunction(MessageBoxFunction function) noexcept
{
    MessageBoxFunction previous = g_messageBox;
    g_messageBox = function;
    return previous;
}
