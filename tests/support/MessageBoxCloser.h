// Answers the message boxes this thread shows, as a person pressing OK would, and keeps what
// each one showed. A hook on the thread itself sees each box once it is set up; no second thread
// polls the desktop while a scan runs (one that did raced the scan's generated code under QEMU).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct ShownBox {
    wchar_t title[64];
    wchar_t text[4096]; // a properties dialog's text is long
    HWND owner;
    bool topmost;
    HICON icon;    // what the box's icon control shows; null without one
    UINT buttons;  // bit n set: the box has a push button of id n (IDOK is 1)
};

class MessageBoxCloser {
public:
    // With a title, only the boxes that carry it; without, every dialog box of this thread.
    explicit MessageBoxCloser(const std::wstring& title = L"");
    ~MessageBoxCloser();
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;

    // The boxes shown so far, oldest first.
    std::vector<ShownBox> Boxes() const { return {m_boxes, m_boxes + m_count}; }
    std::vector<std::wstring> Texts() const;

private:
    // Runs inside the scan, maybe with an allocation failure armed: it allocates nothing.
    static LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam) noexcept;

    wchar_t m_title[128] = {};
    HHOOK m_hook;
    ShownBox m_boxes[8] = {};
    int m_count = 0;
};
