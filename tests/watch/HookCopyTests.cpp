// What the hook copies from the memory a message points to, as raw bytes and flags in the
// records of real hooked windows: of this thread, of a 32-bit helper and of a 64-bit one.
#include "WatchTestSupport.h"
#include "support/SyntheticDesktopProcess.h"

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
using watch_ring::DataKind;
using watch_ring::Record;
using watch_ring::RecordKind;

// The first record of `message` to `window` of that kind taken from `session` from now on.
bool Next(WatchSession& session, HWND window, UINT message, RecordKind kind, Record& found)
{
    std::vector<Record> records;
    uint64_t dropped = 0;
    return PollUntil(20000, [&] {
        PumpMessages();
        session.Take(records, dropped);
        for (const Record& record : records) {
            if (record.window == reinterpret_cast<uintptr_t>(window) && record.message == message && record.kind == kind) {
                found = record;
                return true;
            }
        }
        return false;
    });
}

std::string Bytes(const Record& record) { return std::string(reinterpret_cast<const char*>(record.data), record.dataBytes); }
std::string Bytes(const std::wstring& text) { return std::string(reinterpret_cast<const char*>(text.data()), 2 * text.size()); }

TEST(HookCopyTest, StringsAreCopiedBoundedAndOnlyWhereTheMessageDefinesThem)
{
    SyntheticDesktopProcess helper(L"target");
    ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
    const HWND right = FindWindowExW(helper.TopWindows().at(0), nullptr, SyntheticDesktopProcess::kWindowClass, L"right");
    const HWND helperWindow = FindWindowExW(right, nullptr, SyntheticDesktopProcess::kWindowClass, L"right hidden");
    UniqueWindow top = CreateTopWindow(L"copy");
    UniqueWindow ownerDrawn(CreateWindowW(L"ListBox", nullptr, WS_CHILD | LBS_OWNERDRAWFIXED, 0, 0, 50, 50, top.get(),
                                          nullptr, nullptr, nullptr));
    UniqueWindow plain(CreateWindowW(L"ListBox", nullptr, WS_CHILD, 0, 0, 50, 50, top.get(), nullptr, nullptr, nullptr));
    WNDCLASSA ansiClass = {};
    ansiClass.lpfnWndProc = DefWindowProcA;
    ansiClass.lpszClassName = "HookCopyTestAnsi";
    RegisterClassA(&ansiClass);
    UniqueWindow ansi(CreateWindowA("HookCopyTestAnsi", "", WS_CHILD, 0, 0, 5, 5, top.get(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(helperWindow && ownerDrawn && plain && ansi);

    WatchSession own(top.get(), WatchSession::Scope::Thread);
    WatchSession other(helperWindow);
    ASSERT_TRUE(Started(own)) << own.Problem();
    ASSERT_TRUE(Started(other)) << other.Problem();

    // 95 characters, then a pair of surrogates across the record's end: the half pair is left out.
    const std::wstring longText = std::wstring(95, L'x') + L"\U0001F600yz";
    wchar_t buffer[40] = {};
    // Wine hands the hook the sender's own pointer for a message from another process: it is
    // not read. Windows copies the text into the target first.
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    const struct {
        const char* what;
        HWND window;
        std::function<void()> send;
        UINT message;
        RecordKind kind;
        DataKind dataKind;
        uint16_t flags;
        std::string bytes;
    } cases[] = {
        {"longer than the record", top.get(), [&] { SetWindowTextW(top.get(), longText.c_str()); }, WM_SETTEXT, RecordKind::Sent,
         DataKind::Text, watch_ring::kDataTruncated, Bytes(std::wstring(95, L'x'))},
        {"the answer, as long as the buffer", top.get(),
         [&] { SendMessageW(top.get(), WM_GETTEXT, 40, reinterpret_cast<LPARAM>(buffer)); }, WM_GETTEXT, RecordKind::Returned,
         DataKind::Text, 0, Bytes(std::wstring(39, L'x'))},
        {"a null pointer", top.get(), [&] { SendMessageW(top.get(), WM_SETTEXT, 0, 0); }, WM_SETTEXT, RecordKind::Sent,
         DataKind::Text, watch_ring::kDataUnreadable, ""},
        {"an ANSI window", ansi.get(), [&] { SendMessageA(ansi.get(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc")); },
         WM_SETTEXT, RecordKind::Sent, DataKind::Text, watch_ring::kDataAnsi, "abc"},
        {"another process", helperWindow,
         [&] { SendMessageW(helperWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Zürich ✓")); },
         WM_SETTEXT, RecordKind::Sent, DataKind::Text, wine ? watch_ring::kDataUnreadable : uint16_t{0},
         wine ? "" : Bytes(L"Zürich ✓")},
        {"a list box of strings", plain.get(),
         [&] { SendMessageW(plain.get(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Genève ✓")); },
         LB_ADDSTRING, RecordKind::Sent, DataKind::Text, 0, Bytes(L"Genève ✓")},
        {"item data, no string", ownerDrawn.get(), [&] { SendMessageW(ownerDrawn.get(), LB_ADDSTRING, 0, 0x1234); },
         LB_ADDSTRING, RecordKind::Sent, DataKind::None, 0, ""},
        {"an edit message's number to a window of another class", top.get(),
         [&] { SendMessageW(top.get(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"item")); }, EM_REPLACESEL,
         RecordKind::Sent, DataKind::None, 0, ""},
        // Copied by the hook, but the decoding tables give this answer no data: not kept.
        {"an answer the tables carry nothing in", top.get(),
         [&] { SetWindowPos(top.get(), nullptr, 1, 2, 30, 40, SWP_NOZORDER | SWP_NOACTIVATE); }, WM_WINDOWPOSCHANGED,
         RecordKind::Returned, DataKind::None, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WatchSession& session = c.window == helperWindow ? other : own;
        std::vector<Record> stale;
        uint64_t dropped = 0;
        session.Take(stale, dropped);
        c.send();
        Record record;
        ASSERT_TRUE(Next(session, c.window, c.message, c.kind, record));
        EXPECT_EQ(c.dataKind, record.dataKind);
        EXPECT_EQ(c.flags, record.dataFlags);
        EXPECT_EQ(0, record.structBytes);
        EXPECT_EQ(c.bytes, Bytes(record));
    }
}

// The structure as it lies in the target, 32-bit or 64-bit: the reader knows the layout.
TEST(HookCopyTest, AWindowPosIsCopiedInTheLayoutOfTheTargetsBitness)
{
    for (const auto bits : SyntheticDesktopProcess::RunnableBits()) {
        const bool wide = bits == SyntheticDesktopProcess::Bits::SixtyFour;
        SCOPED_TRACE(wide ? "64-bit" : "32-bit");
        SyntheticDesktopProcess helper(L"target", bits);
        ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
        const HWND window = helper.TopWindows().at(0);
        WatchSession session(window);
        ASSERT_TRUE(Started(session)) << session.Problem();
        // The helper's thread moves its window inside a message sent from here, with a WINDOWPOS of
        // its own: the hook reads that, though it does not read what this process's pointers point to.
        SetWindowPos(window, nullptr, 11, 22, 133, 44, SWP_NOZORDER | SWP_NOACTIVATE);
        Record record;
        ASSERT_TRUE(Next(session, window, WM_WINDOWPOSCHANGING, RecordKind::Sent, record));
        EXPECT_EQ(DataKind::WindowPos, record.dataKind);
        EXPECT_EQ(0, record.dataFlags);
        // hwnd, hwndInsertAfter, x, y, cx, cy, flags; 64-bit: 8-byte handles, and padding at the end.
        const size_t pointer = wide ? 8 : 4;
        ASSERT_EQ(wide ? 40 : 28, record.structBytes);
        EXPECT_EQ(record.structBytes, record.dataBytes);
        uint64_t handle = 0;
        std::memcpy(&handle, record.data, pointer);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(window), handle);
        int32_t fields[5];
        std::memcpy(fields, record.data + 2 * pointer, sizeof fields);
        EXPECT_EQ(11, fields[0]);
        EXPECT_EQ(22, fields[1]);
        EXPECT_EQ(133, fields[2]);
        EXPECT_EQ(44, fields[3]);
        EXPECT_EQ(SWP_NOZORDER | SWP_NOACTIVATE, fields[4] & (SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE));
    }
}
} // namespace
