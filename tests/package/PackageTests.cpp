// The release as a user downloads it, unpacked into a folder of its own that
// WINDOWINVENTORY_RELEASE names (PackageTest.cmake unpacks it): its read-me tells the program's
// own keys and command line, and the program runs from there, /export through
// WindowInventory.com and a log of a 64-bit window through the hook and host beside it.
#include "platform/UniqueHandles.h"
#include "support/CommandRun.h"
#include "support/FormDriver.h"
#include "support/SyntheticDesktopProcess.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

namespace {
using Bits = SyntheticDesktopProcess::Bits;

std::wstring Release()
{
    wchar_t folder[MAX_PATH] = {};
    GetEnvironmentVariableW(L"WINDOWINVENTORY_RELEASE", folder, MAX_PATH);
    return folder;
}

std::string ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string Ascii(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::wstring TextOf(HWND window)
{
    wchar_t text[4096] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &ignored);
    return text;
}

// Whether a line of the read-me holds `key` and `what`, apart by spaces as the read-me aligns them.
bool ReadMeTells(const std::string& readme, const std::string& key, const std::string& what)
{
    for (size_t at = readme.find(key); at != std::string::npos; at = readme.find(key, at + 1)) {
        const size_t text = readme.find_first_not_of(' ', at + key.size());
        const bool lineStart = at == 0 || readme[readme.find_last_not_of(' ', at - 1)] == '\n';
        if (lineStart && text > at + key.size() && readme.compare(text, what.size() + 2, what + "\r\n") == 0) return true;
    }
    return false;
}

TEST(Release, TheReadMeTellsTheCommandLineAndTheBareNameExportsFromTheFolder)
{
    ASSERT_FALSE(Release().empty()) << "WINDOWINVENTORY_RELEASE names the unpacked release";
    const auto [helpCode, help] = RunCommand(L"cmd /c WindowInventory /?", Release());
    EXPECT_EQ(0u, helpCode);
    ASSERT_EQ(0u, help.find("usage: WindowInventory.exe ")) << help;
    EXPECT_NE(std::string::npos, ReadFile(Release() + L"\\ReadMe.txt").find(help)) << "the read-me has the usage";
    const auto [exportCode, said] = RunCommand(L"cmd /c WindowInventory /export inventory.json", Release());
    EXPECT_EQ(0u, exportCode) << said;
    // The program that scanned ran from the release's folder (JSON doubles the backslashes).
    std::string path = Ascii(Release() + L"\\WindowInventory.exe");
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 2)) path.insert(at, 1, '\\');
    EXPECT_NE(std::string::npos, ReadFile(Release() + L"\\inventory.json").find("\"path\": \"" + path + "\"")) << path;
}

TEST(Release, ItsProgramHasTheReadMesKeysAndLogsA64BitWindowThroughTheHookAndHostBesideIt)
{
    const Bits bits = SyntheticDesktopProcess::RunnableBits().back(); // 64 bits where they run
    SyntheticDesktopProcess helper(L"target", bits);
    ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
    std::wstring commandLine = L"\"" + Release() + L"\\WindowInventory.exe\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, Release().c_str(), &startup,
                               &started));
    const UniqueHandle thread(started.hThread), process(started.hProcess);
    // Ended whatever happens: a program left running would hold the run's output open.
    const std::unique_ptr<void, void (*)(void*)> ender(process.get(), [](void* running) {
        if (WaitForSingleObject(running, 0) == WAIT_TIMEOUT) TerminateProcess(running, 1);
    });
    const HWND form = WaitForForm1(started.dwProcessId, 30000);
    ASSERT_NE(nullptr, form);
    const HWND tree = FindTree(form);

    // F1's keys, each on a line of the read-me.
    PostMessageW(tree, WM_KEYDOWN, VK_F1, 0);
    // Shown once its text is in.
    const HWND keys = PollUntil(10000, [] {
        const HWND box = FindWindowW(L"#32770", L"Keys");
        return box != nullptr && IsWindowVisible(box) && !TextOf(GetDlgItem(box, 0xFFFF)).empty() ? box : nullptr;
    });
    ASSERT_NE(nullptr, keys);
    const std::wstring listed = TextOf(GetDlgItem(keys, 0xFFFF));
    PostMessageW(keys, WM_COMMAND, IDOK, 0);
    const std::string readme = ReadFile(Release() + L"\\ReadMe.txt");
    size_t lines = 0;
    for (size_t at = 0, end; (end = listed.find(L"\r\n", at)) != std::wstring::npos; at = end + 2, ++lines) {
        const std::wstring line = listed.substr(at, end - at);
        const size_t tab = line.find(L'\t');
        EXPECT_TRUE(ReadMeTells(readme, Ascii(line.substr(0, tab)), Ascii(line.substr(tab + 1)))) << Ascii(line);
    }
    EXPECT_GT(lines, 10u);

    // A scan; the helper's process node, the last but one (the program started after it); its
    // first window, as panel 1 tells; and "Messages..." from its context menu, which takes the
    // posted M once it is open.
    ASSERT_TRUE(PollUntil(10000, [&] { return !IsWindow(keys); }));
    SetForegroundWindow(form);
    ChooseScanCommand(form);
    const HWND box = WaitForMessageBox(form, 30000);
    ASSERT_NE(nullptr, box);
    PressOk(box);
    ASSERT_TRUE(WaitForTreeItems(tree, 30000));
    for (const WPARAM key : {VK_END, VK_UP, VK_RIGHT, VK_DOWN}) PostMessageW(tree, WM_KEYDOWN, key, 0);
    const HWND statusBar = FindWindowExW(form, nullptr, STATUSCLASSNAMEW, nullptr);
    const auto selected = [&] {
        const std::wstring facts = TextOf(statusBar); // "Window 0001008Ch: ..."
        DWORD processId = 0;
        const auto window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoul(facts.c_str() + 7, nullptr, 16)));
        return facts.rfind(L"Window ", 0) == 0 && GetWindowThreadProcessId(window, &processId) && processId == helper.ProcessId();
    };
    ASSERT_TRUE(PollUntil(10000, selected)) << Ascii(TextOf(statusBar));
    PostMessageW(form, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), MAKELPARAM(-1, -1));
    PostMessageW(form, WM_CHAR, L'm', 0);
    const HWND log = PollUntil(20000, [] { return FindWindowW(L"WindowInventoryMessageLog", nullptr); });
    ASSERT_NE(nullptr, log);
    // The status line, once the log has made its controls.
    HWND status = nullptr;
    EXPECT_TRUE(PollUntil(10000, [&] {
        for (HWND child = nullptr; (child = FindWindowExW(log, child, L"Static", nullptr)) != nullptr;) {
            if (GetWindowLongW(child, GWL_STYLE) & SS_SUNKEN) status = child;
        }
        return TextOf(status).find(L"Watching hWnd: ") == 0;
    })) << Ascii(TextOf(status));
    if (bits == Bits::SixtyFour) {
        EXPECT_NE(std::wstring::npos, TextOf(status).find(L", a 64-bit process")) << Ascii(TextOf(status));
    }

    // The watched window's messages come in as rows.
    const std::wstring title = TextOf(log); // "Messages: hWnd: 0001008Ch ..."
    const auto watched = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoul(title.c_str() + 16, nullptr, 16)));
    const HWND list = FindWindowExW(log, nullptr, WC_LISTVIEWW, nullptr);
    EXPECT_TRUE(PollUntil(10000, [&] {
        SendMessageTimeoutW(watched, WM_NULL, 0, 0, SMTO_BLOCK, 1000, nullptr);
        DWORD_PTR rows = 0;
        SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_BLOCK, 1000, &rows);
        return rows > 0;
    })) << Ascii(TextOf(status));

    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 20000));
}
} // namespace
