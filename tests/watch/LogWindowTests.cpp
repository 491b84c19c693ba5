// The log window on windows of this thread, whose answers Wine reports right: sends nested in a
// send and closed by its answer, every window of the thread with a filter on one of them, the
// rows saved as CSV and JSON and copied, read back, the find wrapping around, a message hidden and
// shown again, the row found drawn as selected, notifications only from its own list, and its
// keys typed through the system's input queue.
#include "WatchTestSupport.h"

#include <commctrl.h>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <regex>
#include <sstream>
#include <thread>

namespace {
using Col = MessageLogColumns;

// WM_APP + 1 answers wParam + lParam; WM_APP + 3 sends itself WM_APP + 1 and answers one more.
LRESULT CALLBACK Nesting(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP + 1) return static_cast<LRESULT>(wParam + lParam);
    if (message == WM_APP + 3) return SendMessageW(window, WM_APP + 1, wParam, lParam) + 1;
    return DefWindowProcW(window, message, wParam, lParam);
}

// Message-only windows: nothing the system broadcasts comes between.
UniqueWindow NestingWindow(const wchar_t* name)
{
    WNDCLASSW nesting = {};
    nesting.lpfnWndProc = Nesting;
    nesting.lpszClassName = L"LogWindowTestNesting";
    RegisterClassW(&nesting);
    return UniqueWindow(CreateWindowW(L"LogWindowTestNesting", name, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
}

std::string Hex8(HWND window)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

std::string ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::wstring Clipboard()
{
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// Each line of `text` (split at CR LF) matches its pattern, and there are as many.
void ExpectLines(const std::string& text, const std::vector<std::string>& patterns)
{
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    ASSERT_EQ(patterns.size(), lines.size()) << text;
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_TRUE(std::regex_match(lines[i], std::regex(patterns[i]))) << lines[i];
}

TEST(LogWindowTest, NestedSendsOfEveryWindowOfTheThreadAreFilteredSavedCopiedAndFound)
{
    UniqueWindow one = NestingWindow(L"one"), two = NestingWindow(L"two");
    UniqueWindow button(CreateWindowW(L"Button", L"b", WS_CHILD, 0, 0, 1, 1, two.get(), nullptr, nullptr, nullptr));
    MessageLogWindow log(nullptr, one.get());
    log.SetEveryWindow(true);
    ASSERT_TRUE(log.Watching()) << log.StatusText();
    const UINT odd = RegisterWindowMessageW(L"Log,\"Test\"");
    EXPECT_EQ(13, SendMessageW(one.get(), WM_APP + 3, 5, 7));
    EXPECT_EQ(3, SendMessageW(two.get(), WM_APP + 1, 1, 2));
    SendMessageW(two.get(), WM_COMMAND, MAKEWPARAM(9, BN_CLICKED), reinterpret_cast<LPARAM>(button.get()));
    PostMessageW(one.get(), odd, 0, 0);
    ASSERT_TRUE(Await([&] {
        log.Poll();
        return log.Log().Rows() >= 5;
    })) << log.StatusText();

    // One window of the thread's, by its handle as the Window column shows it.
    const std::string handle = Hex8(one.get());
    log.SetFilter(std::wstring(handle.begin(), handle.end()));
    const wchar_t* expected[][5] = {
        {L"sent", L"WM_APP+0x3", L"00000005", L"00000007", L""}, // its answer closes it below
        {L"sent", L"    WM_APP+0x1", L"00000005", L"00000007", L"0000000C"},
        {L"returned", L"WM_APP+0x3", L"", L"", L"0000000D"},
        {L"posted", L"Log,\"Test\" (registered)", L"00000000", L"00000000", L""},
    };
    const int columns[] = {Col::kKind, Col::kMessage, Col::kWParam, Col::kLParam, Col::kResult};
    ASSERT_EQ(std::size(expected), log.Log().Rows());
    for (size_t row = 0; row < std::size(expected); ++row) {
        for (size_t column = 0; column < std::size(columns); ++column) {
            EXPECT_EQ(expected[row][column], log.CellText(row, columns[column])) << row;
        }
    }

    // Saved: the decoded columns are there, whatever they say.
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring csv = std::wstring(folder) + L"log-window-test.csv", json = std::wstring(folder) + L"log.json";
    ASSERT_TRUE(log.SaveTo(csv)) << log.StatusText();
    const std::string time = R"(\d\d:\d\d:\d\d\.\d{3})";
    ExpectLines(ReadFile(csv), {"\xEF\xBB\xBFtime,kind,window,depth,message,parameters,wParam,lParam,result,answer",
                                time + ",sent," + handle + ",0,WM_APP\\+0x3,.*,00000005,00000007,,.*",
                                time + ",sent," + handle + ",1,WM_APP\\+0x1,.*,00000005,00000007,0000000C,.*",
                                time + ",returned," + handle + ",0,WM_APP\\+0x3,.*,,,0000000D,.*",
                                time + ",posted," + handle + R"x(,0,"Log,""Test"" \(registered\)",.*,00000000,00000000,,.*)x"});
    ASSERT_TRUE(log.SaveTo(json)) << log.StatusText();
    const nlohmann::json saved = nlohmann::json::parse(ReadFile(json));
    ASSERT_EQ(4u, saved.at("messages").size());
    const nlohmann::json& nested = saved["messages"][1];
    EXPECT_EQ("sent", nested.at("kind"));
    EXPECT_EQ(handle, nested.at("window"));
    EXPECT_EQ(1, nested.at("depth"));
    EXPECT_EQ("WM_APP+0x1", nested.at("message"));
    EXPECT_EQ("00000005", nested.at("wParam"));
    EXPECT_EQ("0000000C", nested.at("result"));
    EXPECT_TRUE(nested.at("parameters").is_string() && nested.at("answer").is_string());
    EXPECT_EQ("Log,\"Test\" (registered)", saved["messages"][3].at("message"));
    EXPECT_EQ(0u, saved.at("watched").get<std::string>().find("hWnd: " + handle + "h  \"one\""));
    DeleteFileW(csv.c_str());
    DeleteFileW(json.c_str());

    // Found: from the selected row down, around the end; up, around the start; not at all.
    HWND find = FindWindowExW(log.hWnd(), nullptr, L"Edit", nullptr);
    find = FindWindowExW(log.hWnd(), find, L"Edit", nullptr);
    SetWindowTextW(find, L"app+0x3");
    const HWND list = FindWindowExW(log.hWnd(), nullptr, L"SysListView32", nullptr);
    const auto selected = [&] { return SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED); };
    for (const auto& [down, row] : {std::pair{true, 0}, std::pair{true, 2}, std::pair{true, 0}, std::pair{false, 2}}) {
        EXPECT_TRUE(log.FindNext(down));
        EXPECT_EQ(row, selected());
    }
    SetWindowTextW(find, L"WM_NOTHING");
    EXPECT_FALSE(log.FindNext(true));
    EXPECT_EQ(2, selected()) << "the selection stays";
    EXPECT_NE(std::wstring::npos, log.StatusText().find(L"Not found: \"WM_NOTHING\""));
    // The row found is drawn in the highlight's colours while the find box has the keyboard.
    SetForegroundWindow(log.hWnd());
    SetFocus(find);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT found = {};
    found.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(selected()), reinterpret_cast<LPARAM>(&found)));
    const HDC drawn = GetDC(list);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), GetPixel(drawn, found.left + 2, (found.top + found.bottom) / 2));
    ReleaseDC(list, drawn);

    // Copied: the selected rows with a header, as the list shows them.
    LVITEMW state = {};
    state.state = state.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    ASSERT_TRUE(log.CopySelection());
    const std::wstring copied = Clipboard();
    ExpectLines(std::string(copied.begin(), copied.end()),
                {"Time\tKind\tWindow\tMessage\tParameters\twParam\tlParam\tResult\tAnswer",
                 time + "\tsent\t" + handle + "\t    WM_APP\\+0x1\t.*\t00000005\t00000007\t0000000C\t.*",
                 time + "\treturned\t" + handle + "\tWM_APP\\+0x3\t.*\t\t\t0000000D\t.*"});

    // The other window of the thread is there too.
    const std::string other = Hex8(two.get());
    log.SetFilter(std::wstring(other.begin(), other.end()) + L" APP+0x1");
    ASSERT_EQ(1u, log.Log().Rows());
    EXPECT_EQ(L"00000003", log.CellText(0, Col::kResult));
    // A control's notification code is named by its class, which the log read as the row came.
    log.SetFilter(std::wstring(other.begin(), other.end()) + L" COMMAND");
    ASSERT_EQ(1u, log.Log().Rows());
    const std::string control = Hex8(button.get());
    EXPECT_EQ(L"wID:9 wNotifyCode:BN_CLICKED hwndCtl:0x" + std::wstring(control.begin(), control.end()),
              log.CellText(0, Col::kParameters));

    // Hidden from the context menu, a message's rows are gone whatever the filter, and the
    // filter's line says so until they are shown again.
    log.SetFilter(L"");
    const size_t all = log.Log().Rows();
    HWND hint = nullptr; // the third static text: after the filter's and the find box's labels
    for (int i = 0; i < 3; ++i) hint = FindWindowExW(log.hWnd(), hint, L"Static", nullptr);
    const HWND showHidden = FindWindowExW(log.hWnd(), nullptr, L"Button", L"Show &hidden");
    log.HideLike(1); // WM_APP+0x1, nested in the first send
    EXPECT_EQ(all - 2, log.Log().Rows()) << "the messages to both windows";
    wchar_t said[512] = {};
    GetWindowTextW(hint, said, 512);
    EXPECT_EQ(0, std::wstring(said).find(L"Hidden: WM_APP+0x1.   Filter:")) << said;
    EXPECT_TRUE(IsWindowVisible(showHidden));
    SendMessageW(showHidden, BM_CLICK, 0, 0);
    EXPECT_EQ(all, log.Log().Rows());
    EXPECT_FALSE(IsWindowVisible(showHidden));
}

// A WM_NOTIFY from another thread (on Windows: from another process, whose pointer means nothing
// here) is not the list's, however it names it: the log reads nothing of it and writes nothing
// where it points.
TEST(LogWindowTest, ANotificationFromAnotherThreadIsNotTakenForTheListsOwn)
{
    UniqueWindow one = NestingWindow(L"one");
    MessageLogWindow log(nullptr, one.get());
    SendMessageW(one.get(), WM_APP + 1, 1, 2);
    ASSERT_TRUE(Await([&] {
        log.Poll();
        return log.Log().Rows() == 1;
    }));
    const HWND list = FindWindowExW(log.hWnd(), nullptr, L"SysListView32", nullptr);
    wchar_t text[64] = L"untouched";
    NMLVDISPINFOW asked = {};
    asked.hdr = {list, static_cast<UINT_PTR>(GetDlgCtrlID(list)), LVN_GETDISPINFOW};
    asked.item.mask = LVIF_TEXT;
    asked.item.iSubItem = Col::kMessage;
    asked.item.pszText = text;
    asked.item.cchTextMax = 64;
    std::atomic<bool> sent{false};
    std::thread other([&] {
        SendMessageW(log.hWnd(), WM_NOTIFY, asked.hdr.idFrom, reinterpret_cast<LPARAM>(&asked));
        SendMessageW(log.hWnd(), WM_NOTIFY, asked.hdr.idFrom, 0x10); // a pointer into nothing
        sent = true;
    });
    EXPECT_TRUE(Await([&] { return sent.load(); }));
    other.join();
    EXPECT_STREQ(L"untouched", text);
    // The same notification from the list's own thread is answered.
    SendMessageW(log.hWnd(), WM_NOTIFY, asked.hdr.idFrom, reinterpret_cast<LPARAM>(&asked));
    EXPECT_STREQ(L"WM_APP+0x1", text);
}

INPUT Key(WORD key, DWORD flags)
{
    INPUT event = {};
    event.type = INPUT_KEYBOARD;
    event.ki.wVk = key;
    event.ki.dwFlags = flags;
    return event;
}

// Keys pressed together through the system's input queue, the first ones held while the last
// goes down and up, as a user types them.
void Type(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> events;
    for (const WORD key : keys) events.push_back(Key(key, 0));
    for (auto key = keys.end(); key != keys.begin();) events.push_back(Key(*--key, KEYEVENTF_KEYUP));
    ASSERT_EQ(events.size(), SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT)));
}

TEST(LogWindowTest, TabTheMnemonicsTheFindKeyAndEscWorkInTheLogWindow)
{
    UniqueWindow one = NestingWindow(L"one");
    MessageLogWindow log(nullptr, one.get());
    SetForegroundWindow(log.hWnd());
    const HWND list = FindWindowExW(log.hWnd(), nullptr, L"SysListView32", nullptr);
    const HWND pause = FindWindowExW(log.hWnd(), nullptr, L"Button", L"&Pause");
    const HWND find = FindWindowExW(log.hWnd(), FindWindowExW(log.hWnd(), nullptr, L"Edit", nullptr), L"Edit", nullptr);
    // Pumped as the program's loop does: the log sees every message first.
    const auto until = [&](auto condition) {
        return PollUntil(20000, [&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (log.TranslateLogMessage(message)) continue;
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            return condition();
        });
    };
    const auto focusOn = [&](HWND control) { return [&log, control] { return GetFocus() == control && log.IsOpen(); }; };
    ASSERT_TRUE(until(focusOn(list))) << "the list has the keyboard when the log opens";
    SendMessageW(one.get(), WM_APP + 1, 1, 2);
    ASSERT_TRUE(until([&] { return log.Log().Rows() == 1; }));
    ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && CloseClipboard());
    const struct {
        std::initializer_list<WORD> keys;
        std::function<bool()> done;
    } steps[] = {
        {{VK_CONTROL, 'A'}, [&] { return SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 1; }},
        {{VK_CONTROL, 'C'}, [&] { return Clipboard().find(L"\tWM_APP+0x1\t") != std::wstring::npos; }},
        {{VK_TAB}, focusOn(pause)},
        {{VK_SHIFT, VK_TAB}, focusOn(list)},
        {{VK_MENU, 'P'}, [&] { return GetWindowTextLengthW(pause) == 7; }}, // "&Resume"
        {{VK_CONTROL, 'F'}, focusOn(find)},
        {{VK_ESCAPE}, focusOn(list)}, // out of the find box
        {{VK_ESCAPE}, [&] { return !log.IsOpen(); }},
    };
    for (const auto& step : steps) {
        Type(step.keys);
        ASSERT_TRUE(until(step.done)) << "key " << *step.keys.begin() << "; the focus is on " << GetFocus();
    }
}
} // namespace
