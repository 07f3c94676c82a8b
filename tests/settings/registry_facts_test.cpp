#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "diagnostics/event_log.h"
#include "settings/kx_general_settings.h"

namespace {

class RegistryFacts : public ::testing::Test {
protected:
    void Use(const std::string& sText) {
        m_path = std::filesystem::temp_directory_path() / ("kx-registry-" + std::to_string(getpid()) + ".reg");
        std::ofstream(m_path) << "Windows Registry Editor Version 5.00\n\n" << sText;
        setenv("QV_REGISTRY_FILE", m_path.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("QV_REGISTRY_FILE");
        std::filesystem::remove(m_path);
    }
    static std::string Setup(const char* pszKey, int nProductMajor, bool bComplete = true) {
        std::string sText = std::string("[HKEY_LOCAL_MACHINE\\") + pszKey + "]\n\"MsiBuildMajor\"=dword:000002c6\n"
                            "\"MsiBuildMinor\"=dword:00000001\n\"MsiProductMajor\"=dword:" +
                            (nProductMajor == 14 ? "0000000e" : "00000008") + "\n\"MsiProductMinor\"=dword:00000003\n";
        if (bComplete) sText += "\"NewestBuild\"=dword:00001234\n";
        return sText;
    }
    std::filesystem::path m_path;
};

TEST_F(RegistryFacts, ExchangeVersionFromEitherSetupKey) {
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    int nMinor = 0;
    Use(Setup("SOFTWARE\\Microsoft\\ExchangeServer\\v14\\Setup", 14));
    EXPECT_EQ(pSettings->GetExchangeVersion(nMinor), 8u);
    EXPECT_EQ(nMinor, 3);
    Use(Setup("SOFTWARE\\Microsoft\\Exchange\\Setup", 8));
    EXPECT_EQ(pSettings->GetExchangeVersion(nMinor), 4u) << "only the older key";
    Use(Setup("SOFTWARE\\Microsoft\\Exchange\\Setup", 8, false));
    EXPECT_EQ(pSettings->GetExchangeVersion(nMinor), 0u) << "NewestBuild missing";
    EXPECT_EQ(nMinor, -1);
    Use("");
    EXPECT_EQ(pSettings->GetExchangeVersion(nMinor), 0u);
    EXPECT_EQ(nMinor, -1);
}

std::vector<CEventRecord> g_events;
void Collect(const CEventRecord& event) { g_events.push_back(event); }

TEST_F(RegistryFacts, AFileThatIsNoExportIsReportedOnce) {
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    Use("");
    std::ofstream(m_path, std::ios::binary) << std::string("\xFE\xFF\0W\0i\0n", 8);  // UTF-16 big-endian: neither
    pSettings->EventLog().Register("Quorvane Kalyxa");
    g_events.clear();
    SetEventSink(&Collect);
    int nMinor = 0;
    EXPECT_EQ(pSettings->GetExchangeVersion(nMinor), 0u);
    pSettings->GetRegistryInfo();
    SetEventSink(nullptr);
    ASSERT_EQ(g_events.size(), 1u) << "read twice at start, said once";
    ASSERT_FALSE(g_events[0].strings.empty());
    EXPECT_EQ(g_events[0].strings[0], "Registry file " + m_path.string() + " not read: line 1: not a registry export");
}

TEST_F(RegistryFacts, SslOffloadedMustBeADword) {
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    Use("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\MSExchange OWA]\n\"SSLOffloaded\"=dword:00000001\n");
    EXPECT_EQ(pSettings->GetRegistryInfo(), 0u);
    EXPECT_TRUE(pSettings->IsSslOffloaded());
    Use("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\MSExchange OWA]\n\"SSLOffloaded\"=\"1\"\n");
    EXPECT_EQ(pSettings->GetRegistryInfo(), 13u);
}

TEST_F(RegistryFacts, ComputerNames) {
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    ASSERT_TRUE(pSettings->GetComputerName());
    EXPECT_FALSE(pSettings->ServerName().empty());
    EXPECT_EQ(pSettings->ServerName().find('.'), std::string::npos);
    EXPECT_EQ(pSettings->FullyQualifiedName().rfind(pSettings->ServerName(), 0), 0u);
}

}  // namespace

#include "settings/security_access.h"

namespace {

TEST(SecurityAccess, ThreadUserIsTheEffectiveAccount) {
    std::string sUser, sDomain, sSid;
    ASSERT_EQ(CSecurityAccess().GetThreadUser(sUser, sDomain, sSid), 0u);
    EXPECT_FALSE(sUser.empty());
    EXPECT_EQ(sSid, "S-1-22-1-" + std::to_string(geteuid()));
}

}  // namespace
