// The working folder of the whole executable is a fresh folder under the temporary one, never
// the folder the tests were started from.
#include "ExportTestSupport.h"

#include "support/ProgramPath.h"

#include <gtest/gtest.h>

#include <codecvt>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <locale>

namespace {
class TemporaryWorkingFolder : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_started = std::filesystem::current_path();
        m_folder = std::filesystem::temp_directory_path() /
                   (L"export_tests-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()));
        std::filesystem::create_directories(m_folder);
        std::filesystem::current_path(m_folder);
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_started);
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

private:
    std::filesystem::path m_started, m_folder;
};
[[maybe_unused]] ::testing::Environment* const kWorkingFolder =
    ::testing::AddGlobalTestEnvironment(new TemporaryWorkingFolder);
} // namespace

std::pair<DWORD, std::string> RunProgram(const std::wstring& arguments)
{
    return RunCommand(L"\"" + PathBesideThisProgram(L"WindowInventory.exe") + L"\" " + arguments);
}

std::string ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string AsUtf8(const std::wstring& text)
{
    return std::wstring_convert<std::codecvt_utf8_utf16<wchar_t>>().to_bytes(text);
}

void SettleTheShell()
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(GetDesktopWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
}
