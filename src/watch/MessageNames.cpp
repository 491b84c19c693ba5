// The table itself is generated from the Windows headers at configure time (MessageTable.inc).
#include "watch/MessageNames.h"

#include <commctrl.h>

#include <cstdio>

namespace {
struct TableEntry {
    UINT message;
    const wchar_t* name;
    const wchar_t* windowClass; // empty: every window's
};

const TableEntry kTable[] = {
#include "watch/MessageTable.inc"
};

// The group of a standard message, told by the words in its name; the first rule that fits wins.
const wchar_t* GroupOfName(const std::wstring& name)
{
    static const struct {
        const wchar_t* word;
        const wchar_t* group;
    } rules[] = {
        {L"MOUSE", L"mouse"},     {L"BUTTON", L"mouse"},      {L"NCHITTEST", L"mouse"},  {L"SETCURSOR", L"mouse"},
        {L"CAPTURE", L"mouse"},   {L"MENU", L"command"},      {L"COMMAND", L"command"},  {L"NOTIFY", L"command"},
        {L"KEY", L"keyboard"},    {L"CHAR", L"keyboard"},     {L"FOCUS", L"keyboard"},   {L"IME", L"keyboard"},
        {L"INPUTLANG", L"keyboard"}, {L"PAINT", L"paint"},    {L"ERASEBKGND", L"paint"}, {L"CTLCOLOR", L"paint"},
        {L"DRAWITEM", L"paint"},  {L"MEASUREITEM", L"paint"}, {L"PRINT", L"paint"},      {L"SETREDRAW", L"paint"},
        {L"TIMER", L"timer"},
    };
    for (const auto& rule : rules) {
        if (name.find(rule.word) != std::wstring::npos) return rule.group;
    }
    return L"window";
}

std::wstring Hex(const wchar_t* format, UINT value)
{
    wchar_t text[32];
    std::swprintf(text, 32, format, value);
    return text;
}
} // namespace

MessageNames::MessageNames(const std::wstring& windowClass) : m_windowClass(windowClass)
{
    for (const TableEntry& entry : kTable) {
        const bool common = entry.windowClass[0] == L'\0';
        // Control values below the edit control's first message are flags and codes, not messages.
        if (!common && (entry.message < EM_GETSEL || lstrcmpiW(entry.windowClass, windowClass.c_str()) != 0)) {
            continue;
        }
        // The first standard name of a value stands; a control's own name replaces it.
        Entry named{entry.name, common && entry.name[0] == L'W' ? GroupOfName(entry.name) : L"control"};
        if (!common) {
            m_entries[entry.message] = std::move(named);
        } else {
            m_entries.emplace(entry.message, std::move(named));
        }
    }
}

const MessageNames::Entry& MessageNames::Lookup(UINT message)
{
    if (auto found = m_entries.find(message); found != m_entries.end()) return found->second;
    if (auto found = m_unknown.find(message); found != m_unknown.end()) return found->second;
    Entry entry{std::wstring(), L"user"};
    if (message >= 0xC000 && message <= 0xFFFF) {
        // Registered window messages share the atom table with clipboard formats.
        wchar_t name[256] = {};
        if (GetClipboardFormatNameW(message, name, 256) > 0) entry.name = name;
    }
    if (entry.name.empty()) {
        if (message < WM_USER) {
            entry = {Hex(L"0x%04X", message), L"window"};
        } else if (message < WM_APP) {
            entry.name = Hex(L"WM_USER+0x%X", message - WM_USER);
        } else if (message < 0xC000) {
            entry.name = Hex(L"WM_APP+0x%X", message - WM_APP);
        } else {
            entry.name = Hex(L"0x%04X", message);
        }
    }
    // A flood of unknown numbers must not grow the cache without end; names are cheap to redo.
    if (m_unknown.size() >= kCachedNames) m_unknown.clear();
    return m_unknown.emplace(message, std::move(entry)).first->second;
}

const std::wstring& MessageNames::Name(UINT message)
{
    return Lookup(message).name;
}

const wchar_t* MessageNames::Group(UINT message)
{
    return Lookup(message).group;
}

const std::vector<const wchar_t*>& MessageNames::Groups()
{
    static const std::vector<const wchar_t*> groups = {L"mouse", L"keyboard", L"paint",  L"timer",
                                                       L"command", L"window", L"control", L"user"};
    return groups;
}
