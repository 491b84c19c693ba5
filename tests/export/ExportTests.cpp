// Saving a scan: the built program's /export against windows of a known shape, read back with
// nlohmann-json; its failures; two exports of an unchanged desktop compared through the console
// front end; and the record the form keeps against the file /export writes.
#include "ExportTestSupport.h"
#include "app/Form1.h"
#include "export/InventoryExport.h"
#include "platform/MessageBox.h"
#include "support/MessageBoxCloser.h"
#include "support/ProgramPath.h"
#include "support/SyntheticDesktopProcess.h"
#include "support/TestWindows.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <set>

namespace {
using nlohmann::json;
// Files go to the working folder, which the program started from here shares.

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
    EXPECT_EQ(AsUtf8(caption), topWindow["caption"]);
    EXPECT_EQ(AsUtf8(className), topWindow["class"]);
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
        EXPECT_EQ(AsUtf8(className), change["class"]);
        EXPECT_EQ(json({{"caption", {{"before", AsUtf8(caption)}, {"after", AsUtf8(renamed)}}},
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
        EXPECT_NE(0u, exitCode) << AsUtf8(path);
        EXPECT_EQ(0u, errorText.find("WindowInventory: ")) << errorText;
        if (path == L"folder.json") EXPECT_NE(std::string::npos, errorText.find("it is a folder, not a file")) << errorText;
        else EXPECT_TRUE(path == kept || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) << AsUtf8(path);
    }
    EXPECT_EQ("old", ReadFile(kept));
    WIN32_FIND_DATAW found;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(L"wi*.tmp", &found)) << "nothing left beside";
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(kept.c_str());
    RemoveDirectoryW(L"folder.json");
}


// What a script asking "did anything change?" gets: two exports through WindowInventory.com with
// nothing but the program's own runs coming and going between them compare equal. Each file
// marks those runs (the .com and the .exe of each) as the program's own.
TEST(ExportCommand, TwoExportsOfAnUnchangedDesktopCompareEqual)
{
    std::wstring program = PathBesideThisProgram(L"WindowInventory.exe");
    program.resize(program.size() - 4); // the bare name: cmd runs WindowInventory.com
    const std::wstring run = L"\"" + program + L"\"";
    SettleTheShell();
    EXPECT_EQ(std::make_pair(0ul, std::string("The inventories are equal.\r\n")),
              RunCommand(L"cmd /c \"" + run + L" /export unchanged-1.json && " + run + L" /export unchanged-2.json && " + run +
                         L" /compare unchanged-1.json unchanged-2.json\""));
    for (const wchar_t* file : {L"unchanged-1.json", L"unchanged-2.json"}) {
        std::multiset<std::string> own;
        const json document = json::parse(ReadFile(file));
        for (const json& process : document["processes"]) {
            if (process.value("self", false)) own.insert(process["exe"].get<std::string>());
        }
        EXPECT_EQ((std::multiset<std::string>{"WindowInventory.com", "WindowInventory.exe"}), own) << AsUtf8(file);
    }
}

// The process's entry in an exported document, or null.
json ProcessIn(const json& document, DWORD processId)
{
    for (const json& process : document["processes"]) {
        if (process["pid"] == processId) return process;
    }
    return nullptr;
}

// The form's record and /export's file say the same of the same desktop, field for field: of this
// test's windows and of another process's. Each marks its own process as the program's.
TEST(ExportCommand, TheFormKeepsTheRecordThatExportWrites)
{
    SyntheticDesktopProcess helper(L"flat 2 2");
    ASSERT_TRUE(helper.Started() && helper.WaitReady(60000)) << AsUtf8(helper.Error());
    UniqueWindow top = CreateTopWindow(L"kept \x263A", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    UniqueWindow child = CreateChildWindow(top.get(), L"kept child");
    Form1 form;
    form.Show(SW_SHOWNORMAL);
    {
        MessageBoxCloser closer(kApplicationTitle);
        form.meu_File_Click();
    }
    const json kept = json::parse(FormatInventory(*form.LastRecord(), ExportFormat::Json));
    ASSERT_EQ(0u, RunProgram(L"/export written.json").first);
    const json written = json::parse(ReadFile(L"written.json"));

    const json keptHelper = ProcessIn(kept, helper.ProcessId()), keptOwn = ProcessIn(kept, GetCurrentProcessId());
    const json writtenHelper = ProcessIn(written, helper.ProcessId()), writtenOwn = ProcessIn(written, GetCurrentProcessId());
    ASSERT_TRUE(keptHelper.is_object() && keptOwn.is_object() && writtenOwn.is_object());
    EXPECT_EQ(keptHelper, writtenHelper);
    std::multimap<std::string, const json*> keptWindows, writtenWindows;
    IndexWindows(keptOwn["windows"], keptWindows);
    IndexWindows(writtenOwn["windows"], writtenWindows);
    ASSERT_EQ(1u, keptWindows.count(HexOf(top.get())));
    ASSERT_EQ(1u, writtenWindows.count(HexOf(top.get())));
    EXPECT_EQ(*keptWindows.find(HexOf(top.get()))->second, *writtenWindows.find(HexOf(top.get()))->second);
    EXPECT_EQ(HexOf(child.get()), (*keptWindows.find(HexOf(top.get()))->second)["children"][0]["hwnd"]);

    EXPECT_EQ(true, keptOwn.value("self", false)) << "the form's own process";
    EXPECT_EQ(false, writtenOwn.value("self", false));
}
} // namespace
