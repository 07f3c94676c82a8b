// Pre-processing and authentication-complete routing of the built worker,
// driven by the reference host.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "host/host_request.h"
#include "host/worker_module.h"
#include "tests/integration/worker_fixture.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/slapd_directory.h"

namespace {

constexpr DWORD VIEW_TYPE = 0x8602;

class Routing : public ::testing::Test {
protected:
    Routing() { m_directory.ServeThisProcess(); }
    // A worker of its own over the sample settings with these changes (the
    // EWS address is the fake server's).
    void Start(std::map<int, std::string> settings = {}) {
        settings.emplace(38, m_ews.Url());
        m_spProduct = std::make_unique<TemporaryProduct>(true, settings);
        m_spWorker = StartWorker(*m_spProduct);
        ASSERT_TRUE(m_spWorker->IsLoaded());
    }
    void SetUp() override {
        m_ews.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"}};
        m_spec.sUser = "alice";
        m_spec.headers.emplace_back("Cookie", "UserContext=c0ffee; sessionid=s1");
        m_spec.serverVariables["QV_USERNAME"] = "KALYXA\\alice";
    }
    // A request of the subscription type for the URL, through pre-processing
    // and authentication-complete; the auth-complete result.
    DWORD Route(int32_t nType, const std::string& sUrl) {
        m_spec.nSubscriptionType = nType;
        m_spec.sUrl = sUrl;
        NewRequest();
        m_dwPreProc = m_spRequest->Notify(m_spWorker->FilterProc(), SF_NOTIFY_PREPROC_HEADERS);
        return m_spRequest->Notify(m_spWorker->FilterProc(), SF_NOTIFY_AUTH_COMPLETE);
    }
    // Ends the request before (the worker frees what it made for it) and
    // starts a new one.
    void NewRequest() {
        End();
        m_spRequest = std::make_unique<kxhost::HostRequest>(m_services, m_spec);
    }
    void End() {
        if (m_spRequest) m_spRequest->Notify(m_spWorker->FilterProc(), SF_NOTIFY_END_OF_REQUEST);
    }
    void TearDown() override { End(); }
    DWORD ControlMessage() const { return m_spRequest->Context()->m_dwControlMessage; }
    // The value of the last header action of that name, or "(none)".
    std::string Header(const std::string& sName) const {
        std::string sValue = "(none)";
        for (const kxhost::HeaderAction& action : m_spRequest->HeaderActions())
            if (action.sName == sName) sValue = action.sValue;
        return sValue;
    }
    std::string& Stored() { return m_services.m_userProperties["alice"][VIEW_TYPE]; }

    CSlapdDirectory m_directory;
    CFakeEwsServer m_ews;
    std::unique_ptr<TemporaryProduct> m_spProduct;
    std::unique_ptr<kxhost::WorkerModule> m_spWorker;
    kxhost::HostServices m_services;
    kxhost::RequestSpec m_spec;
    std::unique_ptr<kxhost::HostRequest> m_spRequest;
    DWORD m_dwPreProc = 99;
};

TEST_F(Routing, TroubleUrlsAndPollsAreIgnoredEarly) {
    Start();
    EXPECT_EQ(Route(4, "/owa/auth/LOGOFF.ASPX?Cmd=Logoff"), 0u);
    EXPECT_EQ(m_dwPreProc, 0u);
    EXPECT_EQ(ControlMessage(), KX_CONTROL_IGNORE);
    EXPECT_EQ(Header("URL"), "(none)") << "the worker takes no further part";
    EXPECT_EQ(Route(2, "/owa/ev.owa?oeh=1&NS=notify&ev=POLL"), 0u);
    EXPECT_EQ(ControlMessage(), KX_CONTROL_IGNORE);
    EXPECT_EQ(Route(2, "/owa/ev.owa?oeh=1&ns=Notify&ev=PollX"), 0u);
    EXPECT_EQ(ControlMessage(), KX_CONTROL_NONE);
    EXPECT_EQ(Route(4, "/owa/ev.owa?oeh=1&ns=Notify&ev=Poll"), 0u);
    EXPECT_EQ(ControlMessage(), KX_CONTROL_NONE) << "only subscription type 2 polls";
}

// An operator's stray ";" no longer makes a fragment every URL contains.
TEST_F(Routing, AnEmptyTroubleEntryIgnoresNoRequest) {
    Start({{6, "logoff.aspx;;auth/x;"}});
    Route(4, "/owa/?ae=Folder&t=IPF.Appointment");
    EXPECT_NE(ControlMessage(), KX_CONTROL_IGNORE);
    Route(4, "/owa/auth/x?a=1");
    EXPECT_EQ(ControlMessage(), KX_CONTROL_IGNORE) << "the other entries still count";
}

TEST_F(Routing, OwnCommandsGoToTheirHandlerPagesWithTheirHeaders) {
    Start();
    m_spec.sRoot = "/owa/X-Kalyxa/ ";
    m_spec.sIntRoot = "/owa/int";
    EXPECT_EQ(Route(6, "/owa/?qvkxcmd=Calsearch&q=team"), 0u);
    EXPECT_EQ(Header("URL"), "/owa/X-Kalyxa/qv_calsearch.srf?qvkxcmd=Calsearch&q=team");
    EXPECT_EQ(m_spRequest->Spec().sUrl, "/owa/X-Kalyxa/qv_calsearch.srf?qvkxcmd=Calsearch&q=team")
        << "the host now serves the handler page";
    EXPECT_EQ(ControlMessage(), KX_CONTROL_HANDLED);
    EXPECT_EQ(Header("x-qvkxroot:"), "/owa/X-Kalyxa/ ") << "a slash before the blank: no second one";
    EXPECT_EQ(Header("x-qvkxintroot:"), "/owa/int/");
    EXPECT_EQ(Header("x-qvkxbase:"), m_spec.sBase);
    m_spRequest->Notify(m_spWorker->FilterProc(), SF_NOTIFY_SEND_RESPONSE);
    EXPECT_EQ(Header("X-Kalyxa:"), "(none)") << "a handled request gets nothing more from the worker";

    EXPECT_EQ(Route(6, "/owa/?qvkxcmd=format-c"), 0u);
    EXPECT_EQ(Header("URL"), "(none)");
    EXPECT_EQ(ControlMessage(), KX_CONTROL_NONE);
    EXPECT_EQ(Route(3, "/owa/?cmd="), 0u);
    EXPECT_EQ(Header("URL"), "(none)");
    EXPECT_EQ(Route(3, "/owa/?cmd=QVSETRMND"), 0u);
    EXPECT_EQ(Header("URL"), "/owa/X-Kalyxa/SetRmndEnable.srf?cmd=QVSETRMND");
}

TEST_F(Routing, TheCalendarShowsTheViewTheUserChose) {
    Start();
    const std::string sFolder = "/owa/?ae=Folder&t=IPF.Appointment";
    Stored() = "3";
    Route(4, sFolder + "&a=QvView3");
    EXPECT_EQ(m_services.m_nSaveCalls, 0) << "the same type is not stored again";
    EXPECT_EQ(Header("URL"), "(none)");
    Stored() = "1";
    Route(4, sFolder + "&a=qvview3");
    EXPECT_EQ(Stored(), "3");
    Route(4, sFolder + "&a=QvViewx");
    EXPECT_EQ(Stored(), "1") << "a view without a digit 1-4 is 1";
    Stored() = "2";
    Route(4, sFolder + "&a=QvView&id=7");
    EXPECT_EQ(Header("URL"), "/owa/?ae=Folder&t=IPF.Appointment&a=QvView2&id=7");
    EXPECT_EQ(ControlMessage(), KX_CONTROL_NONE) << "OWA still serves it; the page modifiers run";
    Route(4, sFolder);
    EXPECT_EQ(Header("URL"), "/owa/?ae=Folder&t=IPF.Appointment&a=QvView2");
    Route(4, sFolder + "&a=New");
    EXPECT_EQ(Header("URL"), "(none)") << "another OWA action";
    Route(4, "/owa/?a=QvDgView&ae=Folder&t=IPF.Appointment&qvdglgx=L0RO");
    EXPECT_EQ(Header("URL"), "/owa/?a=QvDgView2&ae=Folder&t=IPF.Appointment&qvdglgx=L0RO");
}

TEST_F(Routing, WithoutTheExtendedViewsOwasOwnCalendarIsShown) {
    Start({{124, "0"}});
    Route(4, "/owa/?ae=Folder&t=IPF.Appointment&a=QvView3&x=&A=QvView3");
    EXPECT_EQ(Header("URL"), "/owa/?ae=Folder&t=IPF.Appointment&a=QvOWA&x=&a=QvOWA");
    Route(4, "/owa/?a=QvView1&ae=Folder&t=IPF.Appointment");
    EXPECT_EQ(Header("URL"), "/owa/?a=QvOWA&ae=Folder&t=IPF.Appointment");
    Route(4, "/owa/?ae=Folder&t=IPF.Appointment");
    EXPECT_EQ(Header("URL"), "/owa/?ae=Folder&t=IPF.Appointment&a=QvOWA");
}

TEST_F(Routing, FailuresLeaveTheRequestToOwa) {
    Start();
    Stored() = "2";
    m_services.m_bFailLoads = true;
    EXPECT_EQ(Route(4, "/owa/?ae=Folder&t=IPF.Appointment"), 0u);
    EXPECT_EQ(Header("URL"), "(none)") << "no stored view: no rewrite";
    m_services.m_bFailLoads = false;
    m_spec.sUrl = "/owa/?ae=Folder&t=IPF.Appointment&a=QvView";
    m_spec.nSubscriptionType = 4;
    NewRequest();
    m_spRequest->m_bRefuseHeaders = true;
    m_spRequest->Notify(m_spWorker->FilterProc(), SF_NOTIFY_PREPROC_HEADERS);
    EXPECT_EQ(m_spRequest->Notify(m_spWorker->FilterProc(), SF_NOTIFY_AUTH_COMPLETE), 7u);
    EXPECT_EQ(ControlMessage(), KX_CONTROL_IGNORE);
}

TEST_F(Routing, TheTimeZoneIsReadExceptForAnonymousUsers) {
    Start();
    Route(4, "/owa/?ae=Item");
    EXPECT_EQ(m_ews.Requests("GetUserConfiguration"), 1);
    Route(4, "/owa/?ae=Item");
    EXPECT_EQ(m_ews.Requests("GetUserConfiguration"), 1) << "then from the cache";
    for (const char* pszUser : {"IUSR_WEB01", "iusr"}) {
        m_spec.serverVariables["QV_USERNAME"] = pszUser;
        Route(4, "/owa/?ae=Item");
    }
    EXPECT_EQ(m_ews.Requests("GetUserConfiguration"), 1) << "anonymous users have no options";
    m_spec.serverVariables["QV_USERNAME"] = "KALYXA\\uma";  // a user known only by her principal name
    Route(4, "/owa/?ae=Item");
    EXPECT_EQ(m_ews.Requests("GetUserConfiguration"), 2);
    EXPECT_EQ(m_ews.Impersonations().back(), "GetUserConfiguration PrincipalName=uma@corp.kalyxa.test");
    m_spec.serverVariables["QV_USERNAME"] = "KALYXA\\nobody";
    Route(4, "/owa/?ae=Item");
    EXPECT_EQ(m_ews.Requests("GetUserConfiguration"), 2) << "no one Exchange knows: no call as the service account";
    EXPECT_TRUE(m_ews.ShapeErrors().empty());
}

TEST_F(Routing, FeatureBitsForThePageModifiers) {
    Start();
    m_spec.sMethod = "POST";
    Route(4, "/owa/?ae=Options&t=Calendar&qvkxdgi=RB");
    EXPECT_EQ(m_spRequest->Context()->m_dwFeatureFlags,
              KX_FEATURE_POST | KX_FEATURE_USER_CONTEXT | KX_FEATURE_QVKXDGI_RB | KX_FEATURE_OPTIONS |
                  KX_FEATURE_CALENDAR_OPTIONS);
    m_spec.sMethod = "GET";
    Route(31, "/owa/?x=1");
    EXPECT_EQ(m_spRequest->Context()->m_dwFeatureFlags, KX_FEATURE_USER_CONTEXT | KX_FEATURE_SUBSCRIPTION_31);
}

}  // namespace
