// WindowInventory.exe as a person meets it: started as a process of its own, its scan chosen
// through the menu bar, the count box answered, the tree filled, the window closed.
#include "platform/UniqueHandles.h"
#include "support/FormDriver.h"
#include "support/ProgramPath.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(EndToEnd, TheBuiltProgramScansFromItsMenuBarAndEndsWhenClosed)
{
    const std::wstring path = PathBesideThisProgram(L"WindowInventory.exe");
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started));
    const UniqueHandle thread(started.hThread), process(started.hProcess); // the run's end stops a program left over

    const HWND form = WaitForForm1(started.dwProcessId, 30000);
    ASSERT_NE(nullptr, form) << "no Form1 window appeared";
    // Loaded as designed: the progress bar docked inside the status bar.
    const HWND statusBar = FindWindowExW(form, nullptr, STATUSCLASSNAMEW, nullptr);
    EXPECT_TRUE(PollUntil(10000, [&] { return FindWindowExW(statusBar, nullptr, PROGRESS_CLASSW, nullptr); }));

    SetForegroundWindow(form);
    ChooseScanCommand(form);
    const HWND box = WaitForMessageBox(form, 30000);
    ASSERT_NE(nullptr, box) << "choosing ClickHere(&C) showed no count box";
    const std::wstring count = MessageBoxText(box);
    EXPECT_TRUE(!count.empty() && count.find_first_not_of(L"0123456789") == std::wstring::npos) << count.size();
    PressOk(box);
    EXPECT_TRUE(WaitForTreeItems(FindTree(form), 30000)) << "the tree stayed empty";

    PostMessageW(form, WM_CLOSE, 0, 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 20000)) << "still running after WM_CLOSE";
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(0u, exitCode);
}

} // namespace
