// What an operator configures, through the loaded worker: a settings file
// saved between two requests is in force for the next one, a value left
// empty gives the setting's default, and the trace switch's values.
#include <functional>
#include <utility>

#include "tests/integration/page_fixture.h"

namespace {

constexpr DWORD VIEW_TYPE = 0x8602;

// A request's page as OWA sent it and as it left, and the URL served.
struct Sent {
    std::string sOwaPage;
    std::string sPage;
    std::string sRoutedUrl;
};

class OperatorSettings : public PageTest {
protected:
    // Checks the settings file at every request.
    void StartChecking(std::map<int, std::string> settings = {}) {
        settings.emplace(81, "0");
        Start(std::move(settings));
    }
    // Setting 6 is read at pre-processing, before the refresh, and an
    // ignored request goes no further: another page takes the change up.
    void RefreshThroughAnotherPage() {
        const std::string sUrl = std::exchange(m_spec.sUrl, "/owa/?ae=Item&t=IPM.Note");
        Send();
        m_spec.sUrl = sUrl;
    }
    Sent SendOne() {
        std::string sPage = Send();
        return Sent{m_spec.sBody, std::move(sPage), m_sRoutedUrl};
    }
};

std::string Presence(const GumboNode* pNode, const char* pszName) {
    return std::string(pNode != nullptr ? "" : "no ") + pszName;
}

std::string Unchanged(const Sent& sent) { return sent.sPage == sent.sOwaPage ? "as OWA sent it" : "changed"; }

// One setting the worker reads while it serves: the page or URL it affects
// and what a request shows with the default and with the operator's value.
struct OperatorCase {
    int nId;
    const char* pszValue;
    const char* pszPage;
    const char* pszUrl;
    std::function<std::string(const Sent&)> probe;
    const char* pszDefault;
    const char* pszChanged;
    const char* pszEmptied = nullptr;  // when not the default
    std::map<int, std::string> start = {};
};

std::string Variable(const std::string& sPage, const char* pszMarker, const char* pszName) {
    return ScriptVariable(CHtmlTree(sPage), pszMarker, pszName).value_or("(no script)");
}

const OperatorCase OPERATOR_CASES[] = {
    {123, "0", "premium-calendar-view.html", "/owa/?ae=Folder&t=IPF.Appointment",
     [](const Sent& sent) { return Presence(CHtmlTree(sent.sPage).ById("qvDivMngDgs"), "delegates"); },
     "delegates", "no delegates"},
    {126, "0", "premium-calendar-view.html", "/owa/?ae=Folder&t=IPF.Appointment",
     [](const Sent& sent) { return Presence(CHtmlTree(sent.sPage).ById("divToolbarButtonsearchcalendar"), "search"); },
     "search", "no search"},
    {122, "0", "basic-calendar-week.html", "/owa/?ae=Folder&t=IPF.Appointment",
     [](const Sent& sent) {
         return std::string(sent.sPage.find("id=\"lnkMngCds\"") != std::string::npos ? "" : "no ") + "other calendars";
     },
     "other calendars", "no other calendars"},
    {124, "0", "premium-calendar-view.html", "/owa/?ae=Folder&t=IPF.Appointment",
     [](const Sent& sent) { return sent.sRoutedUrl.substr(sent.sRoutedUrl.rfind("a=")); },
     "a=QvView2", "a=QvOWA"},
    {125, "1", "basic-calendar-week.html", "/owa/?ae=Folder&t=IPF.Appointment",
     [](const Sent& sent) { return Presence(CHtmlTree(sent.sPage).ById("rem"), "bell"); }, "no bell",
     "bell"},
    {146, "0", "ecp-calendar-options.html", "/ecp/?p=customize/calendar.aspx",
     [](const Sent& sent) {
         const CHtmlTree tree(sent.sPage);
         std::string sButtons;
         for (const GumboNode* pInput : CHtmlTree::ByTag(tree.ById("qvkxDivPropCont"), GUMBO_TAG_INPUT))
             sButtons.append("[").append(CHtmlTree::Attribute(pInput, "value")).append("]");
         return sButtons;
     },
     "[Manage Delegates][Add Holidays]", "[Manage Delegates]"},
    {100, "Calendar", "basic-calendar-week.html", "/owa/?ae=Folder&t=IPF.Appointment",
     [](const Sent& sent) { return Variable(sent.sPage, "var g_qvkx_VDir=", "g_qvkx_VDir"); },
     "https://mail.example.test/X-Kalyxa/", "https://mail.example.test/Calendar/",
     "https://mail.example.test/Calendar/"},  // an empty name never replaces the folder in use
    {127, "45", "basic-calendar-week.html", "/owa/?ae=Folder&t=IPF.Appointment",
     [](const Sent& sent) { return Variable(sent.sPage, "g_QVKX_sUserBase", "String(g_QVKX_iRmndPoll)"); }, "60",
     "45", nullptr, {{125, "1"}}},
    {6, "t=ipf.appointment", "premium-calendar-view.html", "/owa/?ae=Folder&t=IPF.Appointment",
     Unchanged,
     "changed", "as OWA sent it"},
    {200, "1", "premium-calendar-view.html", "/owa/?ae=Folder&t=IPF.Appointment",
     Unchanged,
     "changed", "as OWA sent it"},
};

TEST_F(OperatorSettings, ASavedChangeHoldsFromTheNextRequestAndAnEmptyValueIsTheDefault) {
    for (const OperatorCase& c : OPERATOR_CASES) {
        SCOPED_TRACE("setting " + std::to_string(c.nId));
        SetUpPage(c.pszPage, c.pszUrl);
        if (std::string(c.pszUrl).rfind("/ecp/", 0) == 0) m_spec.nSubscriptionType = 31;
        m_ews.m_configurations["OWA.UserOptions"].emplace_back("enablereminders", "TRUE");
        // Not assigned from a literal: GCC 12 warns falsely there (-Wrestrict) at -O3.
        m_services.m_userProperties["ana.lima"][VIEW_TYPE] = std::string("2");
        StartChecking(c.start);
        EXPECT_EQ(c.probe(SendOne()), c.pszDefault);
        m_spProduct->Change({{c.nId, c.pszValue}});
        if (c.nId == 6) RefreshThroughAnotherPage();
        EXPECT_EQ(c.probe(SendOne()), c.pszChanged) << "no restart needed";
        m_spProduct->Change({{c.nId, ""}});
        if (c.nId == 6) RefreshThroughAnotherPage();
        EXPECT_EQ(c.probe(SendOne()), c.pszEmptied != nullptr ? c.pszEmptied : c.pszDefault) << "a value left empty";
        m_spWorker.reset();
    }
}

TEST_F(OperatorSettings, EveryTraceSwitchValue) {
    struct Case {
        const char* pszSwitch;
        bool bLines;
    } const cases[] = {{"0", false}, {"1", true}, {"10", true}, {"2", false}, {"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("switch ") + c.pszSwitch);
        SetUpPage("premium-calendar-view.html", "/owa/?ae=Folder&t=IPF.Appointment");
        StartTraced({{14, c.pszSwitch}});
        Send();
        const std::string sLog = TraceLog();
        EXPECT_EQ(Occurrences(sLog, "[CNotifications::ProcessForm] started.") == 1, c.bLines) << sLog.substr(0, 300);
        if (std::string(c.pszSwitch) == "10") {
            EXPECT_EQ(sLog.rfind("\n\n ****  ", 0), 0u) << "the basic sink: the log mode is not applied";
        }
        std::filesystem::remove_all(m_logFolder.string() + "/QuorvaneLogs");
    }
    SetUpPage("premium-calendar-view.html", "/owa/?ae=Folder&t=IPF.Appointment");
    StartTraced({{14, "0"}, {81, "0"}});
    Send();
    m_spProduct->Change({{14, "1"}});
    Send();
    EXPECT_EQ(Occurrences(TraceLog(), "[CNotifications::ProcessForm] started."), 1) << "on from the next request";
}

}  // namespace
