// WindowInventory.exe as a person meets it: started as a process of its own, its scan chosen
// through the menu bar, the count box answered, the tree filled, the window closed; and what
// Windows and Explorer read from the file itself.
#include "platform/UniqueHandles.h"
#include "support/FormDriver.h"
#include "support/ProgramPath.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

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

// The manifest decides the compatibility context, the DPI awareness and the execution level
// before the program runs; the version and the icon are what Explorer shows of the file.
TEST(EndToEnd, TheExecutableCarriesItsManifestVersionAndIcon)
{
    const std::wstring path = PathBesideThisProgram(L"WindowInventory.exe");
    const HMODULE image =
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, image);
    const auto resource = [&](LPCWSTR type) {
        const HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), type);
        const char* data = found ? static_cast<const char*>(LockResource(LoadResource(image, found))) : "";
        return std::string(data, found ? SizeofResource(image, found) : 0);
    };
    const std::string manifest = resource(RT_MANIFEST);
    for (const char* part :
         {R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
          R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
          R"(<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>)", // Windows 7
          R"(<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>)", // 8
          R"(<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>)", // 8.1
          R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)", // 10 and 11
          R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>)",
          R"(<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor<)"}) {
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;
    }
    // The icon group (GRPICONDIR): a 6-byte header, then 14 bytes per image, its width first.
    const std::string icons = resource(RT_GROUP_ICON);
    std::set<int> widths;
    for (size_t entry = 6; entry + 14 <= icons.size(); entry += 14) widths.insert(static_cast<unsigned char>(icons[entry]));
    EXPECT_EQ((std::set<int>{16, 32, 48}), widths);
    FreeLibrary(image);

    std::vector<char> version(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_TRUE(!version.empty() && GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    for (const auto& [name, expected] :
         {std::pair{L"ProductName", L"WindowInventory"}, std::pair{L"FileVersion", L"1.0.0.0"},
          std::pair{L"ProductVersion", L"1.0.0.0"}, std::pair{L"OriginalFilename", L"WindowInventory.exe"},
          std::pair{L"FileDescription", L"WindowInventory: an inventory of every window on the desktop"},
          std::pair{L"LegalCopyright", L"Copyright (C) 2026 the WindowInventory developers"}}) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(VerQueryValueW(version.data(), query.c_str(), &value, &length)) << name;
        EXPECT_STREQ(expected, static_cast<const wchar_t*>(value));
    }
}

} // namespace
