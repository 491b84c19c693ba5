// What the watch tests share: waiting until a watch has started (the hook answers through this
// thread's message loop), and finding the rings in this process's memory as a program that
// attacks the log from inside would.
#pragma once
#include "support/FormDriver.h"
#include "support/TestWindows.h"
#include "watch/MessageLogWindow.h"
#include "watch/WatchSession.h"

#include <vector>

template <class Condition>
bool Await(Condition condition)
{
    return PollUntil(20000, [&] {
        PumpMessages();
        return condition();
    });
}

// Whether the watch started, once the hook has answered the handover.
inline bool Started(WatchSession& session)
{
    Await([&] {
        session.Check();
        return !session.Starting();
    });
    return session.Watching();
}

inline bool Started(MessageLogWindow& log)
{
    Await([&] {
        log.Poll();
        return !log.Starting();
    });
    return log.Watching();
}

// Every view in this process of a ring a hook has taken and its log has not let go of: with the
// log and the watched window in one process, the log's view and the hook's.
inline std::vector<watch_ring::Header*> LiveRings()
{
    std::vector<watch_ring::Header*> rings;
    MEMORY_BASIC_INFORMATION region = {};
    for (auto* at = static_cast<BYTE*>(nullptr); VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize) {
        auto* header = static_cast<watch_ring::Header*>(region.BaseAddress);
        if (region.State == MEM_COMMIT && region.Type == MEM_MAPPED && region.Protect == PAGE_READWRITE &&
            region.RegionSize >= sizeof *header && header->magic == watch_ring::kMagic &&
            header->handover == watch_ring::kClaimed && header->released == 0) {
            rings.push_back(header);
        }
        if (static_cast<BYTE*>(region.BaseAddress) + region.RegionSize < at) break;
    }
    return rings;
}
