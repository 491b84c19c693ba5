// The fixture of the inspection tests: a shown Form1 over a desktop that holds windows of this test,
// and the ways the tests drive it (the scan, keys through the message loop, panel 1).
#pragma once
#include "support/Form1Fixture.h"
#include "platform/MessageBox.h"
#include "support/MessageBoxCloser.h"

#include <commctrl.h>

#include <cstring>
#include <string>

namespace inspect_tests {
constexpr DWORD kTopStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | 0x5;

class InspectTest : public Form1Fixture {
protected:
    void SetUp() override
    {
        Form1Fixture::SetUp();
        m_top.reset(CreateWindowExW(WS_EX_TOOLWINDOW, TestWindowClass(), L"Qx7 Needle top \x263A", kTopStyle, 40, 50,
                                    320, 200, nullptr, nullptr, nullptr, nullptr));
        m_child = CreateChildWindow(m_top.get(), L"qx7 needle child");
        m_grand = CreateChildWindow(m_child.get(), L"Qx7 grand");
        m_hidden = CreateTopWindow(L"Qx7 hidden");
        m_gone = CreateTopWindow(L"Qx7 gone");
        UpdateWindow(m_top.get());
    }
    void Scan()
    {
        MessageBoxCloser closer(kApplicationTitle);
        m_form->meu_File_Click();
        m_form->LastRecord(); // and the marking that comes with it
    }
    TreeViewControl& Tree() { return m_form->TreeView1(); }
    HTREEITEM Node(const std::wstring& key)
    {
        for (HTREEITEM item = Tree().FirstInOrder(); item != nullptr; item = Tree().NextInOrder(item)) {
            if (Tree().Key(item) == key) return item;
        }
        return nullptr;
    }
    HTREEITEM Node(HWND window) { return Node(KeyOf(window)); }
    HTREEITEM OwnProcessNode() { return Node(KeyOfProcess(GetCurrentProcessId())); }
    // A key typed into the tree, which the form must take.
    void Press(WORD key, BYTE modifiers = 0) { EXPECT_TRUE(PressKey(Tree().hWnd(), key, modifiers)) << key; }
    std::wstring Clipboard()
    {
        std::wstring text;
        if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    }

    UniqueWindow m_top, m_child, m_grand, m_hidden, m_gone;
};

// Whether the node is on a row the tree shows now: parents expanded, scrolled into view.
inline bool Shown(HWND tree, HTREEITEM item)
{
    RECT rect = {};
    std::memcpy(&rect, &item, sizeof item);
    RECT client = {};
    GetClientRect(tree, &client);
    return SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)) && rect.top >= 0 &&
           rect.bottom <= client.bottom;
}
} // namespace inspect_tests
