// Form1: the program's main window and start-up object. It holds the tree, the status bar
// with the progress bar docked in its second panel, and the one menu command that scans.
#pragma once
#include "platform/ComPtr.h"
#include "platform/RuntimeError.h"
#include "changes/ScanChanges.h"
#include "controls/ProgressBarControl.h"
#include "controls/StatusBarControl.h"
#include "controls/TreeViewControl.h"
#include "edit/EditCommands.h"
#include "inventory/ScanRecord.h"
#include "inventory/ScanRecorder.h"
#include "inspect/TreeInspector.h"
#include "pane/PropertiesPane.h"
#include "platform/UniqueHandles.h"
#include "platform/WindowPlaceStore.h"
#include "pointer/WindowPointer.h"
#include "subclass/iSubClass.h"
#include "watch/MessageLogWindow.h"

#include <windows.h>

#include <deque>
#include <memory>
#include <vector>

class Form1 {
public:
    // The program: creates Form1, shows it and runs its messages until it is closed.
    static int Run(HINSTANCE instance, int showCommand);

    // Runs the initialize handler.
    Form1();
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window and its controls, runs the load handler and shows the window.
    // Failures are reported to the user like any handler's.
    void Show(int showCommand);

    HWND hWnd() const noexcept { return m_window.get(); }
    TreeViewControl& TreeView1() const noexcept { return *m_treeView1; }
    StatusBarControl& sBar1() const noexcept { return *m_sBar1; }
    ProgressBarControl& pBar1() const noexcept { return *m_pBar1; }

    // The scan: the Click of meu_File.
    void meu_File_Click();
    // The scan itself, raising what fails: the command's body, which fills the tree by process
    // (the command then arranges it as chosen). Its record is read beside it (while the count
    // box is up, and after the fill) and taken once whole.
    void Scan();
    // The scan that the tree shows, as data, whole (the rest of its reading done first); none
    // before the first scan.
    std::shared_ptr<const ScanRecord> LastRecord();
    // Shows the scan's windows by process, in z-order from the desktop or by thread, from the
    // scan's record and without scanning again, keeping the selected and open nodes; rescans keep
    // the arrangement. The record may still be being read right after the fill: it is waited
    // for, with the wait cursor (its reading takes about as long as the window pass).
    void Arrange(Arrangement arrangement);

    static constexpr UINT kMeuFileId = 1001;

    // The keyboard's and the tree's context menu's way in: what the message loop must ask
    // before it dispatches a message (the Find dialog's keys, the accelerators, the message logs' keys).
    bool TranslateFormMessage(MSG& message) noexcept;
    TreeInspector& Inspector() const noexcept { return *m_inspector; }
    WindowPointer& Pointer() const noexcept { return *m_pointer; }
    EditCommands& Edit() const noexcept { return *m_edit; }
    PropertiesPane& Pane() const noexcept { return *m_pane; }
    // The message logs opened from this form and not closed since.
    std::vector<MessageLogWindow*> OpenLogs() const;

private:
    void Form_Initialize();
    void CreateWindowAndControls();
    void Form_Load();
    void SubClass_GetWindowMessage(LONG& Result, LONG cHwnd, LONG Message, LONG wParam, LONG lParam);
    void PlaceProgressBar();
    // Takes the system's suggested rectangle and lays the designed twips out at `dpi`, fonts too.
    // The controls keep converting at `dpi` from then on: asking the system again may still give
    // the old monitor's (Wine always gives the display's).
    void OnDpiChanged(int dpi, const RECT& suggested);
    void SaveTree();
    // Gives the keyboard back to the child that had it when the form was left, else the tree.
    void RestoreFocus() noexcept;
    void ShowChanges();
    // Takes the last scan's record once it is whole, reading the rest first where it is not:
    // the inspector gets it (until then Find and Copy with children read the tree), and what is
    // new since the scan before is marked.
    void CompleteRecord();
    // Fills the tree anew from the record in the chosen arrangement, if it shows another one.
    void ShowArrangement();

    // Runs one event handler; an error that reaches it ends the handler and is reported.
    template <class Handler>
    void RunHandler(Handler&& handler) noexcept;
    void ReportError(HRESULT error) noexcept;

    // The class's window procedure: `this` comes with WM_NCCREATE and is kept with the window.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Commands reached by keys and by the tree's context menu; the menu bar keeps meu_File
    // alone. One row per key; a row with menu text is also a context-menu item ("-": a line).
    struct Command {
        const wchar_t* menuText;
        BYTE modifiers; // FCONTROL, FSHIFT
        WORD key;       // virtual key
        void (*run)(Form1& form);
        bool onEmptySpace = false; // also in the menu of empty tree space
        const wchar_t* keyHelp = nullptr; // "key\twhat it does", for a key without menu text
        bool (*checked)(const Form1& form) = nullptr; // a menu item shown checked when this says so
    };
    static const Command kCommands[];
    static constexpr UINT kFirstCommandId = 2000;
    // Posted by the scan's record reader once the record is whole.
    static constexpr UINT kRecordWholeMessage = WM_APP + 1;
    void CreateInspection();
    bool OnInspectionMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& answer);
    bool RunCommand(UINT id);
    void ShowTreeContextMenu(LPARAM position);
    // Point to find's end: selects the window's node, scanning first when it is not in the tree.
    void SelectPickedWindow(HWND window);
    void OpenMessageLog();
    // F1: every key of the table, and the menu bar's Alt+C.
    void ShowKeys();

    // Declared first, released last: while the window lives its procedure is code inside it.
    ComPtr<iSubClass> SubClass;
    UniqueWindow m_window;
    UniqueFont m_treeFont;
    std::unique_ptr<TreeViewControl> m_treeView1;
    std::unique_ptr<StatusBarControl> m_sBar1;
    std::unique_ptr<ProgressBarControl> m_pBar1;
    std::shared_ptr<const ScanRecord> m_record;
    std::shared_ptr<ScanRecorder> m_recorder; // the last scan's, until its record is taken
    Arrangement m_arrangement = Arrangement::ByProcess;  // the user's choice
    std::shared_ptr<const TreeArrangement> m_arranged;   // what the tree shows, once the record is taken
    bool m_filling = false;                   // a scan is between its window pass and its filled tree
    ScanChanges m_scanChanges;
    HWND m_focusedChild = nullptr;
    std::unique_ptr<TreeInspector> m_inspector;
    std::unique_ptr<WindowPointer> m_pointer;
    std::unique_ptr<PropertiesPane> m_pane;
    std::unique_ptr<EditCommands> m_edit;
    std::vector<std::unique_ptr<MessageLogWindow>> m_logs;
    UniqueAccelerators m_accelerators;
    // Where the user left the form last time; it opens there.
    WindowPlaceStore m_place{L"Form1"};
    bool m_maximized = false;
    bool m_endsProgram = false;
    bool m_reportingError = false;
    // Errors raised while an error box is up, shown once it closes.
    std::deque<HRESULT> m_pendingErrors;
};

template <class Handler>
void Form1::RunHandler(Handler&& handler) noexcept
{
    const HRESULT hr = ExceptionBarrier(std::forward<Handler>(handler));
    if (FAILED(hr)) ReportError(hr);
}
