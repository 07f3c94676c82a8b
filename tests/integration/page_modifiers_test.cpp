// The premium calendar view, the delegate's basic calendar view, the
// reminders bell of basic pages and the redirect to the calendar view,
// through the reference host and the built worker: the exact page for the
// cases that matter, its structure as an HTML5 parser sees it, the script
// blocks run by a JavaScript engine and the redirect read by an HTTP client.
#include "tests/integration/page_fixture.h"
#include "tests/support/node_script.h"

namespace {

// What the named variables of the script block holding sMarker hold, as node prints them in JSON.
std::string ScriptValues(const std::string& sPage, const char* pszMarker, const std::string& sNames) {
    const std::string sBlock = HeadScript(CHtmlTree(sPage), pszMarker);
    EXPECT_FALSE(sBlock.empty()) << pszMarker;
    std::string sOutput;
    EXPECT_TRUE(RunNode(sBlock + "\nconsole.log(JSON.stringify([" + sNames + "]));\n", sOutput)) << sOutput;
    return sOutput;
}

class PremiumView : public PageTest {
protected:
    void SetUp() override { SetUpPage("premium-calendar-view.html", "/owa/?ae=Folder&t=IPF.Appointment"); }
};

TEST_F(PremiumView, AllFeaturesOn) {
    Start();
    const std::string sPage = Send();
    ExpectGolden("premium-view-all-on", sPage);
    const CHtmlTree tree(sPage);
    EXPECT_EQ(ProductScriptLinks(tree, "qv_kxutil.js"), 1);
    int nPrefixed = 0;
    for (const GumboNode* pScript : CHtmlTree::ByTag(tree.Child(tree.Root(), GUMBO_TAG_HEAD), GUMBO_TAG_SCRIPT))
        if (CHtmlTree::Attribute(pScript, "src").find(std::string(PAGE_SCRIPT_PREFIX) + "/cdayvw.js") !=
            std::string::npos)
            ++nPrefixed;
    EXPECT_EQ(nPrefixed, 1) << "OWA's day-view script comes from the prefix folder";
    const GumboNode* pDelegates = tree.ById("qvDivMngDgs");
    ASSERT_NE(pDelegates, nullptr);
    EXPECT_EQ(CHtmlTree::PreviousElement(pDelegates), tree.ById("divChangeSharingPermission"));
    EXPECT_EQ(CHtmlTree::Text(pDelegates), "Manage Delegates");
    // The search button goes before the toolbar's last button, which stays last.
    const GumboNode* pSearch = tree.ById("divToolbarButtonsearchcalendar");
    ASSERT_NE(pSearch, nullptr);
    EXPECT_EQ(CHtmlTree::NextElement(pSearch), tree.ById("divToolbarButtonprint"));
    EXPECT_EQ(CHtmlTree::Parent(pSearch), tree.ById("divTBL"));
    EXPECT_EQ(CHtmlTree::Attribute(pSearch, "title"), "Search Calendar");
    EXPECT_EQ(ScriptValues(sPage, "g_qvkx_OwaExp", "g_qvkx_owapath, g_qvkx_OwaExp, g_qvkx_OwaBuild, "
                                                   "g_qvkx_CurrOwaTheme, g_qvkx_FtrMngDgs, g_qvkx_FtrCalSearch"),
              "[\"/owa/\",1,\"14.3.123.4\",\"base\",1,1]\n");
}

TEST_F(PremiumView, AnotherMailboxGoesIntoTheOwaPath) {
    Start();
    m_spec.headers.emplace_back("X-OWA-ExplicitLogonUser", "tomas.berg@example.test");
    EXPECT_EQ(ScriptValues(Send(), "g_qvkx_OwaExp", "g_qvkx_owapath"), "[\"/owa/tomas.berg@example.test/\"]\n");
}

TEST_F(PremiumView, WithoutDelegatesTheSearchButtonHasNoTitle) {
    Start({{123, "0"}});
    const std::string sPage = Send();
    ExpectGolden("premium-view-delegates-off", sPage);
    const CHtmlTree tree(sPage);
    EXPECT_EQ(tree.ById("qvDivMngDgs"), nullptr);
    EXPECT_EQ(CHtmlTree::Attribute(tree.ById("divToolbarButtonsearchcalendar"), "title"), "");
}

TEST_F(PremiumView, AMissingSharingLinkStopsTheSearchButtonToo) {
    Start();
    m_spec.sBody = Replaced(m_spec.sBody, "id=\"divChangeSharingPermission\"", "id=\"divChangePermission\"");
    const CHtmlTree tree(Send());
    EXPECT_EQ(tree.ById("qvDivMngDgs"), nullptr);
    EXPECT_EQ(tree.ById("divToolbarButtonsearchcalendar"), nullptr);
    EXPECT_EQ(ProductScriptLinks(tree, "qv_kxutil.js"), 1) << "the edits before stay";
}

TEST_F(PremiumView, APageWithoutThePremiumStyleSheetsIsLeftAlone) {
    Start();
    m_spec.sBody = Replaced(m_spec.sBody, "seattle/premium.css", "seattle/print.css");
    m_spec.sBody = Replaced(m_spec.sBody, "base/owafont.css", "base/font.css");
    EXPECT_EQ(Send(), m_spec.sBody);
}

class DelegateView : public PageTest {
protected:
    void SetUp() override {
        SetUpPage("basic-delegate-calendar-view.html", "/owa/?ae=Folder&t=IPF.Appointment&qvdgmx=tomas.berg");
    }
};

TEST_F(DelegateView, TheSearchButtonFollowsTheViewButtons) {
    Start();
    const std::string sPage = Send();
    ExpectGolden("delegate-view-all-on", sPage);
    const CHtmlTree tree(sPage);
    EXPECT_EQ(ProductScriptLinks(tree, "qv_kxutil.js"), 1);
    const GumboNode* pCell = CHtmlTree::Parent(tree.ById("qvcalsearch"));
    ASSERT_NE(pCell, nullptr);
    EXPECT_EQ(CHtmlTree::Attribute(CHtmlTree::PreviousElement(pCell), "class"), "dv");
    EXPECT_EQ(CHtmlTree::PreviousElement(CHtmlTree::PreviousElement(pCell)), CHtmlTree::Parent(tree.ById("qvmonthview")));
    EXPECT_EQ(CHtmlTree::Attribute(CHtmlTree::NextElement(pCell), "class"), "w100") << "the row's last cell stays last";
    EXPECT_EQ(CHtmlTree::Attribute(tree.ById("qvcalsearch"), "onclick"), "return qvkx_LaunchCalendarSearch(0,1);");
    EXPECT_EQ(CHtmlTree::Attribute(CHtmlTree::ByTag(pCell, GUMBO_TAG_IMG).at(0), "src"),
              "14.3.123.4/themes/base/bsearch.gif");
    EXPECT_EQ(ScriptValues(sPage, "g_qvkx_OwaExp",
                           "g_qvkx_VDir, g_qvkx_owapath, g_qvkx_OwaExp, typeof g_qvkx_onSrchOpen"),
              "[\"https://mail.example.test/X-Kalyxa/\",\"/owa/\",2,\"function\"]\n");
}

TEST_F(DelegateView, ASeparatorCellWithoutAClassEndsTheSearchStepWithItsCode) {
    StartTraced();
    m_spec.sBody = Replaced(m_spec.sBody, "<td class=\"dv\"></td><td nowrap><a id=\"qvdayview\"",
                            "<td></td><td nowrap><a id=\"qvdayview\"");
    const CHtmlTree tree(Send());
    EXPECT_EQ(tree.ById("qvcalsearch"), nullptr);
    EXPECT_FALSE(HeadScript(tree, "g_qvkx_OwaExp").empty());
    const std::string sLog = TraceLog();
    EXPECT_NE(sLog.find("[CAddressBookForm::AddSearchBtn] Separator not found."), std::string::npos);
    EXPECT_EQ(sLog.find("Exception"), std::string::npos) << "not a failure of the parser";
}

TEST_F(DelegateView, WithoutSearchOrADayButtonTheScriptBlockStays) {
    Start({{126, "0"}});
    CHtmlTree tree(Send());
    EXPECT_EQ(tree.ById("qvcalsearch"), nullptr);
    EXPECT_FALSE(HeadScript(tree, "g_qvkx_OwaExp").empty());

    Start();
    m_spec.sBody = Replaced(m_spec.sBody, "id=\"qvdayview\"", "id=\"qvdaysview\"");
    const CHtmlTree without(Send());
    EXPECT_EQ(without.ById("qvcalsearch"), nullptr);
    EXPECT_FALSE(HeadScript(without, "g_qvkx_OwaExp").empty());
}

class RemindersBell : public PageTest {
protected:
    void SetUp() override {
        SetUpPage("basic-calendar-week.html", "/owa/?ae=Folder&t=IPF.Appointment");
        m_ews.m_configurations["OWA.UserOptions"].emplace_back("enablereminders", "TRUE");
    }
};

TEST_F(RemindersBell, RingsAfterTheSecondSeparatorOfTheTopBar) {
    Start({{125, "1"}, {127, "45"}});
    const std::string sPage = Send();
    ExpectGolden("calendar-view-reminders", sPage);
    const CHtmlTree tree(sPage);
    EXPECT_EQ(ProductScriptLinks(tree, "qv_brmnd.js"), 1);
    const GumboNode* pCell = CHtmlTree::Ancestor(tree.ById("rem"), GUMBO_TAG_TD);
    ASSERT_NE(pCell, nullptr);
    const GumboNode* pBar = CHtmlTree::Ancestor(pCell, GUMBO_TAG_TABLE);
    EXPECT_EQ(CHtmlTree::Attribute(pBar, "class"), "ob");
    int nSeparators = 0;
    for (const GumboNode* pBefore = CHtmlTree::PreviousElement(pCell); pBefore != nullptr;
         pBefore = CHtmlTree::PreviousElement(pBefore))
        nSeparators += CHtmlTree::Attribute(pBefore, "class") == "dv";
    EXPECT_EQ(nSeparators, 2);
    EXPECT_EQ(CHtmlTree::Attribute(CHtmlTree::PreviousElement(pCell), "class"), "dv");
    const GumboNode* pImage = CHtmlTree::ByTag(pCell, GUMBO_TAG_IMG).at(0);
    EXPECT_EQ(CHtmlTree::Attribute(pImage, "src"), std::string("/owa/") + PAGE_SCRIPT_FOLDER + "qv_rmnd.gif");
    EXPECT_EQ(CHtmlTree::Attribute(pImage, "alt"), "Reminders") << "the title twice";
    EXPECT_EQ(CHtmlTree::Attribute(tree.ById("rem"), "title"), "Reminders");
    EXPECT_EQ(ScriptValues(sPage, "g_QVKX_sUserBase", "g_QVKX_sUserBase, g_QVKX_sNoRemindersMsg, g_QVKX_iRmndPoll"),
              "[\"https://mail.example.test/owa/\",\"No reminders are due.\",45]\n");
}

TEST_F(RemindersBell, NoRemindersDueShowsTheQuietBell) {
    Start({{125, "1"}});
    m_spec.headers[2].second += "; QVKXNR=0";
    const CHtmlTree tree(Send());
    EXPECT_EQ(CHtmlTree::Attribute(CHtmlTree::ByTag(tree.ById("rem"), GUMBO_TAG_IMG).at(0), "src"),
              std::string("/owa/") + PAGE_SCRIPT_FOLDER + "qv_rmndn.gif");
}

TEST_F(RemindersBell, NotForTheUserWhoTurnedThemOffNorForAnotherMailbox) {
    m_ews.m_configurations["OWA.UserOptions"].back().second = "false";
    Start({{125, "1"}});
    EXPECT_EQ(HeadScript(CHtmlTree(Send()), "g_QVKX_sUserBase"), "");

    SetUp();
    Start({{125, "2"}});
    EXPECT_EQ(HeadScript(CHtmlTree(Send()), "g_QVKX_sUserBase"), "") << "only 1 switches reminders on";

    Start({{125, "1"}});
    m_spec.headers.emplace_back("X-OWA-ExplicitLogonUser", "tomas.berg@example.test");
    EXPECT_EQ(HeadScript(CHtmlTree(Send()), "g_QVKX_sUserBase"), "");
}

TEST_F(RemindersBell, ATopBarWithTwoSeparatorsGetsNoBell) {
    Start({{125, "1"}});
    for (int n = 0; n < 2; ++n) m_spec.sBody = Replaced(m_spec.sBody, "<td class=\"dv\"><img", "<td class=\"sp\"><img");
    const CHtmlTree tree(Send());
    EXPECT_EQ(tree.ById("rem"), nullptr);
    EXPECT_EQ(ProductScriptLinks(tree, "qv_brmnd.js"), 1) << "the edits before stay";
}

// The raw response read back by an HTTP client over loopback; status 0 when it could not.
class Redirect : public PageTest {
protected:
    void SetUp() override {
        SetUpPage("basic-calendar-item-editor.html", "/owa/?ae=Item&t=IPM.Appointment&qvkxdgi=rb");
    }
};

TEST_F(Redirect, TheResponseBecomesAMoveToTheCalendarFolder) {
    Start();
    m_spec.sUrl += "&qvdgmx=tomas.berg@example.test&id=RgAAAAB%2b01";
    const std::string sResponse = SendResponse();
    const httplib::Response parsed = ReadThroughHttpClient(sResponse);
    const std::string sLocation =
        "https://mail.example.test/owa/tomas.berg@example.test/?ae=Folder&t=IPF.Appointment&id=RgAAAAB%2b01";
    EXPECT_EQ(parsed.status, 302);
    EXPECT_NE(sResponse.find("\r\nLocation: " + sLocation + "\r\n"), std::string::npos) << "as the query had it";
    EXPECT_EQ(parsed.get_header_value("X-QVProduct"), "6");
    EXPECT_EQ(parsed.get_header_value("Cache-Control"), "no-cache");
    EXPECT_EQ(parsed.get_header_value_count("X-QVProduct"), 1u) << "no second product header";
    EXPECT_EQ(parsed.get_header_value("Content-Length"), std::to_string(parsed.body.size()));
    EXPECT_EQ(parsed.body.substr(parsed.body.size() - 7), "</body>") << "Content-Length counts the whole body";
    const CHtmlTree tree(parsed.body);
    EXPECT_EQ(CHtmlTree::Attribute(CHtmlTree::ByTag(tree.Root(), GUMBO_TAG_A).at(0), "href"), sLocation);
}

TEST_F(Redirect, AMailboxInTheBaseWinsAndNoItemMeansNoId) {
    Start();
    m_spec.sBase = "/owa/ana.lima@example.test";
    m_spec.sUrl += "&qvdgmx=tomas.berg@example.test";
    const httplib::Response parsed = ReadThroughHttpClient(SendResponse());
    EXPECT_EQ(parsed.get_header_value("Location"),
              "https://mail.example.test/owa/ana.lima@example.test/?ae=Folder&t=IPF.Appointment");
}

}  // namespace
