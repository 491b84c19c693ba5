// Every test executable's start: the user's own settings stay untouched. The windows' places
// (HKEY_CURRENT_USER\Software\WindowInventory) are kept, for this process, under a key of the run
// that goes with it, and each test starts with no place remembered.
#include "platform/UniqueHandles.h"

#include <gtest/gtest.h>

#include <string>

namespace {
const wchar_t kRunsKey[] = L"Software\\WindowInventoryTestRuns";
bool g_keptApart = false; // HKEY_CURRENT_USER is the run's key

class TemporaryUserSettings : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_name = std::wstring(kRunsKey) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount());
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, m_name.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, m_key.put(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, m_key.get()));
        g_keptApart = true;
    }
    void TearDown() override
    {
        g_keptApart = false;
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        m_key.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, m_name.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kRunsKey); // only when no other run's key is left in it
    }

private:
    std::wstring m_name;
    UniqueRegistryKey m_key;
};

class ForgetPlaces : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        if (g_keptApart) RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\WindowInventory");
    }
};
} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new TemporaryUserSettings);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetPlaces);
    return RUN_ALL_TESTS();
}
