#include <gtest/gtest.h>

#include <string>

#include "host/host_request.h"

namespace {

std::string Text(const KxStringView& view) { return std::string(view.pData, view.cbSize); }

class ReferenceHost : public ::testing::Test {
protected:
    ReferenceHost() {
        m_spec.sUrl = "/owa/?ae=Folder&t=IPF.Appointment&id=RgAAAAB%2fZ&empty=";
        m_spec.headers = {{"Cookie", "UserContext=abc"}, {"X-Custom-Thing", "1"}};
        m_spec.serverVariables = {{"LOCAL_ADDR", "fe80::1"}, {"HTTPS", ""}};
        m_spec.sBody = "<!DOCTYPE html>\n<HTML><Head><title>t</title></HEAD>\n<body class=x>b</body></html>";
    }
    kxhost::HostServices m_services;
    kxhost::RequestSpec m_spec;
};

TEST_F(ReferenceHost, RequestHeadersAndServerVariablesByTheirIisNames) {
    kxhost::HostRequest request(m_services, m_spec);
    const auto* pInfo = static_cast<const IRequestInfo*>(request.Context()->m_spRequestInfo.pObject);
    KxStringView value{};
    ASSERT_TRUE(pInfo->GetRequestHeader("HTTP_COOKIE", &value));
    EXPECT_EQ(Text(value), "UserContext=abc");
    ASSERT_TRUE(pInfo->GetRequestHeader("Cookie", &value)) << "retried with ':' appended";
    EXPECT_EQ(Text(value), "UserContext=abc");
    ASSERT_TRUE(pInfo->GetRequestHeader("HTTP_X_CUSTOM_THING", &value));
    ASSERT_TRUE(pInfo->GetRequestHeader("QUERY_STRING", &value));
    EXPECT_EQ(Text(value), "ae=Folder&t=IPF.Appointment&id=RgAAAAB%2fZ&empty=");
    EXPECT_FALSE(pInfo->GetRequestHeader("http_cookie", &value)) << "the look-up is exact";
    EXPECT_FALSE(pInfo->GetRequestHeader("Missing:", &value));
}

TEST_F(ReferenceHost, QueryParametersAreNotDecoded) {
    kxhost::HostRequest request(m_services, m_spec);
    const auto* pInfo = static_cast<const IRequestInfo*>(request.Context()->m_spRequestInfo.pObject);
    KxStringView value{};
    ASSERT_TRUE(pInfo->GetQueryParameter("id", &value));
    EXPECT_EQ(Text(value), "RgAAAAB%2fZ");
    ASSERT_TRUE(pInfo->GetQueryParameter("empty", &value));
    EXPECT_EQ(Text(value), "");
    EXPECT_FALSE(pInfo->GetQueryParameter("cmd", &value));
}

TEST_F(ReferenceHost, GetServerVariableFollowsIis) {
    kxhost::HostRequest request(m_services, m_spec);
    HTTP_FILTER_CONTEXT* pfc = request.Context()->m_pfc;
    DWORD cbSize = 0;
    EXPECT_FALSE(pfc->GetServerVariable(pfc, const_cast<LPSTR>("LOCAL_ADDR"), nullptr, &cbSize));
    EXPECT_EQ(KxGetLastError(), 122u);
    EXPECT_EQ(cbSize, 8u);
    char szBuffer[8];
    ASSERT_TRUE(pfc->GetServerVariable(pfc, const_cast<LPSTR>("LOCAL_ADDR"), szBuffer, &cbSize));
    EXPECT_STREQ(szBuffer, "fe80::1");

    cbSize = 0;
    EXPECT_TRUE(pfc->GetServerVariable(pfc, const_cast<LPSTR>("HTTPS"), nullptr, &cbSize)) << "empty value";
    EXPECT_FALSE(pfc->GetServerVariable(pfc, const_cast<LPSTR>("NO_SUCH_VARIABLE"), nullptr, &cbSize));
    EXPECT_EQ(KxGetLastError(), 1413u);
}

TEST_F(ReferenceHost, LocatesTheMainTagsOfThePage) {
    kxhost::HostRequest request(m_services, m_spec);
    const auto* pOutbound = static_cast<const COutboundContext*>(request.Context()->m_spOutboundContext.pObject);
    const CCommonPointers* p = pOutbound->m_pCommonPointers;
    ASSERT_NE(p, nullptr);
    const std::string& sBuffer = request.Buffer();
    auto offset = [&](const BYTE* pAt) { return static_cast<size_t>(pAt - p->m_pBufferStart); };
    EXPECT_EQ(p->m_pBufferLast - p->m_pBufferStart + 1, static_cast<ptrdiff_t>(sBuffer.size()));
    EXPECT_EQ(offset(p->m_pHtmlDataStart), m_spec.sResponseHead.size());
    EXPECT_EQ(p->m_cbResponseHead, m_spec.sResponseHead.size());
    EXPECT_EQ(offset(p->m_pHtmlTag), sBuffer.find("<HTML>"));
    EXPECT_EQ(offset(p->m_pHeadTag), sBuffer.find("<Head>"));
    EXPECT_EQ(offset(p->m_pHeadEndTag), sBuffer.find("</HEAD>"));
    EXPECT_EQ(p->m_cbHead, sBuffer.find("</HEAD>") - sBuffer.find("<Head>"));
    EXPECT_EQ(offset(p->m_pBodyTag), sBuffer.find("<body class=x>"));
    EXPECT_EQ(offset(p->m_pBodyEndTag), sBuffer.find("</body>"));
}

TEST_F(ReferenceHost, TheBodyEndsAtItsLastEndTag) {
    m_spec.sBody = "<html><body><script>w(\"</body>\");</script><p>x</p></BODY >\n</html></body_x>";
    kxhost::HostRequest request(m_services, m_spec);
    const auto* pOutbound = static_cast<const COutboundContext*>(request.Context()->m_spOutboundContext.pObject);
    const CCommonPointers* p = pOutbound->m_pCommonPointers;
    EXPECT_EQ(static_cast<size_t>(p->m_pBodyEndTag - p->m_pBufferStart), request.Buffer().find("</BODY >"));
}

TEST_F(ReferenceHost, PageWithoutTagsLeavesThemNull) {
    m_spec.sBody = "plain text, <bodyguard> is no body tag";
    kxhost::HostRequest request(m_services, m_spec);
    const auto* pOutbound = static_cast<const COutboundContext*>(request.Context()->m_spOutboundContext.pObject);
    EXPECT_EQ(pOutbound->m_pCommonPointers->m_pBodyTag, nullptr);
    EXPECT_EQ(pOutbound->m_pCommonPointers->m_pHeadTag, nullptr);
}

}  // namespace
