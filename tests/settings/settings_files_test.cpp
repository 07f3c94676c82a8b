#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/stat.h>

#include <pugixml.hpp>

#include "base/win_errors.h"
#include "settings/handle_sw_settings.h"
#include "settings/sw_general_settings.h"
#include "tests/settings/settings_files_support.h"
#include "tests/support/trace_capture.h"

namespace {


TEST_F(SettingsFiles, LookUpRules) {
    WriteBoth(SwSettings(Item("1", "10") + Item("1", "11") + Item("2", "12abc") + Item("3", "text") +
                             Item(std::string(30, '4'), "99") + "<ITEM ID=\"7\" DESCR=\"no value\"/>\n",
                         "<SETTING ID=\"5\" DESCR=\"criteria five\"><ITEMS>" + Item("2", "50") + "</ITEMS></SETTING>\n"));
    ASSERT_EQ(m_settings.LoadSettings(Folder()), 0);
    EXPECT_EQ(Number(1), 11) << "the last duplicate wins";
    EXPECT_EQ(Number(2), 12) << "12abc reads as 12";
    EXPECT_EQ(Number(2, 5), 50) << "the criteria overrides";
    EXPECT_EQ(Number(1, 5), 11) << "else the general item";
    EXPECT_EQ(Number(2, 8), 12) << "an unknown criteria uses the general item";
    EXPECT_EQ(Number(3), 0) << "text without digits converts to 0";
    EXPECT_EQ(Number(444444), -77) << "an ID of 30 characters is ignored";
    EXPECT_EQ(Number(7), -77) << "no value, not usable";
    EXPECT_EQ(Number(8), -77) << "missing: the value stays";
    std::string sValue = "unchanged";
    EXPECT_TRUE(m_settings.GetSettingFromID(3, sValue, -1));
    EXPECT_EQ(sValue, "text");
    EXPECT_TRUE(m_settings.GetSettingFromID(2, sValue, 5));
    EXPECT_EQ(sValue, "50");
    sValue = "unchanged";
    EXPECT_FALSE(m_settings.GetSettingFromID(8, sValue, -1));
    EXPECT_EQ(sValue, "unchanged");
    const auto pLinks = m_settings.LinkCriteria().Table();
    ASSERT_EQ(pLinks->count(6), 1u);
    EXPECT_EQ(pLinks->at(6).links.at(5), 5);
}

TEST_F(SettingsFiles, BypassGroupsAreReadAsSids) {
    TraceCapture trace;
    WriteBoth(SwSettings(Item("48", "S-1-5-32-544;not-a-sid") + Item("49", "S-1-0x1234567890AB-7")));
    ASSERT_EQ(m_settings.LoadSettings(Folder()), 0);
    const auto pTables = m_settings.SWSettings().Tables();
    ASSERT_EQ(pTables->bypassSids.size(), 2u);
    EXPECT_EQ(FormatSid(pTables->bypassSids[0]), "S-1-5-32-544");
    EXPECT_EQ(pTables->bypassSids[1].nAuthority, 0x1234567890ABu);
    EXPECT_TRUE(trace.Contains("Reading Groups from Global settings got an error 1337 . This group not-a-sid will be ignored"));
}

TEST(Sids, StringFormRoundTripsAndRejectsMalformedText) {
    CSid sid;
    ASSERT_TRUE(ParseSidString("S-1-5-21-3623811015-3361044348-30300820-1013", sid));
    EXPECT_EQ(sid.subAuthorities.size(), 5u);
    EXPECT_EQ(FormatSid(sid), "S-1-5-21-3623811015-3361044348-30300820-1013");
    for (const char* pszBad : {"S-2-5-1", "S-1-5", "S-1-5-", "S-1-5-x", "S-1-281474976710656-1", "X-1-5-1",
                               "S-1-5-4294967296", "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", ""})
        EXPECT_FALSE(ParseSidString(pszBad, sid)) << pszBad;
}

TEST_F(SettingsFiles, LinkCriteriaLiesInCommonFiles) {
    EXPECT_EQ(CHandleSWSettings::LinkCriteriaPath("/X/Kalyxa/Settings/"), "/X/Common Files/Settings/LinkCriteriaSettings.xml");
    EXPECT_EQ(CHandleSWSettings::LinkCriteriaPath("/X/K/Settings/"), "/X/Common Files/Settings/LinkCriteriaSettings.xml");
    EXPECT_EQ(CHandleSWSettings::LinkCriteriaPath("Settings/"), "Settings/LinkCriteriaSettings.xml");
}

TEST_F(SettingsFiles, MissingLinkCriteriaFailsBeforeSwSettingsIsRead) {
    TraceCapture trace;
    Write(SwPath(), SwSettings(Item("1", "10")));
    EXPECT_NE(m_settings.LoadSettings(Folder()), 0);
    EXPECT_TRUE(m_settings.SWSettings().Path().empty()) << "SWSettings.xml was not loaded";
    EXPECT_EQ(Number(1), -77);
    EXPECT_TRUE(trace.Contains("Load LoadLinkCriteria can not find file " + LinkPath().string() + " error 2"));
}

TEST_F(SettingsFiles, MalformedFileKeepsNothingAndSaysWhere) {
    Write(LinkPath(), LINKS);
    Write(SwPath(), "<SETTINGS>\n<GENERALSETTINGS>\n<ITEM ID=\"1\" VALUE=\"x\">\n</SETTINGS>");
    EXPECT_EQ(m_settings.LoadSettings(Folder()), static_cast<HRESULT>(0x80040200u + pugi::status_end_element_mismatch))
        << "the parser's own code";
    EXPECT_EQ(Number(1), -77);
}

TEST_F(SettingsFiles, WellFormedFilesOfAnotherShapeAreMalformed) {
    Write(LinkPath(), LINKS);
    Write(SwPath(), "<OTHER><GENERALSETTINGS><ITEM ID=\"1\" VALUE=\"5\"/></GENERALSETTINGS></OTHER>");
    EXPECT_EQ(m_settings.LoadSettings(Folder()), E_FAIL);
    EXPECT_EQ(Number(1), -77);
    EXPECT_EQ(m_settings.LastFailure(), SwPath().string() + ": the root element is <OTHER>, not <SETTINGS>");
    WriteBoth(SwSettings(Item("1", "10")));
    Write(LinkPath(), "<html><body>not the links</body></html>", 100);
    EXPECT_EQ(m_settings.LoadSettings(Folder()), E_FAIL);

    WriteBoth(SwSettings(Item("1", "10") + Item("81", "0")));
    ASSERT_EQ(m_settings.LoadSettings(Folder()), 0);
    Write(SwPath(), "<OTHER/>");
    Touch(SwPath(), 60);
    bool bChanged = false;
    m_settings.Refresh(bChanged);
    EXPECT_EQ(Number(1), 10) << "a refresh keeps the previous values";
}

TEST_F(SettingsFiles, FailuresNameTheFileAndTheReason) {
    Write(LinkPath(), LINKS);
    Write(SwPath(), "<SETTINGS>\n<GENERALSETTINGS>\n<ITEM ID=\"1\" VALUE=\"x\">\n</SETTINGS>");
    EXPECT_NE(m_settings.LoadSettings(Folder()), 0);
    EXPECT_EQ(m_settings.LastFailure().rfind(SwPath().string() + ": line 4, position ", 0), 0u) << m_settings.LastFailure();
    fs::remove(SwPath());
    ASSERT_EQ(mkfifo(SwPath().c_str(), 0600), 0);
    EXPECT_NE(m_settings.LoadSettings(Folder()), 0) << "a FIFO is refused at once, never waited on";
    EXPECT_EQ(m_settings.LastFailure(), SwPath().string() + ": The data is invalid.");
}

TEST_F(SettingsFiles, NewerFilesAreReloadedOnceTheIntervalHasPassed) {
    WriteBoth(SwSettings(Item("1", "10") + Item("81", "1")));
    ASSERT_EQ(m_settings.LoadSettings(Folder()), 0);
    Write(SwPath(), SwSettings(Item("1", "20") + Item("81", "0")));
    Touch(SwPath(), 60);
    bool bChanged = true;
    EXPECT_EQ(m_settings.Refresh(bChanged), 0);
    EXPECT_FALSE(bChanged) << "a minute has not passed since the load";
    EXPECT_EQ(Number(1), 10);

    WriteBoth(SwSettings(Item("1", "10") + Item("81", "0")));
    CHandleSWSettings settings;
    ASSERT_EQ(settings.LoadSettings(Folder()), 0);
    Write(SwPath(), SwSettings(Item("1", "30") + Item("81", "0")));
    Touch(SwPath(), -3600);
    EXPECT_EQ(settings.Refresh(bChanged), 0);
    EXPECT_FALSE(bChanged) << "an older date is no change";
    Touch(SwPath(), 60);
    EXPECT_EQ(settings.Refresh(bChanged), 0);
    EXPECT_TRUE(bChanged);
    int32_t nValue = 0;
    settings.GetSettingFromID(1, nValue, -1);
    EXPECT_EQ(nValue, 30);
}

TEST_F(SettingsFiles, LinkFileIsLookedAtOnlyWithAChangedSwFile) {
    WriteBoth(SwSettings(Item("81", "0")));
    ASSERT_EQ(m_settings.LoadSettings(Folder()), 0);
    Write(LinkPath(), "<SERVICEWORKERS><SW ID=\"9\" DESCR=\"other\"/></SERVICEWORKERS>");
    Touch(LinkPath(), 60);
    bool bChanged = true;
    m_settings.Refresh(bChanged);
    EXPECT_FALSE(bChanged);
    EXPECT_EQ(m_settings.LinkCriteria().Table()->count(9), 0u);
    Touch(SwPath(), 60);
    m_settings.Refresh(bChanged);
    EXPECT_TRUE(bChanged);
    EXPECT_EQ(m_settings.LinkCriteria().Table()->count(9), 1u);
}

TEST_F(SettingsFiles, MalformedFileAtRefreshKeepsTheValuesUntilItChanges) {
    TraceCapture trace;
    WriteBoth(SwSettings(Item("1", "10") + Item("81", "0")));
    ASSERT_EQ(m_settings.LoadSettings(Folder()), 0);
    Write(SwPath(), "<SETTINGS><GENERALSETTINGS>");
    Touch(SwPath(), 60);
    bool bChanged = false;
    EXPECT_NE(m_settings.Refresh(bChanged), 0);
    EXPECT_EQ(Number(1), 10);
    EXPECT_EQ(m_settings.Refresh(bChanged), 0) << "not tried again while the file is unchanged";
    EXPECT_FALSE(bChanged);
    Write(SwPath(), SwSettings(Item("1", "40") + Item("81", "0")));
    Touch(SwPath(), 120);
    EXPECT_EQ(m_settings.Refresh(bChanged), 0);
    EXPECT_EQ(Number(1), 40);
}

TEST_F(SettingsFiles, SettingSeventyFourZeroStopsRefreshing) {
    WriteBoth(SwSettings(Item("1", "10") + Item("81", "0") + Item("74", "0")));
    ASSERT_EQ(m_settings.LoadSettings(Folder()), 0);
    EXPECT_FALSE(m_settings.IsRefreshEnabled());
    Write(SwPath(), SwSettings(Item("1", "20") + Item("81", "0")));
    Touch(SwPath(), 60);
    bool bChanged = true;
    m_settings.Refresh(bChanged);
    EXPECT_FALSE(bChanged);
    EXPECT_EQ(Number(1), 10);
}

TEST_F(SettingsFiles, ReloadSkippedForABusyLockIsRetried) {
    WriteBoth(SwSettings(Item("1", "10") + Item("81", "0")));
    ASSERT_EQ(m_settings.LoadSettings(Folder()), 0);
    Write(SwPath(), SwSettings(Item("1", "20") + Item("81", "0")));
    Touch(SwPath(), 60);
    bool bChanged = true;
    TraceCapture trace;
    std::thread holder([&] {
        m_settings.ReloadLock().Lock();
        m_settings.Refresh(bChanged);  // the flag is per object: busy even for the holder
        m_settings.ReloadLock().Unlock();
    });
    holder.join();
    EXPECT_FALSE(bChanged);
    EXPECT_EQ(Number(1), 10);
    EXPECT_TRUE(trace.Contains("Refresh was necessary but Critical Section was locked decided to skip the Refresh"));
    m_settings.Refresh(bChanged);
    EXPECT_TRUE(bChanged) << "the change was not lost";
    EXPECT_EQ(Number(1), 20);
}

// The service-worker layer over the fixture's files.
class ServiceWorkerSettings : public CSWGeneralSettings {
public:
    bool InitTroubleEndRequestUrls() override { return true; }
    bool InitHandlerVirDir() override { return true; }
    CHandleSWSettings& Files() { return m_settings; }
};

TEST_F(SettingsFiles, RemovedEwsAddressStopsBeingUsedAfterTheRefresh) {
    ServiceWorkerSettings settings;
    WriteBoth(SwSettings(Item("38", "https://mail.example.test/EWS/Exchange.asmx") + Item("81", "0")));
    ASSERT_EQ(settings.Files().LoadSettings(Folder()), 0);
    settings.InitEWSUrl();
    EXPECT_EQ(settings.EwsUrl(), "https://mail.example.test/EWS/Exchange.asmx");
    Write(SwPath(), SwSettings(Item("81", "0")));
    Touch(SwPath(), 60);
    bool bChanged = false;
    settings.Files().Refresh(bChanged);
    ASSERT_TRUE(bChanged);
    settings.InitEWSUrl();
    EXPECT_EQ(settings.EwsUrl(), "") << "each request's own server is used again";
}

TEST_F(SettingsFiles, ConcurrentLookUpsNeverSeeAPartialTable) {
    auto version = [](int n) {
        return SwSettings(Item("1", std::to_string(n)) + Item("2", std::to_string(n)) + Item("81", "0"));
    };
    WriteBoth(version(0));
    ASSERT_EQ(m_settings.LoadSettings(Folder()), 0);
    std::atomic<bool> bStop{false};
    std::atomic<int> nMismatches{0}, nLookUps{0};
    std::vector<std::thread> readers;
    for (int n = 0; n < 4; ++n)
        readers.emplace_back([&] {
            while (!bStop.load()) {
                const auto pTables = m_settings.SWSettings().Tables();
                const auto it1 = pTables->general.find(1), it2 = pTables->general.find(2);
                if (it1 == pTables->general.end() || it2 == pTables->general.end() || it1->second.value != it2->second.value)
                    ++nMismatches;
                int32_t nValue = 0;
                m_settings.GetSettingFromID(1, nValue, -1);
                ++nLookUps;
            }
        });
    for (int n = 1; n <= 40; ++n) {
        Write(SwPath(), version(n));
        Touch(SwPath(), n);
        bool bChanged = false;
        m_settings.Refresh(bChanged);
    }
    bStop = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(nMismatches.load(), 0);
    EXPECT_GT(nLookUps.load(), 0);
    EXPECT_EQ(Number(1), 40);
}

}  // namespace
