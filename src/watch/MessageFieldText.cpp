// How one field of a decoded message reads, by its type in the decoding table: numbers, names
// of values and flags, handles, characters, key data, colours, window styles.
#include "watch/MessageFieldText.h"

#include "inspect/StyleNames.h"

#include <commctrl.h>


using Table = MessageDecodingTable;
using Type = Table::Type;

uint64_t WidthMask(int bits)
{
    return bits >= 64 ? ~0ull : (1ull << bits) - 1;
}

int64_t SignExtend(uint64_t value, int bits)
{
    if (bits >= 64) return static_cast<int64_t>(value);
    const uint64_t sign = 1ull << (bits - 1);
    return static_cast<int64_t>(((value & WidthMask(bits)) ^ sign) - sign);
}

// By hand: swprintf takes several times as long, and a saved log formats millions of numbers.
std::wstring Hex(uint64_t value, int digits, bool prefixed)
{
    wchar_t text[16];
    int at = 16;
    do {
        text[--at] = L"0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0 || 16 - at < digits);
    std::wstring hex = prefixed ? L"0x" : L"";
    return hex.append(text + at, text + 16);
}

std::wstring Decimal(uint64_t value)
{
    wchar_t text[20];
    int at = 20;
    do {
        text[--at] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(text + at, text + 20);
}

std::wstring SignedDecimal(int64_t value)
{
    return value < 0 ? L"-" + Decimal(0 - static_cast<uint64_t>(value)) : Decimal(static_cast<uint64_t>(value));
}

std::wstring Join(const std::wstring& a, const std::wstring& b, const wchar_t* separator)
{
    return a.empty() ? b : b.empty() ? a : a + separator + b;
}

std::wstring PointerText(uint64_t value, bool sixtyFour)
{
    if (value == 0) return L"NULL";
    return sixtyFour ? Hex(value, 16) : Hex(value & 0xFFFFFFFFull, 8);
}

const wchar_t* NameOf(const Table::ValueSet* values, int64_t value)
{
    if (values == nullptr) return nullptr;
    for (const Table::Value& named : *values) {
        if (named.value == value) return named.name.c_str();
    }
    return nullptr;
}

namespace {

// Named bits, whatever is left in hex; a combined name before its parts if listed first.
std::wstring FlagNames(const Table::ValueSet* values, uint64_t value, int bits)
{
    if (value == 0) {
        const wchar_t* zero = NameOf(values, 0);
        return zero != nullptr ? zero : L"0";
    }
    if (values == nullptr) return Hex(value);
    std::wstring names;
    uint64_t left = value;
    for (const Table::Value& named : *values) {
        const uint64_t bitsOf = static_cast<uint64_t>(named.value) & WidthMask(bits);
        if (bitsOf == 0 || (left & bitsOf) != bitsOf) continue;
        names = Join(names, named.name, L"|");
        left &= ~bitsOf;
    }
    return left == 0 ? names : Join(names, Hex(left), L"|");
}

std::wstring CharText(uint64_t code)
{
    if (code < 0x20 || code == 0x7F || code > 0xFFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return Hex(code, 2);
    }
    return std::wstring(L"'") + static_cast<wchar_t>(code) + L"'";
}

// Letters and digits are their own virtual-key codes.
std::wstring KeyName(const Table::ValueSet* keys, uint64_t code)
{
    if (const wchar_t* name = NameOf(keys, static_cast<int64_t>(code))) return name;
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z')) return CharText(code);
    return Hex(code, 2);
}

std::wstring KeyData(uint64_t data)
{
    const auto bit = [data](int at) { return (data >> at) & 1 ? L"1" : L"0"; };
    return L"cRepeat:" + Decimal(data & 0xFFFF) + L" ScanCode:" + Hex((data >> 16) & 0xFF, 2, false) +
           L" fExtended:" + bit(24) + L" fAltDown:" + bit(29) + L" fRepeat:" + bit(30) + L" fUp:" + bit(31);
}

std::wstring ColorText(uint64_t color)
{
    if (color == CLR_NONE) return L"CLR_NONE";
    if (color == CLR_DEFAULT) return L"CLR_DEFAULT";
    return L"RGB(" + Decimal(GetRValue(color)) + L"," + Decimal(GetGValue(color)) + L"," + Decimal(GetBValue(color)) + L")";
}

// Handles have 32 significant bits in 32-bit and 64-bit processes alike, as the log shows them.
std::wstring HandleText(const Table::ValueSet* special, uint64_t value, int bits)
{
    if (const wchar_t* name = NameOf(special, SignExtend(value, bits))) return name;
    if (value == 0) return L"NULL";
    return Hex(value & 0xFFFFFFFFull, 8);
}

std::wstring StyleText(std::wstring names)
{
    for (size_t at; (at = names.find(L" | ")) != std::wstring::npos;) names.replace(at, 3, L"|");
    return names.empty() ? L"0" : names;
}
} // namespace

std::wstring FieldText(const MessageDecodingTable::Field& field, uint64_t value, int bits, bool sixtyFour,
                       const FieldContext& context)
{
    switch (field.type) {
    case Type::Hex:
        return Hex(value);
    case Type::Dec:
        return Decimal(value);
    case Type::SignedDec:
        return SignedDecimal(SignExtend(value, bits));
    case Type::Bool:
        return value != 0 ? L"TRUE" : L"FALSE";
    case Type::Handle:
        return HandleText(field.values, value, bits);
    case Type::Pointer:
        return PointerText(value, sixtyFour);
    case Type::Enum:
    case Type::NotifyCode:
        if (const wchar_t* name = NameOf(field.values, SignExtend(value, bits))) return name;
        return SignedDecimal(SignExtend(value, bits));
    case Type::Flags:
        return FlagNames(field.values, value, bits);
    case Type::Char:
        return CharText(value);
    case Type::VirtualKey:
        return KeyName(field.values, value);
    case Type::KeyData:
        return KeyData(value);
    case Type::Color:
        return ColorText(value);
    case Type::Style:
        return StyleText(StyleNames(static_cast<DWORD>(value), context.windowClass));
    case Type::ExStyle:
        return StyleText(ExtendedStyleNames(static_cast<DWORD>(value)));
    case Type::GwlStyle:
        return StyleText(SignExtend(context.wParam, 32) == GWL_EXSTYLE
                             ? ExtendedStyleNames(static_cast<DWORD>(value))
                             : StyleNames(static_cast<DWORD>(value), context.windowClass));
    default:
        return Hex(value);
    }
}
