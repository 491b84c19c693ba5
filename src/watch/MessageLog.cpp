// The log keeps what the decoder needs and nothing more per record: copied data only where the
// hook copied some, and the names of the window's class as a pointer found once per window.
#include "watch/MessageLog.h"

#include <algorithm>
#include <cwctype>

namespace {
// A thread that makes windows without end must not grow the cache without end.
constexpr size_t kCachedWindows = 4096;

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
    return MessageData{record.dataKind, record.dataFlags, record.structBytes,
                       std::string(reinterpret_cast<const char*>(record.data), bytes)};
}
} // namespace

MessageLog::MessageLog(const std::wstring& windowClass)
    : m_watchedNames(&m_classes.try_emplace(windowClass, windowClass).first->second)
{
}

MessageNames* MessageLog::NamesOf(uint64_t window, MessageNames* unknown)
{
    if (window == m_lastWindow && m_lastNames != nullptr) return m_lastNames;
    auto found = m_windowNames.find(window);
    if (found == m_windowNames.end()) {
        if (m_windowNames.size() >= kCachedWindows) m_windowNames.clear();
        wchar_t name[256] = {};
        MessageNames* names = unknown;
        if (GetClassNameW(reinterpret_cast<HWND>(static_cast<UINT_PTR>(window)), name, 256) > 0) {
            names = &m_classes.try_emplace(name, name).first->second;
        }
        found = m_windowNames.emplace(window, names).first;
    }
    if (found->second == nullptr) return nullptr;
    m_lastWindow = window;
    return m_lastNames = found->second;
}

void MessageLog::Add(const std::vector<watch_ring::Record>& records)
{
    using watch_ring::RecordKind;
    for (const watch_ring::Record& record : records) {
        const uint16_t openDepth = m_unanswered.empty() ? 0 : m_unanswered.back().depth;
        if (record.droppedBefore != 0) {
            Keep(Entry{record.time, record.window, record.droppedBefore, 0, 0, nullptr, m_watchedNames, nullptr, 0, Kind::Dropped,
                       openDepth, false, false, false});
        }
        if (record.kind == RecordKind::Returned) {
            // The answer to a send ends every send made inside it.
            auto open = m_unanswered.end();
            while (open != m_unanswered.begin() && (open - 1)->sequence != record.sequence) --open;
            if (open == m_unanswered.begin()) continue; // its send was dropped, or made before
            const uint64_t number = (open - 1)->number;
            Lose(open);
            m_unanswered.pop_back();
            if (number < m_first || number - m_first >= m_entries.size()) continue;
            Entry& sent = m_entries[number - m_first];
            if (sent.message != record.message) continue;
            sent.answered = true;
            sent.result = record.result;
            if (record.dataKind != watch_ring::DataKind::None) {
                if (!sent.data) sent.data = std::make_shared<Copied>();
                sent.data->answer = Copy(record);
            }
            // Messages came in between: the answer closes them with a row of its own.
            if (number + 1 == m_first + m_entries.size()) continue;
            sent.closed = true;
            Entry closing = sent;
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
            // A send as deep as an open one, or less, comes after that one returned.
            auto open = m_unanswered.end();
            while (open != m_unanswered.begin() && (open - 1)->depth >= record.depth) --open;
            Lose(open);
            if (record.sequence != 0) m_unanswered.push_back({record.sequence, record.depth, m_first + m_entries.size()});
        }
        std::shared_ptr<Copied> data;
        if (record.dataKind != watch_ring::DataKind::None) data = std::make_shared<Copied>(Copied{Copy(record), {}});
        // A control's notification codes are its class's; read now, as the control may go.
        MessageNames* control =
            record.message == WM_COMMAND && record.lParam != 0 ? NamesOf(record.lParam, nullptr) : nullptr;
        Keep(Entry{record.time, record.window, record.wParam, record.lParam, 0, std::move(data),
                   NamesOf(record.window, m_watchedNames), control, record.message, sent ? Kind::Sent : Kind::Posted,
                   depth, false, false, false});
    }
}

// The sends from `from` on were answered, but their answers were dropped.
void MessageLog::Lose(std::vector<OpenSend>::iterator from)
{
    for (auto send = from; send != m_unanswered.end(); ++send) {
        if (send->number >= m_first && send->number - m_first < m_entries.size()) m_entries[send->number - m_first].lost = true;
    }
    m_unanswered.erase(from, m_unanswered.end());
}

void MessageLog::Interrupt()
{
    Lose(m_unanswered.begin());
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
    m_filtered = !m_terms.empty();
    m_shown.clear();
    if (!m_filtered) return;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (Passes(m_entries[i])) m_shown.push_back(m_first + i);
    }
}

bool MessageLog::Passes(const Entry& entry) const
{
    if (entry.kind == Kind::Dropped) return true; // a gap is shown whatever the filter
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
