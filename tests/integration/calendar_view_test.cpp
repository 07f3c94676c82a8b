// The basic calendar view through the reference host and the built worker:
// the exact page sent for the feature switches that matter, its structure as
// an HTML5 parser sees it, and its script block run by a JavaScript engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "tests/integration/page_fixture.h"
#include "tests/support/node_script.h"

namespace {

// What the page should hold, by feature.
struct Expected {
    bool bScriptBlock = true;
    bool bViews = true;
    bool bSearch = true;
    bool bShareTable = true;
    bool bOtherCalendars = true;
    bool bDelegates = true;
};

class CalendarView : public PageTest {
protected:
    void SetUp() override { SetUpPage("basic-calendar-week.html", "/owa/?ae=Folder&t=IPF.Appointment"); }
};

// The structure of the sent page as an HTML5 parser builds it.
void ExpectStructure(const std::string& sPage, const Expected& expected) {
    const CHtmlTree tree(sPage);
    const GumboNode* pHead = tree.Child(tree.Root(), GUMBO_TAG_HEAD);
    ASSERT_NE(pHead, nullptr);
    EXPECT_EQ(ProductScriptLinks(tree, "qv_kxutil.js"), 1) << "the client script link is in HEAD";
    EXPECT_EQ(!HeadScript(tree, "var g_qvkx_VDir=").empty(), expected.bScriptBlock);
    EXPECT_EQ(!HeadScript(tree, "function qvkx_OnClkChngView(vt)").empty(), expected.bScriptBlock);

    // The buttons: cells of the toolbar row, right after the today cell and a copy of its separator.
    const GumboNode* pToday = CHtmlTree::Parent(tree.ById("lnkHdrtoday"));
    std::vector<std::string> buttons;
    if (expected.bViews) buttons = {"qvdayview", "qvwkweekview", "qvweekview", "qvmonthview"};
    if (expected.bSearch) buttons.push_back("qvcalsearch");
    if (pToday != nullptr && expected.bScriptBlock) {
        const GumboNode* pCell = CHtmlTree::NextElement(pToday);
        EXPECT_EQ(CHtmlTree::Tag(pCell), GUMBO_TAG_TD);
        EXPECT_EQ(CHtmlTree::Attribute(pCell, "class"), "dv");
        for (const std::string& sId : buttons) {
            pCell = CHtmlTree::NextElement(pCell);
            EXPECT_EQ(CHtmlTree::Tag(pCell), GUMBO_TAG_TD) << sId;
            EXPECT_EQ(CHtmlTree::Parent(tree.ById(sId)), pCell) << sId << " is the next cell";
        }
        EXPECT_EQ(CHtmlTree::Parent(pCell), CHtmlTree::Parent(pToday)) << "the same row";
    }
    for (const char* pszId : {"qvdayview", "qvwkweekview", "qvweekview", "qvmonthview", "qvcalsearch"}) {
        const bool bWanted = std::find(buttons.begin(), buttons.end(), pszId) != buttons.end();
        if (!bWanted) {
            EXPECT_EQ(tree.ById(pszId), nullptr) << pszId;
        }
    }
    if (expected.bViews && tree.ById("qvdayview") != nullptr) {
        EXPECT_EQ(CHtmlTree::Attribute(CHtmlTree::ByTag(tree.ById("qvdayview"), GUMBO_TAG_IMG).at(0), "src"),
                  std::string(PAGE_SCRIPT_FOLDER) + "qv_kx-cal-day.gif");
    }

    // The share links: a table of their own right after the manage-folders link's table.
    const GumboNode* pFolders = CHtmlTree::Ancestor(tree.ById("lnkMngFldr"), GUMBO_TAG_TABLE);
    const GumboNode* pShare = CHtmlTree::NextElement(pFolders);
    if (expected.bShareTable) {
        ASSERT_NE(pShare, nullptr);
        EXPECT_EQ(CHtmlTree::Tag(pShare), GUMBO_TAG_TABLE);
        EXPECT_EQ(CHtmlTree::Attribute(pShare, "class"), "snfmb");
        EXPECT_EQ(CHtmlTree::Ancestor(tree.ById("lnkMngCds"), GUMBO_TAG_TABLE),
                  expected.bOtherCalendars ? pShare : nullptr);
        EXPECT_EQ(CHtmlTree::Ancestor(tree.ById("lnkMngDgs"), GUMBO_TAG_TABLE), expected.bDelegates ? pShare : nullptr);
    } else {
        EXPECT_EQ(tree.ById("lnkMngCds"), nullptr);
        EXPECT_EQ(CHtmlTree::Attribute(pShare, "class"), "(none)") << "no share table";
    }
}

// The values the variable block gives, as node runs it.
std::string ScriptValues(const std::string& sPage) {
    const CHtmlTree tree(sPage);
    const std::string sBlock = HeadScript(tree, "var g_qvkx_VDir=");
    std::string sOutput;
    EXPECT_TRUE(RunNode(sBlock +
                            "\nconsole.log(JSON.stringify([g_QVKX_sSelCalFoldName, g_qvkx_VDir, g_qvkx_owapath, "
                            "g_qvkx_OwaBuild, g_qvkx_CurrOwaTheme, g_qvkx_FtrExtCV, g_qvkx_FtrOpnShCV, "
                            "g_qvkx_FtrMngDgs]));\n",
                        sOutput))
        << sOutput;
    return sOutput;
}

TEST_F(CalendarView, AllFeaturesOn) {
    Start();
    const std::string sPage = Send();
    ExpectGolden("calendar-view-all-on", sPage);
    ExpectStructure(sPage, Expected{});
    EXPECT_EQ(ScriptValues(sPage),
              "[\"Calendar\",\"https://mail.example.test/X-Kalyxa/\",\"/owa/\",\"14.3.123.4\",\"base\",1,1,1]\n");
}

struct FeatureCase {
    const char* pszName;
    std::map<int, std::string> settings;
    Expected expected;
};

class CalendarViewFeatures : public CalendarView, public ::testing::WithParamInterface<FeatureCase> {};

void PrintTo(const FeatureCase& feature, std::ostream* pOut) { *pOut << feature.pszName; }

TEST_P(CalendarViewFeatures, GiveTheirPage) {
    Start(GetParam().settings);
    const std::string sPage = Send();
    ExpectGolden(std::string("calendar-view-") + GetParam().pszName, sPage);
    ExpectStructure(sPage, GetParam().expected);
    EXPECT_FALSE(ScriptValues(sPage).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Switches, CalendarViewFeatures,
    ::testing::Values(
        FeatureCase{"views-off", {{124, "0"}}, {true, false, true, true, true, true}},
        FeatureCase{"search-off", {{126, "0"}}, {true, true, false, true, true, true}},
        FeatureCase{"shared-and-delegates-off", {{122, "0"}, {123, "0"}}, {true, true, true, true, false, false}},
        FeatureCase{"all-off", {{122, "0"}, {123, "0"}, {124, "0"}, {126, "0"}}, {true, false, false, true, false, false}}),
    [](const ::testing::TestParamInfo<FeatureCase>& info) {
        std::string sName = info.param.pszName;
        for (char& ch : sName)
            if (ch == '-') ch = '_';
        return sName;
    });

TEST_F(CalendarView, WithoutTheFolderTableOnlyTheScriptLinkIsAdded) {
    Start();
    m_spec.sBody = Replaced(m_spec.sBody, "<table class=\"snt\"", "<table class=\"sntx\"");
    const std::string sPage = Send();
    ExpectGolden("calendar-view-no-folder-table", sPage);
    ExpectStructure(sPage, {false, false, false, false, false, false});
}

TEST_F(CalendarView, WithoutTheTodayLinkOrItsSeparatorTheBlockStaysButNoButtonsOrLinks) {
    Start();
    m_spec.sBody = Replaced(m_spec.sBody, "id=\"lnkHdrtoday\"", "id=\"lnkHdrTomorrow\"");
    std::string sPage = Send();
    ExpectGolden("calendar-view-no-today-link", sPage);
    ExpectStructure(sPage, {true, false, false, false, false, false});
    // A separator whose class only begins with "dv" is no separator.
    SetUp();
    const std::string sToday = "alt=\"\"></td>\n<td nowrap><a id=\"lnkHdrtoday\"";
    m_spec.sBody = Replaced(m_spec.sBody, "<td class=\"dv\"><img src=\"/owa/14.3.123.4/themes/base/dv.gif\" " + sToday,
                            "<td class=\"dvx\"><img src=\"/owa/14.3.123.4/themes/base/dv.gif\" " + sToday);
    sPage = Send();
    ExpectStructure(sPage, {true, false, false, false, false, false});
    EXPECT_EQ(sPage.find("qvdayview"), std::string::npos);
}

// A cell without a class before the today link is no separator either: the
// buttons step ends with its own code, not with a failure of the parser.
TEST_F(CalendarView, ASeparatorCellWithoutAClassEndsTheButtonsStepWithItsCode) {
    StartTraced();
    const std::string sToday = "alt=\"\"></td>\n<td nowrap><a id=\"lnkHdrtoday\"";
    m_spec.sBody = Replaced(m_spec.sBody, "<td class=\"dv\"><img src=\"/owa/14.3.123.4/themes/base/dv.gif\" " + sToday,
                            "<td><img src=\"/owa/14.3.123.4/themes/base/dv.gif\" " + sToday);
    ExpectStructure(Send(), {true, false, false, false, false, false});
    const std::string sLog = TraceLog();
    EXPECT_NE(sLog.find("[CAddressBookForm::AddCalendarViewsAndSearchBtn] Separator not found."), std::string::npos);
    EXPECT_NE(sLog.find("[CKXFormCalendarViewB::Process] returned dwRet <13>"), std::string::npos);
}

TEST_F(CalendarView, WithoutTheManageFoldersLinkEverythingButTheShareLinks) {
    Start();
    m_spec.sBody = Replaced(m_spec.sBody, "id=\"lnkMngFldr\"", "id=\"lnkMngFolder\"");
    const std::string sPage = Send();
    ExpectGolden("calendar-view-no-manage-folders", sPage);
    ExpectStructure(sPage, {true, true, true, false, false, false});
}

TEST_F(CalendarView, TheWholeFixturePageGetsTheSameStructure) {
    Start();
    m_spec.sBody = ReadData("basic-calendar-view.html");
    ExpectStructure(Send(), Expected{});
}

TEST_F(CalendarView, FrenchTextsInThePageCharacterSet) {
    Start();
    m_spec.headers[1].second = "fr-FR,fr;q=0.9";
    const CHtmlTree tree(Send());
    EXPECT_EQ(CHtmlTree::Text(tree.ById("qvdayview")), " Jour");
    EXPECT_EQ(CHtmlTree::Attribute(tree.ById("qvwkweekview"), "title"), "Afficher la semaine de travail");
    EXPECT_EQ(CHtmlTree::Text(tree.ById("lnkMngDgs")), "G\xC3\xA9rer les d\xC3\xA9l\xC3\xA9gu\xC3\xA9s");
}

// Browsers set to languages of five scripts, both directions: the buttons,
// their titles and the links in that language, and the reminders script's
// message as node reads it.
TEST_F(CalendarView, PagesInTheBrowsersLanguage) {
    m_ews.m_configurations["OWA.UserOptions"].emplace_back("enablereminders", "true");
    Start({{125, "1"}});
    struct CCase {
        const char* pszAccept;
        const char* pszDay;
        const char* pszWorkWeekTitle;
        const char* pszDelegates;
        const char* pszNoReminders;
    };
    const CCase CASES[] = {
        {"es-ES,es;q=0.9", " Día", "Mostrar la semana laboral", "Administrar delegados", "No hay avisos pendientes."},
        {"ja-JP,ja;q=0.9", " 日", "稼働日を表示", "代理人の管理", "期限の来たアラームはありません。"},
        {"ar-SA,ar;q=0.9", " يوم", "عرض أسبوع العمل", "إدارة المفوضين", "لا توجد تذكيرات مستحقة."},
        {"he-IL,he;q=0.9", " יום", "הצג את שבוע העבודה", "ניהול נציגים", "אין תזכורות שמועדן הגיע."},
        {"zh-CN,zh;q=0.9", " 日", "显示工作周", "管理代理人", "没有到期的提醒。"},
    };
    for (const CCase& language : CASES) {
        m_spec.headers[1].second = language.pszAccept;
        const CHtmlTree tree(Send());
        EXPECT_EQ(CHtmlTree::Text(tree.ById("qvdayview")), language.pszDay) << language.pszAccept;
        EXPECT_EQ(CHtmlTree::Attribute(tree.ById("qvwkweekview"), "title"), language.pszWorkWeekTitle);
        EXPECT_EQ(CHtmlTree::Text(tree.ById("lnkMngDgs")), language.pszDelegates);
        std::string sOutput;
        EXPECT_TRUE(RunNode(HeadScript(tree, "g_QVKX_sNoRemindersMsg") + "\nconsole.log(g_QVKX_sNoRemindersMsg);\n",
                            sOutput))
            << sOutput;
        EXPECT_EQ(sOutput, std::string(language.pszNoReminders) + "\n");
    }
}

// The host names the user; the worker's thread runs as its process, whose
// identity is not the user's. The page speaks the named user's directory
// culture (jdoe: fr-CA) over the browser's English.
TEST_F(CalendarView, TheNamedUsersDirectoryCultureWinsOverTheBrowser) {
    Start();
    m_spec.serverVariables["QV_USERNAME"] = "KALYXA\\jdoe";
    const CHtmlTree tree(Send());
    EXPECT_EQ(CHtmlTree::Text(tree.ById("qvdayview")), " Jour");
    EXPECT_EQ(CHtmlTree::Text(tree.ById("lnkMngDgs")), "G\xC3\xA9rer les d\xC3\xA9l\xC3\xA9gu\xC3\xA9s");
}

// The reminders step after the page's own modifier adds the reminders
// script for a user whose option is on: not on a sibling product's page,
// not for another mailbox. The time zone and the option come in one
// answer, read once per session.
TEST_F(CalendarView, TheRemindersStepRunsOnlyOnThisProductsOwnPages) {
    m_ews.m_configurations["OWA.UserOptions"].emplace_back("enablereminders", "true");
    Start({{125, "1"}});
    m_spec.headers.emplace_back("Referer", "https://mail.example.test/owa/x-ombrel/list.aspx");
    EXPECT_EQ(Send().find("g_QVKX_iRmndPoll"), std::string::npos) << "a sibling product's page";
    m_spec.headers.back().second = "https://mail.example.test/owa/?ae=Folder";
    EXPECT_NE(Send().find("g_QVKX_iRmndPoll"), std::string::npos);
    EXPECT_EQ(m_ews.Requests("GetUserConfiguration"), 1) << "both options from the first answer";

    m_spec.headers.emplace_back("X-OWA-ExplicitLogonUser", "bob@example.test");
    m_spec.headers.emplace_back("Cookie", "UserContext=d00d; sessionid=s2");
    EXPECT_EQ(Send().find("g_QVKX_iRmndPoll"), std::string::npos) << "another mailbox is open";
    EXPECT_EQ(m_ews.Requests("GetUserConfiguration"), 2) << "a new session asks again";
}

TEST_F(CalendarView, AReminderIsStoredThroughExchange) {
    m_ews.m_owaToEws["RgAAAAB0000"] = "AAMkEws1";
    m_ews.m_items["AAMkEws1"] = CFakeEwsServer::CItem{false, 15};
    Start();
    m_spec.headers.emplace_back("X-OWA-ExplicitLogonUser", "ana.lima@example.test");
    m_spec.sUrl += "&qvmsgid=RgAAAAB0000&qvrchk=1&qvrmbs=30";
    Send();
    EXPECT_TRUE(m_ews.m_items["AAMkEws1"].bReminderSet);
    EXPECT_EQ(m_ews.m_items["AAMkEws1"].nMinutes, 30);
    EXPECT_EQ(m_ews.LastImpersonated(), "ana.lima@kalyxa.test") << "as the signed-in user";

    m_spec.sUrl = "/owa/?ae=Folder&t=IPF.Appointment&qvmsgid=RgAAAAB0000&qvrchk=0&qvrmbs=10";
    Send();
    EXPECT_FALSE(m_ews.m_items["AAMkEws1"].bReminderSet) << "\"0\" turns it off";
    EXPECT_EQ(m_ews.m_items["AAMkEws1"].nMinutes, 10);

    m_spec.sUrl = "/owa/?ae=Folder&t=IPF.Appointment&qvmsgid=RgAAAAB0000&qvrchk=1";
    const std::string sPage = Send();
    EXPECT_EQ(m_ews.Requests("UpdateItem"), 2) << "without minutes nothing is written";
    ExpectStructure(sPage, Expected{});
    EXPECT_TRUE(m_ews.ShapeErrors().empty());
}

}  // namespace
