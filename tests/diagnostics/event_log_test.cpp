#include <gtest/gtest.h>

#include <vector>

#include "diagnostics/event_log.h"
#include "platform/impersonation.h"

namespace {

std::vector<CEventRecord> g_events;
bool g_bReportedAsProcess = false;
void CollectingSink(const CEventRecord& event) {
    g_events.push_back(event);
    g_bReportedAsProcess = CRevertToSelf::IsActive();
}

class EventLog : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        SetEventSink(&CollectingSink);
        m_log.SetMessageIds(0x60000065, 0xE0000067, 0x60000068);
    }
    void TearDown() override { SetEventSink(nullptr); }
    CEventLog m_log;
};

TEST_F(EventLog, NothingIsReportedBeforeRegistration) {
    EXPECT_EQ(m_log.Report(EVENTLOG_ERROR_TYPE, 0, 1, 0, nullptr, nullptr), 87u);
    EXPECT_TRUE(g_events.empty());
    EXPECT_TRUE(m_log.Register("Quorvane Kalyxa"));
    EXPECT_TRUE(m_log.Register("Other"));  // once only
    EXPECT_EQ(m_log.Report(EVENTLOG_ERROR_TYPE, 0, 1, 0, nullptr, nullptr), 0u);
    EXPECT_TRUE(g_bReportedAsProcess) << "reported with the thread's impersonation set aside";
    EXPECT_FALSE(CRevertToSelf::IsActive());
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].sSource, "Quorvane Kalyxa");
}

TEST_F(EventLog, AtMostSixInsertionStrings) {
    m_log.Register();
    const char* strings[] = {"1", "2", "3", "4", "5", "6", "7", nullptr};
    m_log.Report(EVENTLOG_WARNING_TYPE, 3, 0x42, 0, nullptr, strings);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].strings, (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(g_events[0].sSource, "Quorvane Ombrel");
    EXPECT_EQ(g_events[0].wCategory, 3);
}

TEST_F(EventLog, FormattedTextsGoOutWithTheFreeTextId) {
    m_log.Register();
    m_log.ReportEventf(EVENTLOG_ERROR_TYPE, "%s", "");
    EXPECT_TRUE(g_events.empty()) << "an empty message is not reported";
    m_log.ReportEventf(EVENTLOG_ERROR_TYPE, "cache %s failed", "HiddenMessage");
    m_log.ReportErrorf(2, EVENTLOG_ERROR_TYPE, "Loading Settings failed %s", "/x/Settings/");
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[0].dwEventId, 0x60000068u);
    EXPECT_EQ(g_events[0].wCategory, 0);
    EXPECT_EQ(g_events[0].strings, std::vector<std::string>{"cache HiddenMessage failed"});
    EXPECT_EQ(g_events[1].strings,
              std::vector<std::string>{"ERROR: The system cannot find the file specified.. Loading Settings failed /x/Settings/"});
}

TEST_F(EventLog, LongTextsAreCut) {
    m_log.Register();
    const std::string sLong(5000, 'e');
    m_log.ReportEventf(EVENTLOG_INFORMATION_TYPE, "%s", sLong.c_str());
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].strings[0].size(), 2048u);
}

}  // namespace
