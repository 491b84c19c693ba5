// Shared by the subclass tests: windows whose own procedures record and answer, a fixture
// with a subclasser whose handler records, the run-mode override and dispatch-table access.
#pragma once
#include "platform/ComPtr.h"
#include "platform/UniqueHandles.h"
#include "subclass/WndProcThunk.h"
#include "subclass/iSubClass.h"
#include "support/TestWindows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

constexpr UINT kProbe = WM_USER + 100;
constexpr UINT kGuardOnMessage = 0x105A;
// What the windows' own procedures and the recording handler answer kProbe with.
constexpr LONG kAnswerA = 0xA0A0;
constexpr LONG kAnswerB = 0xB0B0;
constexpr LONG kHandlerAnswer = 0x5151;

// One message as a procedure saw it; `by` is 'A' or 'B' for the windows' own procedures and
// 'S' for the subclasser's event.
struct Seen {
    char by;
    LONG hwnd, message, wParam, lParam;
    bool operator==(const Seen& other) const
    {
        return by == other.by && hwnd == other.hwnd && message == other.message && wParam == other.wParam &&
               lParam == other.lParam;
    }
};
std::ostream& operator<<(std::ostream& out, const Seen& seen);

// Everything the windows' own procedures received, oldest first.
extern std::vector<Seen> OldProcLog;
LRESULT CALLBACK OldProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK OldProcB(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A hidden top-level ANSI window whose class procedure is OldProcA or OldProcB.
UniqueWindow CreateWindowWith(WNDPROC procedure);

// The entries of `log` with this message, in order.
std::vector<Seen> Only(const std::vector<Seen>& log, UINT message);

LONG Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
LONG ProcedureOf(HWND window);

// Makes every thunk build in its lifetime read `value` as the run mode.
class ScopedRunMode {
public:
    explicit ScopedRunMode(LONG value);
    ~ScopedRunMode();
    ScopedRunMode(const ScopedRunMode&) = delete;
    ScopedRunMode& operator=(const ScopedRunMode&) = delete;

private:
    RunModeSource m_previous;
};

using BuildWndProcThunkEntry = HRESULT(__stdcall*)(IiSubClass* object, LONG previous, LONG Ordinal, LONG* address);
void* const* TableOf(IiSubClass* object);
// Calls slot 11 the way SetMsgHook does; EXPECTs success.
LONG BuildThunk(IiSubClass* object, LONG previous);

// A subclasser whose handler records every event and answers kHandlerAnswer, and a window of
// OldProcA, in direct mode unless the test says otherwise.
class SubclassTest : public ::testing::Test {
protected:
    SubclassTest();
    LONG Hook(HWND target);
    void RecordAndAnswer();

    ScopedRunMode m_runMode{1};
    ComPtr<iSubClass> m_sub;
    std::vector<Seen> m_events;
    // Declared last so that it goes first, while the subclasser still exists.
    UniqueWindow m_window;
};
