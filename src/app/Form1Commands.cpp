// Form1's commands beyond the scan: the keys and the tree's context menu that reach them, the
// tree's notifications, point to find's end and the message logs.
#include "app/Form1.h"

#include "inspect/TextDialog.h"
#include "platform/RuntimeError.h"
#include "platform/UniqueHandles.h"
#include "platform/WindowObject.h"

#include <commctrl.h>

#include <algorithm>

// --- Inspecting the tree: keys, context menu and the tree's notifications ---------------------

const Form1::Command Form1::kCommands[] = {
    {L"&Properties\tEnter", 0, VK_RETURN, [](Form1& form) { form.m_inspector->ShowProperties(); }},
    {L"&Highlight\tCtrl+H", FCONTROL, 'H', [](Form1& form) { form.m_inspector->Highlight(); }},
    {L"&Copy\tCtrl+C", FCONTROL, 'C', [](Form1& form) { form.m_inspector->Copy(); }},
    {L"Copy &with children\tCtrl+Shift+C", FCONTROL | FSHIFT, 'C',
     [](Form1& form) { form.m_inspector->CopyWithChildren(); }},
    {L"Copy for a scr&ipt\tCtrl+K", FCONTROL, 'K', [](Form1& form) { form.m_inspector->Say(form.m_pane->CopyForScript()); }},
    {L"-", 0, 0, nullptr},
    {L"&Find...\tCtrl+F", FCONTROL, 'F', [](Form1& form) { form.m_inspector->OpenFind(); }, true},
    {nullptr, 0, VK_F3, [](Form1& form) { form.m_inspector->FindAgain(true); }, false, L"F3\tFind next"},
    {nullptr, FSHIFT, VK_F3, [](Form1& form) { form.m_inspector->FindAgain(false); }, false,
     L"Shift+F3\tFind previous"},
    {L"&Rescan\tF5", 0, VK_F5, [](Form1& form) { form.meu_File_Click(); }, true},
    {L"&Save...\tCtrl+S", FCONTROL, 'S', [](Form1& form) { form.SaveTree(); }, true},
    {L"Chan&ges since the previous scan...\tCtrl+D", FCONTROL, 'D', [](Form1& form) { form.ShowChanges(); }, true},
    {L"-", 0, 0, nullptr, true},
    {L"Arrange b&y process\tCtrl+1", FCONTROL, '1', [](Form1& form) { form.Arrange(Arrangement::ByProcess); }, true,
     nullptr, [](const Form1& form) { return form.m_arrangement == Arrangement::ByProcess; }},
    {L"Arrange in &z-order from the desktop\tCtrl+2", FCONTROL, '2', [](Form1& form) { form.Arrange(Arrangement::ZOrder); },
     true, nullptr, [](const Form1& form) { return form.m_arrangement == Arrangement::ZOrder; }},
    {L"Arrange by thr&ead\tCtrl+3", FCONTROL, '3', [](Form1& form) { form.Arrange(Arrangement::ByThread); }, true,
     nullptr, [](const Form1& form) { return form.m_arrangement == Arrangement::ByThread; }},
    {L"-", 0, 0, nullptr, true},
    {L"P&oint to find\tCtrl+P", FCONTROL, 'P', [](Form1& form) { form.m_pointer->Start(); }, true},
    {L"Follow &the mouse\tCtrl+U", FCONTROL, 'U',
     [](Form1& form) { form.m_inspector->Say(form.m_pane->SetFollowMouse(!form.m_pane->FollowsMouse())); }, true},
    {L"&Messages...\tCtrl+M", FCONTROL, 'M', [](Form1& form) { form.OpenMessageLog(); }},
    {L"-", 0, 0, nullptr},
    {L"Chan&ge...\tCtrl+E", FCONTROL, 'E', [](Form1& form) { form.m_edit->OpenChangeDialog(); }},
    {L"Bring to &front", 0, 0, [](Form1& form) { form.m_edit->BringToFront(); }},
    {L"C&lose window...", 0, 0, [](Form1& form) { form.m_edit->CloseWindow(); }},
    {L"&Undo change\tCtrl+Z", FCONTROL, 'Z', [](Form1& form) { form.m_edit->Undo(); }, true},
    {nullptr, FSHIFT, VK_F10, [](Form1& form) { form.ShowTreeContextMenu(-1); }, false, L"Shift+F10\tContext menu"},
    {nullptr, 0, VK_APPS, [](Form1& form) { form.ShowTreeContextMenu(-1); }, false, L"Menu key\tContext menu"},
    {nullptr, 0, VK_F1, [](Form1& form) { form.ShowKeys(); }, false, L"F1\tThis list of keys"},
};

void Form1::CreateInspection()
{
    m_inspector = std::make_unique<TreeInspector>(hWnd(), *m_treeView1, *m_sBar1);
    m_edit = std::make_unique<EditCommands>(hWnd(), *m_inspector);
    m_pointer = std::make_unique<WindowPointer>(
        hWnd(), [this](const std::wstring& text) { m_inspector->Say(text); },
        [this](HWND window) { RunHandler([&] { SelectPickedWindow(window); }); });
    m_pane = std::make_unique<PropertiesPane>(
        hWnd(), [this](HWND window) { RunHandler([&] { SelectPickedWindow(window); }); },
        [this](HWND pane, HWND window) { m_edit->OpenChangeDialog(pane, window); });
    m_inspector->SetPropertiesView([this](const NodeSubject& subject, bool open) {
        if (open) {
            m_pane->Open(subject);
        } else {
            m_pane->ShowSelection(subject);
        }
    });
    m_pointer->SetFollower([this](HWND window, bool pointing) { m_pane->ShowPointed(window, pointing); });
    std::vector<ACCEL> keys;
    for (size_t i = 0; i < std::size(kCommands); ++i) {
        if (kCommands[i].key == 0) continue;
        keys.push_back(ACCEL{static_cast<BYTE>(FVIRTKEY | kCommands[i].modifiers), kCommands[i].key,
                             static_cast<WORD>(kFirstCommandId + i)});
    }
    m_accelerators.reset(CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size())));
    if (!m_accelerators) RaiseLastError();
}

bool Form1::TranslateFormMessage(MSG& message) noexcept
{
    if (m_pointer && m_pointer->OnKey(message)) return true;
    if (m_inspector && m_inspector->RouteDialogMessage(message)) return true;
    if (m_pane && m_pane->TranslatePaneMessage(message)) return true;
    for (const auto& log : m_logs) {
        if (log->TranslateLogMessage(message)) return true;
    }
    // Keys typed into other windows of the thread (a test's, a dialog's) are theirs; the finder
    // tool is part of the form.
    const bool ours = message.hwnd != nullptr && (message.hwnd == hWnd() || IsChild(hWnd(), message.hwnd) ||
                                                  (m_pointer && message.hwnd == m_pointer->Finder().hWnd()));
    return ours && m_accelerators && TranslateAcceleratorW(hWnd(), m_accelerators.get(), &message);
}

bool Form1::OnInspectionMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& answer)
{
    if (!m_inspector) return false;
    const HWND tree = m_treeView1->hWnd();
    switch (message) {
    case WM_NOTIFY: {
        const NMHDR* header = OwnNotification(lParam, tree);
        return header != nullptr && m_inspector->OnTreeNotify(*const_cast<NMHDR*>(header), answer);
    }
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != tree) return false;
        ShowTreeContextMenu(lParam);
        return true;
    case WM_COMMAND:
        return lParam == 0 && HIWORD(wParam) <= 1 && RunCommand(LOWORD(wParam));
    default:
        if (message != FindDialog::Message()) return false;
        m_inspector->OnFindMessage(lParam);
        return true;
    }
}

bool Form1::RunCommand(UINT id)
{
    const size_t index = id - kFirstCommandId;
    if (id < kFirstCommandId || index >= std::size(kCommands) || kCommands[index].run == nullptr) return false;
    kCommands[index].run(*this);
    return true;
}

void Form1::ShowTreeContextMenu(LPARAM position)
{
    POINT at = {};
    const bool onNode = m_inspector->PrepareContextMenu(position, at);
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) RaiseLastError();
    for (size_t i = 0; i < std::size(kCommands); ++i) {
        const wchar_t* text = kCommands[i].menuText;
        if (text == nullptr || (!onNode && !kCommands[i].onEmptySpace)) continue;
        const bool line = lstrcmpW(text, L"-") == 0;
        // The platform starts the key column one average character past the longest label, so
        // "Copy with children Ctrl+Shift+C" read as one phrase: the labels keep a gap of their own.
        std::wstring item(text);
        if (const size_t tab = item.find(L'\t'); tab != std::wstring::npos) item.insert(tab, L"    ");
        const bool checked = kCommands[i].checked != nullptr && kCommands[i].checked(*this);
        AppendMenuW(menu.get(), line ? MF_SEPARATOR : MF_STRING | (checked ? MF_CHECKED : 0),
                    line ? 0 : kFirstCommandId + i, line ? nullptr : item.c_str());
    }
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hWnd(), nullptr));
    if (chosen != 0) RunCommand(chosen);
}

// --- Point to find and the message logs ---------------------------------------------------------

void Form1::SelectPickedWindow(HWND window)
{
    if (m_inspector->SelectWindow(window)) return;
    // New since the scan (or never scanned): the tree must show it before it can be selected.
    meu_File_Click();
    if (!m_inspector->SelectWindow(window)) {
        m_inspector->Say(WindowPointer::Describe(window) + L" is not in the tree: it is gone, or the scan did not list it");
    }
}

void Form1::OpenMessageLog()
{
    const HWND window = m_inspector->SelectedWindow();
    if (window == nullptr) return;
    // Closed logs are gone from the screen already; their objects go now.
    m_logs.erase(std::remove_if(m_logs.begin(), m_logs.end(), [](const auto& log) { return !log->IsOpen(); }),
                 m_logs.end());
    // A log opens where logs were left, or beside the form; the next cascades from the last one open.
    m_logs.push_back(std::make_unique<MessageLogWindow>(hWnd(), window, m_logs.empty() ? nullptr : m_logs.back()->hWnd()));
}

void Form1::ShowKeys()
{
    std::wstring text = L"Alt+C\tClickHere: scan\r\n";
    for (const Command& command : kCommands) {
        const wchar_t* const help = command.menuText != nullptr ? command.menuText : command.keyHelp;
        if (command.key == 0 || help == nullptr) continue;
        // The menu's "&Copy\tCtrl+C" is told as "Ctrl+C\tCopy".
        std::wstring line(help);
        const size_t tab = line.find(L'\t');
        if (command.menuText != nullptr) line = line.substr(tab + 1) + L"\t" + line.substr(0, tab);
        line.erase(std::remove(line.begin(), line.end(), L'&'), line.end());
        text += line + L"\r\n";
    }
    ShowTextDialog(hWnd(), L"Keys", text + PropertiesPane::kKeys);
}

std::vector<MessageLogWindow*> Form1::OpenLogs() const
{
    std::vector<MessageLogWindow*> logs;
    for (const auto& log : m_logs) {
        if (log->IsOpen()) logs.push_back(log.get());
    }
    return logs;
}
