// The log's end of the ring the hook writes into (hook/WatchRing.h): the section, made under an
// explicit security descriptor and refused if its name was taken, and the reading of records.
// The other end runs inside the watched program, so nothing it wrote is believed: the reader keeps
// the capacity and its read index itself and calls a header that disagrees a broken channel.
#pragma once
#include "hook/WatchRing.h"
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <string>
#include <vector>

class WatchChannel {
public:
    // Who may open the section besides this program's user: the watched process's user (null:
    // only ours), and its integrity level as the section's label (no read-up, no write-up).
    struct Access {
        PSID targetUser;
        DWORD integrityLevel;
    };

    // Creates the section `name` holding `capacity` records, its header asking the hook for
    // `options` (watch_ring::kEveryWindow). Error() is ERROR_ALREADY_EXISTS when something else
    // made it first: that section is never used.
    WatchChannel(const std::wstring& name, uint32_t capacity, const Access& access, uint32_t options);
    ~WatchChannel();
    WatchChannel(const WatchChannel&) = delete;
    WatchChannel& operator=(const WatchChannel&) = delete;

    DWORD Error() const noexcept { return m_error; }
    bool Open() const noexcept { return m_ring != nullptr && !m_broken; }
    bool Broken() const noexcept { return m_broken; }

    // Appends the records written since the last call and adds the drops counted meanwhile to
    // `dropped`; false once the header is found broken (then nothing is read again).
    [[nodiscard]] bool Take(std::vector<watch_ring::Record>& records, uint64_t& dropped);
    // Records written, and dropped, that Take has not handed out yet.
    uint32_t Pending() const noexcept;
    uint32_t HookCalls() const noexcept;

private:
    bool Break() noexcept;

    UniqueHandle m_section;
    watch_ring::Header* m_ring = nullptr;
    uint32_t m_capacity;
    uint32_t m_read = 0;
    uint32_t m_dropsSeen = 0;
    DWORD m_error = ERROR_SUCCESS;
    bool m_broken = false;
};
