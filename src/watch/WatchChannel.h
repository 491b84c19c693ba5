// The log's end of the ring the hook writes into (hook/WatchRing.h): a section without a name,
// made under an explicit security descriptor and offered to the hook as a handle duplicated into
// the watched process, and the reading of records. The other end runs inside the watched program,
// so nothing it wrote is believed: the reader keeps the capacity, its read index and the records'
// serial numbers itself, and calls a ring that disagrees broken, saying what showed it.
#pragma once
#include "hook/WatchRing.h"
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <cstdint>
#include <vector>

class WatchChannel {
public:
    // Who may open the section besides this program's user: the watched process's user (null:
    // only ours), and its integrity level as the section's label (no read-up, no write-up).
    struct Access {
        PSID targetUser;
        DWORD integrityLevel;
    };
    // What showed that something other than the hook wrote into the ring.
    enum class Breach : uint8_t {
        None,
        Header, // the header's size, capacity or layout changed, or its written index jumped
        Kind,   // a record of a kind the hook never writes
        Order,  // serial numbers that do not go up
        Drops,  // more records said to be dropped than the hook could have tried meanwhile
        Size,   // copied data longer than a record holds
    };

    // Creates the section holding `capacity` records, its header asking the hook for `options`
    // (watch_ring::kEveryWindow) and carrying `key`, the number the handover names it by.
    WatchChannel(uint32_t capacity, const Access& access, uint32_t options, uint32_t key);
    // Tells the hook the ring is let go of, and takes back an offer it never took.
    ~WatchChannel();
    WatchChannel(const WatchChannel&) = delete;
    WatchChannel& operator=(const WatchChannel&) = delete;

    DWORD Error() const noexcept { return m_error; }
    bool Open() const noexcept { return m_ring != nullptr && m_breach == Breach::None; }
    bool Broken() const noexcept { return m_breach != Breach::None; }
    Breach WhyBroken() const noexcept { return m_breach; }

    // Duplicates the section's handle into `process`, which must outlive this channel; `handle`
    // is its value there. False, with Error(), when it cannot.
    [[nodiscard]] bool Offer(HANDLE process, uint32_t& handle);
    // Where the offer stands (watch_ring::Handover).
    LONG Handover() const noexcept;
    // Takes back an offer the hook has not taken, closing the handle in the watched process.
    void Withdraw() noexcept;

    // Appends the records written since the last call, each with how many the hook dropped just
    // before it (from their serial numbers), and adds those to `dropped`; false once the ring is
    // found broken (then nothing is read again; what was taken before the breach is appended).
    [[nodiscard]] bool Take(std::vector<watch_ring::Record>& records, uint64_t& dropped);
    // Tells the hook the log still runs; Take does it too.
    void Beat() noexcept;
    // Records the hook tried to write (written or dropped) that Take has not handed out yet. The
    // hook counts a record only once it is published, so every one written is there to take;
    // the dropped ones are counted by the next record that is written.
    uint32_t Pending() const noexcept;
    uint32_t HookCalls() const noexcept;
    // The log's probes the hook counted, and the handovers of other rings it refused, in this ring.
    uint32_t Probes() const noexcept;
    uint32_t Foreign() const noexcept;

private:
    bool Break(Breach why) noexcept;
    // Checks the log's copy of a record and puts in how many were dropped before it; `drops` sums
    // them over one take, which may not pass `mostDrops`.
    Breach Check(watch_ring::Record& record, uint64_t& drops, uint64_t mostDrops) noexcept;
    uint32_t Counter(volatile LONG watch_ring::Header::*field) const noexcept;

    UniqueHandle m_section;
    watch_ring::Header* m_ring = nullptr;
    uint32_t m_capacity;
    uint32_t m_read = 0;
    uint32_t m_serial = 0; // of the last record taken
    ULONGLONG m_lastTake;
    HANDLE m_target = nullptr; // the process the offer went to (not owned)
    uint32_t m_offered = 0;    // the handle's value there
    DWORD m_error = ERROR_SUCCESS;
    Breach m_breach = Breach::None;
};
