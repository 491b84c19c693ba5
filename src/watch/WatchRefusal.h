// Why a window's messages cannot be logged, or stopped being logged, in words for the user: one
// wording per cause, so that the status line never blames the wrong thing.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

enum class WatchRefusal {
    Destroyed,        // detail: the window
    AccessDenied,     // the process cannot be opened at all
    HigherIntegrity,  // its token says so
    AnotherLog,       // detail: the thread, which this program watches already
    AnotherProgramsLog, // detail: the thread, whose hook holds the ring of a log that runs
    HookFileMissing,  // detail unused; the file's name comes with the bitness
    NoSharedMemory,   // detail: the error
    HookNotSet,       // detail: the error
    Hung,             // the handover was not answered
    HookDenied,       // detail: the hook's error opening the section
    TokenUnreadable,  // the hook never ran, and the process's token cannot be read
    DllNotLoaded,     // the hook never ran, the token shows nothing against it
    ChannelBroken,    // detail: WatchChannel::Breach, what showed that something else writes into the ring
    HookStopped,      // the hook no longer counts the log's probes while the window answers them
};

// What the log learned when it handed the ring over: whether the window answered and what, whether
// the hook took the ring or refused it as busy with another log's, and what the target's token said.
struct WatchHandover {
    bool answered;
    uint32_t answer;
    bool claimed;
    bool busy;
    bool tokenRead;
    bool higherIntegrity;
};

// Why a log that handed its ring over stays silent; false when it does not (the hook runs).
[[nodiscard]] bool WhySilent(const WatchHandover& handover, WatchRefusal& why, uint32_t& detail);

// `processId`: the watched window's process; `sixtyFour`: whether it is 64-bit.
std::wstring DescribeRefusal(WatchRefusal why, DWORD processId, uint64_t detail, bool sixtyFour);
