// The log keeps what the decoder needs and nothing more per record: copied data only where the
// hook copied some, and the names of the window's class as a pointer to a shared table, found
// once per window.
#include "watch/MessageLog.h"

#include <algorithm>
#include <cwctype>

namespace {
// A thread that makes windows without end must not grow the cache without end.
constexpr size_t kCachedWindows = 4096;
// Asking the system for a class takes a round trip to Wine's server: a tick's worth of records
// for windows never seen before asks for this many at most (about 35 ms), the rest fall back as
// unread ones do and are asked for at the next tick.
constexpr size_t kClassesAskedPerAdd = 512;
// The hook numbers the answers of this many nested sends; deeper ones cannot be paired anyway.
constexpr size_t kMostOpenSends = 2 * watch_ring::kTrackedDepth;

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// "000A0B2C", "0x0A0B2C", "A0B2Ch" (as the tree spells it): a window's handle; anything else is not.
bool ParseHandle(std::wstring word, uint64_t& handle)
{
    const bool marked = word.size() > 2 && (word.compare(0, 2, L"0X") == 0 || word.back() == L'H');
    if (marked) word = word.back() == L'H' ? word.substr(0, word.size() - 1) : word.substr(2);
    if (!marked && word.size() != 8 && word.size() != 16) return false;
    if (word.empty() || word.size() > 16 || word.find_first_not_of(L"0123456789ABCDEF") != std::wstring::npos) return false;
    handle = std::wcstoull(word.c_str(), nullptr, 16);
    return true;
}

MessageData Copy(const watch_ring::Record& record)
{
    const uint16_t bytes = (std::min)(record.dataBytes, static_cast<uint16_t>(watch_ring::kDataBytes));
    return MessageData{record.dataKind, record.dataFlags, (std::min)(record.structBytes, bytes),
                       std::string(reinterpret_cast<const char*>(record.data), bytes)};
}
} // namespace

MessageLog::MessageLog(const std::wstring& windowClass) : m_watchedNames(&MessageNames::Of(windowClass)) {}

const MessageNames* MessageLog::ClassOf(uint64_t window)
{
    // Most records in a row are for one window.
    if (window == m_lastWindow && m_lastClass != nullptr) return m_lastClass;
    auto found = m_windowClasses.find(window);
    if (found == m_windowClasses.end()) {
        if (m_classesToAsk == 0) return nullptr;
        --m_classesToAsk;
        if (m_windowClasses.size() >= kCachedWindows) m_windowClasses.clear();
        wchar_t name[256] = {};
        const bool read = GetClassNameW(reinterpret_cast<HWND>(static_cast<UINT_PTR>(window)), name, 256) > 0;
        found = m_windowClasses.emplace(window, read ? &MessageNames::Of(name) : nullptr).first;
    }
    m_lastWindow = window;
    return m_lastClass = found->second;
}

void MessageLog::Add(const std::vector<watch_ring::Record>& records)
{
    using watch_ring::RecordKind;
    m_classesToAsk = kClassesAskedPerAdd;
    for (const watch_ring::Record& record : records) {
        const uint16_t openDepth = m_unanswered.empty() ? 0 : m_unanswered.back().depth;
        if (record.droppedBefore != 0) {
            Keep(Entry{record.time, record.window, record.droppedBefore, 0, 0, nullptr, m_watchedNames, nullptr, 0, Kind::Dropped,
                       openDepth, false, false, false});
        }
        if (record.kind == RecordKind::Returned) {
            Entry* sent = Answered(record);
            if (sent == nullptr) continue; // its send was dropped, or made before
            sent->answered = true;
            sent->result = record.result;
            if (record.dataKind != watch_ring::DataKind::None) {
                if (!sent->data) sent->data = std::make_shared<Copied>();
                sent->data->answer = Copy(record);
            }
            // Messages came in between: the answer closes them with a row of its own.
            if (sent == &m_entries.back()) continue;
            sent->closed = true;
            Entry closing = *sent;
            closing.time = record.time;
            closing.kind = Kind::Returned;
            Keep(std::move(closing));
            continue;
        }
        if (record.kind != RecordKind::Sent && record.kind != RecordKind::Posted) continue;
        const bool sent = record.kind == RecordKind::Sent;
        uint16_t depth = openDepth;
        if (sent) {
            depth = record.depth > 0 ? static_cast<uint16_t>(record.depth - 1) : 0;
            Open(record);
        }
        std::shared_ptr<Copied> data;
        if (record.dataKind != watch_ring::DataKind::None) data = std::make_shared<Copied>(Copied{Copy(record), {}});
        const MessageNames* names = ClassOf(record.window);
        // A control's notification codes are its class's; read now, as the control may go.
        const MessageNames* control = record.message == WM_COMMAND && record.lParam != 0 ? ClassOf(record.lParam) : nullptr;
        Keep(Entry{record.time, record.window, record.wParam, record.lParam, 0, std::move(data),
                   names != nullptr ? names : m_watchedNames, control, record.message, sent ? Kind::Sent : Kind::Posted,
                   depth, false, false, false});
    }
}

// A send as deep as an open one, or less, comes after that one returned.
void MessageLog::Open(const watch_ring::Record& record)
{
    while (!m_unanswered.empty() && m_unanswered.back().depth >= record.depth) LoseFrom(m_unanswered.size() - 1);
    if (record.sequence == 0) return;
    if (m_unanswered.size() == kMostOpenSends) LoseFrom(0, 1);
    m_unanswered.push_back({record.sequence, record.depth, m_first + m_entries.size()});
}

// The answer to a send ends every send made inside it. The hook numbers sends as they are made,
// so the open ones, made one inside the other, have rising numbers: a search by halves finds the
// one answered (records that break the order find nothing, at the same cost).
MessageLog::Entry* MessageLog::Answered(const watch_ring::Record& record)
{
    if (m_unanswered.empty()) return nullptr;
    const uint32_t base = m_unanswered.front().sequence;
    const auto after = [&](uint32_t sequence) { return static_cast<int32_t>(sequence - base); };
    size_t low = 0, high = m_unanswered.size();
    if (m_unanswered.back().sequence == record.sequence) low = high - 1; // nearly always the innermost
    while (high - low > 1) {
        const size_t middle = low + (high - low) / 2;
        (after(m_unanswered[middle].sequence) <= after(record.sequence) ? low : high) = middle;
    }
    if (m_unanswered[low].sequence != record.sequence) return nullptr;
    const uint64_t number = m_unanswered[low].number;
    LoseFrom(low + 1);
    m_unanswered.pop_back();
    if (number < m_first || number - m_first >= m_entries.size()) return nullptr;
    Entry& sent = m_entries[number - m_first];
    return sent.message == record.message ? &sent : nullptr;
}

// The open sends [from, to) were answered, but their answers were dropped.
void MessageLog::LoseFrom(size_t from, size_t to)
{
    to = (std::min)(to, m_unanswered.size());
    for (size_t i = from; i < to; ++i) {
        const uint64_t number = m_unanswered[i].number;
        if (number >= m_first && number - m_first < m_entries.size()) m_entries[number - m_first].lost = true;
    }
    if (from < to) m_unanswered.erase(m_unanswered.begin() + static_cast<ptrdiff_t>(from), m_unanswered.begin() + static_cast<ptrdiff_t>(to));
}

void MessageLog::Interrupt()
{
    LoseFrom(0);
}

void MessageLog::Keep(Entry&& entry)
{
    if (m_entries.size() == kKeptEntries) {
        m_entries.pop_front();
        ++m_first;
        if (!m_filtered) ++m_rowsDiscarded;
        if (!m_shown.empty() && m_shown.front() < m_first) {
            m_shown.pop_front();
            ++m_rowsDiscarded;
        }
    }
    m_entries.push_back(std::move(entry));
    if (m_filtered && Passes(m_entries.back())) m_shown.push_back(m_first + m_entries.size() - 1);
}

void MessageLog::Clear()
{
    m_first += m_entries.size();
    m_entries.clear();
    m_shown.clear();
}

void MessageLog::SetFilter(const std::wstring& filter)
{
    m_terms.clear();
    const std::wstring upper = Upper(filter);
    for (size_t start = upper.find_first_not_of(L' '); start != std::wstring::npos;
         start = upper.find_first_not_of(L' ', start)) {
        const size_t end = (std::min)(upper.find(L' ', start), upper.size());
        Term term{upper.substr(start, end - start), nullptr, 0};
        start = end;
        for (const wchar_t* group : MessageNames::Groups()) {
            if (Upper(group) == term.text) term.group = group;
        }
        if (term.group == nullptr && ParseHandle(term.text, term.window)) term.text.clear();
        m_terms.push_back(std::move(term));
    }
    Refilter();
}

void MessageLog::Hide(const std::wstring& name)
{
    if (std::find(m_hidden.begin(), m_hidden.end(), name) != m_hidden.end()) return;
    m_hidden.push_back(name);
    Refilter();
}

void MessageLog::ShowHidden()
{
    m_hidden.clear();
    Refilter();
}

void MessageLog::Refilter()
{
    m_filtered = !m_terms.empty() || !m_hidden.empty();
    m_shown.clear();
    if (!m_filtered) return;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (Passes(m_entries[i])) m_shown.push_back(m_first + i);
    }
}

bool MessageLog::Passes(const Entry& entry) const
{
    if (entry.kind == Kind::Dropped) return true; // a gap is shown whatever the filter
    if (!m_hidden.empty() && std::find(m_hidden.begin(), m_hidden.end(), Name(entry)) != m_hidden.end()) return false;
    for (const Term& term : m_terms) {
        if (term.group != nullptr) {
            if (lstrcmpW(entry.names->Group(entry.message), term.group) != 0) return false;
        } else if (term.text.empty()) {
            // Handles are 32 bits wide in a 64-bit process too; how they are widened varies.
            if (static_cast<uint32_t>(entry.window) != static_cast<uint32_t>(term.window)) return false;
        } else if (Upper(Name(entry)).find(term.text) == std::wstring::npos) {
            return false;
        }
    }
    return true;
}

const MessageLog::Entry& MessageLog::Row(size_t row) const
{
    return m_filtered ? m_entries[m_shown[row] - m_first] : m_entries[row];
}
