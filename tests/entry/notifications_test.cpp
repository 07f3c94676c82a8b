#include <gtest/gtest.h>

#include "entry/notifications.h"
#include "forms/sw_form_context.h"
#include "host/host_request.h"
#include "record/buffer_instruction_list.h"
#include "record/sw_context.h"
#include "tests/support/trace_capture.h"

namespace {

// A page modifier stand-in: wraps the page's first paragraph.
class WrappingNotifications : public CNotifications {
public:
    DWORD m_dwFormResult = 0;

protected:
    DWORD RunForms(CSWFormContext* pFormContext) override {
        CBufferInstructionList* pList = pFormContext->m_pcobBufferInstructionList;
        const BYTE* pBody = pFormContext->m_pCommonPointers->m_pBodyTag;
        InsertHtmlStringAtPosition(reinterpret_cast<uint64_t>(pBody), "<!--before-->", pList);
        DeleteHtmlStringAtPosition(reinterpret_cast<uint64_t>(pBody), 6, pList);  // "<body>"
        InsertHtmlStringAtPosition(reinterpret_cast<uint64_t>(pBody), "<body class=\"kx\">", pList);
        ++m_nRuns;
        return m_dwFormResult;
    }

public:
    int m_nRuns = 0;
};

const std::string TEMPLATE = "<!-- OwaPage = ASP.forms_basic_basiccalendarview_aspx -->\n";

class SendRawData : public ::testing::Test {
protected:
    SendRawData() {
        m_spec.sBody = TEMPLATE + "<html><head></head><body><p>hi</p></body></html>";
        m_spec.nSubscriptionType = 3;
    }
    std::unique_ptr<kxhost::HostRequest> Make() {
        auto pRequest = std::make_unique<kxhost::HostRequest>(m_services, m_spec);
        pRequest->Context()->m_dwNotificationType = SF_NOTIFY_SEND_RAW_DATA;
        return pRequest;
    }
    kxhost::HostServices m_services;
    kxhost::RequestSpec m_spec;
    WrappingNotifications m_notifications;
};

TEST_F(SendRawData, SubmitsThePageEditsAndTheHostAppliesThem) {
    TraceCapture trace;
    auto pRequest = Make();
    EXPECT_EQ(m_notifications.NotifySendRawData(pRequest->Context()), 0u);
    EXPECT_EQ(m_services.m_nSubmitCalls, 1);
    EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_NONE);
    EXPECT_EQ(pRequest->SentResponse(), m_spec.sResponseHead + TEMPLATE +
                                            "<html><head></head><body class=\"kx\"><!--before--><p>hi</p></body></html>");
    EXPECT_TRUE(trace.Contains("[NotifySendRawData] subscription type 3"));
    EXPECT_TRUE(trace.Contains("[NotifySendRawData] Sending instructions to core services, number of instructions is 3 "));
    EXPECT_TRUE(trace.Contains("[CNotifications::NotifySendRawData] finished.  Win32 RC=0.  Control Message=<None>"));
}

TEST_F(SendRawData, FailedFormProcessingIgnoresTheRequestAndSubmitsNothing) {
    TraceCapture trace;
    m_notifications.m_dwFormResult = 7;
    auto pRequest = Make();
    EXPECT_EQ(m_notifications.NotifySendRawData(pRequest->Context()), 7u);
    EXPECT_EQ(m_services.m_nSubmitCalls, 0);
    EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_IGNORE);
    EXPECT_TRUE(trace.Contains("[NotifySendRawData] ProcessForm() failed."));
}

TEST_F(SendRawData, HostRefusalIsPassedOnAndIgnoresTheRequest) {
    TraceCapture trace;
    m_services.m_submitResult = 31;
    auto pRequest = Make();
    EXPECT_EQ(m_notifications.NotifySendRawData(pRequest->Context()), 31u);
    EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_IGNORE);
    EXPECT_TRUE(trace.Contains("[NotifySendRawData] SubmitBufferCommands returned error 31"));
}

TEST_F(SendRawData, MissingSubmitServiceCountsAsSuccess) {
    auto pRequest = Make();
    m_services.Table()->SubmitBufferCommands = nullptr;
    EXPECT_EQ(m_notifications.NotifySendRawData(pRequest->Context()), 0u);
    EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_NONE);
    EXPECT_EQ(pRequest->SentResponse(), pRequest->Buffer());
}

// The whole response counts against setting 200's 4096 KB: at the bound the
// page is changed, one byte more and it goes out as it came.
TEST_F(SendRawData, PagesPastTheSizeBoundGoOutUnchanged) {
    const size_t cbBound = 4096 * 1024;
    const size_t cbFixed = Make()->Buffer().size();
    for (const size_t cbPage : {cbBound - 1, cbBound, cbBound + 1}) {
        m_spec.sBody = TEMPLATE + "<html><head></head><body><p>hi</p>" +
                       std::string(cbPage - cbFixed, 'x') + "</body></html>";
        auto pRequest = Make();
        ASSERT_EQ(pRequest->Buffer().size(), cbPage);
        const int nRuns = m_notifications.m_nRuns;
        EXPECT_EQ(m_notifications.NotifySendRawData(pRequest->Context()), 0u);
        EXPECT_EQ(m_notifications.m_nRuns - nRuns, cbPage <= cbBound ? 1 : 0) << cbPage;
        EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_NONE);
    }
}

// Decided from the template before any form context is made.
TEST_F(SendRawData, PagesNoModifierChangesAreNotProcessed) {
    for (const char* pszHead : {"", "<!-- OwaPage = ASP.auth_error_aspx -->", "<!-- OwaPage = -->",
                                "<!-- OwaPage = ASP.forms_premium_readmessage_aspx -->",
                                "<!-- OwaPage = ASP.forms_basic_x_aspx", "<!-- OwaSubPage = ASP.auth_logoff_aspx -->"}) {
        m_spec.sBody = std::string(pszHead) + "<html><head></head><body><p>hi</p></body></html>";
        auto pRequest = Make();
        EXPECT_EQ(m_notifications.NotifySendRawData(pRequest->Context()), 0u) << pszHead;
        EXPECT_EQ(m_notifications.m_nRuns, 0) << pszHead;
    }
    for (const char* pszHead : {"<!-- OwaPage = ASP.forms_premium_calendarview_aspx -->",
                                "<!-- OwaPage = ASP.forms_basic_readmessage_aspx -->",
                                "<!-- OwaPage = -->\n<!-- OwaPage = ASP.forms_basic_x_aspx -->",
                                "<!-- OwaPage = ASP.forms_basic_x_aspx <!-- OwaSubPage = ASP.forms_basic_y_aspx -->"}) {
        m_spec.sBody = std::string(pszHead) + "<html><head></head><body><p>hi</p></body></html>";
        m_notifications.m_nRuns = 0;
        auto pRequest = Make();
        m_notifications.NotifySendRawData(pRequest->Context());
        EXPECT_EQ(m_notifications.m_nRuns, 1) << pszHead;
    }
    m_spec.sBody = "<!-- OwaPage = ASP.unknown_aspx --><html></html>";
    auto pRequest = Make();
    EXPECT_EQ(m_notifications.NotifySendRawData(pRequest->Context()), 7u) << "the form context refuses it";
    EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_IGNORE);
}

TEST_F(SendRawData, OtherStatusesAreNotProcessed) {
    m_spec.dwHttpStatus = 304;
    auto pRequest = Make();
    EXPECT_EQ(m_notifications.NotifySendRawData(pRequest->Context()), 0u);
    EXPECT_EQ(m_services.m_nSubmitCalls, 0);
    EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_NONE);
}

// A form that throws: its edits are dropped with the list, the page goes out
// unchanged and the exception ends as a code (the sanitizer build checks for leaks).
template <class TException>
class ThrowingNotifications : public CNotifications {
protected:
    DWORD RunForms(CSWFormContext* pFormContext) override {
        InsertHtmlStringAtPosition(1, "x", pFormContext->m_pcobBufferInstructionList);
        throw TException("form failed");
    }
};

struct OutOfMemory : std::bad_alloc {
    explicit OutOfMemory(const char*) {}
};

TEST_F(SendRawData, FormExceptionsEndAsCodesAndTheRequestIsIgnored) {
    {
        TraceCapture trace;
        ThrowingNotifications<std::runtime_error> notifications;
        auto pRequest = Make();
        EXPECT_EQ(notifications.NotifySendRawData(pRequest->Context()), 7u);
        EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_IGNORE);
        EXPECT_TRUE(trace.Contains("[CNotifications::ProcessForm] Runtime exception: form failed"));
        EXPECT_TRUE(trace.Contains("[CNotifications::ProcessForm] returned <7>"));
    }
    {
        TraceCapture trace;
        ThrowingNotifications<OutOfMemory> notifications;
        auto pRequest = Make();
        EXPECT_EQ(notifications.NotifySendRawData(pRequest->Context()), 0x8000FFFFu);
        EXPECT_TRUE(trace.Contains("[CNotifications::ProcessForm] Unexpected exception processing forms"));
    }
    EXPECT_EQ(m_services.m_nSubmitCalls, 0);
}

TEST(EndOfRequest, FreesTheWorkersObjectAndTheReplaceBuffer) {
    TraceCapture trace;
    kxhost::HostServices services;
    kxhost::HostRequest request(services, {});
    CDLLContext* pContext = request.Context();
    pContext->m_pMyOwnContext = new CKXSWContext();
    pContext->m_pReplaceBuffer = new BYTE[64];
    pContext->m_cbReplaceBuffer = 64;
    pContext->m_dwControlMessage = KX_CONTROL_REPLACE;
    CNotifications notifications;
    EXPECT_EQ(notifications.NotifyEndOfRequest(pContext), 0u);
    EXPECT_EQ(pContext->m_pMyOwnContext, nullptr);
    EXPECT_EQ(pContext->m_pReplaceBuffer, nullptr);
    EXPECT_EQ(pContext->m_cbReplaceBuffer, 0u);
    EXPECT_EQ(pContext->m_dwControlMessage, KX_CONTROL_REPLACE) << "control message is left alone";
    EXPECT_TRUE(trace.Contains("[CNotifications::NotifyEndOfRequest] finished.  Win32 RC=0.  Control Message=<Replace>"));

    EXPECT_EQ(notifications.NotifyEndOfRequest(nullptr), 13u);
    EXPECT_TRUE(trace.Contains("[CNotifications::NotifyEndOfRequest] pointer to CDLLContext is NULL"));
    EXPECT_TRUE(trace.Contains("[CNotifications::NotifyEndOfRequest] finished.  Win32 RC=13.  Control Message=<N/A>"));
}

TEST(SendResponse, NullAndIncompleteRecordsAreReported) {
    TraceCapture trace;
    CNotifications notifications;
    EXPECT_EQ(notifications.NotifySendResponse(nullptr), 13u);
    EXPECT_TRUE(trace.Contains("[CNotifications::NotifySendResponse] DLLcontext NULL, do nothing."));
    EXPECT_EQ(notifications.NotifySendRawData(nullptr), 7u);
    EXPECT_TRUE(trace.Contains("[CNotifications::NotifySendRawData] finished.  Win32 RC=7.  Control Message=<N/A>"));
}

TEST(AddWorkerHeader, RefusedOutsideItsNotificationsAndWhenIisRefuses) {
    TraceCapture trace;
    kxhost::HostServices services;
    kxhost::HostRequest request(services, {});
    CDLLContext* pContext = request.Context();
    pContext->m_dwNotificationType = SF_NOTIFY_SEND_RAW_DATA;
    EXPECT_EQ(CBaseNotifications::AddWorkerHeader(pContext, "X-QVProduct:", "6"), 0);
    EXPECT_TRUE(request.HeaderActions().empty());
    EXPECT_TRUE(trace.Contains("[AddWorkerHeader] for header: X-QVProduct: return 0"));

    request.m_bRefuseHeaders = true;
    request.Notify([](CDLLContext* p) -> DWORD { return CBaseNotifications::AddWorkerHeader(p, "x-qvkxroot:", "/"); },
                   SF_NOTIFY_PREPROC_HEADERS);
    EXPECT_TRUE(request.HeaderActions().empty());
}

}  // namespace
