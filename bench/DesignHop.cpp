// The design's hop, timed alone: per notification on each route, and on a whole clear.
#include "DesignHop.h"

#include "BenchHost.h"
#include "Floor.h"
#include "Timing.h"
#include "app/Form1.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// The ANSI hop alone: a plain Unicode window re-pointed with SetWindowLongA at a procedure that
// only forwards with CallWindowProcA, as the form's generated one does through its event.
WNDPROC g_plainProcedure = nullptr;
LRESULT CALLBACK ForwardAnsi(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(g_plainProcedure, window, message, wParam, lParam);
}

// Microseconds per tree notification of the kind a clear sends (TVN_DELETEITEM of a node that
// is not selected), best of a few bursts.
double PerNotification(HWND target, HWND tree, WNDPROC direct = nullptr)
{
    NMTREEVIEWW notice = {};
    notice.hdr.hwndFrom = tree;
    notice.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(tree));
    notice.hdr.code = TVN_DELETEITEMW;
    notice.itemOld.mask = TVIF_HANDLE | TVIF_PARAM;
    notice.itemOld.hItem = reinterpret_cast<HTREEITEM>(static_cast<INT_PTR>(-16)); // no node's handle
    constexpr int kCount = 20000;
    double best = 1e9;
    for (int burst = 0; burst < 5; ++burst) {
        const double start = NowMs();
        for (int i = 0; i < kCount; ++i) {
            if (direct != nullptr) {
                direct(target, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
            } else {
                SendMessageW(target, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
            }
        }
        best = std::min(best, (NowMs() - start) * 1000 / kCount);
    }
    return best;
}

} // namespace

void PrintPerNotification(Form1& form, BenchHost& host)
{
    const HWND plain = CreateWindowExW(0, L"ScanBenchHost", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    const double bare = PerNotification(plain, form.TreeView1().hWnd());
    g_plainProcedure = reinterpret_cast<WNDPROC>(GetWindowLongA(plain, GWL_WNDPROC));
    SetWindowLongA(plain, GWL_WNDPROC, static_cast<LONG>(reinterpret_cast<INT_PTR>(&ForwardAnsi)));
    const double ansi = PerNotification(plain, form.TreeView1().hWnd());
    DestroyWindow(plain);
    const double hooked = PerNotification(form.hWnd(), form.TreeView1().hWnd());
    const HWND tree = form.TreeView1().hWnd();
    const double thunk =
        PerNotification(form.hWnd(), tree, reinterpret_cast<WNDPROC>(GetWindowLongA(form.hWnd(), GWL_WNDPROC)));
    const double own =
        PerNotification(form.hWnd(), tree, reinterpret_cast<WNDPROC>(GetClassLongPtrW(form.hWnd(), GCLP_WNDPROC)));
    constexpr int kCalls = 20000;
    double start = NowMs();
    for (int i = 0; i < kCalls; ++i) SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    const double selection = (NowMs() - start) * 1000 / kCalls;
    start = NowMs();
    for (int i = 0; i < kCalls; ++i) GetWindowLongPtrW(form.hWnd(), GWLP_USERDATA);
    const double userData = (NowMs() - start) * 1000 / kCalls;
    std::printf("repeat per call: TVM_GETNEXTITEM(TVGN_CARET) %.2f us, GetWindowLongPtrW %.2f us\n", selection,
                userData);
    const double hostTree = PerNotification(GetParent(host.Tree().hWnd()), host.Tree().hWnd());
    std::printf("repeat per TVN_DELETEITEM sent to a parent: plain %.2f us (the floor's host %.2f us), through"
                " SetWindowLongA + CallWindowProcA %.2f us, Form1 %.2f us; called directly: the generated"
                " procedure %.2f us, Form1's own procedure %.2f us\n",
                bare, hostTree, ansi, hooked, thunk, own);
}

namespace {
void InsertNodes(HWND tree, HTREEITEM parent, const std::vector<TreeViewControl::NodeContent>& nodes)
{
    HTREEITEM last = nullptr;
    for (const TreeViewControl::NodeContent& node : nodes) {
        last = FloorScan::Insert(tree, parent, last, node.text);
        InsertNodes(tree, last, node.children);
    }
}


} // namespace

void LookLike(TreeViewControl& tree, TreeViewControl& model)
{
    SendMessageW(tree.hWnd(), WM_SETFONT, SendMessageW(model.hWnd(), WM_GETFONT, 0, 0), TRUE);
    tree.SetItemHeight(model.ItemHeight());
}

// What the design's hop alone costs a clear: the form's last tree, copied into the floor's tree
// and into a second host's, whose procedure SetWindowLongA re-pointed at a forwarder through
// CallWindowProcA (as the form's is, minus the thunk, the event and the form's own procedure);
// both cleared, round by round in alternating order.
void PrintHopClear(Form1& form, BenchHost& host, int rounds)
{
    const std::vector<TreeViewControl::NodeContent> nodes = form.TreeView1().ReadNodes();
    BenchHost hopHost;
    LookLike(hopHost.Tree(), host.Tree());
    const HWND parent = GetParent(hopHost.Tree().hWnd());
    g_plainProcedure = reinterpret_cast<WNDPROC>(GetWindowLongA(parent, GWL_WNDPROC));
    SetWindowLongA(parent, GWL_WNDPROC, static_cast<LONG>(reinterpret_cast<INT_PTR>(&ForwardAnsi)));
    host.Tree().Clear();
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        const HWND trees[2] = {hopHost.Tree().hWnd(), host.Tree().hWnd()};
        double times[2] = {};
        for (const HWND tree : trees) {
            SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
            InsertNodes(tree, TVI_ROOT, nodes);
            SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
        }
        PumpMessages();
        for (int i = 0; i < 2; ++i) {
            const int which = (round + i) % 2;
            const double start = NowMs();
            FloorScan::Clear(trees[which]);
            times[which] = NowMs() - start;
            PumpMessages();
        }
        ratios.push_back(times[0] / times[1]);
    }
    std::printf("repeat clear of the same tree under a parent re-pointed with SetWindowLongA at a CallWindowProcA"
                " forwarder, the design's hop alone: %.2fx the plain parent's (median of %d rounds)\n",
                Median(ratios), rounds);
}

