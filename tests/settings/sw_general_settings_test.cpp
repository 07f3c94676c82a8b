#include <gtest/gtest.h>

#include "components/redis_cache_store.h"
#include "tests/directory/directory_test_support.h"
#include "tests/settings/sw_settings_support.h"
#include "tests/support/event_capture.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/redis_server.h"
#include "tests/support/trace_capture.h"

namespace {

constexpr const char* GUID = "{11111111-2222-3333-4444-555555555555}";
constexpr DWORD VIEW_TYPE = 0x10;
constexpr DWORD REMINDER = 0x11;

// The users are those of the test directory (tests/data/ldap/directory.ldif).
class SWSettings : public DirectoryTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_settings.InitializeCaches());
        m_settings.Define(VIEW_TYPE, "View Type", "day");
        m_settings.Define(REMINDER, "Reminder On", "0");
        m_server.m_folderProperties["alice@kalyxa.test"][std::string(GUID) + "|View Type"] = "week";
    }
    std::string UserProp(TestSWSettings& settings, DWORD dwId, const std::string& sSession = "s1",
                         bool bInvalidate = false) {
        std::string sValue;
        EXPECT_TRUE(settings.GetUserProp("KALYXA\\alice", dwId, sValue, m_server.Url(), sSession, bInvalidate, "",
                                         false));
        return sValue;
    }

    ComponentsForTest m_components{std::make_shared<CMemoryCacheStore>()};
    TestSWSettings m_settings;
    CFakeEwsServer m_server;
};

TEST(UserNames, QualifiedNamesAreReducedAndMalformedOnesRefused) {
    TestSWSettings settings;
    for (const auto& [sIn, sOut] : std::vector<std::pair<std::string, std::string>>{
             {"KALYXA\\alice", "alice"}, {"alice@kalyxa.test", "alice"}, {"kalyxa/alice", "alice"},
             {"alice@", "alice@"}, {"alice", "alice"}, {"a\\b@c", "b@c"}}) {
        std::string sUser = sIn;
        EXPECT_TRUE(settings.ExtractUserName(sUser)) << sIn;
        EXPECT_EQ(sUser, sOut) << sIn;
    }
    for (const char* pszBad : {"", "KALYXA\\", "kalyxa/"}) {
        std::string sUser = pszBad;
        EXPECT_FALSE(settings.ExtractUserName(sUser)) << pszBad;
    }
}

TEST(SessionIds, UserContextThenSessionIdThenTheUserName) {
    TestSWSettings settings;
    std::string sSession;
    ASSERT_TRUE(settings.GetSessionId("alice", "a=1; UserContext=ctx42; sessionid=abc", sSession));
    EXPECT_EQ(sSession, "ctx42");
    ASSERT_TRUE(settings.GetSessionId("alice", "sessionid=abc", sSession));
    EXPECT_EQ(sSession, "abc");
    ASSERT_TRUE(settings.GetSessionId("alice", "UserContext=; other=1", sSession));
    EXPECT_EQ(sSession, "alice");
    EXPECT_FALSE(settings.GetSessionId("", "sessionid=abc", sSession));
}

TEST_F(SWSettings, DirectoryAttributesAreCachedPerUserAndSession) {
    std::string sValue;
    long nSearches = Directory().CompletedSearches();
    ASSERT_EQ(m_settings.GetADProperty("KALYXA\\jdoe", "UserContext=c1", "displayName", sValue, "", ""), S_OK);
    EXPECT_EQ(sValue, "Jane Doe");
    EXPECT_GT(Directory().CompletedSearches(), nSearches);
    nSearches = Directory().CompletedSearches();
    sValue.clear();
    ASSERT_EQ(m_settings.GetADProperty("jdoe@kalyxa.test", "UserContext=c1", "displayName", sValue, "", ""), S_OK);
    EXPECT_EQ(sValue, "Jane Doe");
    EXPECT_EQ(Directory().CompletedSearches(), nSearches) << "the second read comes from the cache";
    ASSERT_EQ(m_settings.GetADProperty("jdoe", "UserContext=c2", "displayName", sValue, "", ""), S_OK);
    EXPECT_GT(Directory().CompletedSearches(), nSearches) << "another session reads again";
    ASSERT_EQ(m_settings.GetADProperty("", "", "sAMAccountName", sValue, "jane.doe@kalyxa.test", ""), S_OK);
    EXPECT_EQ(sValue, "jdoe") << "found by the mailbox's SMTP address";
    EXPECT_EQ(m_settings.GetADProperty("", "", "displayName", sValue, "jane.doe@kalyxa.test", ""), E_INVALIDARG);
    EXPECT_EQ(m_settings.GetADProperty("KALYXA\\", "", "displayName", sValue, "", ""), E_INVALIDARG);
}

TEST_F(SWSettings, ADirectoryFailureIsReportedWithTheSystemText) {
    EventCapture events;
    std::string sValue;
    EXPECT_EQ(m_settings.GetADProperty("nobody", "", "displayName", sValue, "", ""), E_FAIL);
    EXPECT_TRUE(events.Contains("ERROR: Unspecified error. CSWGeneralSettings::GetADProperty failed to get "
                                "displayName for sUser nobody"));
    const size_t nEvents = events.Count();
    EXPECT_LT(m_settings.GetADProperty("nobody", "", "msExchUserCulture", sValue, "", ""), 0);
    EXPECT_EQ(events.Count(), nEvents) << "a missing culture is no error worth an event";
}

TEST_F(SWSettings, OnlyTwoAttributesAreShared) {
    TraceCapture trace;
    std::string sValue;
    EXPECT_EQ(m_settings.GetSharedADProperty("rroe", 0, "mail", sValue), E_INVALIDARG);
    EXPECT_TRUE(trace.Contains("[CSWGeneralSettings::GetSharedADProperty] ERROR!: Property: mail forbidden to be shared"));
    EXPECT_EQ(m_settings.GetSharedADProperty("", 0, "displayName", sValue), E_INVALIDARG);
    ASSERT_EQ(m_settings.GetSharedADProperty("rroe", 0, "displayName", sValue), S_OK);
    const long nSearches = Directory().CompletedSearches();
    ASSERT_EQ(m_settings.GetSharedADProperty("rroe", 0, "displayName", sValue), S_OK);
    EXPECT_EQ(sValue, "Richard Roe");
    EXPECT_EQ(Directory().CompletedSearches(), nSearches);
}

TEST_F(SWSettings, ThePrimarySmtpAddressIsTheUpperCaseEntry) {
    Directory().Modify("dn: CN=Richard Roe,CN=Users,DC=kalyxa,DC=test\nchangetype: modify\nreplace: proxyAddresses\n"
                       "proxyAddresses: smtp:rr@old.kalyxa.test\nproxyAddresses: SMTP:richard.roe@kalyxa.test\n"
                       "proxyAddresses: X400:c=US;a= ;p=Kalyxa\n");
    std::string sSmtp;
    ASSERT_EQ(m_settings.DetectPrimarSmtpAddress("rroe", "", sSmtp, "", ""), S_OK);
    EXPECT_EQ(sSmtp, "richard.roe@kalyxa.test");
}

// Exchange knows a user by the primary SMTP address (not a secondary
// "smtp:" one), else by mail, else by the principal name; a user with none
// of them costs Exchange nothing.
TEST_F(SWSettings, UsersAreNamedToExchangeByAddressElsePrincipalName) {
    const auto identity = [&](const std::string& sUser) {
        CExchangeIdentity found;
        const HRESULT hr = m_settings.GetExchangeIdentity(sUser, "UserContext=c1", found);
        return hr < 0 ? "hr " + std::to_string(static_cast<unsigned>(hr)) : std::to_string(found.nKind) + " " + found.sName;
    };
    EXPECT_EQ(identity("KALYXA\\alice"), "1 alice@kalyxa.test");
    EXPECT_EQ(identity("EMEA\\bcosta"), "1 bruno.costa@emea.kalyxa.test") << "a user of the forest's second domain";
    EXPECT_EQ(identity("uma"), "2 uma@corp.kalyxa.test");
    Directory().Modify("dn: CN=Mia Mail,CN=Users,DC=kalyxa,DC=test\nchangetype: add\nobjectClass: user\ncn: Mia Mail\n"
                       "sn: Mail\nsAMAccountName: mia\nobjectCategory: person\nmail: mia@kalyxa.test\n"
                       "userPrincipalName: mia@corp.kalyxa.test\nproxyAddresses: smtp:mia.old@kalyxa.test\n\n"
                       "dn: CN=No Name,CN=Users,DC=kalyxa,DC=test\nchangetype: add\nobjectClass: user\ncn: No Name\n"
                       "sn: Name\nsAMAccountName: noname\nobjectCategory: person\n");
    EXPECT_EQ(identity("mia"), "1 mia@kalyxa.test") << "no primary address: mail";
    TraceCapture trace;
    EXPECT_EQ(identity("noname"), "hr " + std::to_string(static_cast<unsigned>(E_ADS_PROPERTY_NOT_FOUND)));
    EXPECT_TRUE(trace.Contains("[CSWGeneralSettings::GetExchangeIdentity] user noname has no primary SMTP address, "
                               "mail or user principal name; Exchange is not asked for this user"));
    std::string sValue = "unchanged";
    EXPECT_TRUE(m_settings.GetUserProp("noname", VIEW_TYPE, sValue, m_server.Url(), "s1", false, "", false));
    EXPECT_EQ(sValue, "day") << "the default";
    EXPECT_TRUE(m_server.Impersonations().empty()) << "not the service account's own mailbox";
    EXPECT_EQ(identity("nobody"), "hr " + std::to_string(static_cast<unsigned>(E_FAIL))) << "no such user";

    // Alice's page language, read with Jane's mailbox open, leaves Alice herself.
    std::string sCulture;
    ASSERT_EQ(m_settings.GetADProperty("KALYXA\\alice", "UserContext=c2", "msExchUserCulture", sCulture,
                                       "jane.doe@kalyxa.test", ""),
              S_OK);
    EXPECT_EQ(sCulture, "fr-CA");
    CExchangeIdentity alice;
    ASSERT_EQ(m_settings.GetExchangeIdentity("KALYXA\\alice", "UserContext=c2", alice), S_OK);
    EXPECT_EQ(alice.sName, "alice@kalyxa.test");
}

// A user's own attributes come in one search; what the user lacks is
// remembered as long as what the user has, and a failed look-up is not.
TEST_F(SWSettings, AbsentAttributesAreRememberedFailuresAreNot) {
    std::string sValue;
    m_settings.GetADProperty("KALYXA\\jdoe", "", "displayName", sValue, "", "");  // the schema is known from now on
    const long nStart = Directory().CompletedSearches();
    for (int n = 0; n < 50; ++n) {
        EXPECT_EQ(m_settings.GetADProperty("KALYXA\\alice", "UserContext=c9", "msExchUserCulture", sValue, "", ""),
                  E_ADS_PROPERTY_NOT_FOUND);
        CExchangeIdentity identity;
        EXPECT_EQ(m_settings.GetExchangeIdentity("KALYXA\\alice", "UserContext=c9", identity), S_OK);
    }
    constexpr long LOOKUP = CSlapdDirectory::SEARCHES_PER_LOOKUP;
    EXPECT_EQ(Directory().CompletedSearches() - nStart, LOOKUP) << "one look-up for every attribute of hers";
    EXPECT_EQ(m_settings.GetADProperty("KALYXA\\alice", "UserContext=c10", "msExchUserCulture", sValue, "", ""),
              E_ADS_PROPERTY_NOT_FOUND);
    EXPECT_EQ(Directory().CompletedSearches() - nStart, 2 * LOOKUP) << "another session is another cache entry";
    const long nBefore = Directory().CompletedSearches();
    EXPECT_EQ(m_settings.GetADProperty("nobody", "UserContext=c9", "msExchUserCulture", sValue, "", ""), E_FAIL);
    EXPECT_EQ(m_settings.GetADProperty("nobody", "UserContext=c9", "msExchUserCulture", sValue, "", ""), E_FAIL);
    EXPECT_EQ(Directory().CompletedSearches() - nBefore, 2 * LOOKUP) << "no user is no answer: asked again";
}

TEST_F(SWSettings, UserPropertiesComeFromExchangeThenTheCacheUntilInvalidated) {
    EXPECT_EQ(UserProp(m_settings, VIEW_TYPE), "week");
    EXPECT_EQ(m_server.Requests("GetFolder"), 1);
    EXPECT_EQ(m_server.LastImpersonated(), "alice@kalyxa.test") << "her primary address, not her account name";
    EXPECT_EQ(UserProp(m_settings, REMINDER), "0") << "a property Exchange lacks has its default";
    EXPECT_EQ(UserProp(m_settings, VIEW_TYPE), "week");
    EXPECT_EQ(m_server.Requests("GetFolder"), 1) << "both came from the cached XML";
    m_server.m_folderProperties["alice@kalyxa.test"][std::string(GUID) + "|View Type"] = "month";
    m_settings.InvalidateUserProp("alice", VIEW_TYPE, "s1");
    EXPECT_EQ(UserProp(m_settings, REMINDER), "0");
    EXPECT_EQ(m_server.Requests("GetFolder"), 1) << "only the invalidated property is gone";
    EXPECT_EQ(UserProp(m_settings, VIEW_TYPE), "month");
    EXPECT_EQ(m_server.Requests("GetFolder"), 2);
    EXPECT_EQ(UserProp(m_settings, VIEW_TYPE, "s1", true), "month");
    EXPECT_EQ(m_server.Requests("GetFolder"), 3) << "invalidate asks Exchange again";
    EXPECT_TRUE(m_server.ShapeErrors().empty());
}

TEST_F(SWSettings, APropertyWithoutDefinitionStillAsksExchange) {
    TraceCapture trace;
    std::string sValue = "unchanged";
    EXPECT_TRUE(m_settings.GetUserProp("alice", 0x99, sValue, m_server.Url(), "s1", false, "", false));
    EXPECT_TRUE(trace.Contains("[CSWGeneralSettings::GetUserProp] Warning!: No defaults for Property Id: 0x99."));
    EXPECT_EQ(m_server.Requests("GetFolder"), 1);
    EXPECT_EQ(sValue, "unchanged");
}

TEST_F(SWSettings, ExchangeUnavailableGivesTheDefault) {
    m_server.SetMode(CFakeEwsServer::Mode::SERVER_ERROR);
    EXPECT_EQ(UserProp(m_settings, VIEW_TYPE), "day");
    m_server.SetMode(CFakeEwsServer::Mode::NORMAL);
    EXPECT_EQ(UserProp(m_settings, VIEW_TYPE), "week") << "a failure is not cached";
}

TEST_F(SWSettings, PropertyXmlWithBlanksInNames) {
    std::vector<CUserPropertyDefinition> definitions = m_settings.UserPropertyDefinitions();
    std::string sXml;
    m_settings.BuildXMLProperties(sXml, definitions);
    EXPECT_EQ(sXml, "<SETTINGS><View Type>day</View Type><Reminder On>0</Reminder On></SETTINGS>");
    definitions[0].sDefaultValue = "week";
    m_settings.BuildXMLProperties(sXml, definitions);
    EXPECT_EQ(sXml, "<SETTINGS><View Type>week</View Type><Reminder On>0</Reminder On></SETTINGS>");
    ASSERT_TRUE(m_settings.RemovePropertyFromXML(sXml, definitions, VIEW_TYPE));
    EXPECT_EQ(sXml, "<SETTINGS><Reminder On>0</Reminder On></SETTINGS>");
    EXPECT_FALSE(m_settings.FindPropertyInXML(sXml, definitions, VIEW_TYPE));
    m_settings.BuildXMLProperties(sXml, definitions);  // a missing element goes before the end
    EXPECT_EQ(sXml, "<SETTINGS><Reminder On>0</Reminder On><View Type>week</View Type></SETTINGS>");
    definitions[0].sDefaultValue.clear();
    ASSERT_TRUE(m_settings.FindPropertyInXML(sXml, definitions, VIEW_TYPE));
    EXPECT_EQ(definitions[0].sDefaultValue, "week");
    EventCapture events;
    EXPECT_FALSE(m_settings.RemovePropertyFromXML(sXml, definitions, 0x77));
    EXPECT_TRUE(events.Contains("RemovePropertyFromXML didn't find the item 119"));
    std::string sShort = "<S/>";
    m_settings.BuildXMLProperties(sShort, definitions);
    EXPECT_EQ(sShort, "<S/>");
    EXPECT_TRUE(events.Contains("User Property wasn't updated. BuildXMLProperties got an invalid XML <S/>"));
}

class SharedUserProperties : public SWSettings {
protected:
    std::shared_ptr<CRedisCacheStore> Store() {
        CRedisAddress address;
        CRedisAddress::Parse(m_redis.Uri(), address);
        return std::make_shared<CRedisCacheStore>(address, 200);
    }
    CRedisServer m_redis;
};

TEST_F(SharedUserProperties, TwoWorkersOnRedisSeeEachOthersInvalidation) {
    // Two workers: each its own store object over the same Redis.
    auto spFirstStore = Store(), spSecondStore = Store();
    TestSWSettings second;
    second.Define(VIEW_TYPE, "View Type", "day");
    second.Define(REMINDER, "Reminder On", "0");
    {
        ComponentsForTest components(spFirstStore);
        ASSERT_TRUE(m_settings.InitializeCaches());
        EXPECT_EQ(UserProp(m_settings, VIEW_TYPE), "week");
    }
    EXPECT_EQ(m_server.Requests("GetFolder"), 1);
    {
        ComponentsForTest components(spSecondStore);
        ASSERT_TRUE(second.InitializeCaches());
        EXPECT_EQ(UserProp(second, VIEW_TYPE), "week");
        EXPECT_EQ(m_server.Requests("GetFolder"), 1) << "the second worker found the first one's cache entry";
        m_server.m_folderProperties["alice@kalyxa.test"][std::string(GUID) + "|View Type"] = "month";
        second.InvalidateUserProp("alice", VIEW_TYPE, "s1");
    }
    {
        ComponentsForTest components(spFirstStore);
        EXPECT_EQ(UserProp(m_settings, VIEW_TYPE), "month");
        EXPECT_EQ(m_server.Requests("GetFolder"), 2);
        m_redis.Kill();
        std::string sValue;
        m_settings.GetUserProp("alice", VIEW_TYPE, sValue, m_server.Url(), "s1", false, "", false);
        EXPECT_EQ(sValue, "month") << "without Redis every read goes to Exchange";
        EXPECT_EQ(m_server.Requests("GetFolder"), 3);
    }
}

// Two workers on one Redis share what they learnt of each user, and a
// value one user lacks is no other user's, even with the same session text.
TEST_F(SharedUserProperties, WhatOneUserLacksIsNoOneElses) {
    auto spFirstStore = Store(), spSecondStore = Store();
    TestSWSettings second;
    std::string sValue;
    {
        ComponentsForTest components(spFirstStore);
        ASSERT_TRUE(m_settings.InitializeCaches());
        EXPECT_EQ(m_settings.GetADProperty("KALYXA\\alice", "UserContext=same", "msExchUserCulture", sValue, "", ""),
                  E_ADS_PROPERTY_NOT_FOUND);
    }
    ComponentsForTest components(spSecondStore);
    ASSERT_TRUE(second.InitializeCaches());
    const long nSearches = Directory().CompletedSearches();
    EXPECT_EQ(second.GetADProperty("KALYXA\\alice", "UserContext=same", "msExchUserCulture", sValue, "", ""),
              E_ADS_PROPERTY_NOT_FOUND);
    EXPECT_EQ(Directory().CompletedSearches(), nSearches) << "the first worker's answer";
    ASSERT_EQ(second.GetADProperty("KALYXA\\jdoe", "UserContext=same", "msExchUserCulture", sValue, "", ""), S_OK);
    EXPECT_EQ(sValue, "fr-CA");
}

}  // namespace
