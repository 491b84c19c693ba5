// Decoded parameters and answers of real messages, taken through the hook from windows of a
// second thread of this process (a plain window and real controls where the class matters) and
// from a 64-bit helper's window, against the words each should read as.
#include "WatchTestSupport.h"
#include "support/SyntheticDesktopProcess.h"
#include "watch/MessageDecoder.h"
#include "watch/MessageDecodingTable.h"
#include "watch/MessageNames.h"

#include <commctrl.h>

#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace {
struct Row {
    int window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    const wchar_t* parameters; // null: not compared (a pointer into this test's stack)
    const wchar_t* answer;     // null: posted
    bool itsOwn = false;       // sent by the watched thread itself on what the test did, with a pointer of its own
};

// The hook reads what a message points to only where the thread sent it itself (Wine hands it
// other threads' pointers unchecked): the plain window sends each row's message on the test's
// behalf when the test posts it the row.
constexpr UINT kRelay = WM_APP + 7;

// It also answers WM_GETMINMAXINFO itself, so that the answer's data is known.
LRESULT CALLBACK Target(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRelay) {
        const Row& row = *reinterpret_cast<const Row*>(lParam);
        return SendMessageW(reinterpret_cast<HWND>(wParam), row.message, row.wParam, row.lParam);
    }
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(NM_CUSTOMDRAW)) {
        return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    }
    if (message != WM_GETMINMAXINFO) return DefWindowProcW(window, message, wParam, lParam);
    reinterpret_cast<MINMAXINFO*>(lParam)->ptMaxTrackSize = {800, 600};
    return 0;
}

// The watched windows live on a thread of their own, which pumps until told to quit.
class DecoderTarget {
public:
    enum { Top, Edit, List, ListView, TreeView, UpDown, Count };
    DecoderTarget()
    {
        std::promise<void> ready;
        m_thread = std::thread([this, &ready] {
            INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_UPDOWN_CLASS};
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
                         view = child(WC_LISTVIEWW, LVS_REPORT), tree = child(WC_TREEVIEWW, 0),
                         upDown = child(UPDOWN_CLASSW, 0);
            m_windows[Top] = top.get(), m_windows[Edit] = edit.get(), m_windows[List] = list.get(),
            m_windows[ListView] = view.get(), m_windows[TreeView] = tree.get(), m_windows[UpDown] = upDown.get();
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


// "{1}" in an expected text stands for the handle of window 1 (they differ from run to run).
std::wstring Expand(std::wstring text, const std::vector<HWND>& windows)
{
    for (size_t i = 0; i < windows.size(); ++i) {
        wchar_t handle[16];
        std::swprintf(handle, 16, L"0x%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(windows[i])));
        const std::wstring mark = L"{" + std::to_wstring(i) + L"}";
        for (size_t at; (at = text.find(mark)) != std::wstring::npos;) text.replace(at, mark.size(), handle);
    }
    return text;
}

MessageData DataOf(const watch_ring::Record& record)
{
    return {record.dataKind, record.dataFlags, record.structBytes,
            std::string(reinterpret_cast<const char*>(record.data), std::min<size_t>(record.dataBytes, watch_ring::kDataBytes))};
}

// Sends or posts each row's message and compares what the log would show for it.
void Check(WatchSession& session, const std::vector<HWND>& windows, const std::vector<Row>& rows, bool sixtyFour)
{
    for (const Row& row : rows) {
        if (row.itsOwn) continue;
        if (row.answer != nullptr) {
            PostMessageW(windows[0], kRelay, reinterpret_cast<WPARAM>(windows[row.window]), reinterpret_cast<LPARAM>(&row));
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
                                                  : uint32_t(record.wParam) == row.wParam &&
                                                        (row.itsOwn || uint32_t(record.lParam) == uint32_t(row.lParam)))) {
                return &record;
            }
        }
        return nullptr;
    };
    const MessageDecoder decoder(sixtyFour);
    for (const Row& row : rows) {
        wchar_t className[64] = {};
        GetClassNameW(windows[row.window], className, 64);
        const std::wstring name = MessageNames::Of(className).Name(row.message);
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
            EXPECT_EQ(Expand(row.parameters, windows), decoder.Parameters(name, record->wParam, record->lParam, DataOf(*record), className));
        }
        if (row.answer) {
            EXPECT_EQ(Expand(row.answer, windows), decoder.Answer(name, answer->result, DataOf(*answer), DataOf(*record)));
        }
    }
}

TEST(MessageDecoderTest, RealMessagesThroughTheHookReadAsTheTableSays)
{
    EXPECT_EQ(L"", MessageDecodingTable::Get().Problems());
    DecoderTarget target;
    WatchSession session(target.Window(DecoderTarget::Top), WatchSession::Scope::Thread);
    ASSERT_TRUE(Started(session)) << session.Problem();
    using T = DecoderTarget;
    const HWND fake = reinterpret_cast<HWND>(0x1234);
    CREATESTRUCTW create = {nullptr, nullptr, reinterpret_cast<HMENU>(7), fake, 20, 100, 5, 10, WS_CHILD | WS_VISIBLE,
                            L"made", reinterpret_cast<LPCWSTR>(0xC001), WS_EX_CLIENTEDGE};
    WINDOWPOS position = {fake, HWND_TOPMOST, 1, 2, 3, 4, SWP_NOZORDER | SWP_NOSIZE};
    MINMAXINFO limits = {};
    NCCALCSIZE_PARAMS calc = {{{0, 0, 200, 100}, {1, 1, 2, 2}, {3, 3, 4, 4}}, &position};
    STYLESTRUCT styles = {WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW | WS_EX_TOPMOST};
    STYLESTRUCT editStyles = {WS_CHILD | ES_AUTOHSCROLL, WS_CHILD | ES_MULTILINE | ES_AUTOHSCROLL};
    DRAWITEMSTRUCT draw = {ODT_BUTTON, 3, 0, ODA_DRAWENTIRE, ODS_SELECTED | ODS_FOCUS, fake, nullptr, {0, 0, 10, 10}, 0x42};
    MEASUREITEMSTRUCT measure = {ODT_LISTBOX, 4, 1, 50, 16, 0x42};
    DELETEITEMSTRUCT deleted = {ODT_LISTBOX, 4, 1, fake, 0x42};
    COMPAREITEMSTRUCT compare = {ODT_LISTBOX, 4, fake, 1, 0x42, 2, 0x43, 0x409};
    char bytes[] = "abc";
    COPYDATASTRUCT copy = {7, 3, bytes};
    HELPINFO help = {sizeof help, HELPINFO_WINDOW, 5, fake, 0, {7, 8}};
    NMLISTVIEW changed = {{target.Window(T::ListView), 5, LVN_ITEMCHANGED}, 2, 0, LVIS_SELECTED | LVIS_FOCUSED, 0, LVIF_STATE, {}, 0};
    NMTREEVIEWW selected = {{target.Window(T::TreeView), 6, TVN_SELCHANGEDW}, TVC_BYMOUSE, {}, {}, {}};
    selected.itemNew.mask = TVIF_STATE, selected.itemNew.hItem = reinterpret_cast<HTREEITEM>(0x777);
    selected.itemNew.state = TVIS_SELECTED;
    NMHDR focused = {target.Window(T::Edit), 7, static_cast<UINT>(NM_SETFOCUS)};
    NMUPDOWN spun = {{target.Window(T::UpDown), 8, static_cast<UINT>(UDN_DELTAPOS)}, 3, -1};
    NMHDR saved = {fake, 9, static_cast<UINT>(TBN_SAVE)}; // UDN_DELTAPOS's code too
    NMCUSTOMDRAW drawn = {{target.Window(T::ListView), 10, static_cast<UINT>(NM_CUSTOMDRAW)}, CDDS_PREPAINT, nullptr, {}, 0, 0, 0};
    RECT suggested = {10, 20, 300, 400};
    const std::wstring longText(200, L'x'), truncated = L"lpsz:\"" + std::wstring(96, L'x') + L"\"\x2026";
    wchar_t buffer[64] = {};
    const auto at = [](const void* pointer) { return reinterpret_cast<LPARAM>(pointer); };
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
        {T::Top, WM_COMMAND, MAKEWPARAM(7, EN_CHANGE), 0x1234, L"wID:7 wNotifyCode:EN_CHANGE hwndCtl:0x00001234", L""},
        {T::Top, WM_APPCOMMAND, 0x1234, MAKELPARAM(MK_LBUTTON, FAPPCOMMAND_MOUSE | APPCOMMAND_BROWSER_BACKWARD),
         L"hwnd:0x00001234 cmd:APPCOMMAND_BROWSER_BACKWARD uDevice:FAPPCOMMAND_MOUSE dwKeys:MK_LBUTTON", nullptr},
        {T::Top, WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP | MF_HILITE), 0, L"uItem:3 fuFlags:MF_POPUP|MF_HILITE hmenu:NULL", L""},
        {T::Top, WM_TIMER, 42, 0, L"nIDEvent:42 tmprc:NULL", nullptr},
        {T::Top, WM_RENDERFORMAT, CF_UNICODETEXT, 0, L"uFormat:CF_UNICODETEXT", L""},
        {T::Top, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0, L"command:IMN_SETOPENSTATUS lParam:0x0", L""},
        {T::Top, WM_GETTEXTLENGTH, 0, 0, L"", L"7"},
        {T::Edit, EM_SETSEL, 2, -1, L"ichStart:2 ichEnd:-1", L""},
        {T::Edit, EM_LINEFROMCHAR, 3, 0, L"ich:3", L"0"}, // a character's index, not a line
        {T::Edit, EM_LINEINDEX, 0, 0, L"line:0", L"0"},
        {T::Edit, WM_GETDLGCODE, 0, 0, L"vk:0x00 lpmsg:NULL", L"DLGC_WANTARROWS|DLGC_HASSETSEL|DLGC_WANTCHARS"},
        {T::List, LB_GETTEXTLEN, 3, 0, L"index:3", L"LB_ERR"},
        {T::ListView, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT,
         L"dwMask:LVS_EX_GRIDLINES|LVS_EX_FULLROWSELECT dwExStyle:LVS_EX_FULLROWSELECT", L"0"},
        {T::ListView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, L"iStart:-1 flags:LVNI_SELECTED", L"-1"},
        // What the hook copied: strings and structures.
        {T::Top, WM_SETTEXT, 0, at(L"Hello"), L"lpsz:\"Hello\"", L"TRUE"},
        {T::Top, WM_GETTEXT, 64, at(buffer), nullptr, L"5 \"Hello\""},
        {T::Top, WM_SETTEXT, 0, at(longText.c_str()), truncated.c_str(), L"TRUE"},
        {T::Edit, EM_REPLACESEL, TRUE, at(L"xyz"), L"fCanUndo:TRUE lpszReplace:\"xyz\"", L""},
        {T::List, LB_ADDSTRING, 0, at(L"first"), L"lpsz:\"first\"", L"0"},
        {T::List, LB_GETTEXT, 0, at(buffer), nullptr, L"5 \"first\""},
        {T::Top, WM_CREATE, 0, at(&create),
         L"lpcs:{lpCreateParams:NULL hInstance:NULL hMenu:0x00000007 hwndParent:0x00001234 cy:20 cx:100 y:5 x:10 "
         L"style:WS_CHILD|WS_VISIBLE lpszName:\"made\" lpszClass:0x0000C001 dwExStyle:WS_EX_CLIENTEDGE}", L"0"},
        {T::Top, WM_WINDOWPOSCHANGING, 0, at(&position),
         L"lpwp:{hwnd:0x00001234 hwndInsertAfter:HWND_TOPMOST x:1 y:2 cx:3 cy:4 flags:SWP_NOSIZE|SWP_NOZORDER}",
         L"{hwnd:0x00001234 hwndInsertAfter:HWND_TOPMOST x:1 y:2 cx:3 cy:4 flags:SWP_NOSIZE|SWP_NOZORDER}"}, // as left
        {T::Top, WM_GETMINMAXINFO, 0, at(&limits), nullptr,
         L"{ptReserved:(0,0) ptMaxSize:(0,0) ptMaxPosition:(0,0) ptMinTrackSize:(0,0) ptMaxTrackSize:(800,600)}"},
        {T::Top, WM_NCCALCSIZE, TRUE, at(&calc),
         L"fCalcValidRects:TRUE lpncsp:{rgrc0:(0,0)-(200,100) rgrc1:(1,1)-(2,2) rgrc2:(3,3)-(4,4) lppos:{hwnd:0x00001234 "
         L"hwndInsertAfter:HWND_TOPMOST x:1 y:2 cx:3 cy:4 flags:SWP_NOSIZE|SWP_NOZORDER}}",
         L"0 {rgrc0:(0,0)-(200,100) rgrc1:(1,1)-(2,2) rgrc2:(3,3)-(4,4) lppos:{hwnd:0x00001234 hwndInsertAfter:HWND_TOPMOST x:1 "
         L"y:2 cx:3 cy:4 flags:SWP_NOSIZE|SWP_NOZORDER}}"},
        {T::Top, WM_STYLECHANGING, static_cast<WPARAM>(GWL_EXSTYLE), at(&styles),
         L"nStyleType:GWL_EXSTYLE lpss:{styleOld:WS_EX_TOOLWINDOW styleNew:WS_EX_TOOLWINDOW|WS_EX_TOPMOST}", L""},
        // A control's style words are its class's.
        {T::Edit, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), at(&editStyles),
         L"nStyleType:GWL_STYLE lpss:{styleOld:WS_CHILD|ES_LEFT|ES_AUTOHSCROLL "
         L"styleNew:WS_CHILD|ES_LEFT|ES_MULTILINE|ES_AUTOHSCROLL}", L""},
        {T::Top, WM_DRAWITEM, 3, at(&draw),
         L"idCtl:3 lpdis:{CtlType:ODT_BUTTON CtlID:3 itemID:0 itemAction:ODA_DRAWENTIRE itemState:ODS_SELECTED|ODS_FOCUS "
         L"hwndItem:0x00001234 hDC:NULL rcItem:(0,0)-(10,10) itemData:0x42}", L"FALSE"},
        {T::Top, WM_MEASUREITEM, 4, at(&measure),
         L"idCtl:4 lpmis:{CtlType:ODT_LISTBOX CtlID:4 itemID:1 itemWidth:50 itemHeight:16 itemData:0x42}",
         L"FALSE {CtlType:ODT_LISTBOX CtlID:4 itemID:1 itemWidth:50 itemHeight:16 itemData:0x42}"},
        {T::Top, WM_DELETEITEM, 4, at(&deleted),
         L"idCtl:4 lpdi:{CtlType:ODT_LISTBOX CtlID:4 itemID:1 hwndItem:0x00001234 itemData:0x42}", L"FALSE"},
        {T::Top, WM_COMPAREITEM, 4, at(&compare),
         L"idCtl:4 lpcis:{CtlType:ODT_LISTBOX CtlID:4 hwndItem:0x00001234 itemID1:1 itemData1:0x42 itemID2:2 "
         L"itemData2:0x43 dwLocaleId:0x409}", L"0"},
        {T::Top, WM_COPYDATA, 0x1234, at(&copy), L"hwndFrom:0x00001234 pcds:{dwData:0x7 cbData:3 lpData:616263}", L"FALSE"},
        {T::Top, WM_HELP, 0, at(&help),
         L"lphi:{cbSize:28 iContextType:HELPINFO_WINDOW iCtrlId:5 hItemHandle:0x00001234 dwContextId:0x0 MousePos:(7,8)}", L""},
        {T::Top, WM_DPICHANGED, MAKEWPARAM(144, 144), at(&suggested), L"dpiX:144 dpiY:144 lprc:(10,20)-(300,400)", L""},
        {T::Top, WM_NOTIFY, 5, at(&changed),
         L"idCtrl:5 pnmh:{hwndFrom:{3} idFrom:5 code:LVN_ITEMCHANGED iItem:2 iSubItem:0 uNewState:LVIS_FOCUSED|LVIS_SELECTED "
         L"uOldState:0 uChanged:LVIF_STATE ptAction:(0,0) lParam:0x0}", L"0"},
        {T::Top, WM_NOTIFY, 6, at(&selected),
         L"idCtrl:6 pnmh:{hwndFrom:{4} idFrom:6 code:TVN_SELCHANGEDW action:0x1 itemOld:{mask:0 hItem:NULL state:0 "
         L"stateMask:0 pszText:NULL cchTextMax:0 iImage:0 iSelectedImage:0 cChildren:0 lParam:0x0} itemNew:{mask:TVIF_STATE "
         L"hItem:0x00000777 state:TVIS_SELECTED stateMask:0 pszText:NULL cchTextMax:0 iImage:0 iSelectedImage:0 cChildren:0 "
         L"lParam:0x0} ptDrag:(0,0)}", L"0"},
        {T::Top, WM_NOTIFY, 7, at(&focused), L"idCtrl:7 pnmh:{hwndFrom:{1} idFrom:7 code:NM_SETFOCUS}", L"0"},
        {T::Top, WM_NOTIFY, 8, at(&spun), L"idCtrl:8 pnmh:{hwndFrom:{5} idFrom:8 code:UDN_DELTAPOS iPos:3 iDelta:-1}", L"0"},
        {T::Top, WM_NOTIFY, 9, at(&saved), L"idCtrl:9 pnmh:{hwndFrom:0x00001234 idFrom:9 code:TBN_SAVE}", L"0"},
        // Its code says what the answer means.
        {T::Top, WM_NOTIFY, 10, at(&drawn), nullptr, L"CDRF_NOTIFYPOSTPAINT|CDRF_NOTIFYITEMDRAW"},
    };
    std::vector<HWND> windows;
    for (int i = 0; i < T::Count; ++i) windows.push_back(target.Window(i));
    Check(session, windows, rows, false);

    // A 64-bit window's own WINDOWPOS, laid out with 8-byte handles.
    if (!SyntheticDesktopProcess::SixtyFourBitRuns()) return;
    SyntheticDesktopProcess helper(L"target", SyntheticDesktopProcess::Bits::SixtyFour);
    ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
    const HWND top = helper.TopWindows().at(0);
    WatchSession wide(top);
    ASSERT_TRUE(Started(wide)) << wide.Problem();
    SetWindowPos(top, nullptr, 10, 20, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    Check(wide, {top},
          {{0, WM_WINDOWPOSCHANGING, 0, 0, L"lpwp:{hwnd:{0} hwndInsertAfter:HWND_TOP x:10 y:20 cx:300 cy:200 flags:SWP_NOZORDER|SWP_NOACTIVATE}",
            L"{hwnd:{0} hwndInsertAfter:HWND_TOP x:10 y:20 cx:300 cy:200 flags:SWP_NOZORDER|SWP_NOACTIVATE}", true}},
          true);
}
} // namespace
