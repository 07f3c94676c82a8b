// The directory client of this build against the test directory that ctest
// started (tests/support/slapd-fixture.sh): programs that cannot start slapd
// themselves, the Windows ones under wine, find its address in a file. They
// bind with a bind file (wine's Negotiate without credentials crashes).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/adsi.h"
#include "platform/file_io.h"
#include "platform/utf.h"

namespace {

class DirectoryClient : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::ifstream file(KX_DIRECTORY_FIXTURE "/uri");
        std::getline(file, s_sUri);
        ASSERT_EQ(s_sUri.rfind("ldap://127.0.0.1:", 0), 0u) << "the fixture wrote no address";
        const std::string sBindFile = (std::filesystem::temp_directory_path() / "kx-directory-bind").string();
        CPlatformFile bind;
        ASSERT_EQ(bind.Open(sBindFile, true), PrivateAccess::READY);
        const std::string sText = "binddn=CN=admin,DC=kalyxa,DC=test\npassword=kalyxa-test-admin\n";
        ASSERT_EQ(bind.WriteAt(sText.data(), sText.size(), 0), sText.size());
        static std::string s_sSetting = "QV_LDAP_BIND_FILE=" + sBindFile;
        putenv(s_sSetting.data());
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
