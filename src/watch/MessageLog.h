// What the message log window shows: the last 100,000 messages of the watched window, each sent
// message with its answer once it comes, and the rows that pass the filter.
#pragma once
#include "hook/WatchRing.h"
#include "watch/MessageNames.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class MessageLog {
public:
    static constexpr size_t kKeptEntries = 100000;

    struct Entry {
        int64_t time; // QueryPerformanceCounter
        watch_ring::RecordKind kind; // Sent or Posted
        bool answered;
        UINT message;
        uint32_t wParam, lParam, result;
    };

    explicit MessageLog(const std::wstring& windowClass) : m_names(windowClass) {}

    // Takes records as the hook wrote them: a Returned record fills in its Sent entry.
    void Add(const std::vector<watch_ring::Record>& records);
    void Clear();

    // Empty: every message; a group's name: that group; anything else: names containing it
    // (ignoring case).
    void SetFilter(const std::wstring& filter);

    // The rows that pass the filter, oldest first.
    size_t Rows() const noexcept { return m_filtered ? m_shown.size() : m_entries.size(); }
    const Entry& Row(size_t row) const;
    // All entries kept (whatever the filter), and how many the keeping limit pushed out.
    size_t Kept() const noexcept { return m_entries.size(); }
    uint64_t Discarded() const noexcept { return m_first; }

    MessageNames& Names() noexcept { return m_names; }

private:
    bool Passes(const Entry& entry);
    void Keep(const Entry& entry);

    MessageNames m_names;
    std::deque<Entry> m_entries;
    uint64_t m_first = 0; // the number of the oldest kept entry; entries are numbered from 0
    // The entry numbers of unanswered sends by nesting depth.
    std::vector<uint64_t> m_unanswered;
    bool m_filtered = false;
    std::wstring m_filter;     // upper case
    const wchar_t* m_group = nullptr;
    std::deque<uint64_t> m_shown; // entry numbers passing the filter
};
