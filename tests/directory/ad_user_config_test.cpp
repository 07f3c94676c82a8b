#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <cstdio>

#include "directory/ad_user_config.h"
#include "platform/utf.h"
#include "tests/directory/directory_test_support.h"
#include "tests/support/trace_capture.h"

namespace {

class UserLookup : public DirectoryTest {
protected:
    // The attribute of the user with that identifier; the HRESULT on failure.
    static std::string Lookup(const std::string& sId, DWORD dwKind, const std::string& sAttribute) {
        CADUserConfig user;
        user.SetFilter(sId, dwKind);
        std::string sText;
        const HRESULT hr = user.GetProperty(sAttribute, sText);
        return hr == S_OK ? sText : "hr " + std::to_string(static_cast<unsigned>(hr));
    }
};

constexpr const char* JANE_SID = "S-1-5-21-1004336348-1177238915-682003330-1105";
constexpr const char* RICHARD_SID = "S-1-5-21-1004336348-1177238915-682003330-1106";
constexpr const char* RICHARD_MASTER_SID = "S-1-5-21-3623811015-3361044348-30300820-2201";
// "M/D/YYYY h:mm:ss AM" or "... PM".
bool IsDateTime(const std::string& sText) {
    int nMonth = 0, nDay = 0, nYear = 0, nHour = 0, nMinute = 0, nSecond = 0, nEnd = 0;
    char szHalf[3] = {};
    return std::sscanf(sText.c_str(), "%d/%d/%d %d:%2d:%2d %2s%n", &nMonth, &nDay, &nYear, &nHour, &nMinute, &nSecond,
                       szHalf, &nEnd) == 7 &&
           static_cast<size_t>(nEnd) == sText.size() && nMonth >= 1 && nMonth <= 12 && nYear >= 1601 &&
           (std::string(szHalf) == "AM" || std::string(szHalf) == "PM");
}

const std::string NOT_FOUND = "hr " + std::to_string(0x80004005u);
const std::string ABSENT = "hr " + std::to_string(static_cast<unsigned>(E_ADS_PROPERTY_NOT_FOUND));

TEST_F(UserLookup, FindsAUserByEachKindOfIdentifier) {
    EXPECT_EQ(Lookup("jdoe@kalyxa.test", CADUserConfig::ID_USER_PRINCIPAL_NAME, "displayName"), "Jane Doe");
    EXPECT_EQ(Lookup("Jane Doe", CADUserConfig::ID_NAME, "displayName"), "Jane Doe");
    EXPECT_EQ(Lookup("JANE.DOE@kalyxa.test", CADUserConfig::ID_SMTP_ADDRESS, "displayName"), "Jane Doe");
    EXPECT_EQ(Lookup("/o=Quorvane/ou=First Administrative Group/cn=Recipients/cn=jdoe",
                     CADUserConfig::ID_LEGACY_EXCHANGE_DN, "displayName"),
              "Jane Doe");
    EXPECT_EQ(Lookup("/o=Old Org/ou=First/cn=Recipients/cn=jdoe", CADUserConfig::ID_X500_ADDRESS, "displayName"),
              "Jane Doe");
    EXPECT_EQ(Lookup(JANE_SID, CADUserConfig::ID_SID, "displayName"), "Jane Doe");
    EXPECT_EQ(Lookup(JANE_SID, CADUserConfig::ID_SID_OR_MASTER_ACCOUNT_SID, "displayName"), "Jane Doe");
    EXPECT_EQ(Lookup("jdoe", CADUserConfig::ID_ACCOUNT_NAME, "displayName"), "Jane Doe");
    EXPECT_EQ(Lookup("jdoe", 42, "displayName"), "Jane Doe") << "any other kind is the account name";
}

TEST_F(UserLookup, SidOrMasterAccountSidMatchesEither) {
    EXPECT_EQ(Lookup(RICHARD_SID, CADUserConfig::ID_SID_OR_MASTER_ACCOUNT_SID, "sAMAccountName"), "rroe");
    EXPECT_EQ(Lookup(RICHARD_MASTER_SID, CADUserConfig::ID_SID_OR_MASTER_ACCOUNT_SID, "sAMAccountName"), "rroe");
    EXPECT_EQ(Lookup(RICHARD_MASTER_SID, CADUserConfig::ID_SID, "sAMAccountName"), NOT_FOUND);
}

TEST_F(UserLookup, ValuesAreRenderedByTheirKind) {
    EXPECT_EQ(Lookup("jdoe", 8, "proxyAddresses"),
              "SMTP:jane.doe@kalyxa.test;smtp:jdoe@kalyxa.test;X500:/o=Old Org/ou=First/cn=Recipients/cn=jdoe");
    EXPECT_EQ(Lookup("jdoe", 8, "objectSID"), JANE_SID);
    EXPECT_EQ(Lookup("jdoe", 8, "objectGUID"), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(Lookup("jdoe", 8, "accountExpires"), "  Never Expires");
    EXPECT_EQ(Lookup("jdoe", 8, "msExchHideFromAddressLists"), "FALSE");
    EXPECT_EQ(Lookup("jdoe", 8, "userAccountControl"), "512");
    EXPECT_EQ(Lookup("jdoe", 8, "msExchUserCulture"), "fr-CA");
    EXPECT_TRUE(IsDateTime(Lookup("jdoe", 8, "pwdLastSet"))) << Lookup("jdoe", 8, "pwdLastSet");
    EXPECT_TRUE(IsDateTime(Lookup("jdoe", 8, "whenCreated"))) << Lookup("jdoe", 8, "whenCreated");
    EXPECT_EQ(Lookup("rroe", 8, "msExchUserCulture"), ABSENT) << "a user without the attribute is not no user";
}

TEST_F(UserLookup, TheWholeForestIsSearchedAndEachUserIsOnePerson) {
    EXPECT_EQ(Lookup("bcosta", CADUserConfig::ID_ACCOUNT_NAME, "msExchUserCulture"), "de-DE") << "the second domain";
    EXPECT_EQ(Lookup("bruno.costa@emea.kalyxa.test", CADUserConfig::ID_SMTP_ADDRESS, "legacyExchangeDN"),
              "/o=Quorvane/ou=Exchange Administrative Group (FYDIBOHF23SPDLT)/cn=Recipients/cn=bcosta");
    EXPECT_EQ(Lookup("jdoe", CADUserConfig::ID_ACCOUNT_NAME, "displayName"), "Jane Doe") << "the first domain";

    Directory().Modify("dn: CN=Jane Doe,CN=Users,DC=emea,DC=kalyxa,DC=test\nchangetype: add\nobjectClass: user\n"
                       "cn: Jane Doe\nsn: Doe\nsAMAccountName: jdoe\nobjectCategory: person\nmsExchUserCulture: pt-PT\n",
                       CSlapdDirectory::SECOND_DOMAIN);
    EXPECT_EQ(Lookup("jdoe", CADUserConfig::ID_ACCOUNT_NAME, "msExchUserCulture"),
              "hr " + std::to_string(static_cast<unsigned>(E_ADS_USER_NOT_UNIQUE)))
        << "an account name in two domains names nobody, not both";
    EXPECT_EQ(Lookup("jane.doe@kalyxa.test", CADUserConfig::ID_SMTP_ADDRESS, "msExchUserCulture"), "fr-CA");
    Directory().Modify("dn: CN=Jane Doe,CN=Users,DC=emea,DC=kalyxa,DC=test\nchangetype: delete\n",
                       CSlapdDirectory::SECOND_DOMAIN);
}

TEST_F(UserLookup, SeveralAttributesInOneSearch) {
    CADUserConfig user;
    user.SetFilter("rroe", CADUserConfig::ID_ACCOUNT_NAME);
    CUserAttributeTexts texts;
    Lookup("jdoe", CADUserConfig::ID_ACCOUNT_NAME, "displayName");  // the schema is known from now on
    const long nBefore = Directory().CompletedSearches();
    ASSERT_EQ(user.GetProperties({"msExchUserCulture", "proxyAddresses", "mail", "userPrincipalName"}, texts), S_OK);
    EXPECT_EQ(Directory().CompletedSearches() - nBefore, CSlapdDirectory::SEARCHES_PER_LOOKUP) << "one look-up";
    EXPECT_EQ(texts, (CUserAttributeTexts{{"proxyAddresses", "SMTP:richard.roe@kalyxa.test"},
                                          {"userPrincipalName", "rroe@kalyxa.test"}}));
    std::string sText;
    EXPECT_EQ(user.GetProperty("mail", sText), E_ADS_PROPERTY_NOT_FOUND);
    EXPECT_EQ(Directory().CompletedSearches() - nBefore, CSlapdDirectory::SEARCHES_PER_LOOKUP)
        << "absent values are remembered by the object";

    CADUserConfig nobody;
    nobody.SetFilter("nobody", CADUserConfig::ID_ACCOUNT_NAME);
    EXPECT_EQ(nobody.GetProperties({"mail"}, texts), E_FAIL);
}

TEST_F(UserLookup, NoMatchingUserIsEFail) {
    TraceCapture trace;
    EXPECT_EQ(Lookup("nobody", 8, "displayName"), NOT_FOUND);
    EXPECT_TRUE(trace.Contains("CADUserConfig::FindUsers (&(objectClass=user)(objectCategory=person)(sAMAccountName="
                               "nobody)) hr:0x80004005 Count = 0 Error! No property was found"));
}

TEST_F(UserLookup, IdentifiersCannotChangeTheFilter) {
    EXPECT_EQ(Lookup("*)(sAMAccountName=*", 8, "sAMAccountName"), NOT_FOUND);
    EXPECT_EQ(Lookup("*", 8, "sAMAccountName"), NOT_FOUND);
    EXPECT_EQ(Lookup("jdoe)(|(sAMAccountName=*", 8, "sAMAccountName"), NOT_FOUND);
    EXPECT_EQ(Lookup("*@kalyxa.test", CADUserConfig::ID_SMTP_ADDRESS, "sAMAccountName"), NOT_FOUND);
    EXPECT_EQ(EscapeFilterValue(std::string("a*b(c)d\\e", 9) + '\0'), "a\\2ab\\28c\\29d\\5ce\\00");
}

TEST_F(UserLookup, ASecondRequestIsAnsweredFromTheCache) {
    CADUserConfig user;
    user.SetFilter("jdoe", 8);
    std::string sFirst, sSecond;
    ASSERT_EQ(user.GetProperty("legacyExchangeDN", sFirst), S_OK);
    const long nBefore = Directory().CompletedSearches();
    ASSERT_EQ(user.GetProperty("legacyExchangeDN", sSecond), S_OK);
    EXPECT_EQ(Directory().CompletedSearches(), nBefore) << "no directory traffic";
    EXPECT_EQ(sSecond, sFirst);
    ASSERT_EQ(user.GetProperty("displayName", sSecond), S_OK);
    const long nAfter = Directory().CompletedSearches();
    EXPECT_EQ(nAfter - nBefore, CSlapdDirectory::SEARCHES_PER_LOOKUP) << "one look-up: the schema is known";
}

TEST_F(UserLookup, AThousandsOfValuesAttributeIsReadWhole) {
    std::string sLdif = "dn: CN=Big List,CN=Users,DC=kalyxa,DC=test\nchangetype: add\nobjectClass: user\n"
                        "cn: Big List\nsn: List\nsAMAccountName: biglist\nobjectCategory: person\n";
    for (int n = 0; n < 3000; ++n) sLdif += "proxyAddresses: smtp:list" + std::to_string(n) + "@kalyxa.test\n";
    Directory().Modify(sLdif);
    const std::string sText = Lookup("biglist", 8, "proxyAddresses");
    EXPECT_EQ(std::count(sText.begin(), sText.end(), ';'), 2999);
    EXPECT_NE(sText.find("smtp:list2999@kalyxa.test"), std::string::npos);
}

TEST_F(UserLookup, EmptyAndMalformedBinaryValuesAddNothing) {
    Directory().Modify("dn: CN=Odd Values,CN=Users,DC=kalyxa,DC=test\nchangetype: add\nobjectClass: user\n"
                       "cn: Odd Values\nsn: Values\nsAMAccountName: odd\nobjectCategory: person\n"
                       "objectSid:\nobjectGUID:: AQIDBAU=\n");
    EXPECT_EQ(Lookup("odd", 8, "objectSid"), "") << "an empty SID";
    EXPECT_EQ(Lookup("odd", 8, "objectGUID"), "") << "five bytes are no GUID";
}

TEST_F(UserLookup, TheNamingContextPathAndItsFallback) {
    CADUserConfig user(CADUserConfig::AS_PROCESS);
    user.m_bUseNamingContext = true;
    user.SetFilter("jdoe", 8);
    std::string sText;
    ASSERT_EQ(user.ReadDefaultNamingContext(), S_OK);
    EXPECT_EQ(user.m_sDefaultNamingContext, u"DC=kalyxa,DC=test");
    user.m_sDefaultNamingContext.clear();
    EXPECT_EQ(user.GetProperty("sAMAccountName", sText), S_OK);
    EXPECT_EQ(sText, "jdoe");
    EXPECT_EQ(CADUserConfig::s_dwLearnedConfigurationType.load(), CADUserConfig::AS_PROCESS);
    CADUserConfig::s_dwLearnedConfigurationType = CADUserConfig::NOT_LEARNED;

    TraceCapture trace;
    CADUserConfig missing;
    missing.m_bUseNamingContext = true;
    missing.m_sDomainController = u"127.0.0.1:1";
    missing.SetFilter("jdoe", 8);
    EXPECT_NE(missing.GetProperty("sAMAccountName", sText), S_OK);
    EXPECT_TRUE(trace.Contains("ReadProperties couldn't open AD connection ReadDefaultNamingContext 0x8007203a "
                               "ConfigType: 0"));
    EXPECT_TRUE(trace.Contains("ReadProperties couldn't open AD connection ReadDefaultNamingContext 0x8007203a "
                               "ConfigType: 1"))
        << "the other identity is tried";
}

TEST_F(UserLookup, ADroppedConnectionIsAnError) {
    TraceCapture trace;
    MisbehavingPeer peer(false);
    CADUserConfig user;
    user.m_sDomainController = Utf8ToUtf16(peer.HostPort());
    user.SetFilter("jdoe", 8);
    std::string sText;
    EXPECT_EQ(user.GetProperty("displayName", sText), static_cast<HRESULT>(0x8007203A));
    EXPECT_TRUE(sText.empty());
}

TEST_F(UserLookup, ASilentDirectoryIsAskedOncePerRetryPeriod) {
    ::setenv("QV_LDAP_TIMEOUT", "1", 1);
    MisbehavingPeer peer(/*bHang=*/true);
    auto lookUp = [&] {
        CADUserConfig user;
        user.m_sDomainController = Utf8ToUtf16(peer.HostPort());
        user.SetFilter("jdoe", 8);
        std::string sText;
        return user.GetProperty("displayName", sText);
    };
    const HRESULT hrFirst = lookUp();
    EXPECT_NE(hrFirst, S_OK);
    const int nAfterFirst = peer.Connections();
    EXPECT_GE(nAfterFirst, 1);
    EXPECT_EQ(lookUp(), hrFirst) << "the same error, at once";
    EXPECT_EQ(peer.Connections(), nAfterFirst) << "not asked again within the retry period";
    ::setenv("QV_LDAP_RETRY_SECONDS", "0", 1);
    EXPECT_EQ(lookUp(), hrFirst);
    EXPECT_GT(peer.Connections(), nAfterFirst) << "asked again once the period is over";
    ::unsetenv("QV_LDAP_RETRY_SECONDS");
    ::setenv("QV_LDAP_TIMEOUT", "2", 1);
}

TEST_F(UserLookup, TheBindFileMustBeTheOwnersAloneAndComplete) {
    const std::string sFile = "/tmp/kx-bind-" + std::to_string(::getpid());
    std::ofstream(sFile) << "binddn=CN=admin,DC=kalyxa,DC=test\npassword=kalyxa-test-admin\n";
    ::setenv("QV_LDAP_BIND_FILE", sFile.c_str(), 1);
    ::chmod(sFile.c_str(), 0644);
    EXPECT_EQ(Lookup("jdoe", 8, "sAMAccountName"), "hr " + std::to_string(0x80070005u)) << "readable by others";
    ::chmod(sFile.c_str(), 0600);
    EXPECT_EQ(Lookup("jdoe", 8, "sAMAccountName"), "jdoe");
    std::ofstream(sFile) << "binddn=CN=admin,DC=kalyxa,DC=test\npassword=wrong\n";
    EXPECT_EQ(Lookup("jdoe", 8, "sAMAccountName"), "hr " + std::to_string(0x8007052Eu));
    std::ofstream(sFile) << "";
    EXPECT_EQ(Lookup("jdoe", 8, "sAMAccountName"), "hr " + std::to_string(0x80070005u))
        << "an empty bind file never means an anonymous bind";
    ::unlink(sFile.c_str());
    ASSERT_EQ(::mkfifo(sFile.c_str(), 0600), 0);
    EXPECT_EQ(Lookup("jdoe", 8, "sAMAccountName"), "hr " + std::to_string(0x80070005u)) << "a FIFO, at once";
    ::unsetenv("QV_LDAP_BIND_FILE");
    ::unlink(sFile.c_str());
}

}  // namespace
