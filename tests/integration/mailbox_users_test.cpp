// Users of one worker as the directory and Exchange know them: every call
// acts as the page's own user, two users at once never see each other's
// language or options, and what a user lacks costs the servers nothing
// after the first page.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/integration/page_fixture.h"

namespace {

class MailboxUsers : public PageTest {
protected:
    void SetUp() override { SetUpPage("basic-calendar-week.html", "/owa/?ae=Folder&t=IPF.Appointment"); }
    // The page as that user of the test directory sees it in that session.
    std::string PageOf(const std::string& sUser, const std::string& sSession) {
        m_spec.sUser = sUser;
        m_spec.serverVariables["QV_USERNAME"] = "KALYXA\\" + sUser;
        for (auto& [sName, sValue] : m_spec.headers)
            if (sName == "Cookie") sValue = "UserContext=" + sSession;
        return Send();
    }
    static bool HasReminders(const std::string& sPage) { return sPage.find("g_QVKX_iRmndPoll") != std::string::npos; }
};

// Jane (culture fr-CA, reminders on) and Ana (no culture, reminders off)
// take turns on one worker.
TEST_F(MailboxUsers, TwoUsersAtOnceEachGetTheirOwn) {
    m_ews.m_mailboxConfigurations["jane.doe@kalyxa.test"]["OWA.UserOptions"] = {
        {"timezone", "Tokyo Standard Time"}, {"enablereminders", "true"}};
    m_ews.m_mailboxConfigurations["ana.lima@kalyxa.test"]["OWA.UserOptions"] = {
        {"timezone", "W. Europe Standard Time"}, {"enablereminders", "false"}};
    Start({{125, "1"}});
    for (int nRound = 0; nRound < 3; ++nRound) {
        const CHtmlTree jane(PageOf("jdoe", "jane-1"));
        EXPECT_EQ(CHtmlTree::Text(jane.ById("qvdayview")), " Jour") << nRound;
        const std::string sAna = PageOf("ana.lima", "ana-1");
        EXPECT_EQ(CHtmlTree::Text(CHtmlTree(sAna).ById("qvdayview")), " Day") << nRound;
        EXPECT_FALSE(HasReminders(sAna)) << nRound;
        EXPECT_TRUE(HasReminders(PageOf("jdoe", "jane-1"))) << nRound;
    }
    std::vector<std::string> calls = m_ews.Impersonations();
    std::sort(calls.begin(), calls.end());
    EXPECT_EQ(calls, (std::vector<std::string>{"GetUserConfiguration PrimarySmtpAddress=ana.lima@kalyxa.test",
                                               "GetUserConfiguration PrimarySmtpAddress=jane.doe@kalyxa.test"}))
        << "each user's options once, asked as that user";
    EXPECT_TRUE(m_ews.ShapeErrors().empty());
}

// Bruno's account is in the forest's second domain, with culture de-DE.
TEST_F(MailboxUsers, AUserOfTheForestsSecondDomainGetsTheirLanguage) {
    Start();
    EXPECT_EQ(CHtmlTree::Text(CHtmlTree(PageOf("bcosta", "bruno-1")).ById("qvdayview")), " Tag");
    EXPECT_EQ(m_ews.Impersonations(),
              std::vector<std::string>{"GetUserConfiguration PrimarySmtpAddress=bruno.costa@emea.kalyxa.test"});
}

// Alice has no culture and her options lack the reminders value, as most
// users: after her first page nobody is asked again in her session.
TEST_F(MailboxUsers, WhatAUserLacksIsAskedOncePerSession) {
    Start({{125, "1"}});
    PageOf("alice", "alice-1");
    const long nSearches = m_directory.CompletedSearches();
    for (int n = 1; n < 1000; ++n) PageOf("alice", "alice-1");
    EXPECT_EQ(m_directory.CompletedSearches(), nSearches) << "no directory search after the first page";
    EXPECT_EQ(m_ews.Requests("GetUserConfiguration"), 1);
    PageOf("alice", "alice-2");
    EXPECT_GT(m_directory.CompletedSearches(), nSearches) << "a new session asks again";
    EXPECT_EQ(m_ews.Requests("GetUserConfiguration"), 2);
}

}  // namespace
