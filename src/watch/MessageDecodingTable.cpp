// The values are worked out by the compiler from the headers (DecodingValues.inc); the rules are
// the data files' lines as text (DecodingRules.inc), read here into hash maps on first use.
#include "watch/MessageDecodingTable.h"

#include "hook/WatchRing.h"

#include <windows.h>

#include <commctrl.h>
#include <dbt.h>
#include <imm.h>

#include <cwchar>
#include <sstream>

namespace {
// Handles, pointers and negative codes alike, as the program's own width gives them.
template <class T>
constexpr int64_t Value(T value)
{
    return static_cast<int64_t>((LONG_PTR)(value));
}

struct NamedValue {
    const wchar_t* set;
    int64_t value;
    const wchar_t* name;
};
const NamedValue kValues[] = {
#include "watch/DecodingValues.inc"
};
const wchar_t* const kRules[] = {
#include "watch/DecodingRules.inc"
};

using Type = MessageDecodingTable::Type;
const struct {
    const wchar_t* word;
    Type type;
} kTypes[] = {
    {L"hex", Type::Hex},         {L"dec", Type::Dec},           {L"sdec", Type::SignedDec},
    {L"bool", Type::Bool},       {L"handle", Type::Handle},     {L"ptr", Type::Pointer},
    {L"enum", Type::Enum},       {L"flags", Type::Flags},       {L"char", Type::Char},
    {L"vk", Type::VirtualKey},   {L"keydata", Type::KeyData},   {L"color", Type::Color},
    {L"data", Type::Data},       {L"point", Type::Point},       {L"rect", Type::Rect},
    {L"style", Type::Style},     {L"exstyle", Type::ExStyle},   {L"gwlstyle", Type::GwlStyle},
    {L"tailtext", Type::TailText}, {L"tailbytes", Type::TailBytes}, {L"nmcode", Type::NotifyCode},
};

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    std::wistringstream stream(text);
    for (std::wstring part; std::getline(stream, part, separator);) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}
} // namespace

const MessageDecodingTable& MessageDecodingTable::Get()
{
    static const MessageDecodingTable table;
    return table;
}

MessageDecodingTable::MessageDecodingTable()
{
    for (const NamedValue& named : kValues) m_sets[named.set].push_back({named.value, named.name});
    for (const wchar_t* line : kRules) Read(line);
    for (auto& [code, notifications] : m_notifications) {
        size_t names = 0;
        for (const Value& named : m_sets[L"NM"]) names += named.value == code ? 1 : 0;
        for (Notification& notification : notifications) notification.bySize = names > 1;
    }
}

void MessageDecodingTable::Read(const std::wstring& line)
{
    std::vector<std::wstring> words;
    std::wistringstream stream(line);
    for (std::wstring word; stream >> word;) words.push_back(word);
    if (words.size() < 2) return;
    if (words[0] == L"struct") {
        LayoutNamed(words[1]).fields = Fields(words, 2, words.size());
    } else if (words[0] == L"notify") {
        const Layout* layout = &LayoutNamed(words[1]);
        for (size_t i = 2; i < words.size(); ++i) {
            bool known = false;
            for (const Value& code : m_sets[L"NM"]) {
                if (code.name != words[i]) continue;
                m_notifications[code.value].push_back({code.name, layout, false});
                known = true;
            }
            if (!known) m_problems += L"unknown notification " + words[i] + L"\n";
        }
    } else {
        // msg NAMES | wParam | lParam | answer
        size_t bars[3] = {};
        size_t found = 0;
        for (size_t i = 1; i < words.size() && found < 3; ++i) {
            if (words[i] == L"|") bars[found++] = i;
        }
        if (found < 3) {
            m_problems += L"a rule without its three parts: " + line + L"\n";
            return;
        }
        Rule rule{Fields(words, bars[0] + 1, bars[1]), Fields(words, bars[1] + 1, bars[2]),
                  Fields(words, bars[2] + 1, words.size())};
        for (size_t i = 1; i < bars[0]; ++i) {
            if (!m_rules.emplace(words[i], rule).second) m_problems += L"twice: " + words[i] + L"\n";
        }
    }
}

std::vector<MessageDecodingTable::Field> MessageDecodingTable::Fields(const std::vector<std::wstring>& words,
                                                                       size_t from, size_t to)
{
    std::vector<Field> fields;
    for (size_t i = from; i < to; ++i) fields.push_back(ParseField(words[i]));
    return fields;
}

// label:[part:]type[:argument]
MessageDecodingTable::Field MessageDecodingTable::ParseField(const std::wstring& word)
{
    Field field;
    const std::vector<std::wstring> parts = Split(word, L':');
    if (parts.size() < 2) {
        m_problems += L"a field without a type: " + word + L"\n";
        return field;
    }
    field.label = parts[0] == L"_" ? L"" : parts[0];
    size_t next = 1;
    for (; next < parts.size(); ++next) {
        const std::wstring& part = parts[next];
        if (part == L"lo" || part == L"hi") {
            field.shift = part == L"hi" ? 16 : 0;
            field.mask = 0xFFFF;
            field.bits = 16;
        } else if (part == L"u8" || part == L"u16" || part == L"wide") {
            field.bytes = part == L"u8" ? 1 : part == L"u16" ? 2 : 0;
        } else if (part.size() > 1 && part[0] == L'm' && iswxdigit(part[1])) {
            field.mask = std::wcstoull(part.c_str() + 1, nullptr, 16);
            field.bits = 0; // bits picked in place are no signed number
        } else {
            break;
        }
    }
    if (next >= parts.size()) {
        m_problems += L"a field without a type: " + word + L"\n";
        return field;
    }
    const std::wstring& type = parts[next];
    const std::wstring argument = next + 1 < parts.size() ? parts[next + 1] : L"";
    bool known = false;
    for (const auto& entry : kTypes) {
        if (type == entry.word) {
            field.type = entry.type;
            known = true;
        }
    }
    if (!known) {
        // Another structure, laid out inside this one.
        field.type = Type::Struct;
        field.layout = &LayoutNamed(type);
    } else if (field.type == Type::Data) {
        for (const std::wstring& kind : Split(argument, L'/')) {
            const watch_ring::DataKind named = watch_ring::DataKindNamed(std::string(kind.begin(), kind.end()).c_str());
            if (named == watch_ring::DataKind::None) m_problems += L"no data kind named " + kind + L"\n";
            field.dataKinds = static_cast<uint16_t>(field.dataKinds | watch_ring::KindBit(named));
        }
    } else if (!argument.empty()) {
        const auto set = m_sets.find(argument);
        if (set != m_sets.end()) {
            field.values = &set->second;
        } else {
            m_problems += L"no values named " + argument + L"\n";
        }
    } else if (field.type == Type::VirtualKey || field.type == Type::NotifyCode) {
        field.values = &m_sets[field.type == Type::VirtualKey ? L"VK" : L"NM"];
    } else if (field.type == Type::Enum || field.type == Type::Flags) {
        m_problems += L"values not named: " + word + L"\n";
    }
    if (field.type == Type::Handle || field.type == Type::Pointer) field.bytes = 0;
    return field;
}

MessageDecodingTable::Layout& MessageDecodingTable::LayoutNamed(const std::wstring& name)
{
    return m_layouts[name];
}

const MessageDecodingTable::Rule* MessageDecodingTable::Find(const std::wstring& name) const
{
    const auto found = m_rules.find(name);
    return found == m_rules.end() ? nullptr : &found->second;
}

const MessageDecodingTable::Layout* MessageDecodingTable::Structure(const wchar_t* name) const
{
    const auto found = m_layouts.find(name);
    return found == m_layouts.end() ? nullptr : &found->second;
}

const MessageDecodingTable::ValueSet* MessageDecodingTable::Values(const wchar_t* name) const
{
    const auto found = m_sets.find(name);
    return found == m_sets.end() ? nullptr : &found->second;
}

const std::vector<MessageDecodingTable::Notification>* MessageDecodingTable::Notifications(int64_t code) const
{
    const auto found = m_notifications.find(code);
    return found == m_notifications.end() ? nullptr : &found->second;
}

std::wstring MessageDecodingTable::Problems() const
{
    std::wstring problems = m_problems;
    for (const auto& [name, layout] : m_layouts) {
        if (layout.fields.empty()) problems += L"no structure named " + name + L"\n";
    }
    return problems;
}
