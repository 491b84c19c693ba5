// Node texts taken apart again: "exe [PID:n]" for processes, and
// "hWnd: XXXXXXXXh  【caption】  [Class:name]" for windows.
#include "export/TreeInventory.h"

#include "platform/RuntimeError.h"

#include <cwchar>

namespace {
const std::wstring kWindowPrefix = L"hWnd: ";
const std::wstring kCaptionStart = L"  \x3010";
const std::wstring kClassStart = L"\x3011  [Class:";
const std::wstring kProcessIdStart = L" [PID:";

[[noreturn]] void RaiseStrangeNode()
{
    RaiseError(HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
}

bool EndsWith(const std::wstring& text, wchar_t last)
{
    return !text.empty() && text.back() == last;
}

InventoryWindow ParseWindow(const TreeViewControl::NodeContent& node)
{
    const std::wstring& text = node.text;
    const size_t digits = kWindowPrefix.size();
    const size_t captionStart = digits + 9 + kCaptionStart.size();
    if (text.compare(0, digits, kWindowPrefix) != 0 || text.size() < captionStart || text[digits + 8] != L'h' ||
        text.compare(digits + 9, kCaptionStart.size(), kCaptionStart) != 0 || !EndsWith(text, L']')) {
        RaiseStrangeNode();
    }
    // A caption may hold anything, the separator too; a class name of that shape is not
    // registered in practice, so the last separator is the real one.
    const size_t classStart = text.rfind(kClassStart);
    if (classStart == std::wstring::npos || classStart < captionStart) RaiseStrangeNode();
    const std::wstring hex = text.substr(digits, 8);
    wchar_t* end = nullptr;
    const unsigned long handle = std::wcstoul(hex.c_str(), &end, 16);
    if (end != hex.c_str() + 8) RaiseStrangeNode();

    InventoryWindow window;
    window.handle = static_cast<LONG>(handle);
    window.caption = text.substr(captionStart, classStart - captionStart);
    const size_t nameStart = classStart + kClassStart.size();
    window.className = text.substr(nameStart, text.size() - 1 - nameStart);
    window.text = text;
    for (const TreeViewControl::NodeContent& child : node.children) window.children.push_back(ParseWindow(child));
    return window;
}

InventoryProcess ParseProcess(const TreeViewControl::NodeContent& node)
{
    const std::wstring& text = node.text;
    const size_t idStart = text.rfind(kProcessIdStart);
    if (idStart == std::wstring::npos || !EndsWith(text, L']')) RaiseStrangeNode();
    const std::wstring digits = text.substr(idStart + kProcessIdStart.size(),
                                            text.size() - 1 - idStart - kProcessIdStart.size());
    wchar_t* end = nullptr;
    const long processId = std::wcstol(digits.c_str(), &end, 10);
    if (digits.empty() || end != digits.c_str() + digits.size()) RaiseStrangeNode();

    InventoryProcess process;
    process.processId = static_cast<LONG>(processId);
    process.exeName = text.substr(0, idStart);
    process.text = text;
    for (const TreeViewControl::NodeContent& child : node.children) process.windows.push_back(ParseWindow(child));
    return process;
}
} // namespace

TreeInventory ReadTreeInventory(const TreeViewControl& tree, const ScanStamp& stamp)
{
    TreeInventory inventory;
    inventory.stamp = stamp;
    for (const TreeViewControl::NodeContent& root : tree.ReadNodes()) inventory.processes.push_back(ParseProcess(root));
    return inventory;
}
