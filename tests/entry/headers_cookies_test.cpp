#include <gtest/gtest.h>

#include "entry/notifications.h"
#include "entry/util.h"
#include "host/host_request.h"
#include "tests/support/trace_capture.h"

namespace {

class ServerVariables : public ::testing::Test {
protected:
    std::unique_ptr<kxhost::HostRequest> Request(DWORD dwNotification) {
        auto pRequest = std::make_unique<kxhost::HostRequest>(m_services, m_spec);
        pRequest->Context()->m_dwNotificationType = dwNotification;
        return pRequest;
    }
    kxhost::HostServices m_services;
    kxhost::RequestSpec m_spec;
};

TEST_F(ServerVariables, ReadTheIisWay) {
    TraceCapture trace;
    m_spec.serverVariables = {{"LOGON_USER", "EXAMPLE\\ana"}, {"HTTPS", ""}};
    auto pRequest = Request(SF_NOTIFY_AUTH_COMPLETE);
    std::string sValue = "unchanged";
    CBaseNotifications::GetWorkerServerVariable(pRequest->Context(), "LOGON_USER", sValue);
    EXPECT_EQ(sValue, "EXAMPLE\\ana");

    sValue = "unchanged";
    EXPECT_FALSE(CBaseNotifications::GetIISParmT(pRequest->Context()->m_pfc,
                                                 pRequest->Context()->m_pfc->GetServerVariable, "NO_SUCH", sValue));
    EXPECT_EQ(sValue, "unchanged");
    EXPECT_TRUE(CBaseNotifications::GetIISParmT(pRequest->Context()->m_pfc,
                                                pRequest->Context()->m_pfc->GetServerVariable, "HTTPS", sValue))
        << "an empty value: the first call succeeds";
    EXPECT_EQ(sValue, "unchanged");

    auto pOutside = Request(0x1);
    sValue.clear();
    CBaseNotifications::GetWorkerServerVariable(pOutside->Context(), "LOGON_USER", sValue);
    EXPECT_EQ(sValue, "") << "read only during the five notifications";
}

// A getter that fails the first call with the given error and size.
template <DWORD ERROR, DWORD SIZE>
BOOL FailingGetter(HTTP_FILTER_CONTEXT*, LPSTR, LPVOID, LPDWORD lpdwSize) {
    *lpdwSize = SIZE;
    KxSetLastError(ERROR);
    return FALSE;
}

TEST(GetIISParmT, ErrorPaths) {
    TraceCapture trace;
    std::string sValue = "unchanged";
    EXPECT_FALSE(CBaseNotifications::GetIISParmT(nullptr, &FailingGetter<1413, 4>, "NO_SUCH", sValue));
    EXPECT_TRUE(trace.Contains("GetIISParmT  GetServerVariable failed NO_SUCH Error 1413"));
    EXPECT_FALSE(CBaseNotifications::GetIISParmT(nullptr, &FailingGetter<87, 4>, "BAD", sValue));
    EXPECT_TRUE(trace.Contains("GetIISParmT  GetServerVariable failed BAD Error 87"));
    const size_t nLines = trace.Lines().size();
    EXPECT_FALSE(CBaseNotifications::GetIISParmT(nullptr, &FailingGetter<1413, 0>, "ZERO", sValue));
    EXPECT_FALSE(CBaseNotifications::GetIISParmT(nullptr, &FailingGetter<5, 4>, "OTHER", sValue));
    EXPECT_EQ(trace.Lines().size(), nLines) << "no size, or another error: no line";
    EXPECT_FALSE(CBaseNotifications::GetIISParmT(nullptr, &FailingGetter<122, 4>, "NEVER", sValue))
        << "the second call fails too";
    EXPECT_EQ(sValue, "unchanged");
}

DWORD SetUrl(CDLLContext* pContext) {
    return static_cast<DWORD>(CBaseNotifications::SetWorkerHeader(pContext, "URL", "/owa/X-Kalyxa/MngDgs.srf"));
}

TEST_F(ServerVariables, SetHeaderRewritesAtAuthComplete) {
    auto pRequest = Request(SF_NOTIFY_AUTH_COMPLETE);
    EXPECT_NE(pRequest->Notify(&SetUrl, SF_NOTIFY_AUTH_COMPLETE), 0u);
    ASSERT_EQ(pRequest->HeaderActions().size(), 1u);
    EXPECT_EQ(pRequest->HeaderActions()[0].sAction, "set");
    auto pRawData = Request(SF_NOTIFY_SEND_RAW_DATA);
    EXPECT_EQ(CBaseNotifications::SetWorkerHeader(pRawData->Context(), "URL", "/x"), 0);
}

TEST_F(ServerVariables, EwsAddressOfThisServer) {
    m_spec.serverVariables = {{"LOCAL_ADDR", "fe80::1"}, {"HTTPS", "off"}, {"HTTP_Front-End-HTTPS", "on"}};
    EXPECT_EQ(CUtil::BuildEwsUrl(Request(SF_NOTIFY_AUTH_COMPLETE)->Context()), "https://[fe80::1]/EWS/exchange.asmx");
    m_spec.serverVariables = {{"LOCAL_ADDR", "192.0.2.7"}, {"HTTPS", "ON"}};
    EXPECT_EQ(CUtil::BuildEwsUrl(Request(SF_NOTIFY_AUTH_COMPLETE)->Context()), "https://192.0.2.7/EWS/exchange.asmx");
    m_spec.serverVariables = {{"LOCAL_ADDR", "192.0.2.7"}, {"HTTPS", "off"}};
    EXPECT_EQ(CUtil::BuildEwsUrl(Request(SF_NOTIFY_AUTH_COMPLETE)->Context()), "http://192.0.2.7/EWS/exchange.asmx");
}

TEST(Cookies, ExtractCookieMatchesWholeNames) {
    TraceCapture trace;
    std::string sValue;
    EXPECT_FALSE(CUtil::extractCookie("xUserContext=abc; b=1", "UserContext=", sValue))
        << "a name that only ends with the key is another cookie";
    EXPECT_TRUE(CUtil::extractCookie("evilUserContext=ATTACKER; UserContext=REAL", "UserContext=", sValue));
    EXPECT_EQ(sValue, "REAL");
    EXPECT_TRUE(CUtil::extractCookie("a=UserContext=x;UserContext=y", "usercontext=", sValue));
    EXPECT_EQ(sValue, "y") << "nor does a value that holds the key";
    EXPECT_TRUE(CUtil::extractCookie("a=1; SESSIONID=s1", "sessionid=", sValue));
    EXPECT_EQ(sValue, "s1");
    EXPECT_FALSE(CUtil::extractCookie("a=1", "UserContext", sValue));
    EXPECT_TRUE(trace.Contains("[extractCookie] ERROR Key <UserContext> requires '=' terminator"));
    EXPECT_FALSE(CUtil::extractCookie("a=1", "", sValue));
    EXPECT_TRUE(trace.Contains("[extractCookie] ERROR Missing Key"));
    EXPECT_FALSE(CUtil::extractCookie("a=1", "b=", sValue));
}

TEST(Cookies, OtherMailboxUserContext) {
    std::string sValue;
    EXPECT_TRUE(CUtil::GetOtherMBXUserContextCookieValue("a=1; UserContext_0a1B=abc&x=2; b=3", sValue));
    EXPECT_EQ(sValue, "abc");
    EXPECT_FALSE(CUtil::GetOtherMBXUserContextCookieValue("UserContext=abc", sValue));
    EXPECT_EQ(sValue, "");
    EXPECT_FALSE(CUtil::GetOtherMBXUserContextCookieValue("xUserContext_1=a; UserContext_zz=b", sValue))
        << "not at a cookie start, then no hexadecimal digits before '='";
    EXPECT_TRUE(CUtil::GetOtherMBXUserContextCookieValue("xUserContext_1=a;usercontext_=b", sValue));
    EXPECT_EQ(sValue, "b");
}

TEST(Text, ExtractBetweenIgnoresCase) {
    EXPECT_EQ(CUtil::ExtractBetween("<A href=x>Today</a>", "<a HREF=x>", "</A>"), "Today");
    EXPECT_EQ(CUtil::ExtractBetween("key=value", "KEY=", ";"), "value");
    EXPECT_EQ(CUtil::ExtractBetween("nothing here", "<", ">"), "");
}

}  // namespace
