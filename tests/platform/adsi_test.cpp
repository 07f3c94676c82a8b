#include <gtest/gtest.h>

#include "platform/adsi.h"
#include "platform/sid.h"
#include "tests/directory/directory_test_support.h"

namespace {

TEST(AdsiPaths, MalformedPathsAreRefusedWithoutConnecting) {
    std::unique_ptr<IADs> spObject;
    std::unique_ptr<IDirectorySearch> spSearch;
    std::unique_ptr<IADsContainer> spContainer;
    for (const char16_t* pszPath : {u"ldap://rootDSE", u"LDAP:rootDSE", u"LDAP://", u"GC:", u"WinNT://x", u""})
        EXPECT_EQ(ADsGetObject(pszPath, spObject), E_ADS_BAD_PATHNAME) << static_cast<int>(pszPath[0]);
    EXPECT_EQ(ADsGetObject(u"LDAP:", spSearch), E_ADS_BAD_PATHNAME) << "a namespace is no search root";
    EXPECT_EQ(ADsOpenObject(u"LDAP://DC=x", nullptr, nullptr, 0, spContainer), E_ADS_BAD_PATHNAME);
    EXPECT_EQ(ADsOpenObject(u"GC:", nullptr, nullptr, 0, spContainer), S_OK);
}

TEST(SidBytes, RoundTripAndRejectMalformedLengths) {
    CSid sid;
    ASSERT_TRUE(ParseSidString("S-1-5-21-1-2-3-500", sid));
    const std::vector<uint8_t> bytes = SidToBytes(sid);
    ASSERT_EQ(bytes.size(), 8u + 4 * 5);
    CSid back;
    ASSERT_TRUE(SidFromBytes(bytes.data(), bytes.size(), back));
    EXPECT_EQ(FormatSid(back), "S-1-5-21-1-2-3-500");
    EXPECT_FALSE(SidFromBytes(bytes.data(), bytes.size() - 1, back));
    EXPECT_FALSE(SidFromBytes(bytes.data(), 7, back));
    std::vector<uint8_t> tooMany = bytes;
    tooMany[1] = 16;
    EXPECT_FALSE(SidFromBytes(tooMany.data(), tooMany.size(), back));
}

class AdsiSearch : public DirectoryTest {};

TEST_F(AdsiSearch, RowsColumnsAndTheirEnd) {
    std::unique_ptr<IDirectorySearch> spSearch;
    ASSERT_EQ(ADsGetObject(u"LDAP://CN=Users,DC=kalyxa,DC=test", spSearch), S_OK);
    const ADS_SEARCHPREF_INFO badScope{ADS_SEARCHPREF_SEARCH_SCOPE, 7};
    EXPECT_EQ(spSearch->SetSearchPreference(&badScope, 1), E_ADS_BAD_PARAMETER);
    ADS_SEARCH_HANDLE hSearch = nullptr;
    ASSERT_EQ(spSearch->ExecuteSearch(u"(sAMAccountName=rroe)", {u"sAMAccountName", u"objectSid"}, &hSearch), S_OK);
    ASSERT_EQ(spSearch->GetNextRow(hSearch), S_OK) << "the first row";
    std::u16string sName;
    int nColumns = 0;
    while (spSearch->GetNextColumnName(hSearch, sName) == S_OK) ++nColumns;
    EXPECT_EQ(nColumns, 2);
    ADS_SEARCH_COLUMN column;
    ASSERT_EQ(spSearch->GetColumn(hSearch, u"objectSid", &column), S_OK);
    EXPECT_EQ(column.dwADsType, ADSTYPE_OCTET_STRING);
    EXPECT_EQ(column.values.at(0).octets.size(), 28u);
    EXPECT_EQ(spSearch->GetColumn(hSearch, u"displayName", &column), static_cast<HRESULT>(0x80005011));
    EXPECT_EQ(spSearch->GetNextRow(hSearch), S_ADS_NOMORE_ROWS);
    EXPECT_EQ(spSearch->GetNextRow(hSearch), S_ADS_NOMORE_ROWS);
    EXPECT_EQ(spSearch->CloseSearchHandle(hSearch), S_OK);
    EXPECT_NE(spSearch->ExecuteSearch(u"(sAMAccountName=rroe", {}, &hSearch), S_OK) << "a malformed filter";
}

}  // namespace
