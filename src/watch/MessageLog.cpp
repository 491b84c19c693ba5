#include "watch/MessageLog.h"

#include <algorithm>
#include <cwctype>

namespace {
std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}
} // namespace

void MessageLog::Add(const std::vector<watch_ring::Record>& records)
{
    using watch_ring::RecordKind;
    for (const watch_ring::Record& record : records) {
        if (record.droppedBefore != 0) Keep(Entry{record.time, Kind::Dropped, false, false, 0, record.droppedBefore, 0, 0});
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
            continue;
        }
        if (record.kind != RecordKind::Sent && record.kind != RecordKind::Posted) continue;
        const bool sent = record.kind == RecordKind::Sent;
        if (sent && record.sequence != 0) {
            // A send as deep as an open one, or less, comes after that one returned.
            auto open = m_unanswered.end();
            while (open != m_unanswered.begin() && (open - 1)->depth >= record.depth) --open;
            Lose(open);
            m_unanswered.push_back({record.sequence, record.depth, m_first + m_entries.size()});
        }
        Keep(Entry{record.time, sent ? Kind::Sent : Kind::Posted, false, false, record.message, record.wParam, record.lParam,
                   0});
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

void MessageLog::Keep(const Entry& entry)
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
    m_entries.push_back(entry);
    if (m_filtered && Passes(entry)) m_shown.push_back(m_first + m_entries.size() - 1);
}

void MessageLog::Clear()
{
    m_first += m_entries.size();
    m_entries.clear();
    m_shown.clear();
}

void MessageLog::SetFilter(const std::wstring& filter)
{
    m_filter = Upper(filter);
    m_filter.erase(0, m_filter.find_first_not_of(L' '));
    m_filter.erase(m_filter.find_last_not_of(L' ') + 1);
    m_filtered = !m_filter.empty();
    m_group = nullptr;
    for (const wchar_t* group : MessageNames::Groups()) {
        if (Upper(group) == m_filter) m_group = group;
    }
    m_shown.clear();
    if (!m_filtered) return;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (Passes(m_entries[i])) m_shown.push_back(m_first + i);
    }
}

bool MessageLog::Passes(const Entry& entry)
{
    if (entry.kind == Kind::Dropped) return true; // a gap is shown whatever the filter
    if (m_group != nullptr) return lstrcmpW(m_names.Group(entry.message), m_group) == 0;
    return Upper(m_names.Name(entry.message)).find(m_filter) != std::wstring::npos;
}

const MessageLog::Entry& MessageLog::Row(size_t row) const
{
    return m_filtered ? m_entries[m_shown[row] - m_first] : m_entries[row];
}
