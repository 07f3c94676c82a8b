// The built worker library, loaded and driven as the host filter drives it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/host_request.h"
#include "tests/integration/worker_fixture.h"

namespace {

class Worker : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pWorker = new kxhost::WorkerModule(WorkerPath());
        ASSERT_TRUE(s_pWorker->IsLoaded()) << s_pWorker->Error();
        HTTP_FILTER_VERSION version{};
        ASSERT_TRUE(s_pWorker->GetFilterVersion(&version));
    }
    static void TearDownTestSuite() {
        delete s_pWorker;
        s_pWorker = nullptr;
    }

    std::unique_ptr<kxhost::HostRequest> Request() {
        return std::make_unique<kxhost::HostRequest>(m_services, m_spec);
    }
    DWORD Notify(kxhost::HostRequest& request, DWORD dwNotification) {
        return request.Notify(s_pWorker->FilterProc(), dwNotification);
    }

    static inline kxhost::WorkerModule* s_pWorker = nullptr;
    kxhost::HostServices m_services;
    kxhost::RequestSpec m_spec;
};

TEST(WorkerLibrary, FilterVersionNamesTheNotificationsAndTheFilter) {
    kxhost::WorkerModule worker(WorkerPath());
    ASSERT_TRUE(worker.IsLoaded()) << worker.Error();
    HTTP_FILTER_VERSION version{};
    version.dwServerFilterVersion = 0x00080000;
    ASSERT_TRUE(worker.GetFilterVersion(&version));
    EXPECT_EQ(version.dwServerFilterVersion, 0x00080000u) << "not the worker's to change";
    EXPECT_EQ(version.dwFilterVersion, 0x00070000u);
    EXPECT_EQ(version.dwFlags, 0x040264C0u);
    EXPECT_STREQ(version.lpszFilterDesc, "Quorvane Vessa");
    EXPECT_TRUE(worker.TerminateFilter(0));
}

TEST(WorkerLibrary, FailedSettingsStartLeavesTheVersionUntouched) {
    TemporaryProduct product(/*bWithSettingsFolder=*/false);
    kxhost::WorkerModule worker(product.WorkerCopy());
    ASSERT_TRUE(worker.IsLoaded()) << worker.Error();
    HTTP_FILTER_VERSION version;
    std::memset(&version, 0xAB, sizeof(version));
    HTTP_FILTER_VERSION before = version;
    EXPECT_FALSE(worker.GetFilterVersion(&version));
    EXPECT_EQ(std::memcmp(&version, &before, sizeof(version)), 0);
    EXPECT_FALSE(worker.GetFilterVersion(nullptr));
}

TEST(WorkerLibrary, CopyWithASettingsFolderStarts) {
    TemporaryProduct product(/*bWithSettingsFolder=*/true);
    kxhost::WorkerModule worker(product.WorkerCopy());
    ASSERT_TRUE(worker.IsLoaded()) << worker.Error();
    HTTP_FILTER_VERSION version{};
    EXPECT_TRUE(worker.GetFilterVersion(&version));
}

TEST_F(Worker, NullRecordAndUnknownNotificationsAreAnsweredWithZero) {
    EXPECT_EQ(s_pWorker->HttpFilterProc(nullptr), 0u);
    auto pRequest = Request();
    pRequest->Context()->m_dwControlMessage = 0x55;
    for (DWORD dwCode : {SF_NOTIFY_AUTHENTICATION, DWORD{0x1}, DWORD{0x800}, DWORD{0xFFFFFFFF}}) {
        pRequest->Context()->m_dwNotificationType = dwCode;
        CDLLContext before;
        std::memcpy(&before, pRequest->Context(), sizeof(before));
        EXPECT_EQ(s_pWorker->HttpFilterProc(pRequest->Context()), 0u) << dwCode;
        EXPECT_EQ(std::memcmp(&before, pRequest->Context(), sizeof(before)), 0) << "record untouched for " << dwCode;
    }
}

TEST_F(Worker, SendResponseAddsTheProductHeaderOnlyToPlain200Responses) {
    struct Case {
        DWORD dwStatus;
        DWORD dwFeatures;
        bool bHeader;
        DWORD dwControl;
    };
    const Case cases[] = {{100, 0, false, KX_CONTROL_NONE},  {200, 0, true, KX_CONTROL_NONE},
                          {200, 0x10, false, KX_CONTROL_NONE}, {200, 0x20, false, KX_CONTROL_NONE},
                          {304, 0, false, KX_CONTROL_IGNORE}, {500, 0, false, KX_CONTROL_IGNORE}};
    for (const Case& c : cases) {
        m_spec.dwHttpStatus = c.dwStatus;
        auto pRequest = Request();
        pRequest->Context()->m_dwFeatureFlags = c.dwFeatures;
        EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_SEND_RESPONSE), 0u) << c.dwStatus;
        EXPECT_EQ(pRequest->Context()->m_dwControlMessage, c.dwControl) << c.dwStatus;
        if (c.bHeader) {
            ASSERT_EQ(pRequest->HeaderActions().size(), 1u);
            EXPECT_EQ(pRequest->HeaderActions()[0].sAction, "add");
            EXPECT_EQ(pRequest->HeaderActions()[0].sName, "X-QVProduct:");
            EXPECT_EQ(pRequest->HeaderActions()[0].sValue, "6");
        } else {
            EXPECT_TRUE(pRequest->HeaderActions().empty()) << c.dwStatus << " features " << c.dwFeatures;
        }
    }
}

TEST_F(Worker, SendResponseWithoutOutboundContextIsIgnored) {
    auto pRequest = Request();
    pRequest->Context()->m_spOutboundContext.pObject = nullptr;
    EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_SEND_RESPONSE), 13u);
    EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_IGNORE);
}

TEST_F(Worker, SendRawDataNeedsEveryPartOfTheRecord) {
    m_spec.sBody = "<html><body>x</body></html>";
    {
        auto pRequest = Request();
        pRequest->Context()->m_pCoreServices = nullptr;
        EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_SEND_RAW_DATA), 7u);
        EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_IGNORE);
    }
    {
        auto pRequest = Request();
        const_cast<COutboundContext*>(static_cast<const COutboundContext*>(
            pRequest->Context()->m_spOutboundContext.pObject))->m_pCommonPointers = nullptr;
        EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_SEND_RAW_DATA), 7u);
        EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_IGNORE);
    }
    {
        auto pRequest = Request();
        pRequest->Context()->m_spOutboundContext.pObject = nullptr;
        EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_SEND_RAW_DATA), 7u);
    }
}

TEST_F(Worker, SendRawDataWithoutEditsLeavesThePageAndTheHostAlone) {
    for (DWORD dwStatus : {200u, 304u}) {
        m_spec.dwHttpStatus = dwStatus;
        m_spec.sBody = "<html><head></head><body><p>unchanged</p></body></html>";
        auto pRequest = Request();
        EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_SEND_RAW_DATA), 0u);
        EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_NONE);
        EXPECT_EQ(pRequest->SentResponse(), pRequest->Buffer());
    }
    EXPECT_EQ(m_services.m_nSubmitCalls, 0);
}

TEST_F(Worker, PagesWithoutAPageModifierGoOutUnchanged) {
    for (const char* pszTemplate : {"ASP.forms_basic_basiccalendarview_aspx", "ASP.forms_premium_calendarview_aspx",
                                    "ASP.auth_error_aspx", "ASP.auth_logoff_aspx"}) {
        m_spec.sBody = std::string("<html><head><!-- OwaPage = ") + pszTemplate + " --></head><body></body></html>";
        auto pRequest = Request();
        EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_SEND_RAW_DATA), 0u) << pszTemplate;
        EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_NONE);
        EXPECT_EQ(pRequest->SentResponse(), pRequest->Buffer());
    }
}

TEST_F(Worker, AnUnknownPageTemplateLeavesThePageToTheHost) {
    m_spec.sBody = "<html><!-- OwaPage = ASP.forms_unknown_aspx --><body>x</body></html>";
    auto pRequest = Request();
    EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_SEND_RAW_DATA), 7u);
    EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_IGNORE);
    EXPECT_EQ(m_services.m_nSubmitCalls, 0);
}

TEST_F(Worker, EndOfRequestFreesTheReplaceBuffer) {
    auto pRequest = Request();
    EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_END_OF_REQUEST), 0u) << "nothing to free";
    pRequest->Context()->m_pReplaceBuffer = new BYTE[128];
    pRequest->Context()->m_cbReplaceBuffer = 128;
    EXPECT_EQ(Notify(*pRequest, SF_NOTIFY_END_OF_REQUEST), 0u);
    EXPECT_EQ(pRequest->Context()->m_pReplaceBuffer, nullptr);
    EXPECT_EQ(pRequest->Context()->m_cbReplaceBuffer, 0u);
}

TEST_F(Worker, WholeRequestThroughAllFiveNotifications) {
    m_spec.sBody = "<html><head><title>Calendar</title></head><body>grid</body></html>";
    auto pRequest = Request();
    for (DWORD dwNotification : {SF_NOTIFY_PREPROC_HEADERS, SF_NOTIFY_AUTH_COMPLETE, SF_NOTIFY_SEND_RESPONSE,
                                 SF_NOTIFY_SEND_RAW_DATA, SF_NOTIFY_END_OF_REQUEST})
        EXPECT_EQ(Notify(*pRequest, dwNotification), 0u) << dwNotification;
    EXPECT_EQ(pRequest->Context()->m_dwControlMessage, KX_CONTROL_NONE);
    EXPECT_EQ(pRequest->SentResponse(), pRequest->Buffer());
    ASSERT_EQ(pRequest->HeaderActions().size(), 1u);
    EXPECT_EQ(pRequest->HeaderActions()[0].dwNotification, SF_NOTIFY_SEND_RESPONSE);
}

}  // namespace
