// The basic calendar item editor through the reference host and the built
// worker, with the item's reminder in a fake EWS server: the controls in
// the page, the reminder read and written, the redirect after a save, and
// pointers into the response that do not hold.
#include <httplib.h>

#include "tests/integration/page_fixture.h"
#include "tests/support/node_script.h"

namespace {

class ItemEditor : public PageTest {
protected:
    void SetUp() override {
        SetUpPage("basic-calendar-item-editor.html", "/owa/?ae=Item&t=IPM.Appointment&a=Open&id=RgAAAAB0000");
        // The reminders bell of every basic page stays out of these pages.
        m_ews.m_configurations["OWA.UserOptions"].emplace_back("enablereminders", "false");
        m_ews.m_owaToEws["RgAAAAB0000"] = "AAMkEws1";
        m_ews.m_items["AAMkEws1"] = CFakeEwsServer::CItem{true, 30};
        // The mailbox by name: no directory answers for the user's own address here.
        m_spec.headers.emplace_back("X-OWA-ExplicitLogonUser", "ana.lima@example.test");
    }
    struct Controls {
        std::string sChecked;   // the check box's "checked", "(none)" when unchecked
        std::string sSelected;  // the selected option's value, empty when none
        size_t nOptions = 0;
    };
    static Controls ControlsOf(const CHtmlTree& tree) {
        Controls controls;
        controls.sChecked = CHtmlTree::Attribute(tree.ById("cbreminder"), "checked");
        for (const GumboNode* pOption : CHtmlTree::ByTag(tree.ById("selreminder"), GUMBO_TAG_OPTION)) {
            ++controls.nOptions;
            if (CHtmlTree::Attribute(pOption, "selected") != "(none)")
                controls.sSelected = CHtmlTree::Attribute(pOption, "value");
        }
        return controls;
    }
};

TEST_F(ItemEditor, ANewItemStartsCheckedAtFifteenMinutesWithoutAskingExchange) {
    Start({{125, "1"}});
    m_spec.sUrl = "/owa/?ae=Item&t=IPM.Appointment&a=New";
    const std::string sPage = Send();
    ExpectGolden("item-editor-new", sPage);
    const CHtmlTree tree(sPage);
    const Controls controls = ControlsOf(tree);
    EXPECT_EQ(controls.sChecked, "checked");
    EXPECT_EQ(controls.sSelected, "15");
    EXPECT_EQ(controls.nOptions, 16u);
    EXPECT_EQ(m_ews.Requests("GetItem"), 0);
    EXPECT_EQ(HeadScript(tree, "g_QVKX_bRmndSet"), "");
    // The free/busy cell and its neighbours now sit in one nested cell, after the new controls.
    const GumboNode* pNested = CHtmlTree::Ancestor(CHtmlTree::Parent(tree.ById("selFb")), GUMBO_TAG_TABLE);
    ASSERT_NE(pNested, nullptr);
    EXPECT_EQ(CHtmlTree::Attribute(pNested, "cellspacing"), "0");
    EXPECT_EQ(CHtmlTree::Ancestor(tree.ById("chkPrv"), GUMBO_TAG_TABLE), pNested);
    const GumboNode* pOuterCell = CHtmlTree::Parent(pNested);
    EXPECT_EQ(CHtmlTree::PreviousElement(pOuterCell), CHtmlTree::Parent(tree.ById("selreminder")));
    EXPECT_NE(sPage.find(std::string("/scripts/basic/") + PAGE_SCRIPT_PREFIX + "/captedt.js"), std::string::npos);
}

// The list's choices and the box's label come in one load, so the user's
// language is looked up once for the page.
TEST_F(ItemEditor, TheLanguageIsLookedUpOncePerPage) {
    StartTraced({{125, "1"}});
    const Controls controls = ControlsOf(CHtmlTree(Send()));
    EXPECT_EQ(controls.sSelected, "30");
    EXPECT_EQ(Occurrences(TraceLog(), "CSWGeneralSettings User: "), 1);
}

TEST_F(ItemEditor, AnOpenedItemShowsItsReminderFromExchange) {
    Start({{125, "1"}});
    const std::string sPage = Send();
    ExpectGolden("item-editor-open", sPage);
    const CHtmlTree tree(sPage);
    const Controls controls = ControlsOf(tree);
    EXPECT_EQ(controls.sChecked, "checked");
    EXPECT_EQ(controls.sSelected, "30");
    std::string sOutput;
    EXPECT_TRUE(RunNode(HeadScript(tree, "g_QVKX_bRmndSet") +
                            "\nconsole.log(JSON.stringify([g_QVKX_bRmndSet, g_szBasicEditForm, g_QVKX_sRmndMBS]));\n",
                        sOutput));
    EXPECT_EQ(sOutput, "[1,\"ASP.forms_basic_basiceditcalendaritem_aspx\",\"30\"]\n");

    m_ews.m_items["AAMkEws1"] = CFakeEwsServer::CItem{false, 25};
    const Controls off = ControlsOf(CHtmlTree(Send()));
    EXPECT_EQ(off.sChecked, "(none)");
    EXPECT_EQ(off.sSelected, "") << "25 is not in the list";
}

// Without another mailbox open, the item is looked up in the mailbox of the
// user the host named (the directory's primary address of jdoe), not in
// that of the account the worker's process runs as.
TEST_F(ItemEditor, TheNamedUsersOwnMailboxComesFromTheDirectory) {
    m_spec.headers.pop_back();
    m_spec.serverVariables["QV_USERNAME"] = "KALYXA\\jdoe";
    Start({{125, "1"}});
    const Controls controls = ControlsOf(CHtmlTree(Send()));
    EXPECT_EQ(controls.sChecked, "checked");
    EXPECT_EQ(controls.sSelected, "30");
}

TEST_F(ItemEditor, WithoutAMessageIdTheDefaultsAndNoScriptBlock) {
    Start({{125, "1"}});
    m_spec.sBody = Replaced(m_spec.sBody, "var a_sMsgId", "var a_sMsgKey");
    const CHtmlTree tree(Send());
    EXPECT_EQ(ControlsOf(tree).sSelected, "15");
    EXPECT_EQ(HeadScript(tree, "g_QVKX_bRmndSet"), "");
    EXPECT_EQ(m_ews.Requests("GetItem"), 0);
}

TEST_F(ItemEditor, RemindersOffForTheInstallationLeaveThePageAlone) {
    Start();
    EXPECT_EQ(Send(), m_spec.sBody);
}

TEST_F(ItemEditor, ASaveWritesTheReminderAndShowsIt) {
    Start({{125, "1"}});
    m_spec.sUrl = "/owa/?ae=Item&t=IPM.Appointment&a=Save&qvupdrm=1&qvrchk=0&qvrmbs=60";
    const Controls controls = ControlsOf(CHtmlTree(Send()));
    EXPECT_FALSE(m_ews.m_items["AAMkEws1"].bReminderSet);
    EXPECT_EQ(m_ews.m_items["AAMkEws1"].nMinutes, 60);
    EXPECT_EQ(controls.sChecked, "(none)");
    EXPECT_EQ(controls.sSelected, "60");
    EXPECT_TRUE(m_ews.ShapeErrors().empty());

    m_spec.sUrl = "/owa/?ae=Item&t=IPM.Appointment&a=Save&qvupdrm=1&qvrchk=1&qvrmbs=";
    EXPECT_EQ(Send(), m_spec.sBody) << "no minutes: nothing written, nothing changed";
    EXPECT_EQ(m_ews.Requests("UpdateItem"), 1);
}

TEST_F(ItemEditor, ASaveMayGoBackToTheCalendar) {
    Start({{125, "1"}});
    m_spec.sUrl = "/owa/?ae=Item&t=IPM.Appointment&a=Save&qvupdrm=1&qvrchk=1&qvrmbs=10&qvrdrct=1";
    const std::string sResponse = SendResponse();
    EXPECT_EQ(sResponse.substr(0, sResponse.find("\r\n")), "HTTP/1.1 302 Found");
    const size_t nHeadEnd = sResponse.find("\r\n\r\n");
    EXPECT_NE(sResponse.substr(0, nHeadEnd).find("\r\nLocation: https://mail.example.test/owa/?ae=Folder&t=IPF.Appointment"),
              std::string::npos);
    EXPECT_EQ(sResponse.substr(nHeadEnd + 4), m_spec.sBody) << "the page itself is left as it was";
    EXPECT_EQ(m_ews.m_items["AAMkEws1"].nMinutes, 10);
}

// A record whose head length or data start points outside the response:
// the search and the redirect stay inside the buffer and change nothing.
TEST_F(ItemEditor, PointersOutsideTheResponseChangeNothing) {
    Start({{125, "1"}});
    m_spec.sBody = Replaced(m_spec.sBody, "var a_sMsgId", "var a_sMsgKey");
    m_beforeRawData = [](CCommonPointers& pointers) { pointers.m_cbHead = 0xFFFFFFF0; };
    EXPECT_EQ(ControlsOf(CHtmlTree(Send())).sSelected, "15");

    m_spec.sUrl = "/owa/?ae=Item&t=IPM.Appointment&a=Save&qvrchk=1&qvrmbs=10&qvrdrct=1";
    m_beforeRawData = [](CCommonPointers& pointers) { pointers.m_cbResponseHead = 0xFFFFFFF0; };
    std::string sResponse = SendResponse();
    EXPECT_EQ(sResponse.substr(0, sResponse.find("\r\n")), "HTTP/1.1 302 Found") << "the status line is still found";
    m_beforeRawData = [](CCommonPointers& pointers) { pointers.m_cbResponseHead = 4; };
    sResponse = SendResponse();
    EXPECT_EQ(sResponse.substr(0, sResponse.find("\r\n")), "HTTP/1.1 200 OK") << "no status line end in the head";
    m_beforeRawData = [](CCommonPointers& pointers) { pointers.m_pHtmlDataStart = pointers.m_pBufferLast + 40; };
    sResponse = SendResponse();
    EXPECT_EQ(sResponse.substr(0, sResponse.find("\r\n")), "HTTP/1.1 200 OK") << "data start beyond the buffer";
    EXPECT_EQ(sResponse.find("\r\nLocation: "), std::string::npos);
}

}  // namespace
