// The subclasser on real windows and its generated window procedure: the bytes and patches of
// both modes, the guard word, the caller's registers, events, forwarding, unhooking, nesting.
#include "platform/ComPtr.h"
#include "platform/RuntimeError.h"
#include "subclass/WndProcThunk.h"
#include "subclass/iSubClass.h"
#include "support/TestWindows.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Calls `code` as a stdcall window procedure with ebx, esi, edi and ebp holding marker values,
// and records the registers and stack pointer it comes back with.
extern "C" {
struct ThunkCallReport {
    LONG esp, ebx, esi, edi, ebp;
} g_thunkCallReport;
LONG g_thunkCallEsp;
LONG __cdecl CallThunkWithMarkedRegisters(LONG code, LONG hwnd, LONG message, LONG wParam, LONG lParam);
}
asm(".text\n"
    ".globl _CallThunkWithMarkedRegisters\n"
    "_CallThunkWithMarkedRegisters:\n"
    "  pushl %ebp\n  pushl %ebx\n  pushl %esi\n  pushl %edi\n"
    "  movl %esp, _g_thunkCallEsp\n"
    "  movl 20(%esp), %eax\n"
    "  pushl 36(%esp)\n  pushl 36(%esp)\n  pushl 36(%esp)\n  pushl 36(%esp)\n" // lParam .. hwnd
    "  movl $0x11111111, %ebx\n  movl $0x22222222, %esi\n  movl $0x33333333, %edi\n  movl $0x44444444, %ebp\n"
    "  call *%eax\n"
    "  movl %esp, _g_thunkCallReport\n  movl %ebx, _g_thunkCallReport+4\n  movl %esi, _g_thunkCallReport+8\n"
    "  movl %edi, _g_thunkCallReport+12\n  movl %ebp, _g_thunkCallReport+16\n"
    "  movl _g_thunkCallEsp, %esp\n"
    "  popl %edi\n  popl %esi\n  popl %ebx\n  popl %ebp\n"
    "  ret\n");

namespace {

// The code as the design lays it out, written out apart from the source.
const uint8_t kTemplate[124] = {
    0x55, 0x8B, 0xEC, 0x83, 0xC4, 0xFC, 0xFF, 0x75, 0x14, 0xFF, 0x75, 0x10, 0xFF, 0x75, 0x0C, 0xFF, 0x75, 0x08,
    0xB8, 0x00, 0x40, 0x00, 0x00, 0x0B, 0xC0, 0x75, 0x4A, 0xB9, 0x00, 0x10, 0x00, 0x00, 0x8B, 0x45, 0x0C, 0x83,
    0xF8, 0x02, 0x75, 0x08, 0xC7, 0x01, 0x00, 0x00, 0x00, 0x00, 0xEB, 0x20, 0x3D, 0x86, 0x00, 0x00, 0x00, 0x74,
    0x05, 0x83, 0xF8, 0x18, 0x75, 0x07, 0x8B, 0x45, 0x10, 0x89, 0x01, 0xEB, 0x0D, 0x3D, 0x5A, 0x10, 0x00, 0x00,
    0x75, 0x06, 0xC7, 0x01, 0x01, 0x00, 0x00, 0x00, 0x83, 0x39, 0x01, 0x75, 0x02, 0xEB, 0x0E, 0x68, 0x00, 0x20,
    0x00, 0x00, 0xB8, 0x00, 0x30, 0x00, 0x00, 0xFF, 0xD0, 0xEB, 0x13, 0x8D, 0x45, 0xFC, 0x50, 0x68, 0x00, 0x50,
    0x00, 0x00, 0xB8, 0x00, 0x60, 0x00, 0x00, 0xFF, 0xD0, 0x8B, 0x45, 0xFC, 0xC9, 0xC2, 0x10, 0x00,
};

constexpr UINT kProbe = WM_USER + 100;
// What the windows' own procedures and the recording handler answer kProbe with.
constexpr LONG kAnswerA = 0xA0A0;
constexpr LONG kAnswerB = 0xB0B0;
constexpr LONG kHandlerAnswer = 0x5151;

// One message as a procedure saw it: 'A' or 'B' the windows' own procedures, 'S' the event.
struct Seen {
    char by;
    LONG hwnd, message, wParam, lParam;
    bool operator==(const Seen& o) const
    {
        return by == o.by && hwnd == o.hwnd && message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};
std::ostream& operator<<(std::ostream& out, const Seen& seen)
{
    return out << seen.by << "{msg 0x" << std::hex << seen.message << std::dec << ", " << seen.wParam << "}";
}

std::vector<Seen> g_oldProcLog;

template <char By, LONG Answer>
LRESULT CALLBACK OldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_oldProcLog.push_back({By, HandleValue(window), static_cast<LONG>(message), static_cast<LONG>(wParam),
                            static_cast<LONG>(lParam)});
    return message == kProbe ? Answer : DefWindowProcA(window, message, wParam, lParam);
}
const WNDPROC OldProcA = OldProc<'A', kAnswerA>;
const WNDPROC OldProcB = OldProc<'B', kAnswerB>;

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

LONG Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return static_cast<LONG>(SendMessageA(window, message, wParam, lParam));
}

// Makes every thunk built in its lifetime read `value` as the run mode.
LONG g_runMode = 1;
class ScopedRunMode {
public:
    explicit ScopedRunMode(LONG value)
        : m_saved(g_runMode), m_previous(SetRunModeSource([]() noexcept { return g_runMode; }))
    {
        g_runMode = value;
    }
    ~ScopedRunMode()
    {
        SetRunModeSource(m_previous);
        g_runMode = m_saved;
    }

private:
    LONG m_saved;
    RunModeSource m_previous;
};

using BuildWndProcThunkEntry = HRESULT(__stdcall*)(IiSubClass* object, LONG previous, LONG Ordinal, LONG* address);

void* TableEntry(IiSubClass* object, int slot)
{
    return (*reinterpret_cast<void* const* const*>(object))[slot];
}

LONG BuildThunk(IiSubClass* object, LONG previous)
{
    LONG address = 0;
    const auto build = reinterpret_cast<BuildWndProcThunkEntry>(TableEntry(object, kBuildWndProcThunkSlot));
    EXPECT_EQ(S_OK, build(object, previous, kOnWindowMessageOrdinal, &address));
    return address;
}

LONG WordAt(LONG address, size_t offset)
{
    LONG word;
    std::memcpy(&word, reinterpret_cast<const uint8_t*>(address) + offset, sizeof word);
    return word;
}

// Every byte of the code is the template's except the patched words, which are `patches`.
void ExpectCode(LONG address, const std::vector<std::pair<size_t, LONG>>& patches)
{
    std::set<size_t> patched;
    for (const auto& [offset, value] : patches) {
        EXPECT_EQ(value, WordAt(address, offset)) << "word at 0x" << std::hex << offset;
        for (size_t i = 0; i < 4; ++i) patched.insert(offset + i);
    }
    for (size_t i = 0; i < sizeof kTemplate; ++i) {
        if (patched.count(i) == 0) {
            EXPECT_EQ(kTemplate[i], reinterpret_cast<const uint8_t*>(address)[i]) << i;
        }
    }
}

// A subclasser whose handler records every event and answers kHandlerAnswer, and a window of
// OldProcA, in direct mode unless the test says otherwise.
class SubclassTest : public ::testing::Test {
protected:
    SubclassTest() : m_window(CreateWindowWith(OldProcA))
    {
        EXPECT_EQ(S_OK, iSubClass::Create(m_sub.put()));
        m_sub->AdviseGetWindowMessage([this](LONG& Result, LONG cHwnd, LONG Message, LONG wParam, LONG lParam) {
            m_events.push_back({'S', cHwnd, Message, wParam, lParam});
            Result = kHandlerAnswer;
        });
        g_oldProcLog.clear();
    }
    LONG Hook(HWND target)
    {
        LONG old = 0;
        EXPECT_EQ(S_OK, m_sub->SetMsgHook(HandleValue(target), &old));
        return old;
    }
    LONG Target() { return reinterpret_cast<LONG>(TableEntry(m_sub.get(), kOnWindowMessageSlot)); }

    ScopedRunMode m_runMode{1};
    ComPtr<iSubClass> m_sub;
    std::vector<Seen> m_events;
    // Declared last so that it goes first, while the subclasser still exists.
    UniqueWindow m_window;
};

TEST_F(SubclassTest, DirectCodeIsTheTemplateCallingTheObjectInPlace)
{
    EXPECT_EQ(0, std::memcmp(kTemplate, kWndProcThunkTemplate, sizeof kTemplate)) << "the unpatched template";
    IiSubClass* const object = m_sub.get();
    const LONG self = reinterpret_cast<LONG>(object);
    const LONG address = BuildThunk(object, 0x12345678);
    ExpectCode(address, {{0x13, 1}, {0x6A, self}, {0x6F, Target()}});
    EXPECT_GT(address, self);
    EXPECT_LT(address, self + static_cast<LONG>(sizeof(iSubClass))) << "the code lives in the object";
    {
        const ScopedRunMode seven(7);
        EXPECT_EQ(address, BuildThunk(object, 0)) << "and is rewritten where it is";
        ExpectCode(address, {{0x13, 7}, {0x6A, self}, {0x6F, Target()}});
    }
    // Without an override the run mode is the debugger check: none is attached here.
    const RunModeSource test = SetRunModeSource(nullptr);
    EXPECT_NE(0, ReadRunMode());
    SetRunModeSource(test);

    const auto build = reinterpret_cast<BuildWndProcThunkEntry>(TableEntry(object, kBuildWndProcThunkSlot));
    for (const LONG ordinal : {LONG_MIN, 0x40000001L /* times 4 */, 0x1FFFFFFFL /* plus the table */}) {
        LONG failed = 99;
        EXPECT_EQ(kErrorOverflow, build(object, 0, ordinal, &failed)) << ordinal;
        EXPECT_EQ(0, failed);
    }
}

TEST_F(SubclassTest, GuardedBuildsCopyTheCodeToANewBlockWithItsOwnGuardWord)
{
    const ScopedRunMode guarded(0);
    const LONG callWindowProc =
        reinterpret_cast<LONG>(GetProcAddress(GetModuleHandleA("user32.dll"), "CallWindowProcA"));
    const LONG first = BuildThunk(m_sub.get(), 0x12345678);
    const LONG second = BuildThunk(m_sub.get(), 0x0BADF00D);
    EXPECT_NE(first, second);
    for (const auto& [block, previous] : {std::pair{first, 0x12345678L}, std::pair{second, 0x0BADF00DL}}) {
        ExpectCode(block, {{0x13, 0}, {0x1C, block + 124}, {0x58, previous}, {0x5D, callWindowProc},
                           {0x6A, reinterpret_cast<LONG>(m_sub.get())}, {0x6F, Target()}});
        EXPECT_EQ(1, WordAt(block, 124));
    }
}

TEST_F(SubclassTest, GuardWordFollowsDestructionActivationAndVisibilityAndOutlivesTheObject)
{
    const ScopedRunMode guarded(0);
    const HWND window = m_window.get();
    Hook(window);
    const struct {
        UINT message;
        WPARAM wParam;
        char reaches; // 'S' the object, 'A' the window's own procedure
    } steps[] = {
        {kProbe, 0, 'S'},     {WM_NCACTIVATE, 0, 'A'}, {kProbe, 0, 'A'},        {WM_SHOWWINDOW, 1, 'S'},
        {kProbe, 0, 'S'},     {WM_SHOWWINDOW, 0, 'A'}, {kProbe, 0, 'A'},        {0x105A, 0, 'S'},
        {kProbe, 0, 'S'},     {WM_NCACTIVATE, 2, 'A'}, {kProbe, 0, 'A'},        {WM_NCACTIVATE, 1, 'S'},
        {WM_DESTROY, 0, 'A'}, {kProbe, 0, 'A'},        {WM_SHOWWINDOW, 1, 'S'}, {kProbe, 0, 'S'},
    };
    for (const auto& step : steps) {
        m_events.clear();
        g_oldProcLog.clear();
        const LONG answer = Send(window, step.message, step.wParam, 7);
        const Seen expected = {step.reaches, HandleValue(window), static_cast<LONG>(step.message),
                               static_cast<LONG>(step.wParam), 7};
        EXPECT_EQ(std::vector<Seen>{expected}, Only(step.reaches == 'S' ? m_events : g_oldProcLog, step.message));
        EXPECT_TRUE(Only(step.reaches == 'S' ? g_oldProcLog : m_events, step.message).empty()) << expected;
        if (step.message == kProbe) {
            EXPECT_EQ(step.reaches == 'S' ? kHandlerAnswer : kAnswerA, answer);
        }
    }

    // With its guard off, the block keeps the window working after the object is gone.
    Send(window, WM_SHOWWINDOW, 0);
    m_sub.reset();
    EXPECT_EQ(kAnswerA, Send(window, kProbe));
    m_window.reset();
    EXPECT_EQ(1u, Only(g_oldProcLog, WM_NCDESTROY).size());
}

TEST_F(SubclassTest, TheCodeKeepsTheCallersRegistersAndRemovesItsFourArguments)
{
    const LONG hwnd = HandleValue(m_window.get());
    const auto expectPreserved = [](const char* route) {
        EXPECT_EQ(g_thunkCallEsp, g_thunkCallReport.esp) << route;
        EXPECT_EQ(0x11111111, g_thunkCallReport.ebx) << route;
        EXPECT_EQ(0x22222222, g_thunkCallReport.esi) << route;
        EXPECT_EQ(0x33333333, g_thunkCallReport.edi) << route;
        EXPECT_EQ(0x44444444, g_thunkCallReport.ebp) << route;
    };
    const LONG previous = reinterpret_cast<LONG>(OldProcA);
    EXPECT_EQ(kHandlerAnswer, CallThunkWithMarkedRegisters(BuildThunk(m_sub.get(), previous), hwnd, kProbe, 1, 2));
    expectPreserved("direct");

    const ScopedRunMode guarded(0);
    const LONG block = BuildThunk(m_sub.get(), previous);
    EXPECT_EQ(kHandlerAnswer, CallThunkWithMarkedRegisters(block, hwnd, kProbe, 3, 4));
    expectPreserved("guarded, to the object");
    CallThunkWithMarkedRegisters(block, hwnd, WM_NCACTIVATE, 0, 0);
    EXPECT_EQ(kAnswerA, CallThunkWithMarkedRegisters(block, hwnd, kProbe, 5, 6));
    expectPreserved("guarded, to the previous procedure");
    EXPECT_EQ(2u, m_events.size());
}

TEST_F(SubclassTest, EachMessageBecomesOneEventThatAnswersOrForwardsUntilUnhooked)
{
    const HWND window = m_window.get();
    const LONG hwnd = HandleValue(window);
    EXPECT_EQ(reinterpret_cast<LONG>(OldProcA), Hook(window));
    EXPECT_EQ(kHandlerAnswer, Send(window, kProbe, 11, -22));
    EXPECT_EQ((std::vector<Seen>{{'S', hwnd, static_cast<LONG>(kProbe), 11, -22}}), m_events);
    EXPECT_TRUE(Only(g_oldProcLog, kProbe).empty()) << "the handler did not forward";

    // Forwarding calls the previous procedure with the handle it is given, whichever window that is.
    UniqueWindow other = CreateWindowWith(OldProcB);
    for (const HWND target : {window, other.get()}) {
        g_oldProcLog.clear();
        LONG result = 0;
        EXPECT_EQ(S_OK, m_sub->CallDefaultWindowProc(HandleValue(target), kProbe, 5, 6, &result));
        EXPECT_EQ(kAnswerA, result);
        EXPECT_EQ((std::vector<Seen>{{'A', HandleValue(target), static_cast<LONG>(kProbe), 5, 6}}), g_oldProcLog);
    }

    EXPECT_EQ(S_OK, m_sub->SetMsgUnHook());
    EXPECT_EQ(reinterpret_cast<LONG>(OldProcA), GetWindowLongA(window, GWL_WNDPROC));
    EXPECT_EQ(kAnswerA, Send(window, kProbe));
    EXPECT_EQ(reinterpret_cast<LONG>(OldProcA), Hook(window)) << "hooked again";
    EXPECT_EQ(kHandlerAnswer, Send(window, kProbe));
    EXPECT_EQ(2u, m_events.size());
}

TEST_F(SubclassTest, NestedMessagesHaveTheirOwnResultsFromZeroAndAThrowingHandlerStopsAtTheObject)
{
    const HWND window = m_window.get();
    Hook(window);
    std::vector<std::string> trace;
    std::vector<LONG> resultOnEntry;
    LONG nestedAnswer = 0;
    m_sub->AdviseGetWindowMessage([&](LONG& Result, LONG, LONG Message, LONG wParam, LONG) {
        if (Message != static_cast<LONG>(kProbe)) return;
        resultOnEntry.push_back(Result);
        trace.push_back("enter " + std::to_string(wParam));
        Result = 100 + wParam;
        if (wParam < 2) nestedAnswer = Send(window, kProbe, static_cast<WPARAM>(wParam + 1));
        trace.push_back("leave " + std::to_string(wParam));
        if (wParam == 0) throw std::runtime_error("handler failure");
    });
    EXPECT_EQ(100, Send(window, kProbe, 0));
    EXPECT_EQ(101, nestedAnswer);
    EXPECT_EQ((std::vector<std::string>{"enter 0", "enter 1", "enter 2", "leave 2", "leave 1", "leave 0"}), trace);
    EXPECT_EQ((std::vector<LONG>{0, 0, 0}), resultOnEntry);
    EXPECT_EQ(101, Send(window, kProbe, 1)) << "still hooked after the throw";
}

} // namespace
