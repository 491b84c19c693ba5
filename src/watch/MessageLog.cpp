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
            // Sends nest: the answer to one ends every send made inside it, whose answers, if
            // they were dropped, will not come any more. A send that was dropped is not there.
            auto open = m_unanswered.end();
            while (open != m_unanswered.begin() && (open - 1)->first != record.sequence) --open;
            if (open == m_unanswered.begin()) continue;
            const uint64_t number = (open - 1)->second;
            for (auto inner = open; inner != m_unanswered.end(); ++inner) {
                if (inner->second >= m_first && inner->second - m_first < m_entries.size()) {
                    m_entries[inner->second - m_first].lost = true;
                }
            }
            m_unanswered.erase(open - 1, m_unanswered.end());
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
            // Outermost sends whose answers were dropped would pile up here.
            if (m_unanswered.size() >= kKeptEntries) m_unanswered.clear();
            m_unanswered.emplace_back(record.sequence, m_first + m_entries.size());
        }
        Keep(Entry{record.time, sent ? Kind::Sent : Kind::Posted, false, false, record.message, record.wParam, record.lParam,
                   0});
    }
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
