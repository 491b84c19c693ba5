// The copying of a message's data into its record. Every read stays inside what the message
// defines (a string up to its terminator or the count the message gives, a structure of its
// documented size). A string read that would run past the page its pointer lies in asks the
// system first, as the text's character set may make its memory shorter than assumed, and so
// does every read of a message from another thread: a fault here would take the watched program
// down.
#include "hook/MessageCopy.h"

#include "hook/ControlClass.h"
#include "hook/NotifySizes.h"

#include <commctrl.h>

#include <cstring>

namespace message_copy {
namespace {
using watch_ring::DataKind;
using watch_ring::DataKindNamed;
using watch_ring::kDataBytes;
using watch_ring::KindBit;
using watch_ring::Record;

constexpr uintptr_t kPage = 4096; // on x86 and x64 alike
constexpr size_t kUnbounded = ~size_t{0};
constexpr DWORD kReadable =
    PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// How far the memory a message points to can be believed. A message this thread sent points
// where its sender's memory is. One from another thread comes through the system, which copies
// the data of the messages it knows into this process (and passes WM_NOTIFY's pointer, and any it
// does not know, on unchanged): every byte is checked with the system before it is read. Wine
// (8.0) hands the hook the sender's own pointers, which mean nothing here: nothing is read.
enum class Trust { ThisThread, Checked, Nothing };

bool OnWine()
{
    static int wine = -1; // asked once per process; a race only asks twice
    if (wine < 0) {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr ? 1 : 0;
    }
    return wine == 1;
}

// Asked only once a message is known to carry data: a message without costs nothing more.
Trust TrustOf(bool sentHere)
{
    if (sentHere) return Trust::ThisThread;
    return OnWine() ? Trust::Nothing : Trust::Checked;
}

// How many of the `want` bytes at `p` can be read. A structure of its documented size in a
// message of this thread is memory the message defines: it is read whole. For a string the
// message defines the page of `p` only, as its character set may be other than assumed; beyond
// that, and everywhere for a message from another thread, the system is asked.
enum class Extent { Documented, String };
size_t Readable(const void* p, size_t want, Trust trust, Extent extent = Extent::Documented)
{
    if (p == nullptr || trust == Trust::Nothing) return 0;
    if (trust == Trust::ThisThread && extent == Extent::Documented) return want;
    const auto start = reinterpret_cast<uintptr_t>(p);
    uintptr_t known = trust == Trust::ThisThread ? (start & ~(kPage - 1)) + kPage : start;
    while (known - start < want) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(reinterpret_cast<const void*>(known), &region, sizeof region) != sizeof region ||
            region.State != MEM_COMMIT || (region.Protect & kReadable) == 0 || (region.Protect & PAGE_GUARD) != 0) {
            break;
        }
        known = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    }
    return known - start < want ? known - start : want;
}

void Clear(Record& record, DataKind kind)
{
    record.dataKind = kind;
    record.dataFlags = 0;
    record.structBytes = 0;
    record.dataBytes = 0;
}

// Marks the record as holding `kind` and says how far its memory can be believed.
Trust Start(Record& record, DataKind kind, bool sentHere)
{
    Clear(record, kind);
    return TrustOf(sentHere);
}

// Appends `size` bytes from `p`, as many as fit.
void PutBytes(Record& record, const void* p, size_t size, Trust trust)
{
    if (p == nullptr) {
        record.dataFlags |= watch_ring::kDataUnreadable;
        return;
    }
    const size_t room = kDataBytes - record.dataBytes;
    const size_t want = size < room ? size : room;
    const size_t got = Readable(p, want, trust);
    std::memcpy(record.data + record.dataBytes, p, got);
    record.dataBytes = static_cast<uint16_t>(record.dataBytes + got);
    if (got < want) record.dataFlags |= watch_ring::kDataUnreadable;
    if (size > room) record.dataFlags |= watch_ring::kDataTruncated;
}

Trust PutStruct(Record& record, bool sentHere, DataKind kind, const void* p, size_t size)
{
    const Trust trust = Start(record, kind, sentHere);
    PutBytes(record, p, size, trust);
    record.structBytes = record.dataBytes;
    return trust;
}

// Appends the string at `text` without its terminator: up to the terminator, `limit`
// characters, or what fits.
void PutText(Record& record, const void* text, size_t limit, bool ansi, Trust trust)
{
    if (ansi) record.dataFlags |= watch_ring::kDataAnsi;
    if (text == nullptr) {
        record.dataFlags |= watch_ring::kDataUnreadable;
        return;
    }
    const size_t unit = ansi ? 1 : 2;
    const size_t room = (kDataBytes - record.dataBytes) / unit;
    // One character more than fits tells whether the string goes on.
    const size_t want = limit < room + 1 ? limit : room + 1;
    const size_t readable = Readable(text, want * unit, trust, Extent::String) / unit;
    const auto* in = static_cast<const uint8_t*>(text);
    uint8_t* out = record.data + record.dataBytes;
    size_t count = 0;
    for (; count < readable; ++count) {
        if (in[count * unit] == 0 && in[count * unit + unit - 1] == 0) break;
        if (count == room) {
            record.dataFlags |= watch_ring::kDataTruncated;
            // Half a surrogate pair is no character.
            if (!ansi && count > 0 && (out[2 * count - 1] & 0xFC) == 0xD8) --count;
            break;
        }
        std::memcpy(out + count * unit, in + count * unit, unit);
    }
    if (count == readable && readable < want) record.dataFlags |= watch_ring::kDataUnreadable;
    record.dataBytes = static_cast<uint16_t>(record.dataBytes + count * unit);
}

void Text(Record& record, bool sentHere, HWND window, const void* text, size_t limit = kUnbounded)
{
    const Trust trust = Start(record, DataKind::Text, sentHere);
    PutText(record, text, limit, !IsWindowUnicode(window), trust);
}

void CreateStruct(Record& record, bool sentHere, HWND window, const CREATESTRUCTW* create)
{
    const Trust trust = PutStruct(record, sentHere, DataKind::CreateStruct, create, sizeof(CREATESTRUCTW));
    // A name may be absent, or a resource number (a dialog's icon control).
    if (record.structBytes == sizeof(CREATESTRUCTW) && !IS_INTRESOURCE(create->lpszName)) {
        PutText(record, create->lpszName, kUnbounded, !IsWindowUnicode(window), trust);
    }
}

void NcCalcSize(Record& record, bool sentHere, bool validRects, LPARAM lParam)
{
    if (!validRects) {
        PutStruct(record, sentHere, DataKind::Rect, reinterpret_cast<const RECT*>(lParam), sizeof(RECT));
        return;
    }
    const auto* params = reinterpret_cast<const NCCALCSIZE_PARAMS*>(lParam);
    const Trust trust = Start(record, DataKind::NcCalcSize, sentHere);
    if (Readable(params, sizeof *params, trust) < sizeof *params) {
        record.dataFlags |= watch_ring::kDataUnreadable;
        return;
    }
    PutBytes(record, params->rgrc, sizeof params->rgrc, trust);
    PutBytes(record, params->lppos, sizeof(WINDOWPOS), trust);
    record.structBytes = record.dataBytes;
}

void CopyData(Record& record, bool sentHere, const COPYDATASTRUCT* copy)
{
    const Trust trust = PutStruct(record, sentHere, DataKind::CopyData, copy, sizeof(COPYDATASTRUCT));
    if (record.structBytes == sizeof(COPYDATASTRUCT) && copy->cbData != 0) PutBytes(record, copy->lpData, copy->cbData, trust);
}

void Notify(ClassCache& classes, Record& record, bool sentHere, const NMHDR* header)
{
    const Trust trust = Start(record, DataKind::Notify, sentHere);
    if (Readable(header, sizeof(NMHDR), trust) < sizeof(NMHDR)) {
        record.dataFlags |= watch_ring::kDataUnreadable;
        return;
    }
    PutBytes(record, header, NotifySize(classes.Of(header->hwndFrom), header->code), trust);
    record.structBytes = record.dataBytes;
}

// The list box and combo box messages whose lParam is a string when the items are strings.
bool IsItemString(Control control, UINT message)
{
    if (control == Control::ListBox) {
        return message == LB_ADDSTRING || message == LB_INSERTSTRING || message == LB_FINDSTRING ||
               message == LB_FINDSTRINGEXACT || message == LB_SELECTSTRING;
    }
    return control == Control::ComboBox && (message == CB_ADDSTRING || message == CB_INSERTSTRING || message == CB_FINDSTRING ||
                                            message == CB_FINDSTRINGEXACT || message == CB_SELECTSTRING);
}

// The control messages: the numbers mean these only to windows of their class.
void CopyControl(ClassCache& classes, Record& record, bool sentHere, bool answered, HWND window, UINT message, LPARAM lParam,
                 LRESULT result)
{
    const Control control = classes.Of(window);
    const void* p = reinterpret_cast<const void*>(lParam);
    if (IsItemString(control, message)) {
        if (!answered && HasStrings(window, control)) Text(record, sentHere, window, p);
    } else if ((control == Control::ListBox && (message == LB_DIR || message == LB_ADDFILE)) ||
               (control == Control::ComboBox && message == CB_DIR) || (control == Control::Edit && message == EM_REPLACESEL)) {
        if (!answered) Text(record, sentHere, window, p);
    } else if ((control == Control::ListBox && message == LB_GETTEXT) ||
               (control == Control::ComboBox && message == CB_GETLBTEXT)) {
        // As long as answered; where the answer reads 0, the terminator ends it.
        if (answered && result != LB_ERR && HasStrings(window, control)) {
            Text(record, sentHere, window, p, result > 0 ? static_cast<size_t>(result) : kUnbounded);
        }
    } else if (control == Control::Edit && message == EM_GETLINE) {
        // The line is not terminated: exactly as many characters as answered.
        if (answered) Text(record, sentHere, window, p, static_cast<size_t>(result));
    } else if (control == Control::Edit && (message == EM_SETRECT || message == EM_SETRECTNP)) {
        if (!answered) PutStruct(record, sentHere, DataKind::Rect, p, sizeof(RECT));
    } else if ((control == Control::Edit && message == EM_GETRECT) ||
               (control == Control::ComboBox && message == CB_GETDROPPEDCONTROLRECT) ||
               (control == Control::ListBox && message == LB_GETITEMRECT)) {
        if (answered && result != LB_ERR) PutStruct(record, sentHere, DataKind::Rect, p, sizeof(RECT));
    }
}

// What the decoding tables say each message carries, as sent and as answered (one entry per
// kind); the tables are the one list, and Copy's switch reads what they name.
struct Carried {
    UINT message;
    bool answered;
    const char* kind;
};
constexpr Carried kCarried[] = {
#include "hook/CarriedData.inc"
};

// The kinds of data a message below WM_USER may carry, as a bit per DataKind: control messages
// above it mean different things to different classes, and are not copied.
struct Kinds {
    std::array<uint16_t, WM_USER> sent, answered;
};
constexpr Kinds CarriedKinds()
{
    Kinds kinds = {};
    for (const Carried& carried : kCarried) {
        if (carried.message >= WM_USER) continue;
        auto& part = carried.answered ? kinds.answered : kinds.sent;
        part[carried.message] = static_cast<uint16_t>(part[carried.message] | KindBit(DataKindNamed(carried.kind)));
    }
    return kinds;
}
constexpr Kinds kKinds = CarriedKinds();

constexpr std::array<uint32_t, WM_USER / 32> CopiedBits()
{
    std::array<uint32_t, WM_USER / 32> bits = {};
    for (UINT message = 0; message < WM_USER; ++message) {
        // WM_NCDESTROY carries nothing, but the class cache must forget its window.
        if (kKinds.sent[message] == 0 && kKinds.answered[message] == 0 && message != WM_NCDESTROY) continue;
        bits[message / 32] |= 1u << (message % 32);
    }
    return bits;
}

} // namespace

const std::array<uint32_t, WM_USER / 32> kCopied = CopiedBits();

namespace {
void CopyAny(ClassCache& classes, Record& record, bool answered, bool sentHere, HWND window, UINT message, WPARAM wParam,
             LPARAM lParam, LRESULT result)
{
    const void* p = reinterpret_cast<const void*>(lParam);
    switch (message) {
    case WM_SETTEXT:
    case WM_SETTINGCHANGE:
    case WM_DEVMODECHANGE:
        if (!answered) Text(record, sentHere, window, p);
        return;
    case WM_GETTEXT:
    case WM_ASKCBFORMATNAME:
        // The buffer holds wParam characters; the length answered bounds it further (where the
        // answer reads 0, the terminator ends it).
        if (answered) {
            const auto length = static_cast<size_t>(result);
            Text(record, sentHere, window, p, length > 0 && length < wParam ? length : wParam);
        }
        return;
    case WM_NCCREATE:
    case WM_CREATE:
        if (!answered) CreateStruct(record, sentHere, window, static_cast<const CREATESTRUCTW*>(p));
        return;
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
        PutStruct(record, sentHere, DataKind::WindowPos, p, sizeof(WINDOWPOS));
        return;
    case WM_GETMINMAXINFO:
        PutStruct(record, sentHere, DataKind::MinMaxInfo, p, sizeof(MINMAXINFO));
        return;
    case WM_NCCALCSIZE:
        return NcCalcSize(record, sentHere, wParam != 0, lParam);
    case WM_SIZING:
    case WM_MOVING:
        PutStruct(record, sentHere, DataKind::Rect, p, sizeof(RECT));
        return;
    case WM_STYLECHANGING:
        PutStruct(record, sentHere, DataKind::StyleStruct, p, sizeof(STYLESTRUCT));
        return;
    case WM_MEASUREITEM:
        PutStruct(record, sentHere, DataKind::MeasureItem, p, sizeof(MEASUREITEMSTRUCT));
        return;
    case WM_STYLECHANGED:
        if (!answered) PutStruct(record, sentHere, DataKind::StyleStruct, p, sizeof(STYLESTRUCT));
        return;
    case WM_DRAWITEM:
        if (!answered) PutStruct(record, sentHere, DataKind::DrawItem, p, sizeof(DRAWITEMSTRUCT));
        return;
    case WM_DELETEITEM:
        if (!answered) PutStruct(record, sentHere, DataKind::DeleteItem, p, sizeof(DELETEITEMSTRUCT));
        return;
    case WM_COMPAREITEM:
        if (!answered) PutStruct(record, sentHere, DataKind::CompareItem, p, sizeof(COMPAREITEMSTRUCT));
        return;
    case WM_HELP:
        if (!answered) PutStruct(record, sentHere, DataKind::HelpInfo, p, sizeof(HELPINFO));
        return;
    case WM_DPICHANGED:
        if (!answered) PutStruct(record, sentHere, DataKind::Rect, p, sizeof(RECT));
        return;
    case WM_COPYDATA:
        if (!answered) CopyData(record, sentHere, static_cast<const COPYDATASTRUCT*>(p));
        return;
    case WM_NOTIFY:
        if (!answered) Notify(classes, record, sentHere, static_cast<const NMHDR*>(p));
        return;
    case WM_NCDESTROY:
        return classes.Forget(window);
    case EM_REPLACESEL:
    case EM_GETLINE:
    case EM_GETRECT:
    case EM_SETRECT:
    case EM_SETRECTNP:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING:
    case LB_DIR:
    case LB_ADDFILE:
    case LB_GETTEXT:
    case LB_GETITEMRECT:
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING:
    case CB_DIR:
    case CB_GETLBTEXT:
    case CB_GETDROPPEDCONTROLRECT:
        return CopyControl(classes, record, sentHere, answered, window, message, lParam, result);
    default:
        return;
    }
}
} // namespace

void Copy(ClassCache& classes, Record& record, bool answered, bool sentHere, HWND window, UINT message, WPARAM wParam,
          LPARAM lParam, LRESULT result)
{
    Clear(record, DataKind::None);
    CopyAny(classes, record, answered, sentHere, window, message, wParam, lParam, result);
    // Never a kind the tables do not give the message: the log reads a copy by those alone.
    const uint16_t declared = message < WM_USER ? (answered ? kKinds.answered : kKinds.sent)[message] : 0;
    if ((declared & KindBit(record.dataKind)) == 0) Clear(record, DataKind::None);
}

} // namespace message_copy
