// How one field of a decoded message reads, by its type in the decoding table. Shared by the
// parameters and answers (MessageDecoder) and the structures inside them (MessageDataText).
#pragma once
#include "watch/MessageDecodingTable.h"

#include <cstdint>
#include <string>

// What a field's text may depend on beyond its value: the message's wParam (which style a
// STYLESTRUCT holds) and the class of the window the message is for (whose control styles its
// style words have; empty: the generic ones only).
struct FieldContext {
    uint64_t wParam = 0;
    std::wstring windowClass;
};

// `bits`: the field's width, which a signed value and a negative named value are read at.
std::wstring FieldText(const MessageDecodingTable::Field& field, uint64_t value, int bits, bool sixtyFour,
                       const FieldContext& context);
std::wstring PointerText(uint64_t value, bool sixtyFour);
// The first name `value` has in `values`; null when it has none (or there are no values).
const wchar_t* NameOf(const MessageDecodingTable::ValueSet* values, int64_t value);

uint64_t WidthMask(int bits);
int64_t SignExtend(uint64_t value, int bits);
// Upper-case hex digits, at least `digits` of them, after "0x" when `prefixed`.
std::wstring Hex(uint64_t value, int digits = 1, bool prefixed = true);
std::wstring Decimal(uint64_t value);
std::wstring SignedDecimal(int64_t value);
// `a` and `b` with `separator` between, or whichever is not empty.
std::wstring Join(const std::wstring& a, const std::wstring& b, const wchar_t* separator = L" ");
