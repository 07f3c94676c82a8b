// The directory client of the Windows build against the test directory that
// ctest started.
#include <gtest/gtest.h>

#include <string>

#include "platform/adsi.h"
#include "platform/utf.h"
#include "tests/support/slapd_directory.h"

namespace {

class DirectoryClient : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static CSlapdDirectory s_directory;
        s_directory.ServeThisProcess();
        s_sUri = s_directory.Uri();
    }
    static std::u16string Path(const std::string& sDn) {
        return Utf8ToUtf16("LDAP://" + s_sUri.substr(7) + "/" + sDn);
    }
    static std::string s_sUri;
};
std::string DirectoryClient::s_sUri;

TEST_F(DirectoryClient, SearchesGiveRowsAndColumnsOfTheSchemasTypes) {
    std::unique_ptr<IDirectorySearch> spSearch;
    ASSERT_EQ(ADsGetObject(Path("CN=Users,DC=kalyxa,DC=test"), spSearch), S_OK);
    ADS_SEARCH_HANDLE hSearch = nullptr;
    ASSERT_EQ(spSearch->ExecuteSearch(u"(sAMAccountName=rroe)", {u"sAMAccountName", u"objectSid", u"mail"}, &hSearch),
              S_OK);
    ASSERT_EQ(spSearch->GetNextRow(hSearch), S_OK);
    ADS_SEARCH_COLUMN column;
    ASSERT_EQ(spSearch->GetColumn(hSearch, u"sAMAccountName", &column), S_OK);
    EXPECT_EQ(column.dwADsType, ADSTYPE_CASE_IGNORE_STRING);
    ASSERT_EQ(column.values.size(), 1u);
    EXPECT_EQ(column.values[0].sText, u"rroe");
    ASSERT_EQ(spSearch->GetColumn(hSearch, u"objectSid", &column), S_OK);
    EXPECT_EQ(column.dwADsType, ADSTYPE_OCTET_STRING);
    EXPECT_EQ(column.values.at(0).octets.size(), 28u);
    EXPECT_EQ(spSearch->GetNextRow(hSearch), S_ADS_NOMORE_ROWS);
    EXPECT_EQ(spSearch->CloseSearchHandle(hSearch), S_OK);
    EXPECT_NE(spSearch->ExecuteSearch(u"(sAMAccountName=rroe", {}, &hSearch), S_OK) << "a malformed filter";
}

TEST_F(DirectoryClient, RefusedCredentialsAndAnAbsentServerAreWin32Errors) {
    std::unique_ptr<IADs> spObject;
    EXPECT_EQ(ADsOpenObject(Path("DC=kalyxa,DC=test"), u"CN=admin,DC=kalyxa,DC=test", u"wrong", 0, spObject),
              HResultFromWin32(ERROR_LOGON_FAILURE));
    // A port nothing listens on: the connection is refused at once.
    EXPECT_EQ(ADsOpenObject(u"LDAP://127.0.0.1:1/DC=kalyxa,DC=test", nullptr, nullptr, 0, spObject),
              HResultFromWin32(ERROR_DS_SERVER_DOWN));
    DWORD dwError = 0;
    std::u16string sText, sProvider;
    ADsGetLastError(&dwError, sText, sProvider);
    EXPECT_EQ(dwError, ERROR_DS_SERVER_DOWN);
    EXPECT_EQ(sProvider, u"LDAP Provider");
}

}  // namespace
