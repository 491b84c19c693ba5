// A dialog of the watched thread closed with Enter, its default button OK, while the log watches
// every window of that thread: the dialog gets WM_COMMAND naming the button, and both are gone
// before the log takes the ring, so the button is first met as a control whose class can no
// longer be read. Its rows are named, filtered, found and copied like any other, on the 32-bit
// and the 64-bit helper, with a filter typed before they come and without one.
#include "WatchTestSupport.h"
#include "support/SyntheticDesktopProcess.h"
#include "watch/MessageLogFile.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {
using Col = MessageLogColumns;

std::wstring Hex8(HWND window)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

// The first row (from `from` on) whose columns hold these texts; Rows() when there is none.
size_t FindRow(const MessageLogWindow& log, const std::wstring& window, const std::wstring& message, size_t from = 0)
{
    for (size_t row = from; row < log.Log().Rows(); ++row) {
        if (log.CellText(row, Col::kWindow) == window && log.CellText(row, Col::kMessage).find(message) != std::wstring::npos) {
            return row;
        }
    }
    return log.Log().Rows();
}

TEST(DialogLogTest, ADialogClosedWithOkWhileItsThreadIsWatchedReadsAsItHappened)
{
    for (const auto bits : SyntheticDesktopProcess::RunnableBits()) {
        SyntheticDesktopProcess helper(L"target", bits);
        ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
        const HWND top = helper.TopWindows().at(0);
        for (const wchar_t* filter : {L"", L"command"}) {
            SCOPED_TRACE((bits == SyntheticDesktopProcess::Bits::SixtyFour ? "64-bit, filter \"" : "32-bit, filter \"") +
                         std::string(filter, filter + wcslen(filter)) + "\"");
            MessageLogWindow log(nullptr, top);
            ASSERT_TRUE(Started(log)) << log.StatusText();
            log.SetFilter(filter);
            PostMessageW(top, WM_APP + 6, 0, 0);
            HWND dialog = nullptr;
            ASSERT_TRUE(Await([&] {
                dialog = FindWindowW(L"#32770", L"dialog");
                return dialog != nullptr && IsWindowVisible(dialog);
            }));
            const HWND ok = GetDlgItem(dialog, IDOK);
            // Painted now, the button is left alone until it is pressed: nothing tells the log its
            // class while it lives.
            SendMessageW(dialog, WM_APP + 8, 0, 0);
            log.SetEveryWindow(true);
            ASSERT_TRUE(Started(log)) << log.StatusText();
            PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            ASSERT_TRUE(Await([&] { return !IsWindow(dialog); }));
            const auto command = [&] { return FindRow(log, Hex8(dialog), L"WM_COMMAND"); };
            ASSERT_TRUE(Await([&] {
                log.Poll();
                return command() < log.Log().Rows();
            })) << log.StatusText();
            // The code is named when the log took the record while the button was still there.
            const std::wstring parameters = log.CellText(command(), Col::kParameters);
            EXPECT_TRUE(parameters == L"wID:1 wNotifyCode:0 hwndCtl:0x" + Hex8(ok) ||
                        parameters == L"wID:1 wNotifyCode:BN_CLICKED hwndCtl:0x" + Hex8(ok))
                << std::string(parameters.begin(), parameters.end());

            // Every row reads, is found and is copied, the button's own among them.
            log.SetFilter(L"");
            ASSERT_TRUE(Await([&] {
                log.Poll();
                return FindRow(log, Hex8(ok), L"WM_NCDESTROY") < log.Log().Rows();
            })) << "the button's end is logged too";
            std::vector<size_t> rows(log.Log().Rows());
            for (size_t row = 0; row < rows.size(); ++row) rows[row] = row;
            const std::wstring copied = LogText(MessageLogColumns(log.Log(), bits == SyntheticDesktopProcess::Bits::SixtyFour), rows);
            EXPECT_NE(std::wstring::npos, copied.find(L"\t" + Hex8(ok) + L"\tWM_NCDESTROY\t"));
            log.SetFilter(Hex8(ok));
            EXPECT_LT(0u, log.Log().Rows());
            EXPECT_TRUE(log.IsOpen() && log.Watching()) << log.StatusText();
        }
    }
}
} // namespace
