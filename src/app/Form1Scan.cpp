// Form1's scan: the command, the record read beside it and taken once whole, and the commands
// that need the whole record (the tree's other arrangements, saving it, the changes since the
// scan before).
#include "app/Form1.h"

#include "export/InventoryExport.h"
#include "export/SaveDialog.h"
#include "inspect/TextDialog.h"
#include "inspect/TreePlace.h"
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"

#include <utility>

namespace {
const wchar_t kScanning[] = L"Scanning\x2026";

// A control that failed to be created is no control to run a command on.
template <class Control>
Control& Required(const std::unique_ptr<Control>& control)
{
    if (!control) RaiseError(kErrorObjectNotSet);
    return *control;
}

const wchar_t* ArrangementName(Arrangement arrangement)
{
    switch (arrangement) {
    case Arrangement::ZOrder: return L"in z-order from the desktop";
    case Arrangement::ByThread: return L"by thread";
    default: return L"by process";
    }
}
} // namespace

void Form1::meu_File_Click()
{
    RunHandler([&] {
        TreeViewControl& tree = Required(m_treeView1);
        StatusBarControl& status = Required(m_sBar1);
        const TreePlace place(tree);
        // The scan holds the thread: what it shows must be on the screen before it starts.
        const std::wstring before = status.PanelText(1);
        status.SetPanelText(1, kScanning);
        UpdateWindow(status.hWnd());
        const HCURSOR cursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        const HRESULT scanned = ExceptionBarrier([&] { Scan(); });
        SetCursor(cursor);
        if (status.PanelText(1) == kScanning) status.SetPanelText(1, before);
        RaiseIfFailed(scanned);
        // The scan fills the tree by process; another arrangement is made from the whole record.
        if (m_arrangement != Arrangement::ByProcess) {
            CompleteRecord();
            ShowArrangement();
        }
        place.Restore(tree);
        // Whole already when the count box was up long enough; else the reader says so later.
        if (m_recorder && m_recorder->Whole()) CompleteRecord();
    });
}

void Form1::Scan()
{
    // Every scan gets its record and its marking, the one before this one too.
    CompleteRecord();
    // The tree is about to change: the old record no longer describes it.
    m_record.reset();
    m_arranged.reset();
    if (m_inspector) m_inspector->SetArrangement(nullptr);
    TreeViewControl& tree = Required(m_treeView1);
    ProgressBarControl& progress = Required(m_pBar1);
    BuildProcessList();
    EnumWindows(EnumTopWindowProc, 0);
    RaiseIfFailed(TakeTopWindowFailure());
    // Held here too: the count box's modal loop may run another scan, which replaces m_recorder.
    const auto recorder = std::make_shared<ScanRecorder>(ProcessList, TopWindowOrder);
    m_recorder = recorder;
    const bool wasFilling = std::exchange(m_filling, true);
    const HRESULT filled =
        ExceptionBarrier([&] { FillWindowTreeReading(*recorder, tree, progress, hWnd(), kRecordWholeMessage); });
    m_filling = wasFilling;
    // A tree left unfinished has no record to go with it.
    if (FAILED(filled) && m_recorder == recorder) m_recorder.reset();
    RaiseIfFailed(filled);
}

std::shared_ptr<const ScanRecord> Form1::LastRecord()
{
    CompleteRecord();
    return m_record;
}

void Form1::CompleteRecord()
{
    // Not while a tree is cleared and filled: the count box's loop runs the form's messages, and
    // what is new can be marked only in the filled tree.
    if (m_filling || !m_recorder) return;
    const std::shared_ptr<ScanRecorder> recorder = std::move(m_recorder);
    const HCURSOR cursor = recorder->Whole() ? nullptr : SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const HRESULT taken = ExceptionBarrier([&] { m_record = recorder->Record(); });
    if (cursor != nullptr) SetCursor(cursor);
    RaiseIfFailed(taken);
    // Until a record is taken the tree is the scan's own fill, by process.
    m_arranged = std::make_shared<const TreeArrangement>(m_record, Arrangement::ByProcess, GetDesktopWindow());
    if (m_inspector) m_inspector->SetArrangement(m_arranged);
    if (m_treeView1 && m_sBar1) m_scanChanges.Mark(m_record, *m_treeView1, *m_sBar1);
}

void Form1::Arrange(Arrangement arrangement)
{
    m_arrangement = arrangement;
    if (m_filling) return; // the scan's end arranges the tree
    TreeViewControl& tree = Required(m_treeView1);
    const TreePlace place(tree);
    const HCURSOR cursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const HRESULT shown = ExceptionBarrier([&] {
        CompleteRecord();
        ShowArrangement();
    });
    SetCursor(cursor);
    RaiseIfFailed(shown);
    if (!m_arranged) {
        m_inspector->Say(std::wstring(L"The next scan shows the windows ") + ArrangementName(arrangement));
        return;
    }
    place.Restore(tree);
}

void Form1::ShowArrangement()
{
    if (!m_arranged || m_arranged->Kind() == m_arrangement || !m_treeView1) return;
    m_arranged = std::make_shared<const TreeArrangement>(m_record, m_arrangement, GetDesktopWindow());
    if (m_inspector) m_inspector->SetArrangement(m_arranged);
    m_arranged->Fill(*m_treeView1);
    m_scanChanges.MarkAgain(*m_treeView1);
}

void Form1::SaveTree()
{
    const std::optional<std::wstring> path = AskExportPath(hWnd());
    if (!path) return;
    // Read meanwhile, most likely: the user took the Save dialog's time.
    CompleteRecord();
    const HRESULT saved = ExceptionBarrier([&] { ExportRecord(m_record.get(), *path); });
    if (FAILED(saved)) {
        ShowMessageBox(hWnd(), DescribeExportFailure(saved, *path), kApplicationTitle, MB_OK | MB_ICONERROR);
    }
}

void Form1::ShowChanges()
{
    CompleteRecord();
    const std::optional<std::wstring> listing = m_scanChanges.Listing();
    if (!listing) {
        m_inspector->Say(L"Nothing to compare yet: the changes are listed from the second scan on");
        return;
    }
    ShowTextDialog(hWnd(), L"Changes since the previous scan", *listing);
}
