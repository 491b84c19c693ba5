// The floor's three stages.
#include "Floor.h"

#include "platform/AnsiText.h"
#include "platform/ProcessSnapshot.h"

#include <commctrl.h>
#include <tlhelp32.h>

void FloorScan::ListProcesses()
{
    m_processes.clear();
    const UniqueSnapshot snapshot(Toolhelp().CreateSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    ProcessEntryRecord entry = {};
    entry.dwSize = sizeof entry;
    Toolhelp().ProcessFirst(snapshot.get(), &entry); // skipped, as the product skips it
    while (Toolhelp().ProcessNext(snapshot.get(), &entry)) {
        m_processes.push_back(
            Process{entry.th32ProcessID, AnsiBufferToWide(entry.szExeFile, sizeof entry.szExeFile), {}});
    }
}

BOOL CALLBACK FloorScan::ChildWindow(HWND window, LPARAM context)
{
    const auto* visit = reinterpret_cast<const Visit*>(context);
    visit->scan->AddWindow(*visit->process, window, visit->enumerating);
    return TRUE;
}

void FloorScan::AddWindow(Process& process, HWND window, HWND enumeratedBy)
{
    char className[255] = {};
    GetClassNameA(window, className, sizeof className);
    process.windows.push_back(Window{window, enumeratedBy, AnsiBufferToWide(className, sizeof className)});
    ++m_entries;
    Visit visit{this, &process, window};
    EnumChildWindows(window, ChildWindow, reinterpret_cast<LPARAM>(&visit));
}

BOOL CALLBACK FloorScan::TopWindow(HWND window, LPARAM context)
{
    auto* scan = reinterpret_cast<FloorScan*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const auto owner = scan->m_byId.find(processId);
    if (owner != scan->m_byId.end()) scan->AddWindow(scan->m_processes[owner->second], window, nullptr);
    return TRUE;
}

void FloorScan::PassWindows()
{
    m_byId.clear();
    m_entries = 0;
    for (size_t i = 0; i < m_processes.size(); ++i) m_byId.emplace(m_processes[i].processId, i);
    EnumWindows(TopWindow, reinterpret_cast<LPARAM>(this));
}

HTREEITEM FloorScan::Insert(HWND tree, HTREEITEM parent, HTREEITEM after, const std::wstring& text)
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = after != nullptr ? after : TVI_FIRST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void FloorScan::Clear(HWND tree)
{
    // As the product clears: redraw off, every node at once, redraw back on.
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(tree, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

size_t FloorScan::Fill(HWND tree, HWND progress)
{
    struct Node {
        HTREEITEM item;
        HTREEITEM lastChild;
    };
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    SendMessageW(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(m_processes.size()) - 1);
    std::unordered_map<HWND, Node> nodes;
    HTREEITEM lastRoot = nullptr;
    size_t inserted = 0;
    for (size_t i = 0; i < m_processes.size(); ++i) {
        Process& process = m_processes[i];
        SendMessageW(progress, PBM_SETPOS, i, 0);
        UpdateWindow(progress);
        Node root{Insert(tree, TVI_ROOT, lastRoot,
                         process.exeName + L" [PID:" + std::to_wstring(process.processId) + L"]"),
                  nullptr};
        lastRoot = root.item;
        ++inserted;
        for (const Window& window : process.windows) {
            char caption[255] = {};
            GetWindowTextA(window.window, caption, sizeof caption);
            if (nodes.count(window.window) != 0) continue; // a repeated copy: already in place
            Node* parent = &root;
            if (window.enumeratedBy != nullptr) {
                const auto found = nodes.find(window.enumeratedBy);
                if (found == nodes.end()) continue;
                parent = &found->second;
            }
            std::wstring text = AnsiBufferToWide(caption, sizeof caption);
            if (text.empty()) text = L"INVALID";
            wchar_t handle[16];
            wsprintfW(handle, L"%08Xh", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window.window)));
            const HTREEITEM item = Insert(tree, parent->item, parent->lastChild,
                                          L"hWnd: " + std::wstring(handle) + L"  \x3010" + text + L"\x3011  [Class:" +
                                              window.className + L"]");
            parent->lastChild = item;
            nodes.emplace(window.window, Node{item, nullptr});
            ++inserted;
        }
        std::vector<Window>().swap(process.windows); // released as the product releases them
    }
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(tree, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
    return inserted;
}
