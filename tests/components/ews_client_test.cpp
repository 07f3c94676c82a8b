#include <gtest/gtest.h>

#include <chrono>

#include "base/win_errors.h"
#include "components/exchange_access_component.h"
#include "components/kx_exchange_access_component.h"
#include "tests/support/fake_ews_server.h"

namespace {

using Mode = CFakeEwsServer::Mode;

class EwsClient : public ::testing::Test {
protected:
    void SetUp() override {
        m_server.m_items["AAMkEws1"] = {true, 15};
        m_server.m_owaToEws["RgAAAAOwa1"] = "AAMkEws1";
        m_server.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"},
                                                        {"enablereminders", "True"}};
        m_options.nConnectTimeoutMs = 1000;
        m_options.nTimeoutMs = 1000;
        m_options.cbMaxAnswer = 64 * 1024;
    }
    std::unique_ptr<CKXExchangeAccessComponent> Connected() {
        auto spAccess = std::make_unique<CKXExchangeAccessComponent>(m_options, CEwsCredentials{});
        EXPECT_EQ(spAccess->InitConnection(2, Utf16(m_server.Url()), u"", u"", u"", u""), S_OK);
        EXPECT_EQ(spAccess->SetServerVersion(8), S_OK);
        return spAccess;
    }
    static std::u16string Utf16(const std::string& sText) { return std::u16string(sText.begin(), sText.end()); }
    std::string ErrorOf(IErrorSource& source) {
        std::u16string sText;
        source.GetErrorInfo(sText);
        return std::string(sText.begin(), sText.end());
    }

    CFakeEwsServer m_server;
    CEwsTransportOptions m_options;
};

TEST_F(EwsClient, ReadsAndWritesAReminder) {
    auto spAccess = Connected();
    VARIANT_BOOL bSet = VARIANT_FALSE, bSuccess = VARIANT_FALSE;
    long nMinutes = 0;
    ASSERT_EQ(spAccess->GetMeetingReminderItem(u"AAMkEws1", bSet, nMinutes, bSuccess), S_OK);
    EXPECT_EQ(bSuccess, VARIANT_TRUE);
    EXPECT_EQ(bSet, VARIANT_TRUE);
    EXPECT_EQ(nMinutes, 15);
    ASSERT_EQ(spAccess->SetMeetingReminderItem(u"AAMkEws1", std::u16string(40, u'C'), VARIANT_FALSE, u"30", bSuccess),
              S_OK);
    EXPECT_EQ(bSuccess, VARIANT_TRUE);
    EXPECT_FALSE(m_server.m_items["AAMkEws1"].bReminderSet);
    EXPECT_EQ(m_server.m_items["AAMkEws1"].nMinutes, 30);
    EXPECT_EQ(spAccess->SetMeetingReminderItem(u"AAMkEws1", u"", VARIANT_TRUE, u"15; drop", bSuccess), E_INVALIDARG);
    EXPECT_EQ(m_server.Requests("UpdateItem"), 1) << "bad minutes never reach Exchange";
    EXPECT_TRUE(m_server.ShapeErrors().empty());
}

// The component acts as the user it is told to impersonate, by address or
// principal name, and asks for another mailbox's folders as that user.
TEST_F(EwsClient, ConvertsIdsAndReadsUserConfigurationAsTheUser) {
    m_server.m_mailboxConfigurations["bob@kalyxa.test"]["OWA.UserOptions"] = {{"timezone", "Tokyo Standard Time"}};
    auto spAccess = Connected();
    ASSERT_EQ(spAccess->Impersonate(IMPERSONATE_SMTP_ADDRESS, u"alice@kalyxa.test"), S_OK);
    VARIANT_BOOL bSuccess = VARIANT_FALSE;
    std::vector<std::u16string> ids;
    ASSERT_EQ(spAccess->ConvertIdOwaToEws(u"RgAAAAOwa1", u"alice@kalyxa.test", ids, bSuccess), S_OK);
    EXPECT_EQ(bSuccess, VARIANT_TRUE);
    EXPECT_EQ(ids, std::vector<std::u16string>{u"AAMkEws1"});
    UserConfigValues values;
    ASSERT_EQ(spAccess->GetOwaUserConfiguration(u"OWA.UserOptions", -1, values, bSuccess), S_OK);
    EXPECT_EQ(bSuccess, VARIANT_TRUE);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].second, u"W. Europe Standard Time");
    ASSERT_EQ(spAccess->SetMailbox(u"bob@kalyxa.test"), S_OK);
    ASSERT_EQ(spAccess->GetOwaUserConfiguration(u"OWA.UserOptions", -1, values, bSuccess), S_OK);
    EXPECT_EQ(values, (UserConfigValues{{u"timezone", u"Tokyo Standard Time"}})) << "Bob's mailbox, asked by Alice";
    ASSERT_EQ(spAccess->Impersonate(IMPERSONATE_PRINCIPAL_NAME, u"uma@corp.kalyxa.test"), S_OK);
    VARIANT_BOOL bSet = VARIANT_FALSE;
    long nMinutes = 0;
    ASSERT_EQ(spAccess->GetMeetingReminderItem(u"AAMkEws1", bSet, nMinutes, bSuccess), S_OK);
    EXPECT_EQ(m_server.Impersonations(),
              (std::vector<std::string>{"ConvertId PrimarySmtpAddress=alice@kalyxa.test",
                                        "GetUserConfiguration PrimarySmtpAddress=alice@kalyxa.test",
                                        "GetUserConfiguration PrimarySmtpAddress=alice@kalyxa.test",
                                        "GetItem PrincipalName=uma@corp.kalyxa.test"}));
    EXPECT_EQ(spAccess->Impersonate(7, u"alice@kalyxa.test"), E_INVALIDARG);
    EXPECT_EQ(spAccess->Impersonate(IMPERSONATE_SMTP_ADDRESS, u""), E_INVALIDARG);
    EXPECT_EQ(spAccess->GetOwaUserConfiguration(u"OWA.UserOptions", 99, values, bSuccess), E_INVALIDARG);
    EXPECT_TRUE(m_server.ShapeErrors().empty());
}

TEST_F(EwsClient, AnEwsErrorResponseIsAFalseFlagWithItsCode) {
    auto spAccess = Connected();
    VARIANT_BOOL bSet = VARIANT_FALSE, bSuccess = VARIANT_TRUE;
    long nMinutes = 0;
    ASSERT_EQ(spAccess->GetMeetingReminderItem(u"AAMkMissing", bSet, nMinutes, bSuccess), S_OK);
    EXPECT_EQ(bSuccess, VARIANT_FALSE);
    EXPECT_NE(ErrorOf(*spAccess).find("ErrorItemNotFound"), std::string::npos);
}

TEST_F(EwsClient, RequestValuesAreEscapedNeverPasted) {
    auto spAccess = Connected();
    const std::u16string sHostile = u"\"/><t:ItemId Id=\"other\"/><x a=\"&amp;";
    m_server.m_items["\"/><t:ItemId Id=\"other\"/><x a=\"&amp;"] = {false, 5};
    VARIANT_BOOL bSet = VARIANT_TRUE, bSuccess = VARIANT_FALSE;
    long nMinutes = 0;
    ASSERT_EQ(spAccess->GetMeetingReminderItem(sHostile, bSet, nMinutes, bSuccess), S_OK);
    EXPECT_EQ(bSuccess, VARIANT_TRUE) << "the server saw exactly the id given";
    EXPECT_EQ(nMinutes, 5);
    EXPECT_EQ(spAccess->GetMeetingReminderItem(u"id\x01", bSet, nMinutes, bSuccess), E_INVALIDARG);
    EXPECT_EQ(spAccess->SetMailbox(u"a\x02@b"), S_OK);
    EXPECT_EQ(spAccess->GetMeetingReminderItem(u"AAMkEws1", bSet, nMinutes, bSuccess), E_INVALIDARG);
    EXPECT_EQ(m_server.Requests("GetItem"), 1);
}

struct CBadAnswer {
    const char* pszName;
    Mode mode;
    HRESULT hr;
    const char* pszText;
};

void PrintTo(const CBadAnswer& answer, std::ostream* pStream) { *pStream << answer.pszName; }

class EwsClientBadAnswers : public EwsClient, public ::testing::WithParamInterface<CBadAnswer> {};

TEST_P(EwsClientBadAnswers, BecomeAClearFailureWithinTheTimeout) {
    auto spAccess = Connected();
    m_server.SetMode(GetParam().mode);
    VARIANT_BOOL bSet = VARIANT_FALSE, bSuccess = VARIANT_FALSE;
    long nMinutes = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(spAccess->GetMeetingReminderItem(u"AAMkEws1", bSet, nMinutes, bSuccess), GetParam().hr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_NE(ErrorOf(*spAccess).find(GetParam().pszText), std::string::npos) << ErrorOf(*spAccess);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, EwsClientBadAnswers,
    ::testing::Values(CBadAnswer{"SoapFault", Mode::SOAP_FAULT, E_FAIL, "SOAP fault: The request failed schema validation"},
                      CBadAnswer{"Unauthorized", Mode::UNAUTHORIZED, HResultFromWin32(ERROR_ACCESS_DENIED), "HTTP 401"},
                      CBadAnswer{"ServerError", Mode::SERVER_ERROR, E_FAIL, "HTTP 500"},
                      CBadAnswer{"EndlessBody", Mode::ENDLESS_BODY, HResultFromWin32(ERROR_TIMEOUT), "did not answer in time"},
                      CBadAnswer{"Slow", Mode::SLOW, HResultFromWin32(ERROR_TIMEOUT), "did not answer in time"},
                      CBadAnswer{"Redirect", Mode::REDIRECT, HResultFromWin32(ERROR_ACCESS_DENIED), "elsewhere.invalid"},
                      CBadAnswer{"HugeBody", Mode::HUGE_BODY, HResultFromWin32(ERROR_FILE_TOO_LARGE), "larger than 65536"},
                      CBadAnswer{"InvalidUtf8", Mode::INVALID_UTF8, HResultFromWin32(ERROR_INVALID_DATA), "not UTF-8"},
                      CBadAnswer{"WrongNamespace", Mode::WRONG_NAMESPACE, HResultFromWin32(ERROR_INVALID_DATA),
                                 "no GetItemResponseMessage"},
                      CBadAnswer{"MissingElements", Mode::MISSING_ELEMENTS, HResultFromWin32(ERROR_INVALID_DATA), "ReminderIsSet"}),
    [](const ::testing::TestParamInfo<CBadAnswer>& info) { return std::string(info.param.pszName); });

TEST_F(EwsClient, NoServerAndNoAddressAreFailuresToo) {
    CKXExchangeAccessComponent access(m_options, {});
    EXPECT_EQ(access.InitConnection(2, u"ftp://mail/EWS", u"", u"", u"", u""), E_INVALIDARG);
    VARIANT_BOOL bSet, bSuccess;
    long nMinutes;
    EXPECT_EQ(access.GetMeetingReminderItem(u"x", bSet, nMinutes, bSuccess), E_UNEXPECTED);
    ASSERT_EQ(access.InitConnection(2, u"http://127.0.0.1:1/EWS/exchange.asmx", u"", u"", u"", u""), S_OK);
    EXPECT_EQ(access.GetMeetingReminderItem(u"x", bSet, nMinutes, bSuccess), HResultFromWin32(ERROR_CONNECTION_REFUSED));
}

TEST_F(EwsClient, BasicCredentialsAreSentWhenTheServerAsks) {
    m_server.RequireBasic("KALYXA\\svc-kx", "s3cret");
    CKXExchangeAccessComponent access(m_options, {"svc-kx", "s3cret", "KALYXA"});
    access.EnableTracing();
    ASSERT_EQ(access.InitConnection(2, Utf16(m_server.Url()), u"cadata=abc", u"", u"", u""), S_OK);
    VARIANT_BOOL bSet, bSuccess = VARIANT_FALSE;
    long nMinutes;
    ASSERT_EQ(access.GetMeetingReminderItem(u"AAMkEws1", bSet, nMinutes, bSuccess), S_OK);
    EXPECT_EQ(bSuccess, VARIANT_TRUE);
    std::u16string sTrace;
    access.GetTraceData(sTrace);
    const std::string sText(sTrace.begin(), sTrace.end());
    EXPECT_NE(sText.find("GetItem"), std::string::npos);
    EXPECT_EQ(sText.find("s3cret"), std::string::npos);
    EXPECT_EQ(sText.find("cadata=abc"), std::string::npos);
    CKXExchangeAccessComponent wrong(m_options, {"svc-kx", "wrong", "KALYXA"});
    ASSERT_EQ(wrong.InitConnection(2, Utf16(m_server.Url()), u"", u"", u"", u""), S_OK);
    EXPECT_EQ(wrong.GetMeetingReminderItem(u"AAMkEws1", bSet, nMinutes, bSuccess), HResultFromWin32(ERROR_ACCESS_DENIED));
}

TEST_F(EwsClient, TheOlderComponentReadsCustomPropertiesOfTheMailbox) {
    m_server.m_folderProperties["bob@kalyxa.test"]["{11111111-2222-3333-4444-555555555555}|View Type"] = "week";
    CExchangeAccessComponent access(m_options, {});
    long nCode = -1;
    ASSERT_EQ(access.Initialize(8, 2, Utf16(m_server.Url()), u"bob@kalyxa.test", u"", u"", nCode), S_OK);
    EXPECT_EQ(nCode, 0);
    ASSERT_EQ(access.Impersonate(IMPERSONATE_SMTP_ADDRESS, u"bob@kalyxa.test"), S_OK);
    std::vector<CustomProperty> properties{{u"{11111111-2222-3333-4444-555555555555}", u"View Type", {}, VARIANT_FALSE},
                                           {u"{11111111-2222-3333-4444-555555555555}", u"Unset", {}, VARIANT_FALSE}};
    long nFailed = -1;
    ASSERT_EQ(access.GetCustomProperties(properties, nFailed), S_OK);
    EXPECT_EQ(properties[0].sValue, u"week");
    EXPECT_EQ(properties[1].bFound, VARIANT_FALSE);
    EXPECT_EQ(nFailed, 1);
    EXPECT_EQ(m_server.Impersonations(), std::vector<std::string>{"GetFolder PrimarySmtpAddress=bob@kalyxa.test"});
    EXPECT_EQ(access.Initialize(8, 2, Utf16(m_server.Url()), u"", u"", u"", nCode), S_OK);
    EXPECT_EQ(nCode, CExchangeAccessComponent::RC_NO_MAILBOX);
}

}  // namespace
