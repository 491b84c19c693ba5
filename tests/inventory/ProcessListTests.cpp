// BuildProcessList against scripted snapshots (exact process sets the real platform cannot
// be made to show) and against the real Toolhelp snapshot.
#include "inventory/APi.h"
#include "platform/ProcessSnapshot.h"
#include "support/TestWindows.h"
#include "window_model/ScreenWindowInfo.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct ScriptedEntry {
    DWORD processId;
    std::string name; // ANSI bytes as the platform would write them
};

// What the scripted snapshot delivers and what it saw.
struct Script {
    bool fails = false;
    std::vector<ScriptedEntry> entries;
    size_t next = 0;
    int closes = 0;
    DWORD sizeAtFirst = 0;
    bool nameFieldZeroAtFirst = false;
} g_script;

const HANDLE kScriptedHandle = reinterpret_cast<HANDLE>(0x5150);

void Deliver(ProcessEntryRecord* entry)
{
    const ScriptedEntry& scripted = g_script.entries[g_script.next++];
    entry->th32ProcessID = scripted.processId;
    // Like the platform: the name and its NUL, nothing else of the field touched.
    std::memcpy(entry->szExeFile, scripted.name.c_str(), scripted.name.size() + 1);
}

HANDLE WINAPI ScriptedCreate(DWORD flags, DWORD processId)
{
    EXPECT_EQ(static_cast<DWORD>(TH32CS_SNAPPROCESS), flags);
    EXPECT_EQ(0u, processId);
    return g_script.fails ? INVALID_HANDLE_VALUE : kScriptedHandle;
}

BOOL WINAPI ScriptedFirst(HANDLE snapshot, ProcessEntryRecord* entry)
{
    EXPECT_EQ(kScriptedHandle, snapshot);
    g_script.sizeAtFirst = entry->dwSize;
    const char zeros[sizeof entry->szExeFile] = {};
    g_script.nameFieldZeroAtFirst = std::memcmp(entry->szExeFile, zeros, sizeof zeros) == 0;
    if (g_script.next >= g_script.entries.size()) return FALSE;
    Deliver(entry);
    return TRUE;
}

BOOL WINAPI ScriptedNext(HANDLE snapshot, ProcessEntryRecord* entry)
{
    EXPECT_EQ(kScriptedHandle, snapshot);
    if (g_script.next >= g_script.entries.size()) return FALSE;
    Deliver(entry);
    return TRUE;
}

BOOL WINAPI ScriptedClose(HANDLE snapshot)
{
    EXPECT_EQ(kScriptedHandle, snapshot);
    ++g_script.closes;
    return TRUE;
}

const ToolhelpApi kScripted = {ScriptedCreate, ScriptedFirst, ScriptedNext, ScriptedClose};

void RunScripted(Script script)
{
    g_script = std::move(script);
    const ScopedToolhelpReplacement replacement(kScripted);
    BuildProcessList();
}

void ExpectPlaceholderOnly()
{
    ASSERT_EQ(1u, ProcessList.size());
    EXPECT_EQ(L"", ProcessList[0].ExeName);
    EXPECT_EQ(0, ProcessList[0].ProcessId);
    EXPECT_FALSE(ProcessList[0].Windows.has_value());
}

TEST(BuildProcessListTest, FirstEntryIsSkippedAndTheRestKeepTheirOrder)
{
    RunScripted({false, {{100, "a.exe"}, {200, "b.exe"}, {300, "c.exe"}}});
    ASSERT_EQ(2u, ProcessList.size());
    EXPECT_EQ(L"b.exe", ProcessList[0].ExeName);
    EXPECT_EQ(200, ProcessList[0].ProcessId);
    EXPECT_EQ(L"c.exe", ProcessList[1].ExeName);
    EXPECT_EQ(300, ProcessList[1].ProcessId);
    for (const ProcessRecord& record : ProcessList) EXPECT_FALSE(record.Windows.has_value());
    EXPECT_EQ(1, g_script.closes);
    EXPECT_EQ(1060u, g_script.sizeAtFirst);
    EXPECT_TRUE(g_script.nameFieldZeroAtFirst);
}

TEST(BuildProcessListTest, OnlyTheFirstEntryGivesThePlaceholder)
{
    RunScripted({false, {{100, "only.exe"}}});
    ExpectPlaceholderOnly();
    EXPECT_EQ(1, g_script.closes);
}

TEST(BuildProcessListTest, FailingSnapshotGivesThePlaceholderAndDropsThePreviousScan)
{
    UniqueWindow top = CreateTopWindow(L"held by the previous scan");
    UniqueWindow child = CreateChildWindow(top.get());
    RunScripted({false, {{1, "x.exe"}, {2, "y.exe"}}});
    ComPtr<IScreenWindowInfo> object;
    ASSERT_EQ(S_OK, ScreenWindowInfo::Create(object.put()));
    ASSERT_EQ(S_OK, object->put_hWnd(HandleValue(top.get())));
    ProcessList[0].Windows.emplace().push_back(object);
    object.reset();
    const LONG before = WindowObjectCount;

    RunScripted({true, {}});
    ExpectPlaceholderOnly();
    EXPECT_EQ(before - 2, WindowObjectCount) << "the window object and its child are released";
    EXPECT_EQ(0, g_script.closes) << "no handle to close";
}

TEST(BuildProcessListTest, ShortNameAfterLongNameHasNoRemainder)
{
    RunScripted({false, {{1, "first.exe"}, {2, "a-rather-long-executable-name.exe"}, {3, "s.exe"}}});
    ASSERT_EQ(2u, ProcessList.size());
    EXPECT_EQ(L"a-rather-long-executable-name.exe", ProcessList[0].ExeName);
    EXPECT_EQ(L"s.exe", ProcessList[1].ExeName);
}

TEST(BuildProcessListTest, NameIsConvertedFromTheAnsiCodePage)
{
    const std::string ansi = "caf\xE9 \xA5.exe";
    wchar_t expected[64] = {};
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, expected, 64);
    RunScripted({false, {{1, "first.exe"}, {2, ansi}}});
    ASSERT_EQ(1u, ProcessList.size());
    EXPECT_EQ(std::wstring(expected), ProcessList[0].ExeName);
}

std::vector<DWORD> RealSnapshotIds()
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

TEST(BuildProcessListTest, RealSnapshotRecordsEveryProcessButTheFirst)
{
    BuildProcessList();
    const std::vector<DWORD> real = RealSnapshotIds();
    ASSERT_GE(real.size(), 2u) << "the test session starts a process before the tests";
    std::vector<DWORD> recorded;
    for (const ProcessRecord& record : ProcessList) recorded.push_back(static_cast<DWORD>(record.ProcessId));
    EXPECT_EQ(std::vector<DWORD>(real.begin() + 1, real.end()), recorded);

    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring ownName = std::wstring(path).substr(std::wstring(path).find_last_of(L"\\/") + 1);
    bool foundSelf = false;
    for (const ProcessRecord& record : ProcessList) {
        if (record.ProcessId == static_cast<LONG>(GetCurrentProcessId())) {
            foundSelf = true;
            EXPECT_EQ(0, lstrcmpiW(ownName.c_str(), record.ExeName.c_str())) << record.ExeName;
        }
    }
    EXPECT_TRUE(foundSelf) << "the test process must not be the session's first";
}

} // namespace
