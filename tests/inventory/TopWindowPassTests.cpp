// EnumTopWindowProc on the real desktop: which record each window joins, in which order,
// with what child trees, and how a failure leaves the enumeration.
#include "inventory/APi.h"
#include "platform/RuntimeError.h"
#include "support/TestWindows.h"
#include "window_model/ScreenWindowInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopWindowsInEnumerationOrder()
{
    std::vector<HWND> windows;
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

DWORD ProcessOf(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

std::vector<LONG> HandlesOf(const ProcessRecord& record)
{
    std::vector<LONG> handles;
    if (!record.Windows) return handles;
    for (const ComPtr<IScreenWindowInfo>& window : *record.Windows) {
        LONG handle = 0;
        EXPECT_TRUE(window) << "slots are dense";
        if (window) window->get_hWnd(&handle);
        handles.push_back(handle);
    }
    return handles;
}

ProcessRecord* RecordOf(DWORD processId)
{
    for (ProcessRecord& record : ProcessList) {
        if (record.ProcessId == static_cast<LONG>(processId)) return &record;
    }
    return nullptr;
}

class TopWindowPassTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        ProcessList.clear();
        EXPECT_EQ(S_OK, TakeTopWindowFailure());
    }
};

TEST_F(TopWindowPassTest, OwnWindowsJoinOwnRecordInEnumerationOrderWithTheirChildTrees)
{
    UniqueWindow first = CreateTopWindow(L"first");
    UniqueWindow second = CreateTopWindow(L"second");
    UniqueWindow third = CreateTopWindow(L"third");
    UniqueWindow child = CreateChildWindow(second.get());
    UniqueWindow grandchild = CreateChildWindow(child.get());

    BuildProcessList();
    const LONG before = WindowObjectCount;
    EnumWindows(EnumTopWindowProc, 0);
    ASSERT_EQ(S_OK, TakeTopWindowFailure());

    // Every top-level window of a recorded process, and nothing else, in platform order.
    size_t objects = 0;
    for (const ProcessRecord& record : ProcessList) {
        std::vector<LONG> expected;
        for (HWND window : TopWindowsInEnumerationOrder()) {
            if (ProcessOf(window) == static_cast<DWORD>(record.ProcessId)) expected.push_back(HandleValue(window));
        }
        EXPECT_EQ(expected, HandlesOf(record)) << "record of " << record.ProcessId;
        EXPECT_EQ(!expected.empty(), record.Windows.has_value())
            << "a process without windows keeps no storage: " << record.ProcessId;
        objects += expected.size();
    }

    const ProcessRecord* own = RecordOf(GetCurrentProcessId());
    ASSERT_NE(nullptr, own);
    const std::vector<LONG> ownHandles = HandlesOf(*own);
    auto position = [&](HWND window) {
        return std::find(ownHandles.begin(), ownHandles.end(), HandleValue(window)) - ownHandles.begin();
    };
    // The newest window is on top, and the platform enumerates from the top.
    EXPECT_LT(position(third.get()), position(second.get()));
    EXPECT_LT(position(second.get()), position(first.get()));
    EXPECT_LT(position(first.get()), static_cast<ptrdiff_t>(ownHandles.size()));

    const ComPtr<IScreenWindowInfo>& secondObject = (*own->Windows)[static_cast<size_t>(position(second.get()))];
    LONG count = -1;
    secondObject->get_GetChildCount(&count);
    EXPECT_EQ(1, count) << "child and grandchild";
    EXPECT_GE(WindowObjectCount - before, static_cast<LONG>(objects + 2));
}

TEST_F(TopWindowPassTest, WindowsOfUnlistedProcessesAreSkippedAndEveryCallAnswersGoOn)
{
    UniqueWindow mine = CreateTopWindow(L"mine");
    ProcessList.assign(1, ProcessRecord{L"me.exe", static_cast<LONG>(GetCurrentProcessId()), std::nullopt});

    std::vector<LONG> expected;
    int foreign = 0;
    for (HWND window : TopWindowsInEnumerationOrder()) {
        EXPECT_EQ(TRUE, EnumTopWindowProc(window, 0));
        if (ProcessOf(window) == GetCurrentProcessId()) {
            expected.push_back(HandleValue(window));
        } else {
            ++foreign;
        }
    }
    EXPECT_GT(foreign, 0) << "the desktop has windows of other processes";
    EXPECT_EQ(expected, HandlesOf(ProcessList[0]));
}

TEST_F(TopWindowPassTest, PlaceholderTakesOnlyWindowsWhoseProcessCannotBeTold)
{
    UniqueWindow live = CreateTopWindow(L"live");
    UniqueWindow gone = CreateTopWindow(L"gone");
    const HWND goneHandle = gone.get();
    gone.reset();
    ASSERT_EQ(0u, ProcessOf(goneHandle));

    ProcessList.assign(1, ProcessRecord{});
    EXPECT_EQ(TRUE, EnumTopWindowProc(live.get(), 0));
    EXPECT_FALSE(ProcessList[0].Windows.has_value());
    EXPECT_EQ(TRUE, EnumTopWindowProc(goneHandle, 0));
    EXPECT_EQ(std::vector<LONG>{HandleValue(goneHandle)}, HandlesOf(ProcessList[0]));
}

TEST_F(TopWindowPassTest, FailureStopsTheEnumerationAndIsHandedToTheScanOnce)
{
    UniqueWindow first = CreateTopWindow(L"first");
    UniqueWindow second = CreateTopWindow(L"second");
    ProcessList.assign(1, ProcessRecord{L"me.exe", static_cast<LONG>(GetCurrentProcessId()), std::nullopt});

    const LONG saved = WindowObjectCount;
    WindowObjectCount = 2147483647; // the next object cannot be counted
    int calls = 0;
    struct Counter {
        static BOOL CALLBACK Proc(HWND window, LPARAM calls)
        {
            ++*reinterpret_cast<int*>(calls);
            return EnumTopWindowProc(window, 0);
        }
    };
    EnumWindows(Counter::Proc, reinterpret_cast<LPARAM>(&calls));
    WindowObjectCount = saved;

    EXPECT_EQ(kErrorOverflow, TakeTopWindowFailure());
    EXPECT_EQ(S_OK, TakeTopWindowFailure()) << "reading the failure clears it";
    const std::vector<HWND> all = TopWindowsInEnumerationOrder();
    const auto firstOwn = std::find_if(all.begin(), all.end(), [](HWND w) { return ProcessOf(w) == GetCurrentProcessId(); });
    EXPECT_EQ(firstOwn - all.begin() + 1, calls) << "the pass stops at the failing window";
    EXPECT_FALSE(ProcessList[0].Windows.has_value()) << "no half-built object is left in a slot";
}

} // namespace
