// Reading a header field from the view is fine; using one as a size or a divisor is not: every
// size and index the reader uses is its own. A record is checked in the log's own copy, which the
// other side can no longer change.
#include "watch/WatchChannel.h"

namespace {
using watch_ring::Header;
using watch_ring::Record;

constexpr DWORD kSectionAccess = SECTION_QUERY | SECTION_MAP_READ | SECTION_MAP_WRITE | READ_CONTROL;
// No message is dispatched to a window in less than 20 ns: the hook cannot try more records than
// this in a millisecond, whatever a record's serial number says.
constexpr uint64_t kMostRecordsPerMs = 50000;

bool KnownKind(watch_ring::RecordKind kind)
{
    using watch_ring::RecordKind;
    return kind == RecordKind::Sent || kind == RecordKind::Returned || kind == RecordKind::Posted;
}
} // namespace

WatchChannel::WatchChannel(uint32_t capacity, const Access& access, uint32_t options, uint32_t key)
    : m_capacity(capacity < 1 || capacity > watch_ring::kMaxCapacity ? watch_ring::kMaxCapacity : capacity),
      m_lastTake(GetTickCount64())
{
    HANDLE self = nullptr;
    alignas(TOKEN_USER) BYTE user[128] = {};
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &self)) {
        m_error = GetLastError();
        return;
    }
    UniqueHandle token(self);
    if (!GetTokenInformation(token.get(), TokenUser, user, sizeof user, &size)) {
        m_error = GetLastError();
        return;
    }
    const PSID ourUser = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    const PSID theirUser = access.targetUser != nullptr ? access.targetUser : ourUser;

    alignas(ACL) BYTE dacl[256] = {};
    alignas(ACL) BYTE sacl[64] = {};
    // The mandatory label's SID: S-1-16-<level>.
    SID label = {SID_REVISION, 1, SECURITY_MANDATORY_LABEL_AUTHORITY, {access.integrityLevel}};
    SECURITY_DESCRIPTOR descriptor;
    const bool made = InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                      InitializeAcl(reinterpret_cast<ACL*>(dacl), sizeof dacl, ACL_REVISION) &&
                      AddAccessAllowedAce(reinterpret_cast<ACL*>(dacl), ACL_REVISION, kSectionAccess, ourUser) &&
                      (EqualSid(ourUser, theirUser) ||
                       AddAccessAllowedAce(reinterpret_cast<ACL*>(dacl), ACL_REVISION, kSectionAccess, theirUser)) &&
                      SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<ACL*>(dacl), FALSE) &&
                      InitializeAcl(reinterpret_cast<ACL*>(sacl), sizeof sacl, ACL_REVISION) &&
                      AddMandatoryAce(reinterpret_cast<ACL*>(sacl), ACL_REVISION, 0,
                                      SYSTEM_MANDATORY_LABEL_NO_READ_UP | SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, &label) &&
                      SetSecurityDescriptorSacl(&descriptor, TRUE, reinterpret_cast<ACL*>(sacl), FALSE);
    if (!made) {
        m_error = GetLastError();
        return;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    const uint64_t bytes = watch_ring::RingBytes(m_capacity);
    m_section.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, static_cast<DWORD>(bytes), nullptr));
    if (!m_section) {
        m_error = GetLastError();
        return;
    }
    auto* ring = static_cast<Header*>(MapViewOfFile(m_section.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    MEMORY_BASIC_INFORMATION view = {};
    if (ring == nullptr || VirtualQuery(ring, &view, sizeof view) != sizeof view || view.RegionSize < bytes) {
        m_error = ring == nullptr ? GetLastError() : ERROR_INVALID_DATA;
        if (ring != nullptr) UnmapViewOfFile(ring);
        return;
    }
    ring->capacity = m_capacity;
    ring->options = options;
    ring->recordSize = sizeof(Record);
    ring->key = key;
    ring->heartbeat = static_cast<LONG>(GetTickCount());
    ring->magic = watch_ring::kMagic;
    m_ring = ring;
}

WatchChannel::~WatchChannel()
{
    if (m_ring == nullptr) return;
    Withdraw();
    InterlockedExchange(&m_ring->released, 1);
    UnmapViewOfFile(m_ring);
}

bool WatchChannel::Offer(HANDLE process, uint32_t& handle)
{
    HANDLE there = nullptr;
    if (m_ring == nullptr || !DuplicateHandle(GetCurrentProcess(), m_section.get(), process, &there,
                                              SECTION_QUERY | SECTION_MAP_READ | SECTION_MAP_WRITE, FALSE, 0)) {
        m_error = m_ring == nullptr ? m_error : GetLastError();
        return false;
    }
    // Handles have 32 significant bits in 32-bit and 64-bit processes alike.
    m_target = process;
    m_offered = handle = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(there));
    return true;
}

LONG WatchChannel::Handover() const noexcept
{
    return m_ring != nullptr ? m_ring->handover : watch_ring::kWithdrawn;
}

void WatchChannel::Withdraw() noexcept
{
    if (m_offered == 0) return;
    // Once withdrawn, the hook never closes the handle; until then, only it may.
    if (InterlockedCompareExchange(&m_ring->handover, watch_ring::kWithdrawn, watch_ring::kOffered) == watch_ring::kOffered) {
        DuplicateHandle(m_target, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(m_offered)), nullptr, nullptr, 0, FALSE,
                        DUPLICATE_CLOSE_SOURCE);
    }
    m_offered = 0;
}

bool WatchChannel::Break(Breach why) noexcept
{
    m_breach = why;
    return false;
}

void WatchChannel::Beat() noexcept
{
    if (m_ring != nullptr) InterlockedExchange(&m_ring->heartbeat, static_cast<LONG>(GetTickCount()));
}

bool WatchChannel::Take(std::vector<Record>& records, uint64_t& dropped)
{
    if (!Open()) return false;
    Header& header = *m_ring;
    if (header.magic != watch_ring::kMagic || header.recordSize != sizeof(Record) || header.capacity != m_capacity) {
        return Break(Breach::Header);
    }
    Beat();
    const ULONGLONG now = GetTickCount64();
    const uint64_t mostDrops = m_capacity + (now - m_lastTake + 1) * kMostRecordsPerMs;
    m_lastTake = now;
    const auto written = static_cast<uint32_t>(InterlockedCompareExchange(&header.written, 0, 0));
    if (written - m_read > m_capacity) return Break(Breach::Header);
    const Record* ring = watch_ring::Records(m_ring);
    uint64_t drops = 0;
    for (uint32_t index = m_read; index != written; ++index) {
        records.push_back(ring[index % m_capacity]);
        Record& record = records.back();
        const Breach breach = Check(record, drops, mostDrops);
        if (breach != Breach::None) {
            records.pop_back();
            return Break(breach);
        }
        dropped += record.droppedBefore;
    }
    // Only now may the hook write over what was copied.
    m_read = written;
    InterlockedExchange(&header.read, static_cast<LONG>(written));
    return true;
}

WatchChannel::Breach WatchChannel::Check(Record& record, uint64_t& drops, uint64_t mostDrops) noexcept
{
    if (!KnownKind(record.kind)) return Breach::Kind;
    if (record.dataKind > watch_ring::DataKind::Last || record.dataBytes > watch_ring::kDataBytes ||
        record.structBytes > record.dataBytes) {
        return Breach::Size;
    }
    const auto step = static_cast<int32_t>(record.serial - m_serial);
    if (step <= 0) return Breach::Order;
    drops += static_cast<uint32_t>(step - 1);
    if (drops > mostDrops) return Breach::Drops;
    m_serial = record.serial;
    record.droppedBefore = static_cast<uint32_t>(step - 1);
    return Breach::None;
}

uint32_t WatchChannel::Counter(volatile LONG Header::*field) const noexcept
{
    return m_ring != nullptr ? static_cast<uint32_t>(m_ring->*field) : 0;
}

uint32_t WatchChannel::Pending() const noexcept
{
    return Open() ? Counter(&Header::attempts) - m_serial : 0;
}

uint32_t WatchChannel::HookCalls() const noexcept
{
    return Counter(&Header::hookCalls);
}

uint32_t WatchChannel::Probes() const noexcept
{
    return Counter(&Header::probes);
}

uint32_t WatchChannel::Foreign() const noexcept
{
    return Counter(&Header::foreign);
}
