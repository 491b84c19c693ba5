// The handover of the ring, attacked as a watched program or a second program of the same user
// would: the names the log once made are taken first, another program's log holds the thread,
// forged handovers are sent while a log watches, the ring is taken over from inside the watched
// program, and a log is closed before its hook answered. Each is named in the log's own words,
// and the log either goes on or stops saying why.
#include "WatchTestSupport.h"
#include "support/SyntheticDesktopProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace {
constexpr uint32_t kCapacity = 16;

// A ring of this test's, its header as a log writes it, offered under `key`: what an attacker
// hands the hook.
class ForgedRing {
public:
    explicit ForgedRing(uint32_t key)
        : m_section(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       static_cast<DWORD>(watch_ring::RingBytes(kCapacity)), nullptr)),
          m_header(static_cast<watch_ring::Header*>(MapViewOfFile(m_section.get(), FILE_MAP_WRITE, 0, 0, 0)))
    {
        m_header->capacity = kCapacity;
        m_header->recordSize = sizeof(watch_ring::Record);
        m_header->key = key;
        m_header->heartbeat = static_cast<LONG>(GetTickCount());
        m_header->magic = watch_ring::kMagic;
    }
    ~ForgedRing() { UnmapViewOfFile(m_header); }
    watch_ring::Header& Header() { return *m_header; }
    // The section's handle in `process` (this one's own when null), as a handover names it.
    WPARAM HandleIn(DWORD processId)
    {
        UniqueHandle process(OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId));
        HANDLE there = nullptr;
        DuplicateHandle(GetCurrentProcess(), m_section.get(), process.get(), &there, 0, FALSE, DUPLICATE_SAME_ACCESS);
        return reinterpret_cast<WPARAM>(there);
    }

private:
    UniqueHandle m_section;
    watch_ring::Header* m_header;
};

LRESULT HandOver(HWND window, WPARAM section, LPARAM key)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, RegisterWindowMessageW(watch_ring::kHandoverMessage), section, key, SMTO_ABORTIFHUNG,
                        10000, &answer);
    return static_cast<LRESULT>(answer);
}

bool Contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

TEST(HandoverTest, SquattedNamesAnotherProgramsLogAndForgedHandoversAreToldApartInWords)
{
    for (const auto bits : SyntheticDesktopProcess::RunnableBits()) {
        const bool wide = bits == SyntheticDesktopProcess::Bits::SixtyFour;
        SCOPED_TRACE(wide ? "64-bit" : "32-bit");
        SyntheticDesktopProcess helper(L"target", bits);
        ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
        const HWND right = FindWindowExW(helper.TopWindows().at(0), nullptr, SyntheticDesktopProcess::kWindowClass, L"right");
        const HWND target = FindWindowExW(right, nullptr, SyntheticDesktopProcess::kWindowClass, L"right hidden");
        const DWORD thread = GetWindowThreadProcessId(target, nullptr);
        const std::wstring claim = L"Local\\WindowInventoryWatch." + std::to_wstring(thread);
        // The names a log of this thread was once known by, made first by someone else: the log
        // uses no name, so they change nothing.
        UniqueHandle squattedClaim(CreateMutexW(nullptr, TRUE, claim.c_str()));
        UniqueHandle squattedRing(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                                     (claim + L".0000000000000000").c_str()));
        ASSERT_TRUE(squattedClaim && squattedRing);

        // Another program's log holds the thread: this one is refused for that reason, until it
        // lets go.
        {
            ForgedRing other(0x5151);
            WatchHooks hooks(thread, wide);
            ASSERT_TRUE(hooks.Set());
            HandOver(target, other.HandleIn(helper.ProcessId()), 0x5151);
            ASSERT_EQ(watch_ring::kClaimed, other.Header().handover);
            other.Header().heartbeat = static_cast<LONG>(GetTickCount());
            MessageLogWindow refused(nullptr, target);
            EXPECT_FALSE(Started(refused));
            EXPECT_EQ(0u, refused.StatusText().find(L"A message log of another program already watches a window of thread " +
                                                    std::to_wstring(thread) + L": close it first (one log per thread)"))
                << refused.StatusText();
            other.Header().released = 1;
        }

        MessageLogWindow log(nullptr, target);
        ASSERT_TRUE(Started(log)) << log.StatusText();
        ForgedRing forged(0x1234);
        const WPARAM section = forged.HandleIn(helper.ProcessId());
        const struct {
            const char* what;
            WPARAM section;
            LPARAM key;
            LRESULT answer; // the hook's refusal; 0: answered in the forged ring instead
        } handovers[] = {
            {"a handle that names no section there", 0x7FFFFFF0, 0x1234,
             static_cast<LRESULT>(watch_ring::kHandoverRefused | ERROR_INVALID_HANDLE)},
            {"a ring under another key", section, 0x9999, static_cast<LRESULT>(watch_ring::kHandoverRefused | ERROR_INVALID_DATA)},
            {"a ring of its own, offered as a log offers it", section, 0x1234, 0},
        };
        for (const auto& h : handovers) {
            SCOPED_TRACE(h.what);
            EXPECT_EQ(h.answer, HandOver(target, h.section, h.key));
        }
        EXPECT_EQ(watch_ring::kBusy, forged.Header().handover) << "the hook keeps the log's ring";
        PostMessageW(target, WM_APP + 4, 7, 0);
        ASSERT_TRUE(Await([&] {
            log.Poll();
            return log.Log().Rows() > 0 && log.CellText(log.Log().Rows() - 1, MessageLogColumns::kWParam).find(L"7") != std::wstring::npos;
        })) << log.StatusText();
        EXPECT_TRUE(log.Watching());
        EXPECT_TRUE(Contains(log.StatusText(),
                             L"Refused 3 handovers of the hook sent by another program: this log goes on"))
            << log.StatusText();
    }
}

// Inside the watched program, the ring is found in memory, let go of in the log's name and
// replaced by the program's own, which the hook then writes into: the log's next probe, answered
// by the window but not counted by its hook, stops the log in words.
TEST(HandoverTest, ARingTakenOverFromInsideTheWatchedProgramStopsTheLogInWords)
{
    UniqueWindow window = CreateTopWindow(L"taken over", WS_POPUP);
    MessageLogWindow log(nullptr, window.get());
    ASSERT_TRUE(Started(log)) << log.StatusText();
    const std::vector<watch_ring::Header*> rings = LiveRings(); // the log's view and the hook's
    ASSERT_EQ(2u, rings.size());
    rings[0]->released = 1;
    ForgedRing own(0x4242);
    EXPECT_EQ(0, HandOver(window.get(), own.HandleIn(GetCurrentProcessId()), 0x4242));
    ASSERT_EQ(watch_ring::kClaimed, own.Header().handover);
    SendMessageW(window.get(), WM_APP + 1, 0, 0);
    EXPECT_LT(0, own.Header().written) << "the hook writes into the program's ring now";
    ASSERT_TRUE(Await([&] {
        log.Poll();
        return !log.Watching();
    }));
    EXPECT_EQ(0u, log.StatusText().find(L"The hook in Process " + std::to_wstring(GetCurrentProcessId()) +
                                        L" stopped writing into this log while the window still answers"))
        << log.StatusText();
    own.Header().released = 1;
}

// The handover waits for nobody: closed before the hook answered, the log leaves no hook and no
// claim on the thread behind, and the next log starts.
TEST(HandoverTest, ALogClosedBeforeItsHookAnsweredLeavesNothingBehind)
{
    SyntheticDesktopProcess helper(L"target");
    ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
    const HWND top = helper.TopWindows().at(0);
    {
        MessageLogWindow log(nullptr, top);
        EXPECT_TRUE(log.Starting()) << log.StatusText();
        SendMessageW(log.hWnd(), WM_CLOSE, 0, 0);
        EXPECT_FALSE(log.IsOpen());
    }
    WatchSession next(top);
    ASSERT_TRUE(Started(next)) << next.Problem();
    next.Stop();
    // The first send finishes whatever the thread was in; after the second, no hook of either
    // log has run.
    SendMessageW(top, WM_APP + 1, 1, 1);
    const uint32_t calls = next.HookCalls();
    SendMessageW(top, WM_APP + 1, 1, 1);
    EXPECT_EQ(calls, next.HookCalls());
}
} // namespace
