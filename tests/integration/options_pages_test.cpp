// The calendar options of the basic client and of the Exchange control
// panel through the reference host and the built worker: the exact page,
// its structure as an HTML5 parser sees it and the script blocks as a
// JavaScript engine runs them.
#include "tests/integration/page_fixture.h"
#include "tests/support/node_script.h"

namespace {

// The first element under pNode whose attribute has that value; null when none.
const GumboNode* ByAttribute(const GumboNode* pNode, GumboTag tag, const char* pszName, const std::string& sValue) {
    for (const GumboNode* pElement : CHtmlTree::ByTag(pNode, tag))
        if (CHtmlTree::Attribute(pElement, pszName) == sValue) return pElement;
    return nullptr;
}

std::string RunScript(const std::string& sBlock, const std::string& sNames) {
    std::string sOutput;
    EXPECT_TRUE(RunNode(sBlock + "\nconsole.log(JSON.stringify([" + sNames + "]));\n", sOutput)) << sOutput;
    return sOutput;
}

class BasicOptions : public PageTest {
protected:
    void SetUp() override {
        SetUpPage("basic-options.html", "/owa/?ae=Options&t=Calendar");
        m_ews.m_configurations["OWA.UserOptions"].emplace_back("enablereminders", "TRUE");
    }
    // The product's links in the calendar options table, by handler.
    static std::vector<std::string> Links(const CHtmlTree& tree) {
        std::vector<std::string> links;
        for (const GumboNode* pLink : CHtmlTree::ByTag(tree.ById("tblCalOpt"), GUMBO_TAG_A)) {
            const std::string sClick = CHtmlTree::Attribute(pLink, "onclick");
            if (sClick.rfind("return qvkx_", 0) == 0) links.push_back(sClick.substr(7) + " " + CHtmlTree::Text(pLink));
        }
        return links;
    }
};

TEST_F(BasicOptions, TheSectionAndTheRemindersCheckBoxFollowTheLastHeading) {
    Start({{125, "1"}});
    const std::string sPage = Send();
    ExpectGolden("options-basic-reminders", sPage);
    const CHtmlTree tree(sPage);
    EXPECT_EQ(Links(tree), (std::vector<std::string>{"qvkx_onClkMngOtherCals(); Manage Other Calendars",
                                                     "qvkx_onClkMngDelegates(); Manage Delegates",
                                                     "qvkx_onClkAddHolidays(); Add Holidays"}));
    std::vector<std::string> headings;
    for (const GumboNode* pHeading : CHtmlTree::ByTag(tree.ById("tblCalOpt"), GUMBO_TAG_H1))
        headings.push_back(CHtmlTree::Text(pHeading));
    EXPECT_EQ(headings, (std::vector<std::string>{"Calendar Options", "Reminder Options",
                                                  "Delegates, Other Calendars and Holidays", "Reminders"}));
    const GumboNode* pBox = tree.ById("cbReminders");
    ASSERT_NE(pBox, nullptr);
    EXPECT_EQ(CHtmlTree::Attribute(pBox, "checked"), "true");
    EXPECT_EQ(CHtmlTree::Text(tree.ById("spanReminders")), "Show reminders for my calendar items");
    EXPECT_EQ(ProductScriptLinks(tree, "qv_kxutil.js"), 1);
    EXPECT_NE(ByAttribute(tree.Root(), GUMBO_TAG_SCRIPT, "src",
                          std::string("/owa/14.3.123.4/scripts/basic/") + PAGE_SCRIPT_PREFIX + "/opt.js"),
              nullptr);
    EXPECT_EQ(RunScript(HeadScript(tree, "g_QVKX_bRmndEnabled"), "g_QVKX_bRmndEnabled"), "[1]\n");
    EXPECT_EQ(RunScript(HeadScript(tree, "g_qvkx_CmdAddHld"),
                        "g_qvkx_owapath, g_qvkx_CmdAddHld, g_qvkx_OwaExp, typeof qvkx_onClkAddHolidays"),
              "[\"/owa/\",\"addhld\",2,\"function\"]\n");
}

TEST_F(BasicOptions, WithoutRemindersOnlyTheSection) {
    Start({{125, "2"}, {122, "0"}, {146, "0"}});
    const std::string sPage = Send();
    ExpectGolden("options-basic-delegates-only", sPage);
    const CHtmlTree tree(sPage);
    EXPECT_EQ(Links(tree), std::vector<std::string>{"qvkx_onClkMngDelegates(); Manage Delegates"});
    EXPECT_EQ(tree.ById("cbReminders"), nullptr);
    EXPECT_EQ(HeadScript(tree, "g_QVKX_bRmndEnabled"), "");
    EXPECT_EQ(sPage.find(PAGE_SCRIPT_PREFIX + std::string("/opt.js")), std::string::npos) << "2 counts as off";
}

TEST_F(BasicOptions, AnUnreadableOptionLeavesTheBoxUncheckedAnEmptyOneChecksIt) {
    m_ews.m_configurations["OWA.UserOptions"].back().second = "maybe";
    Start({{125, "1"}});
    CHtmlTree tree(Send());
    EXPECT_EQ(CHtmlTree::Attribute(tree.ById("cbReminders"), "checked"), "(none)");
    EXPECT_EQ(RunScript(HeadScript(tree, "g_QVKX_bRmndEnabled"), "g_QVKX_bRmndEnabled"), "[0]\n");

    SetUp();
    m_ews.m_configurations["OWA.UserOptions"].back().second = "";
    Start({{125, "1"}});
    const CHtmlTree empty(Send());
    EXPECT_EQ(CHtmlTree::Attribute(empty.ById("cbReminders"), "checked"), "true");
}

TEST_F(BasicOptions, MailOptionsOnlyGetTheirScriptPrefixed) {
    Start({{125, "1"}});
    m_spec.sUrl = "/owa/?ae=Options&t=Messaging";
    const CHtmlTree tree(Send());
    EXPECT_TRUE(Links(tree).empty());
    EXPECT_EQ(HeadScript(tree, "g_qvkx_CmdAddHld"), "");
    EXPECT_NE(ByAttribute(tree.Root(), GUMBO_TAG_SCRIPT, "src",
                          std::string("/owa/14.3.123.4/scripts/basic/") + PAGE_SCRIPT_PREFIX + "/opt.js"),
              nullptr);
}

TEST_F(BasicOptions, APageWithoutHeadingsGetsTheScriptsButNoSection) {
    Start();
    for (int n = 0; n < 2; ++n) {
        m_spec.sBody = Replaced(m_spec.sBody, "<h1 class=\"bld\">", "<b class=\"bld\">");
        m_spec.sBody = Replaced(m_spec.sBody, "</h1>", "</b>");
    }
    const CHtmlTree tree(Send());
    EXPECT_TRUE(Links(tree).empty());
    EXPECT_FALSE(HeadScript(tree, "g_qvkx_CmdAddHld").empty());
    EXPECT_EQ(ProductScriptLinks(tree, "qv_kxutil.js"), 1);
}

class ControlPanelOptions : public PageTest {
protected:
    void SetUp() override {
        SetUpPage("ecp-calendar-options.html", "/ecp/?p=customize/calendar.aspx");
        m_spec.nSubscriptionType = 31;
    }
};

TEST_F(ControlPanelOptions, TheSectionEndsTheOptionsPane) {
    Start({{146, "1"}});
    const std::string sPage = Send();
    ExpectGolden("options-control-panel", sPage);
    const CHtmlTree tree(sPage);
    const GumboNode* pSection = CHtmlTree::Ancestor(tree.ById("qvkxDivCap"), GUMBO_TAG_DIV);
    ASSERT_NE(pSection, nullptr);
    EXPECT_EQ(CHtmlTree::Parent(pSection), tree.ById("divOptions"));
    EXPECT_EQ(CHtmlTree::NextElement(pSection), nullptr) << "the last section";
    EXPECT_EQ(CHtmlTree::Parent(tree.ById("ecpFooter")), CHtmlTree::Parent(tree.ById("divOptions")))
        << "the section closes every element it opens: the page after it stays where it was";
    EXPECT_EQ(CHtmlTree::Text(tree.ById("qvkxDivCapText")), "Delegates, Other Calendars and Holidays");
    std::vector<std::string> buttons;
    for (const GumboNode* pInput : CHtmlTree::ByTag(tree.ById("qvkxDivPropCont"), GUMBO_TAG_INPUT))
        buttons.push_back(CHtmlTree::Attribute(pInput, "value"));
    EXPECT_EQ(buttons, (std::vector<std::string>{"Manage Delegates", "Add Holidays"}));
    EXPECT_NE(ByAttribute(tree.Root(), GUMBO_TAG_SCRIPT, "src", std::string("/ecp/") + PAGE_SCRIPT_FOLDER + "qv_kxutil.js"),
              nullptr);
    EXPECT_EQ(RunScript(HeadScript(tree, "g_qvkx_CmdAddHld"), "g_qvkx_owapath, g_qvkx_OwaExp, g_qvkx_OwaBuild"),
              "[\"/owa/\",1,\"14.3.123.4\"]\n");
}

// The control panel's page is changed whatever its template, even when it
// names none.
TEST_F(ControlPanelOptions, APageWithoutATemplateCommentGetsTheSectionToo) {
    Start();
    m_spec.sBody = Replaced(m_spec.sBody, "<!-- OwaPage = ASP.ecp_premium_calendaroptions_aspx -->\n", "");
    const CHtmlTree tree(Send());
    EXPECT_EQ(CHtmlTree::Text(tree.ById("qvkxDivCapText")), "Delegates, Other Calendars and Holidays");
    EXPECT_EQ(CHtmlTree::Parent(tree.ById("ecpFooter")), CHtmlTree::Parent(tree.ById("divOptions")));
}

TEST_F(ControlPanelOptions, NotWithoutTheDelegatesFeature) {
    Start({{123, "0"}});
    EXPECT_EQ(Send(), m_spec.sBody);
}

}  // namespace
