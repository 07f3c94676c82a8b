#include <gtest/gtest.h>

#include <stdexcept>

#include "settings/kx_ex_access.h"
#include "tests/settings/sw_settings_support.h"
#include "tests/support/event_capture.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/trace_capture.h"

namespace {

// A cache component whose every call raises what the test chose.
class ThrowingCache : public IQVCacheComponent {
public:
    enum Kind { STD, OTHER } m_kind;
    explicit ThrowingCache(Kind kind) : m_kind(kind) {}
    HRESULT Initialize() override { return S_OK; }
    HRESULT CreateCache(const std::u16string&, long, long) override { Raise(); }
    HRESULT AddItem(const std::u16string&, const std::u16string&, const std::u16string&, const std::u16string&,
                    const std::u16string&) override {
        Raise();
    }
    HRESULT GetItem(const std::u16string&, const std::u16string&, std::u16string&, const std::u16string&,
                    const std::u16string&) override {
        Raise();
    }

private:
    [[noreturn]] void Raise() {
        if (m_kind == STD) throw std::runtime_error("store broken");
        throw 42;
    }
};

class Wrappers : public ::testing::Test {
protected:
    void SetUp() override {
        m_eventLog.Register("Kalyxa test");
        m_server.m_items["AAMkEws1"] = {true, 10};
    }
    void TearDown() override { RegisterComponent(CLSID_QVCache, nullptr); }

    CEventLog m_eventLog;
    CFakeEwsServer m_server;
};

TEST_F(Wrappers, ACacheThatCannotBeMadeIsReportedAndNothingIsThrown) {
    TraceCapture trace;
    EventCapture events;
    CQVCache cache(m_eventLog);
    EXPECT_EQ(cache.Init(), static_cast<HRESULT>(0x80040154));
    EXPECT_TRUE(trace.Contains("[CQVCache::Init( ] m_spCache.CoCreateInstance failed hr: 0X80040154"));
    EXPECT_TRUE(events.Contains("Cache component failed to instantiate HRESULT: 0X80040154"));
    EXPECT_LT(cache.CreateCache("c", 10, 60), 0);
    EXPECT_TRUE(trace.Contains("CreateCache QVCache is not initialized"));
    std::string sValue;
    EXPECT_EQ(cache.GetItem("c", "k", sValue, "s"), static_cast<HRESULT>(0x80040154));
    EXPECT_TRUE(trace.Contains("GetItem got EXCEPTION HR 0x80040154 Class not registered"));
    EXPECT_TRUE(events.Contains("Cache component  GetItem failed COM Exception with 0x80040154 Class not registered"));
}

TEST_F(Wrappers, ExceptionsOfTheCacheBecomeTheirTexts) {
    TraceCapture trace;
    EventCapture events;
    CQVCache cache(m_eventLog);
    RegisterComponent(CLSID_QVCache, [] { return std::make_shared<ThrowingCache>(ThrowingCache::STD); });
    EXPECT_EQ(cache.AddItem("c", "k", "v", "s"), E_UNEXPECTED);
    EXPECT_TRUE(trace.Contains("AddItem cache component got STD EXCEPTION store broken"));
    RegisterComponent(CLSID_QVCache, [] { return std::make_shared<ThrowingCache>(ThrowingCache::OTHER); });
    EXPECT_EQ(cache.AddItem("c", "k", "v", "s"), E_UNEXPECTED);
    EXPECT_TRUE(trace.Contains("AddItem cache component got GENERAL EXCEPTION"));
    EXPECT_TRUE(events.Contains("AddItem Cache component failed GE"));
}

TEST_F(Wrappers, ACacheMissIsQuiet) {
    ComponentsForTest components(std::make_shared<CMemoryCacheStore>());
    CQVCache cache(m_eventLog);
    ASSERT_EQ(cache.Init(), S_OK);
    ASSERT_EQ(cache.CreateCache("c", 10, 60), S_OK);
    EventCapture events;
    TraceCapture trace;
    std::string sValue;
    EXPECT_EQ(cache.GetItem("c", "k", sValue, "s"), HResultFromWin32(ERROR_NOT_FOUND));
    EXPECT_EQ(events.Count(), 0u);
    EXPECT_EQ(trace.SinkCalls(), 0);
    ASSERT_EQ(cache.AddItem("c", "k", "v", "s", "p"), S_OK);
    EXPECT_EQ(cache.GetItem("c", "k", sValue, "s"), HResultFromWin32(ERROR_NOT_FOUND)) << "the property is part of the key";
    ASSERT_EQ(cache.GetItem("c", "k", sValue, "s", "p"), S_OK);
    EXPECT_EQ(sValue, "v");
}

TEST_F(Wrappers, ExchangeAccessFailuresBecomeHresultsLinesAndEvents) {
    ComponentsForTest components(std::make_shared<CMemoryCacheStore>());
    TraceCapture trace;
    EventCapture events;
    CKXExAccess access(m_eventLog);
    EXPECT_EQ(access.SetMailbox("bob@kalyxa.test"), E_POINTER);
    EXPECT_TRUE(trace.Contains("SetMailbox called but has a NULL POINTER to EWS"));
    ASSERT_EQ(access.Initialize(8, 2, m_server.Url(), "", "", "", ""), S_OK);
    bool bSet = false;
    std::string sMinutes;
    ASSERT_EQ(access.GetMeetingReminderItem("AAMkEws1", bSet, sMinutes), S_OK);
    EXPECT_TRUE(bSet);
    EXPECT_EQ(sMinutes, "10");
    bool bTraced = false;
    for (const std::string& sLine : trace.Lines())
        bTraced = bTraced || sLine.rfind("[GetMeetingReminderItem] trace: --> GetItem", 0) == 0;
    EXPECT_TRUE(bTraced) << "the SOAP exchange is copied to the trace";

    EXPECT_EQ(access.GetMeetingReminderItem("AAMkOther", bSet, sMinutes), E_FAIL);
    EXPECT_TRUE(trace.Contains("GetMeetingReminderItem failed. HR: 0x0, ret: false"));

    m_server.SetMode(CFakeEwsServer::Mode::SOAP_FAULT);
    EXPECT_EQ(access.SetMeetingReminderItem("AAMkEws1", "", true, "5"), E_FAIL);
    EXPECT_TRUE(trace.Contains("CKXExAccess::SetMeetingReminderItem got EXCEPTION HR 0x80004005, Unspecified error "
                               "SOAP fault: The request failed schema validation (ErrorSchemaValidation)"));
    EXPECT_TRUE(events.Contains("KX Exchange Access SetMeetingReminderItem failed with 0x80004005 to access WS "
                                "Unspecified error SOAP fault"));
}

TEST_F(Wrappers, AnUnregisteredExchangeAccessIsReported) {
    TraceCapture trace;
    EventCapture events;
    CKXExAccess access(m_eventLog);
    EXPECT_EQ(access.Initialize(8, 2, m_server.Url(), "", "", "", ""), static_cast<HRESULT>(0x80040154));
    EXPECT_TRUE(trace.Contains("[CKXExAccess::Initialize] service not instantiated, error 80040154"));
    EXPECT_TRUE(events.Contains("KX Exchange Access component not instantiated: HR:0x80040154"));
    std::vector<std::pair<std::string, std::string>> values;
    EXPECT_EQ(access.GetOwaUserConfiguration("OWA.UserOptions", -1, values), E_POINTER);
    EXPECT_TRUE(trace.Contains("GetOwaUserConfiguration called but has a NULL POINTER to EWS"));
}

}  // namespace
