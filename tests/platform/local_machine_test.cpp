// The registry facts read from the real registry (Windows; wine keeps one).
#include "platform/local_machine.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

constexpr wchar_t TEST_KEY[] = L"Software\\Quorvane\\KalyxaRegistryTest";

class LocalMachine : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, TEST_KEY);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEST_KEY, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                                  &m_hKey, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(m_hKey);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, TEST_KEY);
    }
    void Set(const wchar_t* pszName, DWORD dwType, const void* pData, DWORD cbData) {
        ASSERT_EQ(RegSetValueExW(m_hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData), ERROR_SUCCESS);
    }

    HKEY m_hKey = nullptr;
    CLocalMachine m_registry;
};

TEST_F(LocalMachine, ValuesAreReadByKindWhateverTheCase) {
    const DWORD dwBuild = 0x2A3;
    Set(L"NewestBuild", REG_DWORD, &dwBuild, sizeof(dwBuild));
    const wchar_t szText[] = L"Stra\u00dfe";
    Set(L"Name", REG_SZ, szText, sizeof(szText));
    const wchar_t szUnended[] = {L'a', L'b'};  // stored without its null
    Set(L"Unended", REG_SZ, szUnended, sizeof(szUnended));
    const BYTE binary[] = {1, 2, 3};
    Set(L"Blob", REG_BINARY, binary, sizeof(binary));

    std::string sError;
    ASSERT_TRUE(m_registry.Load(sError)) << sError;
    EXPECT_TRUE(m_registry.HasKey("SOFTWARE\\quorvane\\KalyxaRegistryTest"));
    CRegistryValue value;
    ASSERT_TRUE(m_registry.FindValue("Software\\Quorvane\\KalyxaRegistryTest", "newestbuild", value));
    EXPECT_EQ(value.dwType, REG_DWORD);
    EXPECT_EQ(value.dwValue, 0x2A3u);
    ASSERT_TRUE(m_registry.FindValue("Software\\Quorvane\\KalyxaRegistryTest", "Name", value));
    EXPECT_EQ(value.dwType, REG_SZ);
    EXPECT_EQ(value.sText,
              "Stra\xC3\x9F"
              "e");
    ASSERT_TRUE(m_registry.FindValue("Software\\Quorvane\\KalyxaRegistryTest", "Unended", value));
    EXPECT_EQ(value.sText, "ab");
    ASSERT_TRUE(m_registry.FindValue("Software\\Quorvane\\KalyxaRegistryTest", "Blob", value));
    EXPECT_EQ(value.dwType, REG_OTHER);
}

TEST_F(LocalMachine, AMissingKeyOrValueIsNotFound) {
    CRegistryValue value;
    EXPECT_FALSE(m_registry.HasKey("Software\\Quorvane\\KalyxaRegistryTest\\Absent"));
    EXPECT_FALSE(m_registry.FindValue("Software\\Quorvane\\KalyxaRegistryTest", "Absent", value));
    EXPECT_FALSE(m_registry.FindValue("Software\\Quorvane\\Absent", "NewestBuild", value));
}

}  // namespace
