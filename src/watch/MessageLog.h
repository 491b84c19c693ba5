// What the message log window shows: the last 100,000 messages of the watched window, each sent
// message with its answer once it comes, a row where the hook had to drop messages, and the rows
// that pass the filter.
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

    enum class Kind : uint8_t { Sent, Posted, Dropped };
    struct Entry {
        int64_t time; // QueryPerformanceCounter
        Kind kind;
        bool answered;
        bool lost; // a send whose answer was dropped: it will not come any more
        UINT message;
        uint64_t wParam, lParam, result; // Dropped: wParam is how many
    };

    explicit MessageLog(const std::wstring& windowClass) : m_names(windowClass) {}

    // Takes records as the hook wrote them: a Returned record fills in the Sent entry of the same
    // sequence number.
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
    // How many rows have left the top of the list as shown (the filter's rows, or all): a list
    // that stays put moves up by as many.
    uint64_t RowsDiscarded() const noexcept { return m_rowsDiscarded; }

    MessageNames& Names() noexcept { return m_names; }

private:
    bool Passes(const Entry& entry);
    void Keep(const Entry& entry);

    MessageNames m_names;
    std::deque<Entry> m_entries;
    uint64_t m_first = 0; // the number of the oldest kept entry; entries are numbered from 0
    uint64_t m_rowsDiscarded = 0;
    // Sends not answered yet, outermost first.
    struct OpenSend {
        uint32_t sequence;
        uint16_t depth;
        uint64_t number; // the entry's
    };
    void Lose(std::vector<OpenSend>::iterator from);
    std::vector<OpenSend> m_unanswered;
    bool m_filtered = false;
    std::wstring m_filter;     // upper case
    const wchar_t* m_group = nullptr;
    std::deque<uint64_t> m_shown; // entry numbers passing the filter
};
