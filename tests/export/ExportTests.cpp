// Saving a scan and marking what changed: the built program's /export against windows of a
// known shape read back with nlohmann-json, its failures, the text format against the tree,
// and two scans with one window gone and one new in between.
#include "app/Form1.h"
#include "export/InventoryExport.h"
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "support/MessageBoxCloser.h"
#include "support/ScreenMetrics.h"
#include "support/TestWindows.h"
#include "support/TreeReader.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace {
using nlohmann::json;

std::wstring TempPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

std::string ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::string Utf8(const std::wstring& text)
{
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                                         &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

// What a caption becomes on its way through the ANSI code page, as the scan reads it.
std::wstring ThroughAnsi(const std::wstring& text)
{
    char ansi[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    wchar_t wide[512] = {};
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 512);
    return wide;
}

// Runs the built program with `arguments`, its standard error to a file; exit code and text.
std::pair<DWORD, std::string> RunProgram(const std::wstring& arguments)
{
    const std::wstring errorPath = TempPath(L"export-stderr.txt");
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    UniqueHandle error(CreateFileW(errorPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = error.get();
    std::wstring commandLine = L"\"" + PathBesideThisProgram(L"WindowInventory.exe") + L"\" " + arguments;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
        return {~0u, "cannot start the program"};
    }
    UniqueHandle process(started.hProcess), thread(started.hThread);
    // Our windows answer whatever the scan asks of them meanwhile.
    for (DWORD waited = 0; waited < 300000 &&
                           MsgWaitForMultipleObjects(1, &started.hProcess, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0;
         waited += 100) {
        PumpMessages();
    }
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.get(), &exitCode);
    error.reset();
    return {exitCode, ReadFile(errorPath)};
}

const json* FindWindow(const json& windows, HWND handle)
{
    char hex[16];
    wsprintfA(hex, "%08X", HandleValue(handle));
    for (const json& window : windows) {
        if (window["hwnd"] == hex) return &window;
    }
    return nullptr;
}

void CollectHandles(const json& windows, std::vector<std::string>& handles)
{
    for (const json& window : windows) {
        handles.push_back(window["hwnd"]);
        CollectHandles(window["children"], handles);
    }
}

TEST(ExportCommand, WritesEveryWindowOnceNestedAndEscaped)
{
    const std::wstring caption = L"say \"hi\" C:\\dir\\ tab\t line\nbell\x07 \x00E9 \x65E5\x672C";
    UniqueWindow top = CreateTopWindow(caption);
    UniqueWindow child = CreateChildWindow(top.get(), L"child");
    UniqueWindow grandchild = CreateChildWindow(child.get());
    const std::wstring path = TempPath(L"inventory.json");
    DeleteFileW(path.c_str());

    const auto [exitCode, errorText] = RunProgram(L"/export \"" + path + L"\"");
    ASSERT_EQ(0u, exitCode) << errorText;
    const json document = json::parse(ReadFile(path));
    EXPECT_EQ(20u, document["takenAt"].get<std::string>().size());
    std::vector<std::string> handles;
    const json* own = nullptr;
    for (const json& process : document["processes"]) {
        CollectHandles(process["windows"], handles);
        if (process["pid"] == GetCurrentProcessId()) own = &process;
    }
    std::sort(handles.begin(), handles.end());
    EXPECT_EQ(handles.end(), std::adjacent_find(handles.begin(), handles.end())) << "each window once";
    EXPECT_GE(document["liveObjectCount"].get<size_t>(), handles.size());

    ASSERT_NE(nullptr, own);
    EXPECT_EQ("export_tests.exe", (*own)["exe"]);
    const json* topWindow = FindWindow((*own)["windows"], top.get());
    ASSERT_NE(nullptr, topWindow);
    EXPECT_EQ(Utf8(ThroughAnsi(caption)), (*topWindow)["caption"]);
    EXPECT_EQ(Utf8(TestWindowClass()), (*topWindow)["class"]);
    ASSERT_EQ(1u, (*topWindow)["children"].size());
    const json& childWindow = (*topWindow)["children"][0];
    EXPECT_NE(nullptr, FindWindow((*topWindow)["children"], child.get()));
    ASSERT_EQ(1u, childWindow["children"].size());
    EXPECT_NE(nullptr, FindWindow(childWindow["children"], grandchild.get()));
    EXPECT_EQ("INVALID", childWindow["children"][0]["caption"]);
}

TEST(ExportCommand, FailsWithAMessageAndLeavesNoFile)
{
    const std::wstring kept = TempPath(L"kept.json");
    std::ofstream(kept.c_str()) << "old";
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY);
    const struct {
        std::wstring arguments;
        std::wstring path; // what must not be written
    } cases[] = {
        {L"/export", L""},
        {L"/export \"" + TempPath(L"inventory.xml") + L"\"", TempPath(L"inventory.xml")},
        {L"/export C:\\no\\such\\folder\\inventory.json", L"C:\\no\\such\\folder\\inventory.json"},
        {L"/export \"" + kept + L"\"", kept},
    };
    for (const auto& failing : cases) {
        const auto [exitCode, errorText] = RunProgram(failing.arguments);
        EXPECT_NE(0u, exitCode) << Utf8(failing.arguments);
        EXPECT_EQ(0u, errorText.find("WindowInventory: ")) << errorText;
        if (failing.path != kept) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(failing.path.c_str()));
        }
    }
    EXPECT_EQ("old", ReadFile(kept));
    WIN32_FIND_DATAW found;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(TempPath(L"*.partial").c_str(), &found)) << "nothing left beside";
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(kept.c_str());
}

class ScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_form.Show(SW_SHOWNORMAL);
        ASSERT_NE(nullptr, m_form.hWnd());
    }
    void Scan()
    {
        MessageBoxCloser closer(kApplicationTitle);
        m_form.meu_File_Click();
        ASSERT_EQ(1u, closer.Texts().size()) << "the count box is still shown";
    }
    std::wstring Panel1() const
    {
        wchar_t text[128] = {};
        SendMessageW(m_form.sBar1().hWnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    Form1 m_form;
};

TEST_F(ScanTest, TextFileHoldsTheTreesTexts)
{
    UniqueWindow top = CreateTopWindow(L"text \x00E9");
    Scan();
    const std::wstring path = TempPath(L"inventory.txt");
    ExportTree(m_form.TreeView1(), m_form.LastScan(), path);
    std::wstring expected;
    std::function<void(const std::vector<TreeNode>&, size_t)> lines = [&](const std::vector<TreeNode>& nodes, size_t depth) {
        for (const TreeNode& node : nodes) {
            expected += std::wstring(2 * depth, L' ') + node.text + L"\r\n";
            lines(node.children, depth + 1);
        }
    };
    lines(ReadTree(m_form.TreeView1().hWnd()), 0);
    EXPECT_EQ(Utf8(expected), ReadFile(path));
}

// Every window node of a tree by its process, handle and class, and whether it is bold.
std::map<std::wstring, bool> WindowsOf(const std::vector<TreeViewControl::NodeContent>& roots)
{
    std::map<std::wstring, bool> windows;
    std::function<void(const std::wstring&, const std::vector<TreeViewControl::NodeContent>&)> collect =
        [&](const std::wstring& process, const auto& nodes) {
            for (const auto& node : nodes) {
                windows[process + node.text.substr(0, 15) + node.text.substr(node.text.rfind(L"\x3011  [Class:"))] =
                    node.bold;
                collect(process, node.children);
            }
        };
    for (const auto& root : roots) collect(root.text, root.children);
    return windows;
}

TEST_F(ScanTest, SecondScanMarksTheNewWindowsAndCountsTheGoneOnes)
{
    UniqueWindow going = CreateTopWindow(L"going");
    UniqueWindow staying = CreateTopWindow(L"staying");
    Scan();
    const std::map<std::wstring, bool> first = WindowsOf(m_form.TreeView1().ReadNodes());
    EXPECT_EQ(L"", Panel1()) << "the first scan marks nothing";
    for (const auto& window : first) EXPECT_FALSE(window.second);
    going.reset();
    UniqueWindow coming = CreateTopWindow(L"coming");
    Scan();

    // Wine's taskbar adds and drops buttons of its own meanwhile: the counts cover them too.
    size_t added = 0;
    const std::map<std::wstring, bool> second = WindowsOf(m_form.TreeView1().ReadNodes());
    for (const auto& [window, bold] : second) {
        EXPECT_EQ(first.count(window) == 0, bold) << Utf8(window);
        added += first.count(window) == 0 ? 1 : 0;
    }
    const size_t gone = first.size() - (second.size() - added);
    EXPECT_EQ(std::to_wstring(added) + L" new, " + std::to_wstring(gone) + L" gone since the previous scan", Panel1());
    const std::wstring own = L" [PID:" + std::to_wstring(GetCurrentProcessId()) + L"]";
    for (const auto& [window, bold] : second) {
        if (window.find(own) == std::wstring::npos) continue;
        EXPECT_EQ(window.find(FormatHandleHex(HandleValue(coming.get()))) != std::wstring::npos, bold) << Utf8(window);
    }
    EXPECT_GE(gone, 1u);
}
} // namespace
