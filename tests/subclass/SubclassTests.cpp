// The subclasser on real windows and its generated window procedure: the bytes and patches of
// both modes, the guard word, the caller's registers, events, forwarding, unhooking, nesting.
#include "platform/ComPtr.h"
#include "platform/RuntimeError.h"
#include "platform/ThunkAllocator.h"
#include "subclass/WndProcThunk.h"
#include "subclass/iSubClass.h"
#include "support/TestWindows.h"
#include "support/ThunkCall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <stdexcept>
#include <tuple>
#include <vector>

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
constexpr LONG kHandlerAnswer = 0x5151;

// One message as a procedure saw it: 'A' the windows' own procedure, 'S' the event; then the
// window, message, wParam and lParam.
using Seen = std::tuple<char, LONG, LONG, LONG, LONG>;
std::vector<Seen> g_oldProcLog;
LONG g_runMode = 1;

LRESULT CALLBACK OldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_oldProcLog.emplace_back('A', HandleValue(window), message, wParam, lParam);
    return message == kProbe ? kAnswerA : DefWindowProcA(window, message, wParam, lParam);
}

// A hidden top-level ANSI window whose class procedure is OldProc.
UniqueWindow CreateRecordingWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = OldProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = "SubclassTest";
    RegisterClassA(&windowClass); // fails harmlessly once registered
    return UniqueWindow(CreateWindowExA(0, "SubclassTest", "subclass test", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr));
}

std::vector<Seen> Only(const std::vector<Seen>& log, UINT message)
{
    std::vector<Seen> result;
    std::copy_if(log.begin(), log.end(), std::back_inserter(result),
                 [&](const Seen& seen) { return std::get<2>(seen) == static_cast<LONG>(message); });
    return result;
}

LONG Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return static_cast<LONG>(SendMessageA(window, message, wParam, lParam));
}

// Every byte of the code is the template's except the patched words, which are `patches`.
void ExpectCode(LONG address, const std::map<size_t, LONG>& patches)
{
    std::vector<uint8_t> expected(std::begin(kTemplate), std::end(kTemplate));
    for (const auto& [offset, value] : patches) std::memcpy(&expected[offset], &value, 4);
    const auto* code = reinterpret_cast<const uint8_t*>(address);
    EXPECT_EQ(expected, std::vector<uint8_t>(code, code + expected.size()));
}

// A subclasser whose handler records every event and answers kHandlerAnswer, a window of
// OldProc, and the run mode read from g_runMode: direct unless the test says otherwise.
class SubclassTest : public ::testing::Test {
protected:
    SubclassTest()
    {
        g_runMode = 1;
        EXPECT_EQ(S_OK, iSubClass::Create(m_sub.put()));
        m_sub->AdviseGetWindowMessage([this](LONG& Result, LONG cHwnd, LONG Message, LONG wParam, LONG lParam) {
            m_events.emplace_back('S', cHwnd, Message, wParam, lParam);
            Result = kHandlerAnswer;
        });
        g_oldProcLog.clear();
    }
    ~SubclassTest() override { SetRunModeSource(m_realRunMode); }

    LONG Hook(HWND target)
    {
        LONG old = 0;
        EXPECT_EQ(S_OK, m_sub->SetMsgHook(HandleValue(target), &old));
        return old;
    }
    void* Entry(int slot) { return (*reinterpret_cast<void* const* const*>(m_sub.get()))[slot]; }
    LONG Build(LONG previous, LONG ordinal = kOnWindowMessageOrdinal, HRESULT expected = S_OK)
    {
        using BuildEntry = HRESULT(__stdcall*)(IiSubClass*, LONG previous, LONG Ordinal, LONG* address);
        LONG address = 99;
        EXPECT_EQ(expected, reinterpret_cast<BuildEntry>(Entry(kBuildWndProcThunkSlot))(m_sub.get(), previous, ordinal, &address));
        return address;
    }

    const RunModeSource m_realRunMode = SetRunModeSource([]() noexcept { return g_runMode; });
    ComPtr<iSubClass> m_sub;
    std::vector<Seen> m_events;
    // Declared last so that it goes first, while the subclasser still exists.
    UniqueWindow m_window = CreateRecordingWindow();
};

TEST_F(SubclassTest, CodeIsTheTemplateCallingTheObjectInPlaceOrFromAGuardedBlock)
{
    EXPECT_EQ(0, std::memcmp(kTemplate, kWndProcThunkTemplate, sizeof kTemplate)) << "the unpatched template";
    const LONG self = reinterpret_cast<LONG>(m_sub.get());
    const LONG target = reinterpret_cast<LONG>(Entry(kOnWindowMessageSlot));
    const LONG direct = Build(0x12345678);
    ExpectCode(direct, {{0x13, 1}, {0x6A, self}, {0x6F, target}});
    EXPECT_TRUE(ThunkAllocator::Instance().Holds(reinterpret_cast<const void*>(direct))) << "in code pages of its own";
    g_runMode = 7;
    EXPECT_EQ(direct, Build(0)) << "and is rewritten where it is";
    ExpectCode(direct, {{0x13, 7}, {0x6A, self}, {0x6F, target}});

    // Guarded: each build copies the code into a new block with a guard word of its own.
    g_runMode = 0;
    const LONG callWindowProc = reinterpret_cast<LONG>(GetProcAddress(GetModuleHandleA("user32.dll"), "CallWindowProcA"));
    const LONG first = Build(0x12345678);
    const LONG second = Build(0x0BADF00D);
    EXPECT_NE(first, second);
    for (const auto& [block, previous] : {std::pair{first, 0x12345678L}, std::pair{second, 0x0BADF00DL}}) {
        ExpectCode(block, {{0x13, 0}, {0x1C, block + 124}, {0x58, previous}, {0x5D, callWindowProc},
                           {0x6A, self}, {0x6F, target}});
        EXPECT_EQ(1, *reinterpret_cast<const LONG*>(block + 124)) << "the guard word";
    }

    for (const LONG ordinal : {LONG_MIN, 0x40000001L /* times 4 */, 0x1FFFFFFFL /* plus the table */}) {
        EXPECT_EQ(0, Build(0, ordinal, kErrorOverflow)) << ordinal;
    }
    // Without an override the run mode is the debugger check: none is attached here.
    SetRunModeSource(nullptr);
    EXPECT_NE(0, ReadRunMode());
}

TEST_F(SubclassTest, GuardWordFollowsDestructionActivationAndVisibilityAndOutlivesTheObject)
{
    g_runMode = 0;
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
        const Seen expected = {step.reaches, HandleValue(window), step.message, step.wParam, 7};
        EXPECT_EQ(std::vector<Seen>{expected}, Only(step.reaches == 'S' ? m_events : g_oldProcLog, step.message));
        EXPECT_TRUE(Only(step.reaches == 'S' ? g_oldProcLog : m_events, step.message).empty()) << step.message;
        if (step.message == kProbe) {
            EXPECT_EQ(step.reaches == 'S' ? kHandlerAnswer : kAnswerA, answer);
        }
    }

    // With its guard off, the block keeps the window working after the object is gone.
    Send(window, WM_SHOWWINDOW, 0);
    m_sub.reset();
    EXPECT_EQ(kAnswerA, Send(window, kProbe));
}

TEST_F(SubclassTest, TheCodeKeepsTheCallersRegistersAndRemovesItsFourArguments)
{
    const LONG hwnd = HandleValue(m_window.get());
    const LONG direct = Build(reinterpret_cast<LONG>(OldProc));
    g_runMode = 0;
    const LONG guarded = Build(reinterpret_cast<LONG>(OldProc));
    for (const auto& [route, code, answer] : {std::tuple{"direct", direct, kHandlerAnswer},
                                              std::tuple{"guarded, to the object", guarded, kHandlerAnswer},
                                              std::tuple{"guarded, to the previous procedure", guarded, kAnswerA}}) {
        if (answer == kAnswerA) CallThunk(guarded, hwnd, WM_NCACTIVATE, 0, 0); // switches its guard off
        const ThunkCall made = CallThunk(code, hwnd, kProbe, 0, 0);
        EXPECT_EQ(answer, made.result) << route;
        EXPECT_EQ(0, made.stackLeft) << route;
        EXPECT_TRUE(made.registersKept) << route;
    }
    EXPECT_EQ(2u, m_events.size());
}

TEST_F(SubclassTest, EachMessageBecomesOneEventThatAnswersOrForwardsUntilUnhooked)
{
    const HWND window = m_window.get();
    const LONG hwnd = HandleValue(window);
    EXPECT_EQ(reinterpret_cast<LONG>(OldProc), Hook(window));
    EXPECT_EQ(kHandlerAnswer, Send(window, kProbe, 11, -22));
    EXPECT_EQ((std::vector<Seen>{{'S', hwnd, kProbe, 11, -22}}), m_events);
    EXPECT_TRUE(Only(g_oldProcLog, kProbe).empty()) << "the handler did not forward";

    // Forwarding calls the previous procedure with the handle it is given, whichever window that is.
    for (const LONG target : {hwnd, 0x1234L}) {
        g_oldProcLog.clear();
        LONG result = 0;
        EXPECT_EQ(S_OK, m_sub->CallDefaultWindowProc(target, kProbe, 5, 6, &result));
        EXPECT_EQ(kAnswerA, result);
        EXPECT_EQ((std::vector<Seen>{{'A', target, kProbe, 5, 6}}), g_oldProcLog);
    }

    EXPECT_EQ(S_OK, m_sub->SetMsgUnHook());
    EXPECT_EQ(reinterpret_cast<LONG>(OldProc), GetWindowLongA(window, GWL_WNDPROC));
    EXPECT_EQ(kAnswerA, Send(window, kProbe));
    EXPECT_EQ(reinterpret_cast<LONG>(OldProc), Hook(window)) << "hooked again";
    EXPECT_EQ(kHandlerAnswer, Send(window, kProbe));
    EXPECT_EQ(2u, m_events.size());
}

TEST_F(SubclassTest, NestedMessagesHaveTheirOwnResultsFromZeroAndAThrowingHandlerStopsAtTheObject)
{
    const HWND window = m_window.get();
    Hook(window);
    std::vector<LONG> seen; // Result on entry, then the nested message's answer, per level
    m_sub->AdviseGetWindowMessage([&](LONG& Result, LONG, LONG Message, LONG wParam, LONG) {
        if (Message != static_cast<LONG>(kProbe)) return;
        seen.push_back(Result);
        Result = 100 + wParam;
        if (wParam < 2) seen.push_back(Send(window, kProbe, static_cast<WPARAM>(wParam + 1)));
        if (wParam == 0) throw std::runtime_error("handler failure");
    });
    EXPECT_EQ(100, Send(window, kProbe, 0));
    EXPECT_EQ((std::vector<LONG>{0, 0, 0, 102, 101}), seen);
    EXPECT_EQ(101, Send(window, kProbe, 1)) << "still hooked after the throw";
}

} // namespace
