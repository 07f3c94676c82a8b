// The redirect form's replace buffer on a record of the reference host.
#include <gtest/gtest.h>

#include <string>

#include "forms/kx_form_redir_2_calendar_view_b.h"
#include "forms/sw_form_context.h"
#include "host/host_request.h"
#include "kx/host_abi.h"
#include "tests/support/test_form.h"

namespace {

// Runs fn on the form bound to a basic page's context of a fresh request.
template <class TFn>
void WithForm(kxhost::HostServices& services, TFn fn) {
    kxhost::RequestSpec spec;
    spec.sBody = "<!-- OwaPage = ASP.forms_basic_basicreadmessage_aspx -->\n<html><head></head><body></body></html>";
    kxhost::HostRequest request(services, spec);
    request.Context()->m_dwNotificationType = SF_NOTIFY_SEND_RAW_DATA;
    CFormNotifications notifications([&](CSWFormContext* pFormContext) {
        CKXFormRedir2CalendarViewB form;
        EXPECT_EQ(form.Init(pFormContext), 0u);
        fn(form, *request.Context());
        return 0u;
    });
    EXPECT_EQ(notifications.NotifySendRawData(request.Context()), 0u);
    delete[] request.Context()->m_pReplaceBuffer;  // the end of the request's work
}

// The first buffer is freed by the second call; LeakSanitizer would report it otherwise.
TEST(RedirectForm, ASecondResponseReplacesTheFirst) {
    kxhost::HostServices services;
    WithForm(services, [](CKXFormRedir2CalendarViewB& form, CDLLContext& context) {
        ASSERT_TRUE(form.CreateReplaceBufferForRedirectResponse("https://a.example.test/owa/?x=1"));
        ASSERT_TRUE(form.CreateReplaceBufferForRedirectResponse("https://b.example.test/owa/?x=2"));
        const std::string sSecond(reinterpret_cast<const char*>(context.m_pReplaceBuffer), context.m_cbReplaceBuffer);
        EXPECT_NE(sSecond.find("\r\nLocation: https://b.example.test/owa/?x=2\r\n"), std::string::npos);
        EXPECT_EQ(sSecond.find("a.example.test"), std::string::npos);
    });
}

TEST(RedirectForm, ALineBreakInTheLocationLeavesTheRecordAlone) {
    kxhost::HostServices services;
    WithForm(services, [](CKXFormRedir2CalendarViewB& form, CDLLContext& context) {
        ASSERT_TRUE(form.CreateReplaceBufferForRedirectResponse("https://a.example.test/"));
        const BYTE* pBefore = context.m_pReplaceBuffer;
        EXPECT_FALSE(form.CreateReplaceBufferForRedirectResponse("https://a.example.test/\r\nSet-Cookie: x=1"));
        EXPECT_FALSE(form.CreateReplaceBufferForRedirectResponse(std::string("https://a.example.test/\0x", 24)));
        EXPECT_EQ(context.m_pReplaceBuffer, pBefore) << "the earlier response stays";
    });
}

}  // namespace
