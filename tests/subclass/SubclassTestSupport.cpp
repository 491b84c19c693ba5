// Recording windows, the run-mode override and the subclass test fixture.
#include "SubclassTestSupport.h"

std::vector<Seen> OldProcLog;

std::ostream& operator<<(std::ostream& out, const Seen& seen)
{
    return out << seen.by << "{hwnd " << seen.hwnd << ", msg 0x" << std::hex << seen.message << std::dec << ", "
               << seen.wParam << ", " << seen.lParam << "}";
}

namespace {
LRESULT Record(char by, LONG answer, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    OldProcLog.push_back({by, HandleValue(window), static_cast<LONG>(message), static_cast<LONG>(wParam),
                          static_cast<LONG>(lParam)});
    return message == kProbe ? answer : DefWindowProcA(window, message, wParam, lParam);
}

LONG g_runMode = 1;
LONG ReadTestRunMode() noexcept
{
    return g_runMode;
}
} // namespace

LRESULT CALLBACK OldProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Record('A', kAnswerA, window, message, wParam, lParam);
}

LRESULT CALLBACK OldProcB(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Record('B', kAnswerB, window, message, wParam, lParam);
}

UniqueWindow CreateWindowWith(WNDPROC procedure)
{
    const char* const name = procedure == OldProcA ? "SubclassTestA" : "SubclassTestB";
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass); // fails harmlessly once registered
    return UniqueWindow(CreateWindowExA(0, name, "subclass test", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr));
}

std::vector<Seen> Only(const std::vector<Seen>& log, UINT message)
{
    std::vector<Seen> result;
    for (const Seen& seen : log) {
        if (seen.message == static_cast<LONG>(message)) result.push_back(seen);
    }
    return result;
}

LONG Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return static_cast<LONG>(SendMessageA(window, message, wParam, lParam));
}

LONG ProcedureOf(HWND window)
{
    return GetWindowLongA(window, GWL_WNDPROC);
}

ScopedRunMode::ScopedRunMode(LONG value) : m_previous(SetRunModeSource(&ReadTestRunMode))
{
    g_runMode = value;
}

ScopedRunMode::~ScopedRunMode()
{
    SetRunModeSource(m_previous);
}

void* const* TableOf(IiSubClass* object)
{
    return *reinterpret_cast<void* const* const*>(object);
}

LONG BuildThunk(IiSubClass* object, LONG previous)
{
    LONG address = 0;
    const auto build = reinterpret_cast<BuildWndProcThunkEntry>(TableOf(object)[kBuildWndProcThunkSlot]);
    EXPECT_EQ(S_OK, build(object, previous, kOnWindowMessageOrdinal, &address));
    return address;
}

SubclassTest::SubclassTest() : m_window(CreateWindowWith(OldProcA))
{
    EXPECT_NE(nullptr, m_window.get());
    EXPECT_EQ(S_OK, iSubClass::Create(m_sub.put()));
    RecordAndAnswer();
    OldProcLog.clear();
}

LONG SubclassTest::Hook(HWND target)
{
    LONG old = 0;
    EXPECT_EQ(S_OK, m_sub->SetMsgHook(HandleValue(target), &old));
    return old;
}

void SubclassTest::RecordAndAnswer()
{
    m_sub->AdviseGetWindowMessage([this](LONG& Result, LONG cHwnd, LONG Message, LONG wParam, LONG lParam) {
        m_events.push_back({'S', cHwnd, Message, wParam, lParam});
        Result = kHandlerAnswer;
    });
}
