// Reading a header field from the view is fine; using one as a size or a divisor is not: every
// size and index the reader uses is its own.
#include "watch/WatchChannel.h"

namespace {
using watch_ring::Header;

constexpr DWORD kSectionAccess = SECTION_QUERY | SECTION_MAP_READ | SECTION_MAP_WRITE | READ_CONTROL;
} // namespace

WatchChannel::WatchChannel(const std::wstring& name, uint32_t capacity, const Access& access, uint32_t options)
    : m_capacity(capacity < 1 || capacity > watch_ring::kMaxCapacity ? watch_ring::kMaxCapacity : capacity)
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
    m_section.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, static_cast<DWORD>(bytes),
                                       name.c_str()));
    m_error = GetLastError();
    if (!m_section) return;
    if (m_error == ERROR_ALREADY_EXISTS) {
        m_section.reset();
        return;
    }
    auto* ring = static_cast<Header*>(MapViewOfFile(m_section.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    MEMORY_BASIC_INFORMATION view = {};
    if (ring == nullptr || VirtualQuery(ring, &view, sizeof view) != sizeof view || view.RegionSize < bytes) {
        m_error = ring == nullptr ? GetLastError() : ERROR_INVALID_DATA;
        if (ring != nullptr) UnmapViewOfFile(ring);
        return;
    }
    m_error = ERROR_SUCCESS;
    ring->capacity = m_capacity;
    ring->options = options;
    ring->recordSize = sizeof(watch_ring::Record);
    ring->magic = watch_ring::kMagic;
    m_ring = ring;
}

WatchChannel::~WatchChannel()
{
    if (m_ring != nullptr) UnmapViewOfFile(m_ring);
}

bool WatchChannel::Break() noexcept
{
    m_broken = true;
    return false;
}

bool WatchChannel::Take(std::vector<watch_ring::Record>& records, uint64_t& dropped)
{
    if (!Open()) return false;
    Header& header = *m_ring;
    if (header.magic != watch_ring::kMagic || header.recordSize != sizeof(watch_ring::Record) ||
        header.capacity != m_capacity) {
        return Break();
    }
    const auto written = static_cast<uint32_t>(InterlockedCompareExchange(&header.written, 0, 0));
    if (written - m_read > m_capacity) return Break();
    const watch_ring::Record* ring = watch_ring::Records(m_ring);
    for (uint32_t index = m_read; index != written; ++index) records.push_back(ring[index % m_capacity]);
    // Only now may the hook write over what was copied.
    m_read = written;
    InterlockedExchange(&header.read, static_cast<LONG>(written));
    const auto drops = static_cast<uint32_t>(header.dropped);
    dropped += drops - m_dropsSeen;
    m_dropsSeen = drops;
    return true;
}

uint32_t WatchChannel::Pending() const noexcept
{
    if (!Open()) return 0;
    return static_cast<uint32_t>(m_ring->written) - m_read + (static_cast<uint32_t>(m_ring->dropped) - m_dropsSeen);
}

uint32_t WatchChannel::HookCalls() const noexcept
{
    return Open() ? static_cast<uint32_t>(m_ring->hookCalls) : 0;
}
