// Saving a scan and marking what changed: the built program's /export against windows of a
// known shape, read back with nlohmann-json; its failures and its usage; the text format
// against the tree; two scans with one window gone and one new in between.
#include "app/Form1.h"
#include "export/InventoryExport.h"
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "support/CommandRun.h"
#include "support/MessageBoxCloser.h"
#include "support/ProgramPath.h"
#include "support/TestWindows.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <codecvt>
#include <filesystem>
#include <fstream>
#include <functional>
#include <locale>
#include <map>

namespace {
using nlohmann::json;

// Files go to the working folder, which the program started from here shares: a fresh folder
// under the temporary one for the run, never the folder the tests were started from.
class TemporaryWorkingFolder : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_started = std::filesystem::current_path();
        m_folder = std::filesystem::temp_directory_path() /
                   (L"export_tests-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()));
        std::filesystem::create_directories(m_folder);
        std::filesystem::current_path(m_folder);
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_started);
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

private:
    std::filesystem::path m_started, m_folder;
};
[[maybe_unused]] ::testing::Environment* const kWorkingFolder =
    ::testing::AddGlobalTestEnvironment(new TemporaryWorkingFolder);

std::string ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string Utf8(const std::wstring& text)
{
    return std::wstring_convert<std::codecvt_utf8_utf16<wchar_t>>().to_bytes(text);
}

std::pair<DWORD, std::string> RunProgram(const std::wstring& arguments)
{
    return RunCommand(L"\"" + PathBesideThisProgram(L"WindowInventory.exe") + L"\" " + arguments);
}

// Every window of the document by its handle text; a window listed twice is there twice.
void IndexWindows(const json& windows, std::multimap<std::string, const json*>& index)
{
    for (const json& window : windows) {
        index.emplace(window["hwnd"], &window);
        IndexWindows(window["children"], index);
    }
}

std::string HexOf(HWND window)
{
    char hex[16];
    wsprintfA(hex, "%08X", HandleValue(window));
    return hex;
}

LRESULT CALLBACK PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(ExportCommand, UnicodeNamesAndHostileClassesRoundTripThroughExportAndCompare)
{
    const std::wstring caption = L"emoji \xD83D\xDE00 cjk \x6F22\x5B57 line\r\nnext\ttab \"q\" C:\\dir\\ bell\x07";
    const std::wstring className = L"Hostile\x3011  [Class:Evil";
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = PlainProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className.c_str();
    ASSERT_NE(0, RegisterClassW(&windowClass));
    UniqueWindow top(CreateWindowExW(0, className.c_str(), caption.c_str(), WS_OVERLAPPEDWINDOW, 10, 20, 300, 200,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    UniqueWindow child = CreateChildWindow(top.get(), L"child");
    UniqueWindow grandchild = CreateChildWindow(child.get());
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    const auto [exitCode, errorText] = RunProgram(L"/export \"\\\\?\\" + std::wstring(folder) + L"\\before.json\"");
    ASSERT_EQ(0u, exitCode) << errorText;
    ASSERT_EQ(0u, RunProgram(L"/export before.txt").first);

    const json document = json::parse(ReadFile(L"before.json"));
    std::multimap<std::string, const json*> windows;
    for (const json& process : document["processes"]) {
        IndexWindows(process["windows"], windows);
        if (process["pid"] != GetCurrentProcessId()) continue;
        EXPECT_EQ("export_tests.exe", process["exe"]);
        const std::string path = process["path"];
        EXPECT_EQ("\\export_tests.exe", path.substr(path.size() - 17)) << path;
    }
    for (const auto& window : windows) EXPECT_EQ(1u, windows.count(window.first)) << "each window once";
    ASSERT_EQ(1u, windows.count(HexOf(top.get())));
    const json& topWindow = *windows.find(HexOf(top.get()))->second;
    EXPECT_EQ(Utf8(caption), topWindow["caption"]);
    EXPECT_EQ(Utf8(className), topWindow["class"]);
    EXPECT_TRUE(topWindow.contains("text")) << "the tree's ANSI text lost the emoji";
    EXPECT_EQ(false, topWindow["visible"]);
    RECT rect = {};
    GetWindowRect(top.get(), &rect);
    EXPECT_EQ(json::array({rect.left, rect.top, rect.right, rect.bottom}), topWindow["rect"]);
    ASSERT_EQ(1u, topWindow["children"].size());
    EXPECT_EQ(HexOf(child.get()), topWindow["children"][0]["hwnd"]);
    EXPECT_EQ(HexOf(grandchild.get()), topWindow["children"][0]["children"][0]["hwnd"]);
    EXPECT_EQ("INVALID", topWindow["children"][0]["children"][0]["caption"]);

    // One line per node as the tree shows it (names through the ANSI code page), the caption's
    // control characters spelled out.
    const std::string text = ReadFile(L"before.txt");
    const size_t line = text.find("  hWnd: " + HexOf(top.get()) + "h");
    ASSERT_NE(std::string::npos, line);
    const size_t end = text.find("\r\n", line);
    const std::string tail = "line\\r\\nnext\\ttab \"q\" C:\\dir\\ bell\\x07\xE3\x80\x91  [Class:Hostile?  [Class:Evil]";
    ASSERT_GE(end - line, tail.size());
    EXPECT_EQ(tail, text.substr(end - tail.size(), tail.size()));
    EXPECT_EQ("    hWnd: " + HexOf(child.get()), text.substr(end + 2, 18));

    EXPECT_EQ(std::make_pair(0ul, std::string("The inventories are equal.\r\n")),
              RunProgram(L"/compare before.json before.json"));
    const std::wstring renamed = L"after \xD83D\xDE01 \x4E2D";
    SetWindowTextW(top.get(), renamed.c_str());
    ShowWindow(top.get(), SW_SHOWNA);
    std::ofstream(L"after.json") << "an older file, replaced whole";
    ASSERT_EQ(0u, RunProgram(L"/export after.json").first);
    ASSERT_EQ(1u, RunProgram(L"/compare before.json after.json report.json").first);
    const json report = json::parse(ReadFile(L"report.json"));
    size_t ours = 0;
    for (const json& change : report["windowsChanged"]) {
        if (change["hwnd"] != HexOf(top.get())) continue;
        ++ours;
        EXPECT_EQ(Utf8(className), change["class"]);
        EXPECT_EQ(json({{"caption", {{"before", Utf8(caption)}, {"after", Utf8(renamed)}}},
                        {"visible", {{"before", "hidden"}, {"after", "visible"}}}}),
                  change["changes"]);
    }
    EXPECT_EQ(1u, ours);
    top.reset();
    UnregisterClassW(className.c_str(), GetModuleHandleW(nullptr));
}

TEST(ExportCommand, FailsWithAMessageLeavingNoFileAndTheOldOneUntouched)
{
    const std::wstring kept = L"kept.json";
    std::ofstream(kept.c_str()) << "old";
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryW(L"folder.json", nullptr);
    const std::wstring xml = L"inventory.xml", missing = L"C:\\no\\such\\folder\\inventory.json";
    for (const std::wstring& path : {std::wstring(), xml, missing, kept, std::wstring(L"folder.json")}) {
        const auto [exitCode, errorText] = RunProgram(L"/export" + (path.empty() ? L"" : L" \"" + path + L"\""));
        EXPECT_NE(0u, exitCode) << Utf8(path);
        EXPECT_EQ(0u, errorText.find("WindowInventory: ")) << errorText;
        if (path == L"folder.json") EXPECT_NE(std::string::npos, errorText.find("it is a folder, not a file")) << errorText;
        else EXPECT_TRUE(path == kept || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) << Utf8(path);
    }
    EXPECT_EQ("old", ReadFile(kept));
    WIN32_FIND_DATAW found;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(L"wi*.tmp", &found)) << "nothing left beside";
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(kept.c_str());
    RemoveDirectoryW(L"folder.json");
}

// An export in the older format, as the README shows it.
const char kOlderExport[] = R"({"takenAt": "2026-12-07T01:00:04Z", "liveObjectCount": 27, "processes": [
  { "pid": 64, "exe": "explorer.exe", "windows": [
    { "hwnd": "00020034", "caption": "INVALID", "class": "Shell_TrayWnd", "children": [
      { "hwnd": "00010040", "caption": "INVALID", "class": "Button", "children": [] } ] } ] },
  { "pid": 76, "exe": "winedevice.exe", "windows": [] } ] })";

TEST(CompareCommand, BadInputIsRefusedInWordsAndOlderOrNewerFilesCompare)
{
    std::ofstream(L"older.json") << kOlderExport;
    const std::string later = R"({"format": 9, "future": {"a": [1, {"b": null}]}, "processes": [
      { "pid": 64, "exe": "explorer.exe", "x": 1, "windows": [
        { "hwnd": "00020034", "caption": "INVALID", "class": "Shell_TrayWnd", "visible": true, "rect": [0, 0, 9, 9],
          "children": [ { "hwnd": "00010040", "caption": "INVALID", "class": "Button", "children": [], "y": [] } ] } ] },
      { "pid": 76, "exe": "winedevice.exe", "windows": [] } ] })";
    const std::string twice = R"({"processes": [{"pid": 1, "exe": "a.exe", "windows": [
      {"hwnd": "0000ABCD", "caption": "a", "class": "c", "children": []},
      {"hwnd": "0000abcd", "caption": "b", "class": "c", "children": []}]}]})";
    const struct {
        const char* content;
        DWORD exitCode;
        const char* says;
    } cases[] = {
        {"hello", 2, "compare.json: not JSON: unexpected 'h' at line 1, column 1\r\n"},
        // Columns count characters, as an editor does: the é is one.
        {"{\"processes\": [\r\n  {\"pid\": 1, \"exe\": \"a\", \"windows\": []},\n"
         "  {\"exe\": \"\xC3\xA9\", \"pid\": 2, \"windows\": []} x]}",
         2, "compare.json: not JSON: unexpected 'x' at line 3, column 41\r\n"},
        {"{\"processes\": [{\"exe\": \"a\xFF\"}]}", 2, "compare.json: not JSON: unexpected byte 0xFF at line 1, column 26"},
        {"", 2, "compare.json: the JSON ends too soon: the file is truncated or empty"},
        {"[1, 2]", 2, "compare.json: not an inventory: the top level is not an object"},
        {R"({"processes": 5})", 2, "not an inventory: the top level: \"processes\" is missing or not an array"},
        {R"({"processes": [{"pid": 1, "exe": "a", "windows": [{"hwnd": "12", "caption": "", "class": ""}]}]})", 2,
         "processes[0].windows[0]: \"hwnd\" is not eight hexadecimal digits"},
        {twice.c_str(), 2, "processes[0].windows[1]: window 0000ABCD is listed twice"},
        {later.c_str(), 0, ""},
        {kOlderExport, 0, "The inventories are equal."},
        // The older files' INVALID is a window without a caption: reported as it is, empty.
        {R"({"processes": [{ "pid": 64, "exe": "explorer.exe", "windows": [{ "hwnd": "00020034", "caption": "Start",
           "class": "Shell_TrayWnd", "children": [{ "hwnd": "00010040", "caption": "INVALID", "class": "Button",
           "children": [] }] }] }, { "pid": 76, "exe": "winedevice.exe", "windows": [] }] })",
         1, "Shell_TrayWnd] of PID 64: \"Start\"; caption \"\" -> \"Start\"\r\n"},
    };
    for (const auto& row : cases) {
        std::ofstream(L"compare.json", std::ios::binary) << row.content;
        const auto [exitCode, output] = RunProgram(L"/compare older.json compare.json");
        EXPECT_EQ(row.exitCode, exitCode) << row.content;
        EXPECT_NE(std::string::npos, output.find(row.says)) << output;
    }
    // Cut short, nested deeper than any inventory, and as large as no inventory is.
    std::ofstream(L"compare.json", std::ios::binary) << std::string(kOlderExport, sizeof kOlderExport / 2);
    EXPECT_EQ(std::make_pair(2ul, std::string("WindowInventory: compare.json: the JSON ends too soon: the file is truncated or empty\r\n")),
              RunProgram(L"/compare older.json compare.json"));
    std::ofstream(L"compare.json", std::ios::binary) << "{\"future\": " << std::string(200000, '[') << std::string(200000, ']') << "}";
    EXPECT_EQ(std::make_pair(2ul, std::string("WindowInventory: compare.json: arrays or objects are nested more than 512 deep: no inventory is\r\n")),
              RunProgram(L"/compare older.json compare.json"));
    {
        UniqueHandle huge(CreateFileW(L"compare.json", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        LARGE_INTEGER size;
        size.QuadPart = 1ll << 30;
        ASSERT_TRUE(SetFilePointerEx(huge.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(huge.get()));
    }
    EXPECT_EQ(std::make_pair(2ul, std::string("WindowInventory: compare.json: is 1024 MB, larger than any inventory (at most 64 MB)\r\n")),
              RunProgram(L"/compare older.json compare.json"));
    DeleteFileW(L"compare.json");
    CreateDirectoryW(L"folder.json", nullptr);
    EXPECT_EQ(std::make_pair(2ul, std::string("WindowInventory: folder.json: is a folder, not a file\r\n")),
              RunProgram(L"/compare older.json folder.json"));
    RemoveDirectoryW(L"folder.json");
}

// From cmd, the bare name runs WindowInventory.com, which waits and hands the answer on.
TEST(ConsoleFrontEnd, CmdGetsTheOutputAndExitCodeOfTheCommandLineModes)
{
    std::ofstream(L"older.json") << kOlderExport;
    std::wstring program = PathBesideThisProgram(L"WindowInventory.exe");
    program.resize(program.size() - 4); // the bare name
    EXPECT_EQ(std::make_pair(0ul, std::string("The inventories are equal.\r\n")),
              RunCommand(L"cmd /c \"\"" + program + L"\" /compare older.json older.json\""));
    const auto [exitCode, said] = RunCommand(L"cmd /c \"\"" + program + L"\" /compare older.json missing.json\"");
    EXPECT_EQ(2u, exitCode);
    EXPECT_EQ(0u, said.find("WindowInventory: missing.json: cannot be opened: ")) << said;
    EXPECT_EQ(0u, RunCommand(L"cmd /c \"\"" + program + L"\" /export cmd.txt\"").first);
    EXPECT_NE(std::string::npos, ReadFile(L"cmd.txt").find("export_tests.exe [PID:" + std::to_string(GetCurrentProcessId()) + "]\r\n"));
}

TEST(CommandLine, TellsTheUsageWhenAskedAndForAnythingItDoesNotKnowInsteadOfOpeningAWindow)
{
    const std::string usage = "usage: WindowInventory.exe [/export PATH | /compare OLD.json NEW.json [OUT] | /? | /help]\r\n";
    const struct {
        const wchar_t* arguments;
        DWORD exitCode;
        std::string first; // what the output starts with; the usage follows
    } cases[] = {
        {L"/?", 0, usage},
        {L"/HELP", 0, usage},
        {L"--help", 0, usage},
        {L"/x", 2, "WindowInventory: unknown switch /x\r\n" + usage},
        {L"stray", 2, "WindowInventory: unexpected argument stray\r\n" + usage},
        {L"/? stray", 2, "WindowInventory: unexpected argument stray\r\n" + usage},
    };
    for (const auto& c : cases) {
        const auto [exitCode, output] = RunProgram(c.arguments);
        EXPECT_EQ(c.exitCode, exitCode) << Utf8(c.arguments);
        EXPECT_EQ(0u, output.find(c.first)) << output;
        EXPECT_NE(std::string::npos, output.find("  /export PATH    scans once")) << output;
        EXPECT_NE(std::string::npos, output.find("  /compare OLD.json NEW.json [OUT]\r\n")) << output;
        EXPECT_NE(std::string::npos, output.find("exit codes: /export: 0 done, 1 the scan or the write failed; /compare: 0 "
                                                 "equal,\r\n1 different; 2 a wrong command line or a bad file\r\n"));
    }
}

// The form's tree as the text format must hold it, and its windows by process, handle and
// class with whether each is bold.
struct TreeView {
    std::wstring text;
    std::map<std::wstring, bool> windows;
};

TreeView ViewOf(const Form1& form)
{
    TreeView view;
    std::function<void(const std::vector<TreeViewControl::NodeContent>&, const std::wstring&, size_t)> walk =
        [&](const auto& nodes, const std::wstring& process, size_t depth) {
            for (const auto& node : nodes) {
                view.text += std::wstring(2 * depth, L' ') + node.text + L"\r\n";
                if (depth > 0) view.windows[process + node.text.substr(0, 15) + node.text.substr(node.text.rfind(L"\x3011 "))] = node.bold;
                walk(node.children, depth == 0 ? node.text : process, depth + 1);
            }
        };
    walk(form.TreeView1().ReadNodes(), L"", 0);
    return view;
}

TEST(ScanChanges, TextExportIsTheTreeAndTheSecondScanMarksWhatCameAndCountsWhatWent)
{
    Form1 form;
    form.Show(SW_SHOWNORMAL);
    const auto scan = [&] {
        MessageBoxCloser closer(kApplicationTitle);
        form.meu_File_Click();
        EXPECT_EQ(1u, closer.Texts().size()) << "the count box is still shown";
        wchar_t panel[128] = {};
        SendMessageW(form.sBar1().hWnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(panel));
        return std::make_pair(ViewOf(form), std::wstring(panel));
    };
    UniqueWindow going = CreateTopWindow(L"going \x00E9");
    const auto [first, firstPanel] = scan();
    ExportRecord(form.LastRecord().get(), L"inventory.txt");
    EXPECT_EQ(Utf8(first.text), ReadFile(L"inventory.txt"));
    EXPECT_EQ(std::wstring::npos, firstPanel.find(L"since the previous scan")) << "the first scan marks nothing";
    for (const auto& window : first.windows) EXPECT_FALSE(window.second);

    going.reset();
    UniqueWindow coming = CreateTopWindow(L"coming");
    const auto [second, secondPanel] = scan();
    // Wine's taskbar adds and drops buttons of its own meanwhile: the counts cover them too.
    size_t added = 0;
    for (const auto& [window, bold] : second.windows) {
        added += first.windows.count(window) == 0;
        EXPECT_EQ(first.windows.count(window) == 0, bold) << Utf8(window);
        if (window.find(L" [PID:" + std::to_wstring(GetCurrentProcessId()) + L"]") != std::wstring::npos) {
            EXPECT_EQ(window.find(FormatHandleHex(HandleValue(coming.get()))) != std::wstring::npos, bold) << Utf8(window);
        }
    }
    const size_t gone = first.windows.size() - (second.windows.size() - added);
    EXPECT_EQ(std::to_wstring(added) + L" new, " + std::to_wstring(gone) + L" gone since the previous scan", secondPanel);
}
} // namespace
