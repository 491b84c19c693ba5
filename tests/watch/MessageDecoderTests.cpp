// Decoded parameters and answers of real messages, taken through the hook from windows of a
// second thread of this process (a plain window, an Edit, a ListBox and a list view) and from a
// 64-bit helper's window, against the words each should read as.
#include "support/FormDriver.h"
#include "support/SyntheticDesktopProcess.h"
#include "support/TestWindows.h"
#include "watch/MessageDecoder.h"
#include "watch/MessageDecodingTable.h"
#include "watch/MessageNames.h"
#include "watch/WatchSession.h"

#include <commctrl.h>

#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace {
// The plain window answers WM_GETMINMAXINFO itself, so that the answer's data is known.
LRESULT CALLBACK Target(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_GETMINMAXINFO) return DefWindowProcW(window, message, wParam, lParam);
    reinterpret_cast<MINMAXINFO*>(lParam)->ptMaxTrackSize = {800, 600};
    return 0;
}

// The watched windows live on a thread of their own, which pumps until told to quit.
class DecoderTarget {
public:
    enum { Top, Edit, List, ListView, Count };
    DecoderTarget()
    {
        std::promise<void> ready;
        m_thread = std::thread([this, &ready] {
            INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
            InitCommonControlsEx(&controls);
            WNDCLASSW target = {};
            target.lpfnWndProc = Target;
            target.lpszClassName = L"DecoderTestTarget";
            RegisterClassW(&target);
            UniqueWindow top(CreateWindowW(L"DecoderTestTarget", L"decoded", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100,
                                           nullptr, nullptr, nullptr, nullptr));
            const auto child = [&](const wchar_t* className, DWORD style) {
                return UniqueWindow(CreateWindowW(className, L"", WS_CHILD | style, 0, 0, 100, 50, top.get(), nullptr,
                                                  nullptr, nullptr));
            };
            UniqueWindow edit = child(L"Edit", ES_AUTOHSCROLL), list = child(L"ListBox", LBS_HASSTRINGS),
                         view = child(WC_LISTVIEWW, LVS_REPORT);
            m_windows[Top] = top.get(), m_windows[Edit] = edit.get(), m_windows[List] = list.get(),
            m_windows[ListView] = view.get();
            m_threadId = GetCurrentThreadId();
            ready.set_value();
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        });
        ready.get_future().wait();
    }
    ~DecoderTarget()
    {
        PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    HWND Window(int which) const { return m_windows[which]; }

private:
    std::thread m_thread;
    DWORD m_threadId = 0;
    HWND m_windows[Count] = {};
};

struct Row {
    int window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    const wchar_t* parameters; // null: not compared (a pointer into this test's stack)
    const wchar_t* answer;     // null: posted
};

MessageData DataOf(const watch_ring::Record& record)
{
    return {record.dataKind, record.dataFlags, record.structBytes,
            std::string(reinterpret_cast<const char*>(record.data), std::min<size_t>(record.dataBytes, watch_ring::kDataBytes))};
}

// Sends or posts each row's message and compares what the log would show for it.
void Check(WatchSession& session, const std::vector<HWND>& windows, const std::vector<Row>& rows, bool sixtyFour)
{
    for (const Row& row : rows) {
        if (row.answer != nullptr) {
            DWORD_PTR result = 0;
            SendMessageTimeoutW(windows[row.window], row.message, row.wParam, row.lParam, SMTO_ABORTIFHUNG, 10000, &result);
        } else {
            PostMessageW(windows[row.window], row.message, row.wParam, row.lParam);
        }
    }
    std::vector<watch_ring::Record> records;
    uint64_t dropped = 0;
    const auto find = [&](const Row& row, watch_ring::RecordKind kind, uint32_t sequence) -> const watch_ring::Record* {
        for (const watch_ring::Record& record : records) {
            if (record.kind == kind && record.window == reinterpret_cast<uintptr_t>(windows[row.window]) &&
                record.message == row.message && (kind == watch_ring::RecordKind::Returned ? record.sequence == sequence
                                                  : uint32_t(record.wParam) == row.wParam && uint32_t(record.lParam) == uint32_t(row.lParam))) {
                return &record;
            }
        }
        return nullptr;
    };
    const MessageDecoder decoder(sixtyFour);
    for (const Row& row : rows) {
        wchar_t className[64] = {};
        GetClassNameW(windows[row.window], className, 64);
        const std::wstring name = MessageNames(className).Name(row.message);
        SCOPED_TRACE(name);
        const auto kind = row.answer ? watch_ring::RecordKind::Sent : watch_ring::RecordKind::Posted;
        const watch_ring::Record* record = nullptr;
        const watch_ring::Record* answer = nullptr;
        ASSERT_TRUE(PollUntil(20000, [&] {
            session.Take(records, dropped);
            record = find(row, kind, 0);
            answer = record && row.answer ? find(row, watch_ring::RecordKind::Returned, record->sequence) : nullptr;
            return record && (answer || !row.answer);
        }));
        if (row.parameters) {
            EXPECT_EQ(row.parameters, decoder.Parameters(name, record->wParam, record->lParam, DataOf(*record)));
        }
        if (row.answer) {
            EXPECT_EQ(row.answer, decoder.Answer(name, answer->result, DataOf(*answer)));
        }
    }
}

TEST(MessageDecoderTest, RealMessagesThroughTheHookReadAsTheTableSays)
{
    EXPECT_EQ(L"", MessageDecodingTable::Get().Problems());
    DecoderTarget target;
    WatchSession session(target.Window(DecoderTarget::Top), WatchSession::Scope::Thread);
    ASSERT_TRUE(session.Watching()) << session.Problem();
    wchar_t buffer[64] = {};
    using T = DecoderTarget;
    const std::vector<Row> rows = {
        {T::Top, WM_SIZE, SIZE_RESTORED, MAKELPARAM(1280, 720), L"fwSizeType:SIZE_RESTORED nWidth:1280 nHeight:720", L""},
        {T::Top, WM_MOVE, 0, MAKELPARAM(-5, 20), L"xPos:-5 yPos:20", L""},
        {T::Top, WM_SHOWWINDOW, TRUE, SW_PARENTOPENING, L"fShow:TRUE fnStatus:SW_PARENTOPENING", L""},
        {T::Top, WM_NCHITTEST, 0, MAKELPARAM(150, 120), L"xPos:150 yPos:120", L"HTCLIENT"},
        {T::Top, WM_MOUSEACTIVATE, 0x1234, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN),
         L"hwndTopLevel:0x00001234 nHittest:HTCLIENT uMsg:WM_LBUTTONDOWN", L"MA_ACTIVATE"},
        {T::Top, WM_KILLFOCUS, 0, 0, L"hwndGetFocus:NULL", L""},
        {T::Top, WM_PRINTCLIENT, 0, PRF_CLIENT | PRF_ERASEBKGND, L"hdc:NULL uFlags:PRF_CLIENT|PRF_ERASEBKGND", L""},
        {T::Top, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT | 0x400, MAKELPARAM(-5, 20), L"fwKeys:MK_LBUTTON|MK_SHIFT|0x400 xPos:-5 yPos:20", nullptr},
        {T::Top, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, -120), MAKELPARAM(30, 40), L"fwKeys:MK_CONTROL zDelta:-120 xPos:30 yPos:40", nullptr},
        {T::Top, WM_KEYDOWN, VK_RETURN, 0x001C0001, L"nVirtKey:VK_RETURN cRepeat:1 ScanCode:1C fExtended:0 fAltDown:0 fRepeat:0 fUp:0", nullptr},
        {T::Top, WM_KEYUP, 'A', static_cast<LPARAM>(0xC11E0001), L"nVirtKey:'A' cRepeat:1 ScanCode:1E fExtended:1 fAltDown:0 fRepeat:1 fUp:1", nullptr},
        {T::Top, WM_CHAR, L'\x00e9', 0x00120001, L"chCharCode:'\x00e9' cRepeat:1 ScanCode:12 fExtended:0 fAltDown:0 fRepeat:0 fUp:0", nullptr},
        {T::Top, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 40), 0, L"nScrollCode:SB_THUMBTRACK nPos:40 hwndScrollBar:NULL", L""},
        {T::Top, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), 0x1234, L"wID:7 wNotifyCode:0x0 hwndCtl:0x00001234", L""},
        {T::Top, WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP | MF_HILITE), 0, L"uItem:3 fuFlags:MF_POPUP|MF_HILITE hmenu:NULL", L""},
        {T::Top, WM_TIMER, 42, 0, L"nIDEvent:42 tmprc:NULL", nullptr},
        {T::Top, WM_RENDERFORMAT, CF_UNICODETEXT, 0, L"uFormat:CF_UNICODETEXT", L""},
        {T::Top, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0, L"command:IMN_SETOPENSTATUS lParam:0x0", L""},
        {T::Top, WM_GETTEXTLENGTH, 0, 0, L"", L"7"},
        {T::Edit, EM_SETSEL, 2, -1, L"ichStart:2 ichEnd:-1", L""},
        {T::Edit, WM_GETDLGCODE, 0, 0, L"vk:0x00 lpmsg:NULL", L"DLGC_WANTARROWS|DLGC_HASSETSEL|DLGC_WANTCHARS"},
        {T::List, LB_GETTEXTLEN, 3, 0, L"index:3", L"LB_ERR"},
        {T::ListView, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT,
         L"dwMask:LVS_EX_GRIDLINES|LVS_EX_FULLROWSELECT dwExStyle:LVS_EX_FULLROWSELECT", L"0"},
        {T::ListView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, L"iStart:-1 flags:LVNI_SELECTED", L"-1"},
    };
    std::vector<HWND> windows;
    for (int i = 0; i < T::Count; ++i) windows.push_back(target.Window(i));
    Check(session, windows, rows, false);
    (void)buffer;
}
} // namespace
