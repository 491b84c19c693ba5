// The decoding table of the message log, read once from the rules the build took from
// src/watch/*Decoding.txt: per message the fields of its wParam, lParam and answer, the layouts
// of the structures the hook copies, and the named values of flags and enumerations.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class MessageDecodingTable {
public:
    enum class Type : uint8_t {
        Hex, Dec, SignedDec, Bool, Handle, Pointer, Enum, Flags, Char, VirtualKey, KeyData, Color, Data,
        NotifyCode, // NMHDR's code: named after the structure that follows where two controls share it
        // Inside structures only.
        Point, Rect, Style, ExStyle, GwlStyle, TailText, TailBytes, Struct,
    };
    struct Value {
        int64_t value; // sign-extended from the header's own width
        std::wstring name;
    };
    using ValueSet = std::vector<Value>;
    struct Layout;
    struct Field {
        std::wstring label; // empty: the value alone
        // A parameter's bits: shifted right, then masked (0: all of them).
        uint8_t shift = 0;
        uint64_t mask = 0;
        uint8_t bits = 0; // 16 for lo and hi words: the width a signed value has (0: unsigned)
        // A structure's field: its size in bytes, 0 for pointer-sized.
        uint8_t bytes = 4;
        Type type = Type::Hex;
        const ValueSet* values = nullptr;
        const Layout* layout = nullptr;
        // Data: the kinds of copy this field is (watch_ring::KindBit); a copy of another kind is
        // not read as it.
        uint16_t dataKinds = 0;
    };
    struct Layout {
        std::vector<Field> fields;
    };
    // A structure that follows NMHDR, and the name its code has with it.
    struct Notification {
        std::wstring code;
        const Layout* layout;
        bool bySize; // another control's code too: only a copy of this structure's size is this
    };
    struct Rule {
        std::vector<Field> wParam, lParam, answer;
    };

    static const MessageDecodingTable& Get();

    const Rule* Find(const std::wstring& name) const;
    const Layout* Structure(const wchar_t* name) const;
    // The value set named `name`; null when there is none.
    const ValueSet* Values(const wchar_t* name) const;
    // The structures that may follow NMHDR for a notification code: one, or one per control
    // where two share the code (TBN_SAVE and UDN_DELTAPOS); null for NMHDR alone.
    const std::vector<Notification>* Notifications(int64_t code) const;
    // The number of message names the table decodes.
    size_t Messages() const noexcept { return m_rules.size(); }
    // What in the data files does not hold together (an unknown value set, structure or type),
    // one line each; empty when all does.
    std::wstring Problems() const;

private:
    MessageDecodingTable();
    void Read(const std::wstring& line);
    std::vector<Field> Fields(const std::vector<std::wstring>& words, size_t from, size_t to);
    Field ParseField(const std::wstring& word);
    Layout& LayoutNamed(const std::wstring& name);

    std::unordered_map<std::wstring, ValueSet> m_sets;
    std::unordered_map<std::wstring, Layout> m_layouts;
    std::unordered_map<std::wstring, Rule> m_rules;
    std::unordered_map<int64_t, std::vector<Notification>> m_notifications;
    std::wstring m_problems;
};
