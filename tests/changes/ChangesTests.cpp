// Marking what changed between two scans: through the form over this test's own windows (Wine's
// taskbar makes and drops buttons of its own meanwhile: they are counted, never expected), with
// the text export beside the tree; and over made-up records, where the platform cannot be
// steered: a handle reused by a window of another class or another process.
#include "changes/ScanChanges.h"
#include "export/InventoryExport.h"
#include "platform/MessageBox.h"
#include "support/Form1Fixture.h"
#include "support/MessageBoxCloser.h"

#include <fstream>
#include <iterator>

namespace {
std::wstring ReadUtf8File(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                        text.data(), static_cast<int>(text.size()))));
    return text;
}

// The tree's line for the node keyed `key`, indented two spaces per level, and whether it is bold.
struct Line {
    std::wstring text;
    bool bold = false;
};
Line LineOf(const TreeViewControl& tree, const std::wstring& key)
{
    const HTREEITEM item = tree.ItemOfKey(key);
    if (item == nullptr) return {};
    size_t depth = 0;
    for (HTREEITEM at = item; (at = TreeView_GetParent(tree.hWnd(), at)) != nullptr;) ++depth;
    const UINT state = TreeView_GetItemState(tree.hWnd(), item, TVIS_BOLD);
    return {std::wstring(2 * depth, L' ') + tree.Text(item), (state & TVIS_BOLD) != 0};
}

class ChangesTest : public Form1Fixture {
protected:
    void Scan()
    {
        MessageBoxCloser closer(kApplicationTitle);
        m_form->meu_File_Click();
        EXPECT_EQ(1u, closer.Texts().size()) << "the count box is still shown";
    }
    Line Of(HWND window) { return LineOf(m_form->TreeView1(), KeyOf(window)); }
};

TEST_F(ChangesTest, TheTextExportIsTheTreeAndTheSecondScanMarksTheWindowsThatCame)
{
    UniqueWindow going = CreateTopWindow(L"going \x00E9");
    UniqueWindow staying = CreateTopWindow(L"staying");
    UniqueWindow child = CreateChildWindow(staying.get(), L"staying's child");
    Scan();
    ExportRecord(m_form->LastRecord().get(), L"inventory.txt");
    const std::wstring process = L"changes_tests.exe [PID:" + std::to_wstring(GetCurrentProcessId()) + L"]";
    const std::wstring exported = ReadUtf8File(L"inventory.txt");
    EXPECT_NE(std::wstring::npos, exported.find(L"\r\n" + process + L"\r\n"));
    // The text export holds this test's windows as the tree shows them.
    for (const HWND window : {going.get(), staying.get(), child.get()}) {
        const Line line = Of(window);
        EXPECT_FALSE(line.bold) << "the first scan marks nothing";
        EXPECT_NE(std::wstring::npos, exported.find(L"\r\n" + line.text + L"\r\n")) << ::testing::PrintToString(line.text);
    }
    EXPECT_EQ(L"  " + NodeTextOf(going.get(), L"going \x00E9"), Of(going.get()).text);
    EXPECT_EQ(L"    " + NodeTextOf(child.get(), L"staying's child"), Of(child.get()).text);
    EXPECT_EQ(std::wstring::npos, Panel1().find(L"since the previous scan")) << "the first scan marks nothing";

    going.reset();
    UniqueWindow coming = CreateTopWindow(L"coming");
    Scan();
    m_form->LastRecord(); // the marking comes with the whole record
    const std::wstring panel = Panel1();
    EXPECT_TRUE(Of(coming.get()).bold);
    EXPECT_FALSE(Of(staying.get()).bold);
    EXPECT_FALSE(Of(child.get()).bold);
    MessageBoxCloser listed(L"Changes since the previous scan");
    EXPECT_TRUE(PressKey(m_form->TreeView1().hWnd(), 'D', FCONTROL));
    ASSERT_EQ(1u, listed.Texts().size());
    // The panel counts what the listing lists (its lines are the rescan test's), whatever the
    // platform added and dropped meanwhile.
    const std::wstring listing = listed.Texts()[0];
    const auto count = [&](const wchar_t* heading) { return std::to_wstring(std::wcstol(&listing[listing.find(heading) + wcslen(heading)], nullptr, 10)); };
    EXPECT_EQ(count(L"New windows: ") + L" new, " + count(L"Gone windows: ") + L" gone since the previous scan", panel);
}

// A scan's record of one window, 00001234 in process `processId`.
std::shared_ptr<const ScanRecord> RecordOfOneWindow(LONG processId, const std::wstring& className, const std::wstring& caption)
{
    RecordedProcess process;
    process.processId = processId;
    process.exeName = L"made-up.exe";
    process.text = L"made-up.exe [PID:" + std::to_wstring(processId) + L"]";
    process.endWindow = 1;
    RecordedWindow window;
    window.handle = 0x1234;
    window.processId = processId;
    window.className = className;
    window.caption = caption;
    window.text = L"hWnd: 00001234h  \x3010" + caption + L"\x3011  [Class:" + className + L"]";
    return std::make_shared<const ScanRecord>(FILETIME{}, 1, std::vector<RecordedProcess>{process},
                                              std::vector<RecordedWindow>{window}, std::vector<size_t>{0});
}

TEST(ScanChangesOfRecords, AWindowIsTheSameOnlyWithTheSameHandleClassAndProcess)
{
    UniqueWindow host = CreateTopWindow(L"changes host");
    TreeViewControl tree(host.get(), 1, RECT{0, 0, 200, 100});
    StatusBarControl status(host.get(), 2, {{PanelKind::Text, 3000, 100}}, 330);
    const struct {
        const wchar_t* what;
        LONG processId;
        const wchar_t* className;
        const wchar_t* caption;
        bool isNew;
    } cases[] = {
        {L"the same window", 7, L"Edit", L"before", false},
        {L"its caption changed", 7, L"Edit", L"after", false},
        {L"the handle reused by another class", 7, L"Button", L"before", true},
        {L"the handle reused by another process", 8, L"Edit", L"before", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.what)));
        const std::wstring processKey = L"PID" + std::to_wstring(c.processId);
        tree.Clear();
        tree.AddRoot(processKey, L"made-up.exe");
        tree.AddChild(processKey, L"HWND4660", L"the window");
        ScanChanges changes;
        changes.Mark(RecordOfOneWindow(7, L"Edit", L"before"), tree, status);
        changes.Mark(RecordOfOneWindow(c.processId, c.className, c.caption), tree, status);
        EXPECT_EQ(c.isNew, LineOf(tree, L"HWND4660").bold);
        EXPECT_EQ(c.isNew ? L"1 new, 1 gone since the previous scan" : L"0 new, 0 gone since the previous scan",
                  status.PanelText(1));
        const std::wstring listing = changes.Listing().value_or(L"");
        EXPECT_EQ(c.isNew, listing.find(L"[Class:" + std::wstring(c.className) + L"]") < listing.find(L"Gone windows: "))
            << ::testing::PrintToString(listing);
    }
}
} // namespace
