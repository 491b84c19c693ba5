// What the message log window shows: the last 100,000 messages of the watched window (or of
// every window of its thread), each sent message with its answer once it comes and nested under
// the send it came in, a row where the hook had to drop messages, and the rows that pass the
// filter. What a record can cost is bounded whatever it says: the names of its window's class
// are a table shared by every window of that class, an answer finds its send among at most 512
// open ones in at most ten looks, and no text grows with what a record claims.
#pragma once
#include "hook/WatchRing.h"
#include "watch/MessageDecoder.h"
#include "watch/MessageNames.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class MessageLog {
public:
    static constexpr size_t kKeptEntries = 100000;

    // Returned: the closing row of a send that had messages nested inside it.
    enum class Kind : uint8_t { Sent, Posted, Dropped, Returned };
    // What the hook copied for a message and for its answer; most messages have neither.
    struct Copied {
        MessageData sent, answer;
    };
    struct Entry {
        int64_t time; // QueryPerformanceCounter
        uint64_t window;
        uint64_t wParam, lParam, result; // Dropped: wParam is how many
        std::shared_ptr<Copied> data;     // null: nothing copied; a send and its closing row share it
        const MessageNames* names;        // of the window's class; never null
        const MessageNames* control;      // WM_COMMAND: of its control's class, when it could be read
        UINT message;
        Kind kind;
        uint16_t depth; // how many sends it is nested in
        bool answered;
        bool lost;   // a send whose answer was dropped: it will not come any more
        bool closed; // a send whose answer is in its closing row
    };

    // `windowClass`: the watched window's, for the names of messages to windows that are gone
    // before their class could be read.
    explicit MessageLog(const std::wstring& windowClass);

    // Takes records as the channel hands them over: a Returned record fills in the Sent entry of
    // the same sequence number, or closes it with a row of its own when messages came in between.
    void Add(const std::vector<watch_ring::Record>& records);
    void Clear();
    // The watch starts again: the answers to the sends still open will not come.
    void Interrupt();

    // Words apart must all match. Each is a group's name (that group), a window's handle (8 or
    // 16 hex digits, or with 0x or h: that window's messages), or part of a name (ignoring case).
    // Empty: every message.
    void SetFilter(const std::wstring& filter);
    // Rows of a message of this name are left out, whatever the filter, until shown again; a
    // gap stays.
    void Hide(const std::wstring& name);
    void ShowHidden();
    const std::vector<std::wstring>& Hidden() const noexcept { return m_hidden; }

    // The rows that pass the filter, oldest first.
    size_t Rows() const noexcept { return m_filtered ? m_shown.size() : m_entries.size(); }
    const Entry& Row(size_t row) const;
    // All entries kept (whatever the filter), and how many the keeping limit pushed out.
    size_t Kept() const noexcept { return m_entries.size(); }
    uint64_t Discarded() const noexcept { return m_first; }
    // How many rows have left the top of the list as shown (the filter's rows, or all): a list
    // that stays put moves up by as many.
    uint64_t RowsDiscarded() const noexcept { return m_rowsDiscarded; }

    static const std::wstring& Name(const Entry& entry) { return entry.names->Name(entry.message); }

private:
    struct Term {
        std::wstring text; // upper case; empty for a window
        const wchar_t* group;
        uint64_t window;
    };
    struct OpenSend {
        uint32_t sequence;
        uint16_t depth;
        uint64_t number; // the entry's
    };
    bool Passes(const Entry& entry) const;
    // Lists again the rows that pass the filter and are not hidden.
    void Refilter();
    void Keep(Entry&& entry);
    // The names of `window`'s class as read once per window; null when it cannot be read (or not
    // in this Add any more). Each caller has its own fallback.
    const MessageNames* ClassOf(uint64_t window);
    void Open(const watch_ring::Record& record);
    // Its answer, matched by sequence number: the open send it answers, null when none.
    Entry* Answered(const watch_ring::Record& record);
    // The open sends [from, to) were answered, but their answers were dropped.
    void LoseFrom(size_t from, size_t to = SIZE_MAX);

    const MessageNames* m_watchedNames;
    std::unordered_map<uint64_t, const MessageNames*> m_windowClasses;
    size_t m_classesToAsk = 0; // in this Add
    uint64_t m_lastWindow = 0;
    const MessageNames* m_lastClass = nullptr; // of m_lastWindow, when it could be read

    std::deque<Entry> m_entries;
    uint64_t m_first = 0; // the number of the oldest kept entry; entries are numbered from 0
    uint64_t m_rowsDiscarded = 0;
    // Sends not answered yet, outermost first, their depths and sequence numbers rising.
    std::deque<OpenSend> m_unanswered;
    bool m_filtered = false;
    std::vector<Term> m_terms;
    std::vector<std::wstring> m_hidden; // names, as shown
    std::deque<uint64_t> m_shown; // entry numbers passing the filter
};
