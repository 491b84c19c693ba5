// Every message to the product goes with a time-out; every pointer it gets lies in the shared
// section, at the address the section has inside the product.
#include "ProductProcess.h"

#include "support/FormDriver.h"
#include "support/ScreenMetrics.h"

#include <commctrl.h>

#include <cwchar>

namespace {
constexpr DWORD kStartTimeoutMs = 30000;
constexpr UINT kMessageTimeoutMs = 10000;

// Layout of the shared section.
constexpr size_t kItemOffset = 0;
constexpr size_t kRectOffset = 256;
constexpr size_t kTextOffset = 512;
constexpr int kTextChars = 4096; // a window node holds at most ~550 characters
constexpr size_t kSectionSize = 65536;

} // namespace

ProductProcess::ProductProcess()
{
    const std::wstring path = PathBesideThisProgram(L"WindowInventory.exe");
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        m_error = L"cannot start " + path + L", error " + std::to_wstring(GetLastError());
        return;
    }
    m_process.reset(info.hProcess);
    m_thread.reset(info.hThread);
    m_processId = info.dwProcessId;

    m_form = WaitForForm1(m_processId, kStartTimeoutMs);
    if (m_form == nullptr) {
        m_error = L"no Form1 window of process " + std::to_wstring(m_processId) + L" appeared";
        return;
    }
    m_tree = FindTree(m_form);
    m_statusBar = FindWindowExW(m_form, nullptr, STATUSCLASSNAMEW, nullptr);
    if (m_tree == nullptr || m_statusBar == nullptr) {
        m_error = L"Form1 lacks its tree view or its status bar";
        return;
    }
    // Up and waiting for input: the load handler has docked the bar.
    WaitForInputIdle(m_process.get(), kStartTimeoutMs);
    m_section = std::make_unique<SharedSection>(m_process.get(), kSectionSize);
    if (!m_section->Error().empty()) m_error = m_section->Error();
}

ProductProcess::~ProductProcess()
{
    m_section.reset();
    if (!m_process || WaitForSingleObject(m_process.get(), 0) != WAIT_TIMEOUT) return;
    if (m_form != nullptr) PostMessageW(m_form, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(m_process.get(), 5000) != WAIT_OBJECT_0) {
        TerminateProcess(m_process.get(), 1);
        WaitForSingleObject(m_process.get(), 5000);
    }
}

HWND ProductProcess::ProgressBarInStatusBar() const
{
    return FindWindowExW(m_statusBar, nullptr, PROGRESS_CLASSW, nullptr);
}

bool ProductProcess::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const
{
    DWORD_PTR answer = 0;
    const bool answered =
        SendMessageTimeoutW(window, message, wParam, lParam, SMTO_BLOCK | SMTO_ABORTIFHUNG, kMessageTimeoutMs, &answer) !=
        0;
    if (result != nullptr) *result = static_cast<LRESULT>(answer);
    return answered;
}

bool ProductProcess::Sync() const
{
    return Send(m_form, WM_NULL, 0, 0);
}

long ProductProcess::TreeCount() const
{
    LRESULT count = 0;
    return Send(m_tree, TVM_GETCOUNT, 0, 0, &count) ? static_cast<long>(count) : -1;
}

bool ProductProcess::ReadTree(std::vector<TreeNode>& nodes, std::wstring& error) const
{
    nodes.clear();
    if (!m_section || !m_section->Error().empty()) {
        error = L"no shared section";
        return false;
    }
    LRESULT root = 0;
    if (!Send(m_tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, &root)) {
        error = L"TVM_GETNEXTITEM (root) got no answer";
        return false;
    }
    return ReadLevel(reinterpret_cast<HTREEITEM>(root), nodes, error, 0);
}

bool ProductProcess::ReadLevel(HTREEITEM first, std::vector<TreeNode>& nodes, std::wstring& error, int depth) const
{
    if (depth > 64) {
        error = L"the tree is deeper than any window hierarchy here";
        return false;
    }
    for (HTREEITEM item = first; item != nullptr;) {
        auto* query = m_section->Local<TVITEMW>(kItemOffset);
        *query = TVITEMW{};
        query->mask = TVIF_TEXT | TVIF_HANDLE;
        query->hItem = item;
        query->pszText = m_section->Remote<wchar_t>(kTextOffset);
        query->cchTextMax = kTextChars;
        wchar_t* text = m_section->Local<wchar_t>(kTextOffset);
        text[0] = L'\0';
        LRESULT read = 0;
        if (!Send(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(m_section->Remote(kItemOffset)), &read) || !read) {
            error = L"TVM_GETITEMW failed";
            return false;
        }
        // The control may hand back its own buffer instead of copying into ours.
        if (query->pszText != m_section->Remote<wchar_t>(kTextOffset)) {
            error = L"the tree answered with a text pointer outside the shared section";
            return false;
        }
        TreeNode node{std::wstring(text, wcsnlen(text, kTextChars)), {}};
        LRESULT child = 0;
        LRESULT next = 0;
        if (!Send(m_tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item), &child) ||
            !Send(m_tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item), &next)) {
            error = L"TVM_GETNEXTITEM got no answer";
            return false;
        }
        if (!ReadLevel(reinterpret_cast<HTREEITEM>(child), node.children, error, depth + 1)) return false;
        nodes.push_back(std::move(node));
        item = reinterpret_cast<HTREEITEM>(next);
    }
    return true;
}

bool ProductProcess::PanelRect(int panel, RECT& rect) const
{
    if (!m_section || !m_section->Error().empty()) return false;
    auto* shared = m_section->Local<RECT>(kRectOffset);
    *shared = RECT{-1, -1, -1, -1};
    LRESULT answered = 0;
    if (!Send(m_statusBar, SB_GETRECT, static_cast<WPARAM>(panel - 1),
              reinterpret_cast<LPARAM>(m_section->Remote(kRectOffset)), &answered) ||
        !answered) {
        return false;
    }
    rect = *shared;
    return true;
}
