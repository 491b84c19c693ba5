// Structures are read field by field from the bytes as the watched process laid them out: each
// field at its natural alignment for that process's bitness, and only as far as the hook copied.
#include "watch/MessageDataText.h"

#include "watch/MessageDecodingTable.h"
#include "watch/MessageFieldText.h"
#include "platform/LineText.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {
using Table = MessageDecodingTable;
using Type = Table::Type;
using watch_ring::DataKind;

struct Reader {
    const std::string& bytes;
    size_t limit; // the structure's end within bytes
    bool sixtyFour;
    const FieldContext& context;
    const MessageData& data;
    const std::wstring* code; // a notification's code as the structure after NMHDR names it
};

size_t PointerBytes(const Reader& reader)
{
    return reader.sixtyFour ? 8 : 4;
}

size_t LayoutAlignment(const Table::Layout& layout, const Reader& reader);
size_t LayoutSize(const Table::Layout& layout, const Reader& reader);

size_t FieldAlignment(const Table::Field& field, const Reader& reader)
{
    switch (field.type) {
    case Type::Point:
    case Type::Rect:
        return 4;
    case Type::Struct:
        return LayoutAlignment(*field.layout, reader);
    case Type::TailText:
    case Type::TailBytes:
        return PointerBytes(reader);
    default:
        return field.bytes == 0 ? PointerBytes(reader) : field.bytes;
    }
}

size_t FieldSize(const Table::Field& field, const Reader& reader)
{
    switch (field.type) {
    case Type::Point:
        return 8;
    case Type::Rect:
        return 16;
    case Type::Struct:
        return LayoutSize(*field.layout, reader);
    default:
        return FieldAlignment(field, reader);
    }
}

size_t Align(size_t offset, size_t alignment)
{
    return (offset + alignment - 1) / alignment * alignment;
}

size_t LayoutAlignment(const Table::Layout& layout, const Reader& reader)
{
    size_t alignment = 1;
    for (const Table::Field& field : layout.fields) alignment = std::max(alignment, FieldAlignment(field, reader));
    return alignment;
}

size_t LayoutSize(const Table::Layout& layout, const Reader& reader)
{
    size_t offset = 0;
    for (const Table::Field& field : layout.fields) {
        offset = Align(offset, FieldAlignment(field, reader)) + FieldSize(field, reader);
    }
    return Align(offset, LayoutAlignment(layout, reader));
}

uint64_t Read(const std::string& bytes, size_t offset, size_t size)
{
    uint64_t value = 0;
    std::memcpy(&value, bytes.data() + offset, std::min<size_t>(size, sizeof value)); // little-endian
    return value;
}

int32_t Signed(const std::string& bytes, size_t offset)
{
    return static_cast<int32_t>(Read(bytes, offset, 4));
}

std::wstring PointText(const std::string& bytes, size_t offset)
{
    return L"(" + SignedDecimal(Signed(bytes, offset)) + L"," + SignedDecimal(Signed(bytes, offset + 4)) + L")";
}

// What the hook copied after the structure (or all of it, for a string), as the text it is.
std::wstring Quoted(const MessageData& data, size_t from)
{
    std::wstring text;
    const std::string part = data.bytes.substr(std::min(from, data.bytes.size()));
    if (data.flags & watch_ring::kDataAnsi) {
        const int length = MultiByteToWideChar(CP_ACP, 0, part.data(), static_cast<int>(part.size()), nullptr, 0);
        text.resize(static_cast<size_t>(std::max(length, 0)));
        MultiByteToWideChar(CP_ACP, 0, part.data(), static_cast<int>(part.size()), text.data(), length);
    } else {
        text.resize(part.size() / 2);
        std::memcpy(text.data(), part.data(), text.size() * 2);
    }
    // Quotes and backslashes first, so that what Visible spells out is not taken apart again.
    std::wstring escaped;
    for (const wchar_t c : text) {
        if (c == L'"' || c == L'\\') escaped += L'\\';
        escaped += c;
    }
    std::wstring quoted = L"\"" + Visible(escaped);
    quoted += L'"';
    if (data.flags & watch_ring::kDataTruncated) quoted += L"\x2026";
    return quoted;
}

std::wstring Fields(const Table::Layout& layout, size_t base, const Reader& reader);

std::wstring Field(const Table::Field& field, size_t offset, const Reader& reader)
{
    const size_t size = FieldSize(field, reader);
    const uint64_t value = Read(reader.bytes, offset, size);
    const size_t tail = reader.data.structBytes;
    switch (field.type) {
    case Type::Struct: {
        const std::wstring inner = Fields(*field.layout, offset, reader);
        return field.label.empty() ? inner : L"{" + inner + L"}";
    }
    case Type::NotifyCode:
        return reader.code != nullptr ? *reader.code : FieldText(field, value, 32, reader.sixtyFour, reader.context);
    case Type::Point:
        return PointText(reader.bytes, offset);
    case Type::Rect:
        return PointText(reader.bytes, offset) + L"-" + PointText(reader.bytes, offset + 8);
    case Type::TailText:
        return tail < reader.bytes.size() ? Quoted(reader.data, tail) : PointerText(value, reader.sixtyFour);
    case Type::TailBytes: {
        if (tail >= reader.bytes.size()) return PointerText(value, reader.sixtyFour);
        std::wstring hex;
        for (size_t i = tail; i < reader.bytes.size(); ++i) hex += Hex(static_cast<uint8_t>(reader.bytes[i]), 2, false);
        return (reader.data.flags & watch_ring::kDataTruncated) ? hex + L"\x2026" : hex;
    }
    default:
        return FieldText(field, value, static_cast<int>(size * 8), reader.sixtyFour, reader.context);
    }
}

// The fields that lie wholly inside what the hook copied; a notification's header says which
// structure follows it.
std::wstring Fields(const Table::Layout& layout, size_t base, const Reader& reader)
{
    std::wstring text;
    size_t offset = base;
    for (const Table::Field& field : layout.fields) {
        offset = Align(offset, FieldAlignment(field, reader));
        const size_t size = FieldSize(field, reader);
        if (offset + size > reader.limit) break;
        const std::wstring shown = Field(field, offset, reader);
        text = Join(text, field.label.empty() ? shown : field.label + L":" + shown);
        offset += size;
    }
    return text;
}

const wchar_t* StructureOf(DataKind kind)
{
    switch (kind) {
    case DataKind::CreateStruct: return L"CREATESTRUCT";
    case DataKind::WindowPos: return L"WINDOWPOS";
    case DataKind::MinMaxInfo: return L"MINMAXINFO";
    case DataKind::NcCalcSize: return L"NCCALCSIZE";
    case DataKind::StyleStruct: return L"STYLESTRUCT";
    case DataKind::DrawItem: return L"DRAWITEMSTRUCT";
    case DataKind::MeasureItem: return L"MEASUREITEMSTRUCT";
    case DataKind::DeleteItem: return L"DELETEITEMSTRUCT";
    case DataKind::CompareItem: return L"COMPAREITEMSTRUCT";
    case DataKind::Notify: return L"NMHDR";
    case DataKind::Rect: return L"RECT";
    case DataKind::CopyData: return L"COPYDATASTRUCT";
    case DataKind::HelpInfo: return L"HELPINFO";
    default: return nullptr;
    }
}
} // namespace

namespace {
// The structure that follows a notification's NMHDR in `reader`'s copy, and its code's name
// there: where two controls share a code, the size of what the hook copied says whose it is.
const Table::Notification* NotificationOf(const Reader& reader)
{
    // NMHDR's code is its last field: a UINT after two pointer-sized ones.
    const size_t codeAt = 2 * PointerBytes(reader);
    const auto* candidates = codeAt + 4 <= reader.limit ? Table::Get().Notifications(Signed(reader.bytes, codeAt)) : nullptr;
    for (size_t i = 0; candidates != nullptr && i < candidates->size(); ++i) {
        const Table::Notification& candidate = (*candidates)[i];
        if (!candidate.bySize || LayoutSize(*candidate.layout, reader) == reader.limit) return &candidate;
    }
    return nullptr;
}
} // namespace

std::wstring NotificationName(const MessageData& data, bool sixtyFour)
{
    if (data.kind != DataKind::Notify) return std::wstring();
    const FieldContext none;
    const Reader reader{data.bytes, std::min<size_t>(data.structBytes, data.bytes.size()), sixtyFour, none, data, nullptr};
    if (const Table::Notification* notification = NotificationOf(reader)) return notification->code;
    const size_t codeAt = 2 * PointerBytes(reader);
    if (codeAt + 4 > reader.limit) return std::wstring();
    const wchar_t* name = NameOf(Table::Get().Values(L"NM"), Signed(data.bytes, codeAt));
    return name != nullptr ? name : std::wstring();
}

std::wstring DataText(const MessageData& data, bool sixtyFour, const FieldContext& context)
{
    // What could be read before the hook could read no more is shown, and the rest said so.
    const bool unreadable = (data.flags & watch_ring::kDataUnreadable) != 0;
    if (unreadable && data.bytes.empty()) return L"(unreadable)";
    const wchar_t* rest = unreadable ? L"(unreadable)" : L"";
    if (data.kind == DataKind::Text) return Join(Quoted(data, data.structBytes), rest);
    const wchar_t* name = StructureOf(data.kind);
    const Table::Layout* layout = name != nullptr ? Table::Get().Structure(name) : nullptr;
    if (layout == nullptr) return std::wstring();
    Reader reader{data.bytes, std::min<size_t>(data.structBytes, data.bytes.size()), sixtyFour, context, data, nullptr};
    if (data.kind == DataKind::Notify) {
        if (const Table::Notification* notification = NotificationOf(reader)) {
            layout = notification->layout;
            reader.code = &notification->code;
        }
    }
    const std::wstring fields = Join(Fields(*layout, 0, reader), rest);
    // A lone unnamed field (a RECT) needs no braces.
    return layout->fields.size() == 1 && layout->fields[0].label.empty() ? fields : L"{" + fields + L"}";
}
