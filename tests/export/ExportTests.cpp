// Saving a scan and marking what changed: the built program's /export against windows of a
// known shape, read back with nlohmann-json; its failures; the text format against the tree;
// two scans with one window gone and one new in between.
#include "app/Form1.h"
#include "export/InventoryExport.h"
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "support/MessageBoxCloser.h"
#include "support/ProgramPath.h"
#include "support/TestWindows.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <codecvt>
#include <fstream>
#include <functional>
#include <locale>
#include <map>

namespace {
using nlohmann::json;
// Files go to the working folder, which the program started from here shares.

std::string ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string Utf8(const std::wstring& text)
{
    return std::wstring_convert<std::codecvt_utf8_utf16<wchar_t>>().to_bytes(text);
}

// Runs the built program, its standard error to a file, answering our windows meanwhile.
std::pair<DWORD, std::string> RunProgram(const std::wstring& arguments)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const std::wstring errorPath = L"export-stderr.txt";
    UniqueHandle error(CreateFileW(errorPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = error.get();
    std::wstring commandLine = L"\"" + PathBesideThisProgram(L"WindowInventory.exe") + L"\" " + arguments;
    PROCESS_INFORMATION run = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &run)) return {~0u, ""};
    const UniqueHandle process(run.hProcess), thread(run.hThread);
    for (int i = 0; i < 3000 && MsgWaitForMultipleObjects(1, &run.hProcess, FALSE, 100, QS_ALLINPUT); ++i) PumpMessages();
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(run.hProcess, &exitCode);
    error.reset();
    return {exitCode, ReadFile(errorPath)};
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

TEST(ExportCommand, WritesEveryWindowOnceNestedAndEscaped)
{
    const std::wstring caption = L"say \"hi\" C:\\dir\\ tab\t line\nbell\x07 \x00E9 \x65E5\x672C";
    UniqueWindow top = CreateTopWindow(caption);
    UniqueWindow child = CreateChildWindow(top.get(), L"child");
    UniqueWindow grandchild = CreateChildWindow(child.get());
    const std::wstring path = L"inventory.json";
    const auto [exitCode, errorText] = RunProgram(L"/export \"" + path + L"\"");
    ASSERT_EQ(0u, exitCode) << errorText;

    const json document = json::parse(ReadFile(path));
    EXPECT_EQ(20u, document["takenAt"].get<std::string>().size());
    std::multimap<std::string, const json*> windows;
    size_t topsOfOurs = 0;
    for (const json& process : document["processes"]) {
        IndexWindows(process["windows"], windows);
        if (process["pid"] != GetCurrentProcessId()) continue;
        EXPECT_EQ("export_tests.exe", process["exe"]);
        for (const json& window : process["windows"]) topsOfOurs += window["hwnd"] == HexOf(top.get());
    }
    EXPECT_EQ(1u, topsOfOurs) << "our top-level window under our process";
    for (const auto& window : windows) EXPECT_EQ(1u, windows.count(window.first)) << "each window once";
    EXPECT_GE(document["liveObjectCount"].get<size_t>(), windows.size());

    ASSERT_EQ(1u, windows.count(HexOf(top.get())));
    const json& topWindow = *windows.find(HexOf(top.get()))->second;
    char ansi[256] = {}; // captions are read through the ANSI code page
    WideCharToMultiByte(CP_ACP, 0, caption.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    wchar_t read[256] = {};
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, read, 256);
    EXPECT_EQ(Utf8(read), topWindow["caption"]);
    EXPECT_EQ(Utf8(TestWindowClass()), topWindow["class"]);
    ASSERT_EQ(1u, topWindow["children"].size());
    EXPECT_EQ(HexOf(child.get()), topWindow["children"][0]["hwnd"]);
    ASSERT_EQ(1u, topWindow["children"][0]["children"].size());
    EXPECT_EQ(HexOf(grandchild.get()), topWindow["children"][0]["children"][0]["hwnd"]);
    EXPECT_EQ("INVALID", topWindow["children"][0]["children"][0]["caption"]);
}

TEST(ExportCommand, FailsWithAMessageLeavingNoFileAndTheOldOneUntouched)
{
    const std::wstring kept = L"kept.json";
    std::ofstream(kept.c_str()) << "old";
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::wstring xml = L"inventory.xml", missing = L"C:\\no\\such\\folder\\inventory.json";
    for (const std::wstring& path : {std::wstring(), xml, missing, kept}) {
        const auto [exitCode, errorText] = RunProgram(L"/export" + (path.empty() ? L"" : L" \"" + path + L"\""));
        EXPECT_NE(0u, exitCode) << Utf8(path);
        EXPECT_EQ(0u, errorText.find("WindowInventory: ")) << errorText;
        EXPECT_TRUE(path == kept || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) << Utf8(path);
    }
    EXPECT_EQ("old", ReadFile(kept));
    WIN32_FIND_DATAW found;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(L"*.partial", &found)) << "nothing left beside";
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(kept.c_str());
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
    EXPECT_EQ(L"", firstPanel) << "the first scan marks nothing";
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
