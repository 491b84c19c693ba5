// WatchBench: what watching a window's messages costs.
//
//   scripts/bench --watch [--messages N]
//
// A second thread owns a window and sends itself N messages as fast as it can, first unhooked,
// then through a pair of empty hooks (the floor: what the platform's hook dispatch costs alone),
// then watched through WindowInventoryHook.dll while this thread takes the ring every 50 ms into
// a MessageLog, as the log window does. Reported: the cost per message of each, how many
// messages per second the log kept, the number dropped, what taking a record costs the log, and
// what decoding a kept row's parameters and answer costs it when the row is shown.
// Once with a message that carries nothing for the hook to copy, once with WM_SETTEXT and its
// string, which the hook copies into the record.
// The 64-bit row beside it: SyntheticDesktop64's target window sends itself up to 8,000 messages
// (its WM_APP + 5), unhooked, then watched through the 64-bit host and hook; the ring holds them
// all (two records each) and is taken once they are sent.
// Last, what the records a hostile ring can hold cost the log per tick: 65,535 sends nested one
// in the other, then as many answers that match none, a ring's worth at a time.
#include "watch/MessageLog.h"
#include "watch/MessageLogColumns.h"
#include "watch/WatchSession.h"
#include "support/SyntheticDesktopProcess.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

namespace {
struct Worker {
    int messages = 0;
    // WM_APP + 1 carries nothing the hook copies; WM_SETTEXT carries a string it copies.
    UINT message = WM_APP + 1;
    HWND window = nullptr;
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    double seconds = 0;
};

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LRESULT CALLBACK Answer(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP + 1) return static_cast<LRESULT>(wParam);
    if (message == WM_SETTEXT) return TRUE; // taken, but not worth a caption redraw
    return DefWindowProcW(window, message, wParam, lParam);
}

// Each round: wait for go (answering what other threads send meanwhile), send, report.
DWORD WINAPI Work(void* context)
{
    auto& worker = *static_cast<Worker*>(context);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Answer;
    windowClass.lpszClassName = L"WatchBenchWindow";
    RegisterClassW(&windowClass);
    worker.window = CreateWindowW(windowClass.lpszClassName, L"bench", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    SetEvent(worker.ready);
    for (;;) {
        MSG message;
        while (MsgWaitForMultipleObjects(1, &worker.go, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        }
        const double start = Now();
        static const wchar_t text[] = L"A caption of forty characters, or so....";
        const LPARAM lParam = worker.message == WM_SETTEXT ? reinterpret_cast<LPARAM>(text) : 0;
        for (int i = 0; i < worker.messages; ++i) SendMessageW(worker.window, worker.message, i, lParam);
        worker.seconds = Now() - start;
        SetEvent(worker.done);
    }
}

// The handover's answer comes through this thread's message loop.
bool Started(WatchSession& session)
{
    for (int wait = 0; wait < 2000 && session.Starting(); ++wait) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        session.Check();
        if (session.Starting()) Sleep(5);
    }
    return session.Watching();
}

LRESULT CALLBACK PassOn(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct Round {
    double plainNs, floorNs, hookedNs, keptPerSecond, takeNs, decodeNs;
    uint64_t kept, dropped;
};

// One pass of the worker's sends; its time per message.
double Pass(Worker& worker)
{
    SendMessageW(worker.window, WM_NULL, 0, 0);
    SetEvent(worker.go);
    WaitForSingleObject(worker.done, INFINITE);
    return worker.seconds * 1e9 / worker.messages;
}

Round Measure(Worker& worker)
{
    Round round = {};
    round.plainNs = Pass(worker);
    const DWORD thread = GetWindowThreadProcessId(worker.window, nullptr);
    const HHOOK before = SetWindowsHookExW(WH_CALLWNDPROC, PassOn, GetModuleHandleW(nullptr), thread);
    const HHOOK after = SetWindowsHookExW(WH_CALLWNDPROCRET, PassOn, GetModuleHandleW(nullptr), thread);
    round.floorNs = Pass(worker);
    UnhookWindowsHookEx(before);
    UnhookWindowsHookEx(after);

    WatchSession session(worker.window);
    if (!Started(session)) {
        std::printf("!! cannot watch: %ls\n", session.Problem().c_str());
        std::exit(1);
    }
    MessageLog log(L"WatchBenchWindow");
    std::vector<watch_ring::Record> records;
    // Wine tells a thread of hooks set on it from elsewhere with its next message from outside.
    SendMessageW(worker.window, WM_NULL, 0, 0);
    SetEvent(worker.go);
    bool finished = false;
    double taking = 0;
    while (!finished) {
        finished = WaitForSingleObject(worker.done, 50) == WAIT_OBJECT_0;
        const double start = Now();
        records.clear();
        session.Take(records, round.dropped);
        log.Add(records);
        taking += Now() - start;
        round.kept += records.size();
    }
    round.takeNs = round.kept ? taking * 1e9 / static_cast<double>(round.kept) : 0;
    // What showing a row's decoded parameters and answer costs the log, as the list asks for them.
    const MessageLogColumns columns(log, false);
    const size_t decoded = (std::min)(log.Rows(), size_t{20000});
    const double decodeStart = Now();
    volatile size_t characters = 0; // the texts are used: the loop is not optimized away
    for (size_t row = 0; row < decoded; ++row) {
        characters += columns.Text(row, MessageLogColumns::kParameters).size();
        characters += columns.Text(row, MessageLogColumns::kAnswer).size();
    }
    round.decodeNs = decoded ? (Now() - decodeStart) * 1e9 / static_cast<double>(decoded) : 0;
    round.hookedNs = worker.seconds * 1e9 / worker.messages;
    // A sent message is two records, its send and its answer.
    round.keptPerSecond = static_cast<double>(round.kept) / 2 / worker.seconds;
    return round;
}
struct Round64 {
    double plainNs, hookedNs;
    uint64_t kept, dropped;
};

Round64 Measure64(HWND target, int messages)
{
    Round64 round = {};
    double start = Now();
    SendMessageW(target, WM_APP + 5, static_cast<WPARAM>(messages), 0);
    round.plainNs = (Now() - start) * 1e9 / messages;
    WatchSession session(target);
    if (!Started(session)) {
        std::printf("!! cannot watch the 64-bit window: %ls\n", session.Problem().c_str());
        std::exit(1);
    }
    start = Now();
    SendMessageW(target, WM_APP + 5, static_cast<WPARAM>(messages), 0);
    round.hookedNs = (Now() - start) * 1e9 / messages;
    MessageLog log(L"SyntheticDesktopTarget");
    std::vector<watch_ring::Record> records;
    // Each inner send is two records, the outer one two more; answers may come after the reply.
    const uint64_t expected = 2 * static_cast<uint64_t>(messages) + 2;
    for (int wait = 0; wait < 200 && round.kept + round.dropped < expected; ++wait) {
        records.clear();
        session.Take(records, round.dropped);
        log.Add(records);
        round.kept += records.size();
        if (round.kept + round.dropped < expected) Sleep(50);
    }
    return round;
}
// Three rounds of `worker`'s message, each round and their median printed.
void Report(const char* what, Worker& worker)
{
    std::vector<Round> rounds;
    for (int i = 0; i < 3; ++i) rounds.push_back(Measure(worker));
    std::printf("%s:\n", what);
    for (const Round& round : rounds) {
        std::printf("round: %d sends; per message: unhooked %.0f ns, empty hooks %.0f ns, watched %.0f ns; "
                    "kept %llu records, dropped %llu\n",
                    worker.messages, round.plainNs, round.floorNs, round.hookedNs,
                    static_cast<unsigned long long>(round.kept), static_cast<unsigned long long>(round.dropped));
    }
    // The median of each figure over the rounds.
    const auto medianOf = [&](auto field) {
        std::vector<std::decay_t<decltype(rounds[0].*field)>> values;
        for (const Round& round : rounds) values.push_back(round.*field);
        std::sort(values.begin(), values.end());
        return values[1];
    };
    const Round median = {medianOf(&Round::plainNs), medianOf(&Round::floorNs), medianOf(&Round::hookedNs),
                          medianOf(&Round::keptPerSecond), medianOf(&Round::takeNs), medianOf(&Round::decodeNs),
                          medianOf(&Round::kept),
                          medianOf(&Round::dropped)};
    std::printf("watch: a sent message costs %.0f ns unhooked, %.0f ns with two empty hooks, %.0f ns watched "
                "(the hook DLL's own share %+.0f ns)\n",
                median.plainNs, median.floorNs, median.hookedNs, median.hookedNs - median.floorNs);
    std::printf("watch: the log kept %.0f messages/s, %llu records dropped, taking the ring every 50 ms; "
                "taking a record into the log costs %.0f ns, decoding a row's parameters and answer %.0f ns\n",
                median.keptPerSecond, static_cast<unsigned long long>(median.dropped), median.takeNs, median.decodeNs);
}
// A tick's worth of records at a time, as the log takes them from a full ring.
void ReportHostileTicks()
{
    MessageLog log(L"WatchBenchWindow");
    std::vector<watch_ring::Record> records;
    double slowest = 0, total = 0;
    int ticks = 0;
    for (uint32_t i = 0; i < 2 * 65535u; ++i) {
        watch_ring::Record record = {};
        const bool answer = i >= 65535;
        record.kind = answer ? watch_ring::RecordKind::Returned : watch_ring::RecordKind::Sent;
        record.depth = static_cast<uint16_t>(answer ? 1 : i + 1);
        record.sequence = answer ? 0x80000000u + i : i + 1; // answers that match no send
        record.message = WM_APP + 1;
        records.push_back(record);
        if (records.size() == watch_ring::kMaxCapacity || i + 1 == 2 * 65535u) {
            const double start = Now();
            log.Add(records);
            const double took = Now() - start;
            slowest = (std::max)(slowest, took);
            total += took;
            ++ticks;
            records.clear();
        }
    }
    std::printf("watch hostile: 65,535 nested sends and as many answers matching none, %u records a tick: "
                "%.1f ms a tick on average, %.1f ms the slowest\n",
                watch_ring::kMaxCapacity, total * 1e3 / ticks, slowest * 1e3);
    // Each record for a window never seen before, whose class the log asks the system for.
    records.clear();
    for (uint32_t i = 0; i < watch_ring::kMaxCapacity; ++i) {
        watch_ring::Record record = {};
        record.kind = watch_ring::RecordKind::Posted;
        record.message = WM_APP + 1;
        record.window = 0x40000000u + 2 * i;
        records.push_back(record);
    }
    const double start = Now();
    log.Add(records);
    std::printf("watch hostile: %u records a tick, each for a window never seen before: %.1f ms\n",
                watch_ring::kMaxCapacity, (Now() - start) * 1e3);
}
} // namespace

int main(int argc, char** argv)
{
    Worker worker;
    worker.messages = 20000; // hook dispatch is slow on Wine: a pass takes seconds
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--messages") == 0) worker.messages = std::atoi(argv[++i]);
    }
    CloseHandle(CreateThread(nullptr, 0, Work, &worker, 0, nullptr));
    WaitForSingleObject(worker.ready, INFINITE);

    ReportHostileTicks();
    for (const UINT message : {UINT(WM_APP + 1), UINT(WM_SETTEXT)}) {
        worker.message = message;
        Report(message == WM_SETTEXT ? "WM_SETTEXT, its 40-character string copied" : "WM_APP+1, nothing to copy",
               worker);
    }

    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) {
        std::printf("watch 64-bit: a 32-bit system runs no 64-bit process\n");
        return 0;
    }
    SyntheticDesktopProcess helper(L"target", SyntheticDesktopProcess::Bits::SixtyFour);
    if (!helper.WaitReady(30000)) {
        std::printf("!! no 64-bit helper: %ls\n", helper.Error().c_str());
        return 1;
    }
    std::vector<Round64> wide;
    const int wideMessages = (std::min)(worker.messages, 8000);
    for (int i = 0; i < 3; ++i) wide.push_back(Measure64(helper.TopWindows().at(0), wideMessages));
    std::sort(wide.begin(), wide.end(), [](const Round64& a, const Round64& b) { return a.hookedNs < b.hookedNs; });
    std::printf("watch 64-bit: a message the 64-bit window sends itself costs %.0f ns unhooked, %.0f ns watched; "
                "kept %llu records, dropped %llu (the median of 3 rounds by watched cost)\n",
                wide[1].plainNs, wide[1].hookedNs, static_cast<unsigned long long>(wide[1].kept),
                static_cast<unsigned long long>(wide[1].dropped));
    return 0;
}
