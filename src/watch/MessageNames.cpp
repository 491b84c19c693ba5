// The table itself is generated from the Windows headers at configure time (MessageTable.inc).
#include "watch/MessageNames.h"

#include "inspect/ControlStyles.h"
#include "platform/LineText.h"
#include "watch/MessageFieldText.h"

#include <commctrl.h>

#include <cwctype>
#include <map>
#include <memory>

namespace {
struct TableEntry {
    UINT message;
    const wchar_t* name;
    const wchar_t* windowClass; // empty: every window's
};

const TableEntry kTable[] = {
#include "watch/MessageTable.inc"
};

// Messages the headers leave out that every window gets and every inspector names: the caret's
// and the menus' timer, the themed menu bar's and caption's drawing, the taskbar's request for a
// system menu, drag and drop's copy of its data, the input method's messages to itself.
const TableEntry kUndocumented[] = {
    {0x0049, L"WM_COPYGLOBALDATA", L""},     {0x0090, L"WM_UAHDESTROYWINDOW", L""},
    {0x0091, L"WM_UAHDRAWMENU", L""},        {0x0092, L"WM_UAHDRAWMENUITEM", L""},
    {0x0093, L"WM_UAHINITMENU", L""},        {0x0094, L"WM_UAHMEASUREMENUITEM", L""},
    {0x0095, L"WM_UAHNCPAINTMENUPOPUP", L""}, {0x00AE, L"WM_NCUAHDRAWCAPTION", L""},
    {0x00AF, L"WM_NCUAHDRAWFRAME", L""},     {0x0118, L"WM_SYSTIMER", L""},
    {0x0131, L"WM_LBTRACKPOINT", L""},       {0x0287, L"WM_IME_SYSTEM", L""},
    {0x0313, L"WM_POPUPSYSTEMMENU", L""},
};

// The group of a standard message, told by the words in its name; the first rule that fits wins
// (the input method's messages by "_IME", which "TIMER" holds too).
const wchar_t* GroupOfName(const std::wstring& name)
{
    static const struct {
        const wchar_t* word;
        const wchar_t* group;
    } rules[] = {
        {L"UAHDRAW", L"paint"},   {L"UAHNCPAINT", L"paint"},  {L"UAHMEASURE", L"paint"},
        {L"MOUSE", L"mouse"},     {L"BUTTON", L"mouse"},      {L"NCHITTEST", L"mouse"},  {L"SETCURSOR", L"mouse"},
        {L"CAPTURE", L"mouse"},   {L"MENU", L"command"},      {L"COMMAND", L"command"},  {L"NOTIFY", L"command"},
        {L"KEY", L"keyboard"},    {L"CHAR", L"keyboard"},     {L"FOCUS", L"keyboard"},   {L"_IME", L"keyboard"},
        {L"INPUTLANG", L"keyboard"}, {L"PAINT", L"paint"},    {L"ERASEBKGND", L"paint"}, {L"CTLCOLOR", L"paint"},
        {L"DRAWITEM", L"paint"},  {L"MEASUREITEM", L"paint"}, {L"PRINT", L"paint"},      {L"SETREDRAW", L"paint"},
        {L"TIMER", L"timer"},
    };
    for (const auto& rule : rules) {
        if (name.find(rule.word) != std::wstring::npos) return rule.group;
    }
    return L"window";
}


std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// "6.0.2600.0!Button" is a Button.
std::wstring Unversioned(const std::wstring& windowClass)
{
    const size_t bang = windowClass.rfind(L'!');
    return bang == std::wstring::npos ? windowClass : windowClass.substr(bang + 1);
}

// The name the table gives a control class, or the class itself where only its styles are known;
// empty for any other class.
std::wstring KnownClass(const std::wstring& windowClass)
{
    static const std::map<std::wstring, std::wstring> tableClasses = [] {
        std::map<std::wstring, std::wstring> classes;
        for (const TableEntry& entry : kTable) {
            if (entry.windowClass[0] != L'\0') classes.emplace(Lower(entry.windowClass), entry.windowClass);
        }
        return classes;
    }();
    if (const auto found = tableClasses.find(Lower(windowClass)); found != tableClasses.end()) return found->second;
    return ControlStyleNames(windowClass).count != 0 ? windowClass : std::wstring();
}

// The names made for numbers no table has, kept as made: a filter and every shown row ask again.
// A flood of distinct numbers cannot grow it past its size; names are cheap to make again.
constexpr size_t kMadeNames = 4096;
std::unordered_map<UINT, std::wstring>& MadeNames()
{
    static std::unordered_map<UINT, std::wstring> names;
    return names;
}

std::wstring MakeName(UINT message)
{
    if (MessageNames::Registered(message)) {
        // Registered window messages share the atom table with clipboard formats.
        wchar_t name[256] = {};
        if (GetClipboardFormatNameW(message, name, 256) > 0) return Visible(name) + L" (registered)";
        return Hex(message, 4);
    }
    if (message < WM_USER) return Hex(message, 4);
    if (message < WM_APP) return L"WM_USER+" + Hex(message - WM_USER);
    if (message < 0xC000) return L"WM_APP+" + Hex(message - WM_APP);
    return Hex(message);
}
} // namespace

MessageNames::MessageNames(const std::wstring& windowClass) : m_windowClass(windowClass)
{
    const bool standard = windowClass.empty();
    for (const TableEntry& entry : kTable) {
        const bool common = entry.windowClass[0] == L'\0';
        if (common != standard) continue;
        // Control values below the edit control's first message are flags and codes, not messages.
        if (!common && (entry.message < EM_GETSEL || lstrcmpiW(entry.windowClass, windowClass.c_str()) != 0)) continue;
        // The first standard name of a value stands; a control's own name is the only one it has here.
        m_entries.emplace(entry.message, Entry{entry.name, common && entry.name[0] == L'W' ? GroupOfName(entry.name) : L"control"});
    }
    if (!standard) return;
    for (const TableEntry& entry : kUndocumented) m_entries.emplace(entry.message, Entry{entry.name, GroupOfName(entry.name)});
}

const MessageNames& MessageNames::Standard()
{
    static const MessageNames standard{std::wstring()};
    return standard;
}

const MessageNames& MessageNames::Of(const std::wstring& windowClass)
{
    // Only classes the program knows get a table: the map cannot grow past them.
    static std::map<std::wstring, std::unique_ptr<MessageNames>> known;
    const std::wstring name = KnownClass(Unversioned(windowClass));
    if (name.empty()) return Standard();
    std::unique_ptr<MessageNames>& names = known[Lower(name)];
    if (!names) names.reset(new MessageNames(name));
    return *names;
}

const MessageNames::Entry* MessageNames::Find(UINT message) const
{
    if (auto found = m_entries.find(message); found != m_entries.end()) return &found->second;
    if (this == &Standard()) return nullptr;
    return Standard().Find(message);
}

const std::wstring& MessageNames::Name(UINT message) const
{
    if (const Entry* entry = Find(message)) return entry->name;
    auto& made = MadeNames();
    auto found = made.find(message);
    if (found == made.end()) {
        if (made.size() >= kMadeNames) made.clear();
        found = made.emplace(message, MakeName(message)).first;
    }
    return found->second;
}

const wchar_t* MessageNames::Group(UINT message) const
{
    if (const Entry* entry = Find(message)) return entry->group;
    return message < WM_USER ? L"window" : L"user";
}

const std::vector<const wchar_t*>& MessageNames::Groups()
{
    static const std::vector<const wchar_t*> groups = {L"mouse", L"keyboard", L"paint",  L"timer",
                                                       L"command", L"window", L"control", L"user"};
    return groups;
}
