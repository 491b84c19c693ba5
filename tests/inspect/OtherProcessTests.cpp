// Windows of other processes, 32-bit and 64-bit alike: under WoW64 most of what a user inspects
// belongs to 64-bit programs. Each is listed under its process with the designed texts, and its
// facts and properties are read from outside.
#include "support/Form1Fixture.h"
#include "inspect/NodeFacts.h"
#include "platform/MessageBox.h"
#include "support/MessageBoxCloser.h"
#include "support/ProgramPath.h"
#include "support/SyntheticDesktopProcess.h"
#include "support/TreeReader.h"

#include <commctrl.h>

#include <algorithm>

namespace {
using Bits = SyntheticDesktopProcess::Bits;

TEST_F(Form1Fixture, WindowsOf32And64BitProcessesAreListedWithTheirFactsAndProperties)
{
    const bool onWow64 = SyntheticDesktopProcess::SixtyFourBitRuns();
    for (const Bits bits : SyntheticDesktopProcess::RunnableBits()) {
        const std::wstring exe = SyntheticDesktopProcess::ExeName(bits);
        SCOPED_TRACE(::testing::PrintToString(exe));
        SyntheticDesktopProcess helper(L"target", bits);
        ASSERT_TRUE(helper.Started()) << ::testing::PrintToString(helper.Error());
        ASSERT_TRUE(helper.WaitReady(60000)) << "the helper did not report its windows";
        // The helper runs with the bitness asked for: under WoW64 exactly when it is 32-bit.
        const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, helper.ProcessId()));
        BOOL helperOnWow64 = FALSE;
        ASSERT_TRUE(process && IsWow64Process(process.get(), &helperOnWow64));
        EXPECT_EQ(onWow64 && bits == Bits::ThirtyTwo, helperOnWow64 != FALSE);
        const HWND top = helper.TopWindows().at(0);
        {
            MessageBoxCloser closer(kApplicationTitle);
            m_form->meu_File_Click();
        }

        // Children by caption, so that the texts below are spelled out, not read back.
        const auto node = [](HWND window, const wchar_t* caption, const wchar_t* windowClass) {
            return NodeTextOf(window, caption, windowClass);
        };
        const auto child = [&](HWND parent, const wchar_t* caption) {
            return FindWindowExW(parent, nullptr, SyntheticDesktopProcess::kWindowClass, caption);
        };
        const HWND left = child(top, L"left"), right = child(top, L"right");
        const std::wstring pid = std::to_wstring(helper.ProcessId());
        const std::vector<std::wstring> beneath = Beneath(ReadTree(m_form->TreeView1().hWnd()), exe + L" [PID:" + pid + L"]");
        for (const std::wstring& line :
             {node(top, L"target", L"SyntheticDesktopTarget"), L"  " + node(left, L"left", L"SyntheticDesktopWindow"),
              L"    " + node(child(left, L"left inner"), L"left inner", L"SyntheticDesktopWindow"),
              L"  " + node(right, L"right", L"SyntheticDesktopWindow"),
              L"    " + node(child(right, L"right hidden"), L"right hidden", L"SyntheticDesktopWindow")}) {
            EXPECT_NE(beneath.end(), std::find(beneath.begin(), beneath.end(), line)) << ::testing::PrintToString(line);
        }

        // Selecting the node tells its live facts in panel 1.
        TreeViewControl& tree = m_form->TreeView1();
        tree.Select(tree.ItemOfKey(KeyOf(top)));
        const DWORD thread = GetWindowThreadProcessId(top, nullptr);
        EXPECT_EQ(L"Window " + HandleText(top) + L": (760, 100)-(1160, 400), 400 x 300, visible, thread " +
                      std::to_wstring(thread),
                  Panel1());

        const std::wstring properties = PropertiesText({NodeSubject::Kind::Window, HandleValue(top)});
        const std::wstring executable = L"Executable:\t" + PathBesideThisProgram(exe.c_str()) + L"\r\nBitness:\t" +
                                        (bits == Bits::SixtyFour ? L"64-bit" : L"32-bit") + L"\r\n";
        for (const std::wstring& line : {std::wstring(L"Caption:\ttarget\r\n"),
                                         std::wstring(L"Class style:\t0x00000000\r\nClass atom:"), // nothing to name
                                         L"Process:\t" + pid + L"\r\n",
                                         executable, L"Thread:\t" + std::to_wstring(thread) + L"\r\n"}) {
            EXPECT_NE(std::wstring::npos, properties.find(line)) << ::testing::PrintToString(line) << " in\n"
                                                                 << ::testing::PrintToString(properties);
        }
        // Its instance, read through the 32-bit call, is only the low half of a 64-bit address.
        EXPECT_EQ(bits == Bits::SixtyFour,
                  properties.find(L" (low 32 bits)\r\nWindow:\t") != std::wstring::npos);
        EXPECT_NE(std::wstring::npos, PropertiesText({NodeSubject::Kind::Process, static_cast<LONG>(helper.ProcessId())})
                                          .find(executable));
    }
}

} // namespace
