// Values from outside (the browser, the page OWA sent, the host) that land in
// what the worker writes: for each sink and each hostile value, what a real
// engine reads there (node for script strings, an HTML5 parser for
// attributes, an HTTP client for headers) is the value itself, or the sink
// refuses the value; no value adds an element, a script or a header.
#include <cctype>
#include <functional>
#include <optional>

#include "tests/integration/page_fixture.h"

namespace {

constexpr DWORD VIEW_TYPE = 0x8602;

const char* const HOSTILE_VALUES[] = {
    "a\r\nSet-Cookie: owned=1",                          // a line break and a header
    "\"'><script>alert(1)</script><img alt=\"",          // quotes, markup and a script end tag
    "\"><img src=x onerror=alert(1)>",                   // leaving an attribute, without a slash
    "&amp;&lt;b&gt;&#39;",                               // entities that must stay text
    "\xC3\xA9\xE6\x97\xA5 \xE2\x80\xA8\\",               // non-ASCII, a JavaScript line end, a backslash
    "\x01\x1b\x7f",                                      // control characters
};

bool HasControlCharacter(const std::string& sValue) {
    for (char ch : sValue)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) return true;
    return false;
}

// The value as a query parameter: it ends at the next "&".
std::string QueryValue(const std::string& sValue) { return sValue.substr(0, sValue.find('&')); }

// Markup text that an HTML parser reads as sValue: ASCII punctuation as
// numeric character references.
std::string AsMarkupText(const std::string& sValue) {
    std::string sOut;
    for (const char ch : sValue) {
        if (std::ispunct(static_cast<unsigned char>(ch)) && static_cast<unsigned char>(ch) < 0x80)
            sOut += "&#" + std::to_string(static_cast<int>(ch)) + ";";
        else
            sOut += ch;
    }
    return sOut;
}

// What the HTML parser reads in an attribute that holds sValue written
// correctly (it makes CR LF one LF, and control characters U+FFFD).
std::string AsAttributeReadsIt(const std::string& sValue) {
    const CHtmlTree tree("<img src=\"" + AsMarkupText(sValue) + "\">");
    return CHtmlTree::Attribute(CHtmlTree::ByTag(tree.Root(), GUMBO_TAG_IMG).at(0), "src");
}

std::optional<std::string> ProductScriptSource(const CHtmlTree& tree) {
    for (const GumboNode* pScript : CHtmlTree::ByTag(tree.Root(), GUMBO_TAG_SCRIPT)) {
        const std::string sSource = CHtmlTree::Attribute(pScript, "src");
        if (sSource.size() > 12 && sSource.compare(sSource.size() - 12, 12, "qv_kxutil.js") == 0) return sSource;
    }
    return std::nullopt;
}

class HostileValues : public PageTest {
protected:
    // The sink's page and request; the user's stored view and reminders option.
    void Reset(const struct SinkCase& sink);
};

// Where the values come from: the request (and the page OWA answers it
// with) and the host's user store.
struct Sources {
    kxhost::RequestSpec& spec;
    kxhost::HostServices& services;
};

// What one response showed: the page as the HTML parser builds it, the
// response as the HTTP client reads it, and the URL the host serves.
struct Seen {
    const CHtmlTree& tree;
    const httplib::Response& response;
    const std::string& sRoutedUrl;
};

// One sink: the page, how the value is put where it comes from, what the
// sink holds (nullopt: nothing was written there) and what it holds for
// that value when it takes it.
struct SinkCase {
    const char* pszSink;
    const char* pszPage;
    const char* pszUrl;
    std::function<void(Sources&, const std::string&)> plant;
    std::function<std::optional<std::string>(const Seen&)> read;
    std::function<std::optional<std::string>(const std::string&)> expected;
    bool bValueMayHoldSlash = true;
};

const char* const CALENDAR = "/owa/?ae=Folder&t=IPF.Appointment";

// The value as the theme folder of the page's style-sheet link.
void PlantTheme(Sources& test, const std::string& sValue) {
    test.spec.sBody = Replaced(test.spec.sBody, "themes/base/basic_owafont.css",
                               "themes/" + AsMarkupText(sValue) + "/basic_owafont.css");
}

const SinkCase SINKS[] = {
    {"the browser's mailbox header in a script string", "premium-calendar-view.html", CALENDAR,
     [](Sources& test, const std::string& sValue) {
         test.spec.headers.emplace_back("X-OWA-ExplicitLogonUser", sValue);
     },
     [](const Seen& seen) { return ScriptVariable(seen.tree, "g_qvkx_OwaExp", "g_qvkx_owapath"); },
     [](const std::string& sValue) { return "/owa/" + sValue + "/"; }},
    {"a folder name of the page in a script string", "basic-calendar-week.html", CALENDAR,
     [](Sources& test, const std::string& sValue) {
         test.spec.sBody =
             Replaced(test.spec.sBody, "IPF.Calendar\">Calendar </a>",
                      "IPF.Calendar\">" + AsMarkupText(sValue) + "</a>");
     },
     [](const Seen& seen) { return ScriptVariable(seen.tree, "var g_qvkx_VDir=", "g_QVKX_sSelCalFoldName"); },
     [](const std::string& sValue) { return sValue; }},
    {"the page's style-sheet theme in a script string", "basic-calendar-week.html", CALENDAR,
     PlantTheme,
     [](const Seen& seen) { return ScriptVariable(seen.tree, "var g_qvkx_VDir=", "g_qvkx_CurrOwaTheme"); },
     [](const std::string& sValue) { return sValue; }, false},
    {"the page's style-sheet theme in an image address", "basic-calendar-week.html", CALENDAR,
     PlantTheme,
     [](const Seen& seen) -> std::optional<std::string> {
         const GumboNode* pButton = seen.tree.ById("qvcalsearch");
         if (pButton == nullptr) return std::nullopt;
         return CHtmlTree::Attribute(CHtmlTree::ByTag(pButton, GUMBO_TAG_IMG).at(0), "src");
     },
     [](const std::string& sValue) { return AsAttributeReadsIt("14.3.123.4/themes/" + sValue + "/bsearch.gif"); },
     false},
    {"the host's script prefix in a script address", "premium-calendar-view.html", CALENDAR,
     [](Sources& test, const std::string& sValue) {
         test.spec.serverVariables["HEADER_QV_CSMPREFIX"] = std::string(PAGE_SCRIPT_PREFIX) + sValue;
     },
     [](const Seen& seen) { return ProductScriptSource(seen.tree); },
     // None of the values can be a folder of a path: refused, the page keeps OWA's own links.
     [](const std::string&) { return std::nullopt; }},
    {"the host's Exchange address in a script string", "basic-calendar-week.html", CALENDAR,
     [](Sources& test, const std::string& sValue) {
         test.spec.sRoot = "https://mail.example.test/" + sValue;
     },
     [](const Seen& seen) { return ScriptVariable(seen.tree, "g_QVKX_sUserBase", "g_QVKX_sUserBase"); },
     [](const std::string& sValue) { return "https://mail.example.test/" + sValue + "/owa/"; }},
    {"a query value in the redirect's Location", "basic-calendar-item-editor.html",
     "/owa/?ae=Item&t=IPM.Appointment&qvkxdgi=rb",
     [](Sources& test, const std::string& sValue) { test.spec.sUrl += "&id=" + sValue; },
     [](const Seen& seen) -> std::optional<std::string> {
         if (seen.response.status != 302) return std::nullopt;
         return seen.response.get_header_value("Location");
     },
     [](const std::string& sValue) -> std::optional<std::string> {
         if (HasControlCharacter(sValue)) return std::nullopt;  // no header can hold it
         return "https://mail.example.test/owa/?ae=Folder&t=IPF.Appointment&id=" + QueryValue(sValue);
     }},
    {"a query value in the redirect's link", "basic-calendar-item-editor.html",
     "/owa/?ae=Item&t=IPM.Appointment&qvkxdgi=rb",
     [](Sources& test, const std::string& sValue) { test.spec.sUrl += "&id=" + sValue; },
     [](const Seen& seen) -> std::optional<std::string> {
         const std::vector<const GumboNode*> links = CHtmlTree::ByTag(seen.tree.Root(), GUMBO_TAG_A);
         if (seen.response.status != 302 || links.empty()) return std::nullopt;
         return CHtmlTree::Attribute(links.at(0), "href");
     },
     [](const std::string& sValue) -> std::optional<std::string> {
         if (HasControlCharacter(sValue)) return std::nullopt;
         return AsAttributeReadsIt("https://mail.example.test/owa/?ae=Folder&t=IPF.Appointment&id=" +
                                   QueryValue(sValue));
     }},
    {"a query value in the rewritten calendar URL", "premium-calendar-view.html", CALENDAR,
     [](Sources& test, const std::string& sValue) { test.spec.sUrl += "&x=" + sValue; },
     [](const Seen& seen) -> std::optional<std::string> {
         if (seen.sRoutedUrl.find("QvView") == std::string::npos) return std::nullopt;
         return seen.sRoutedUrl;
     },
     [](const std::string& sValue) -> std::optional<std::string> {
         if (HasControlCharacter(sValue)) return std::nullopt;
         return std::string(CALENDAR) + "&x=" + sValue + "&a=QvView2";
     }},
    {"the host's stored view in the rewritten calendar URL", "premium-calendar-view.html", CALENDAR,
     [](Sources& test, const std::string& sValue) {
         test.services.m_userProperties["ana.lima"][VIEW_TYPE] = "2" + sValue;
     },
     [](const Seen& seen) -> std::optional<std::string> {
         if (seen.sRoutedUrl.find("QvView") == std::string::npos) return std::nullopt;
         return seen.sRoutedUrl;
     },
     [](const std::string& sValue) -> std::optional<std::string> {
         if (HasControlCharacter(sValue)) return std::nullopt;
         return std::string(CALENDAR) + "&a=QvView2" + sValue;
     }},
};

void HostileValues::Reset(const SinkCase& sink) {
    SetUpPage(sink.pszPage, sink.pszUrl);
    m_ews.m_configurations["OWA.UserOptions"].emplace_back("enablereminders", "TRUE");
    // Not assigned from a literal: GCC 12 warns falsely there (-Wrestrict) at -O3.
    m_services.m_userProperties["ana.lima"][VIEW_TYPE] = std::string("2");
}

// Elements the hostile values would make if they left their place.
int ElementsOfTheValues(const CHtmlTree& tree) {
    int nFound = 0;
    for (const GumboNode* pScript : CHtmlTree::ByTag(tree.Root(), GUMBO_TAG_SCRIPT))
        nFound += CHtmlTree::Text(pScript) == "alert(1)";
    for (const GumboNode* pImage : CHtmlTree::ByTag(tree.Root(), GUMBO_TAG_IMG))
        nFound += CHtmlTree::Attribute(pImage, "onerror") != "(none)" ||
                  CHtmlTree::Attribute(pImage, "alt").find('<') != std::string::npos;
    return nFound;
}

TEST_F(HostileValues, EachSinkHoldsTheValueOrRefusesIt) {
    Start({{125, "1"}});
    for (const SinkCase& sink : SINKS) {
        SCOPED_TRACE(sink.pszSink);
        Sources sources{m_spec, m_services};
        for (const std::string sValue : HOSTILE_VALUES) {
            if (!sink.bValueMayHoldSlash && sValue.find('/') != std::string::npos) continue;
            SCOPED_TRACE(::testing::PrintToString(sValue));
            Reset(sink);
            sink.plant(sources, sValue);
            const std::string sResponse = SendResponse();
            const httplib::Response response = ReadThroughHttpClient(sResponse);
            const CHtmlTree tree(response.body);
            EXPECT_EQ(sink.read(Seen{tree, response, m_sRoutedUrl}), sink.expected(sValue));
            EXPECT_FALSE(response.has_header("Set-Cookie")) << "no header of the value's own";
            EXPECT_EQ(ElementsOfTheValues(tree), 0) << "no element of the value's own";
        }
    }
}

}  // namespace
