#include <gtest/gtest.h>

#include <string>

#include "host/host_request.h"
#include "record/dll_context.h"

namespace {

constexpr DWORD VIEW_TYPE = 0x8602;
constexpr DWORD SHARED_CALENDARS = 0x8601;

// A host that loads only the entries the user has stored.
class UserProperties : public ::testing::Test {
protected:
    UserProperties() { m_services.m_knownPropertyIds.clear(); }
    kxhost::HostRequest& Request() {
        if (!m_pRequest) {
            kxhost::RequestSpec spec;
            spec.sUser = "ana";
            m_pRequest = std::make_unique<kxhost::HostRequest>(m_services, spec);
        }
        return *m_pRequest;
    }
    CDLLContext* Context() { return Request().Context(); }

    kxhost::HostServices m_services;
    std::unique_ptr<kxhost::HostRequest> m_pRequest;
};

TEST_F(UserProperties, LoadsOnceThenReadsTheLoadedEntries) {
    m_services.m_userProperties["ana"] = {{VIEW_TYPE, "Week"}, {0x8109, "Holidays 2027"}};
    std::string sValue;
    EXPECT_TRUE(GetUserProperty(Context(), VIEW_TYPE, sValue, 0));
    EXPECT_EQ(sValue, "Week");
    EXPECT_EQ(m_services.m_nLoadCalls, 1);

    std::string sMissing;
    EXPECT_TRUE(GetUserProperty(Context(), SHARED_CALENDARS, sMissing, 0));
    EXPECT_EQ(sMissing, "");
    EXPECT_EQ(m_services.m_nLoadCalls, 1) << "entries were loaded: no second load";
}

TEST_F(UserProperties, LoadThatLeavesNoEntriesGivesAnEmptyValue) {
    std::string sValue;
    EXPECT_TRUE(GetUserProperty(Context(), VIEW_TYPE, sValue, 0));
    EXPECT_EQ(sValue, "");
    EXPECT_EQ(m_services.m_nLoadCalls, 1);
}

TEST_F(UserProperties, FailedLoadFailsBothOperations) {
    m_services.m_bFailLoads = true;
    std::string sValue;
    EXPECT_FALSE(GetUserProperty(Context(), VIEW_TYPE, sValue, 0));
    EXPECT_FALSE(SaveUserPropOnAuthComplete(Context(), VIEW_TYPE, "Month"));
    EXPECT_EQ(m_services.m_nSaveCalls, 0);
}

TEST_F(UserProperties, SaveAssignsTheEntryAndTheHostStoresIt) {
    m_services.m_userProperties["ana"] = {{VIEW_TYPE, "Week"}};
    const std::string sLong = "WorkWeek-with-a-value-longer-than-the-inline-buffer";
    EXPECT_TRUE(SaveUserPropOnAuthComplete(Context(), VIEW_TYPE, sLong));
    EXPECT_EQ(m_services.m_userProperties["ana"][VIEW_TYPE], sLong);

    std::string sValue;
    EXPECT_TRUE(GetUserProperty(Context(), VIEW_TYPE, sValue, 0));
    EXPECT_EQ(sValue, sLong);
}

TEST_F(UserProperties, SaveOfAnIdNotAmongTheEntriesStillAsksTheHost) {
    m_services.m_userProperties["ana"] = {{VIEW_TYPE, "Week"}};
    EXPECT_FALSE(SaveUserPropOnAuthComplete(Context(), SHARED_CALENDARS, "x"));
    EXPECT_EQ(m_services.m_nSaveCalls, 1);
    EXPECT_EQ(m_services.m_userProperties["ana"].count(SHARED_CALENDARS), 0u);
    EXPECT_EQ(m_services.m_userProperties["ana"][VIEW_TYPE], "Week");
}

TEST_F(UserProperties, SaveWithNoEntriesAfterLoadSucceedsWithoutTheHost) {
    EXPECT_TRUE(SaveUserPropOnAuthComplete(Context(), VIEW_TYPE, "Day"));
    EXPECT_EQ(m_services.m_nLoadCalls, 1);
    EXPECT_EQ(m_services.m_nSaveCalls, 0);
    EXPECT_TRUE(m_services.m_userProperties["ana"].empty());
}

}  // namespace
