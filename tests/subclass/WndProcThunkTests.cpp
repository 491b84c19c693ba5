// The generated window procedure: its bytes and patches, rebuilding, the ordinal arithmetic,
// the guarded route, and how it treats the caller's registers.
#include "SubclassTestSupport.h"

#include "platform/RuntimeError.h"
#include "platform/ThunkAllocator.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <set>

// Calls `code` as a stdcall window procedure with ebx, esi, edi and ebp holding marker values,
// and records the registers and stack pointer it comes back with.
extern "C" {
struct ThunkCallReport {
    LONG esp, ebx, esi, edi, ebp, eax;
};
ThunkCallReport g_thunkCallReport;
LONG g_thunkCallEsp;
LONG __cdecl CallThunkWithMarkedRegisters(const void* code, LONG hwnd, LONG message, LONG wParam, LONG lParam);
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
    "  movl %edi, _g_thunkCallReport+12\n  movl %ebp, _g_thunkCallReport+16\n  movl %eax, _g_thunkCallReport+20\n"
    "  movl _g_thunkCallEsp, %esp\n"
    "  popl %edi\n  popl %esi\n  popl %ebx\n  popl %ebp\n"
    "  ret\n");

namespace {

// The code as the design lays it out, written out independently of the source.
const uint8_t kTemplate[124] = {
    0x55, 0x8B, 0xEC, 0x83, 0xC4, 0xFC, 0xFF, 0x75, 0x14, 0xFF, 0x75, 0x10, 0xFF, 0x75, 0x0C, 0xFF, 0x75, 0x08,
    0xB8, 0x00, 0x00, 0x00, 0x40, 0x0B, 0xC0, 0x75, 0x4A, 0xB9, 0x00, 0x10, 0x00, 0x00, 0x8B, 0x45, 0x0C, 0x83,
    0xF8, 0x02, 0x75, 0x08, 0xC7, 0x01, 0x00, 0x00, 0x00, 0x00, 0xEB, 0x20, 0x3D, 0x86, 0x00, 0x00, 0x00, 0x74,
    0x05, 0x83, 0xF8, 0x18, 0x75, 0x07, 0x8B, 0x45, 0x10, 0x89, 0x01, 0xEB, 0x0D, 0x3D, 0x5A, 0x10, 0x00, 0x00,
    0x75, 0x06, 0xC7, 0x01, 0x01, 0x00, 0x00, 0x00, 0x83, 0x39, 0x01, 0x75, 0x02, 0xEB, 0x0E, 0x68, 0x00, 0x20,
    0x00, 0x00, 0xB8, 0x00, 0x30, 0x00, 0x00, 0xFF, 0xD0, 0xEB, 0x13, 0x8D, 0x45, 0xFC, 0x50, 0x68, 0x00, 0x50,
    0x00, 0x00, 0xB8, 0x00, 0x60, 0x00, 0x00, 0xFF, 0xD0, 0x8B, 0x45, 0xFC, 0xC9, 0xC2, 0x10, 0x00,
};

const uint8_t* Bytes(LONG address)
{
    return reinterpret_cast<const uint8_t*>(static_cast<INT_PTR>(address));
}

LONG WordAt(LONG address, size_t offset)
{
    LONG word;
    std::memcpy(&word, Bytes(address) + offset, sizeof word);
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
            EXPECT_EQ(kTemplate[i], Bytes(address)[i]) << "byte 0x" << std::hex << i;
        }
    }
}

LONG CallWindowProcAddress()
{
    return reinterpret_cast<LONG>(GetProcAddress(GetModuleHandleA("user32.dll"), "CallWindowProcA"));
}

TEST_F(SubclassTest, DirectCodeIsTheTemplateCallingSlot10InPlaceAndRebuildsAtTheSameAddress)
{
    IiSubClass* const object = m_sub.get();
    const LONG self = reinterpret_cast<LONG>(object);
    const LONG target = reinterpret_cast<LONG>(TableOf(object)[kOnWindowMessageSlot]);
    const LONG address = BuildThunk(object, 0x12345678);
    ASSERT_NE(0, address);
    ExpectCode(address, {{0x13, 1}, {0x6A, self}, {0x6F, target}});

    // In the thunk allocator's pages, rewritten where it is.
    EXPECT_TRUE(ThunkAllocator::Instance().Holds(Bytes(address)));
    ScopedRunMode seven(7);
    EXPECT_EQ(address, BuildThunk(object, 0));
    ExpectCode(address, {{0x13, 7}, {0x6A, self}, {0x6F, target}});

    // Without an override the run mode is the debugger check: none is attached here.
    ASSERT_FALSE(IsDebuggerPresent());
    const RunModeSource test = SetRunModeSource(nullptr);
    EXPECT_NE(0, ReadRunMode());
    SetRunModeSource(test);
}

TEST_F(SubclassTest, GuardedBuildsCopyTheCodeToANewBlockWithItsOwnGuardWord)
{
    ScopedRunMode guarded(0);
    IiSubClass* const object = m_sub.get();
    const LONG self = reinterpret_cast<LONG>(object);
    const LONG target = reinterpret_cast<LONG>(TableOf(object)[kOnWindowMessageSlot]);
    const LONG first = BuildThunk(object, 0x12345678);
    const LONG second = BuildThunk(object, 0x0BADF00D);
    ASSERT_NE(0, first);
    ASSERT_NE(0, second);
    EXPECT_NE(first, second);
    for (const auto& [block, previous] : {std::pair{first, 0x12345678L}, std::pair{second, 0x0BADF00DL}}) {
        ExpectCode(block, {{0x13, 0},
                           {0x1C, block + 124},
                           {0x58, previous},
                           {0x5D, CallWindowProcAddress()},
                           {0x6A, self},
                           {0x6F, target}});
        EXPECT_EQ(1, WordAt(block, 124));
    }
}

TEST_F(SubclassTest, OrdinalArithmeticThatOverflowsFailsTheBuild)
{
    IiSubClass* const object = m_sub.get();
    const auto build = reinterpret_cast<BuildWndProcThunkEntry>(TableOf(object)[kBuildWndProcThunkSlot]);
    for (const LONG ordinal : {LONG_MIN, 0x40000001L /* times 4 */, 0x1FFFFFFFL /* plus the table */}) {
        LONG address = 99;
        EXPECT_EQ(kErrorOverflow, build(object, 0, ordinal, &address)) << ordinal;
        EXPECT_EQ(0, address);
    }
}

void* const* g_realTable;
HRESULT __stdcall BuildWithOverflowingOrdinal(IiSubClass* object, LONG previous, LONG, LONG* address)
{
    return reinterpret_cast<BuildWndProcThunkEntry>(g_realTable[kBuildWndProcThunkSlot])(object, previous, LONG_MIN,
                                                                                         address);
}

TEST_F(SubclassTest, AFailedBuildLeavesTheWindowWithItsOwnProcedure)
{
    // SetMsgHook finds the builder through the object's table: point it at a copy whose
    // slot 11 asks for an ordinal the arithmetic cannot take.
    IiSubClass* const object = m_sub.get();
    g_realTable = TableOf(object);
    void* fakeTable[12];
    std::memcpy(fakeTable, g_realTable, sizeof fakeTable);
    fakeTable[kBuildWndProcThunkSlot] = reinterpret_cast<void*>(&BuildWithOverflowingOrdinal);
    *reinterpret_cast<void***>(object) = fakeTable;
    LONG old = 99;
    const HRESULT hr = object->SetMsgHook(HandleValue(m_window.get()), &old);
    *reinterpret_cast<void* const**>(object) = g_realTable;

    EXPECT_EQ(kErrorOverflow, hr);
    EXPECT_EQ(0, old);
    EXPECT_EQ(reinterpret_cast<LONG>(&OldProcA), ProcedureOf(m_window.get()));
    EXPECT_EQ(kAnswerA, Send(m_window.get(), kProbe));
    EXPECT_TRUE(m_events.empty());
}

TEST_F(SubclassTest, GuardWordFollowsDestroyActivationAndVisibilityAndRoutesTheMessageThatSetsIt)
{
    ScopedRunMode guarded(0);
    const HWND window = m_window.get();
    const LONG hwnd = HandleValue(window);
    EXPECT_EQ(reinterpret_cast<LONG>(&OldProcA), Hook(window));
    struct Step {
        UINT message;
        WPARAM wParam;
        char reaches; // 'S' the object, 'A' the window's own procedure
    };
    const Step steps[] = {
        {kProbe, 0, 'S'},          {WM_NCACTIVATE, 0, 'A'},  {kProbe, 0, 'A'},        {WM_SHOWWINDOW, 1, 'S'},
        {kProbe, 0, 'S'},          {WM_SHOWWINDOW, 0, 'A'},  {kProbe, 0, 'A'},        {kGuardOnMessage, 0, 'S'},
        {kProbe, 0, 'S'},          {WM_NCACTIVATE, 2, 'A'},  {kProbe, 0, 'A'},        {WM_NCACTIVATE, 1, 'S'},
        {WM_DESTROY, 0, 'A'},      {kProbe, 0, 'A'},         {WM_SHOWWINDOW, 1, 'S'}, {kProbe, 0, 'S'},
    };
    for (const Step& step : steps) {
        m_events.clear();
        OldProcLog.clear();
        const LONG answer = Send(window, step.message, step.wParam, 7);
        const Seen expected = {step.reaches, hwnd, static_cast<LONG>(step.message), static_cast<LONG>(step.wParam), 7};
        const auto& reached = step.reaches == 'S' ? m_events : OldProcLog;
        const auto& bypassed = step.reaches == 'S' ? OldProcLog : m_events;
        EXPECT_EQ(std::vector<Seen>{expected}, Only(reached, step.message)) << expected;
        EXPECT_TRUE(Only(bypassed, step.message).empty()) << expected;
        if (step.message == kProbe) {
            EXPECT_EQ(step.reaches == 'S' ? kHandlerAnswer : kAnswerA, answer);
        }
    }

    // Destruction itself: from WM_DESTROY on, everything goes to the window's own procedure.
    m_events.clear();
    OldProcLog.clear();
    m_window.reset();
    EXPECT_TRUE(m_events.empty());
    EXPECT_EQ(1u, Only(OldProcLog, WM_DESTROY).size());
    EXPECT_EQ(1u, Only(OldProcLog, WM_NCDESTROY).size());
}

TEST_F(SubclassTest, EachGuardedBlockKeepsItsOwnPreviousProcedureAndOutlivesTheObject)
{
    ScopedRunMode guarded(0);
    UniqueWindow second = CreateWindowWith(OldProcB);
    const HWND first = m_window.get();
    Hook(first);
    Hook(second.get());

    EXPECT_EQ(kHandlerAnswer, Send(first, kProbe));
    EXPECT_EQ(kHandlerAnswer, Send(second.get(), kProbe));
    EXPECT_EQ(HandleValue(first), m_events.at(0).hwnd);
    EXPECT_EQ(HandleValue(second.get()), m_events.at(1).hwnd);
    Send(first, WM_SHOWWINDOW, 0); // only the first window's guard goes off
    EXPECT_EQ(kAnswerA, Send(first, kProbe));
    EXPECT_EQ(kHandlerAnswer, Send(second.get(), kProbe));

    // A window whose guard is off keeps working after the object is gone.
    Send(second.get(), WM_SHOWWINDOW, 0);
    m_sub.reset();
    EXPECT_EQ(kAnswerA, Send(first, kProbe));
    EXPECT_EQ(kAnswerB, Send(second.get(), kProbe));
    second.reset();
    EXPECT_EQ(1u, Only(OldProcLog, WM_NCDESTROY).size());
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
    const LONG direct = BuildThunk(m_sub.get(), reinterpret_cast<LONG>(&OldProcA));
    EXPECT_EQ(kHandlerAnswer, CallThunkWithMarkedRegisters(Bytes(direct), hwnd, kProbe, 1, 2));
    expectPreserved("direct");
    EXPECT_EQ((std::vector<Seen>{{'S', hwnd, static_cast<LONG>(kProbe), 1, 2}}), m_events);

    ScopedRunMode guarded(0);
    const LONG block = BuildThunk(m_sub.get(), reinterpret_cast<LONG>(&OldProcA));
    EXPECT_EQ(kHandlerAnswer, CallThunkWithMarkedRegisters(Bytes(block), hwnd, kProbe, 3, 4));
    expectPreserved("guarded, to the object");
    CallThunkWithMarkedRegisters(Bytes(block), hwnd, WM_NCACTIVATE, 0, 0);
    EXPECT_EQ(kAnswerA, CallThunkWithMarkedRegisters(Bytes(block), hwnd, kProbe, 5, 6));
    expectPreserved("guarded, to the previous procedure");
    EXPECT_EQ(2u, m_events.size());
}

} // namespace
