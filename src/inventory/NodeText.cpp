// The texts are built by appending into one string, reserved once: the fill makes one per node.
#include "inventory/NodeText.h"

std::wstring HandleDigits(LONG handle)
{
    wchar_t text[16];
    wsprintfW(text, L"%08X", static_cast<unsigned>(handle));
    return text;
}

std::wstring FormatHandleHex(LONG handle)
{
    return HandleDigits(handle) + L'h';
}

std::wstring ProcessNodeText(const std::wstring& exeName, LONG processId)
{
    return exeName + L" [PID:" + std::to_wstring(processId) + L"]";
}

std::wstring WindowNodeText(LONG handle, const std::wstring& caption, const std::wstring& className)
{
    static const std::wstring kInvalid = L"INVALID";
    const std::wstring& shown = caption.empty() ? kInvalid : caption;
    std::wstring text;
    text.reserve(32 + shown.size() + className.size());
    text.append(L"hWnd: ").append(FormatHandleHex(handle)).append(L"  \x3010").append(shown);
    text.append(L"\x3011  [Class:").append(className).append(L"]");
    return text;
}

std::wstring ThreadNodeText(DWORD threadId)
{
    return L"Thread " + std::to_wstring(threadId);
}

std::wstring DesktopNodeText(LONG handle)
{
    return L"Desktop  hWnd: " + FormatHandleHex(handle);
}

std::wstring WindowNodeKey(LONG handle)
{
    return L"HWND" + std::to_wstring(handle);
}

std::wstring ProcessNodeKey(LONG processId)
{
    return L"PID" + std::to_wstring(processId);
}

std::wstring ThreadNodeKey(DWORD threadId)
{
    return L"TID" + std::to_wstring(threadId);
}
