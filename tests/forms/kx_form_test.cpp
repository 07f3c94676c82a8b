#include <gtest/gtest.h>

#include "forms/kx_form.h"
#include "forms/kx_form_factory.h"
#include "forms/page_text.h"
#include "forms/sw_form_context.h"
#include "host/host_request.h"
#include "kx/host_abi.h"
#include "record/buffer_instruction_list.h"
#include "tests/support/trace_capture.h"

namespace {

TEST(PageText, DecodesTheReferencesOwaWritesAndLeavesTheRest) {
    EXPECT_EQ(DecodeHtmlText("a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;"), "a & b <c> \"d\" 'e'");
    EXPECT_EQ(DecodeHtmlText("&#65;&#x42;&#X43; &#233;&#x1F600;"), "ABC \xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(DecodeHtmlText("&amp;quot;"), "&quot;") << "one level only";
    EXPECT_EQ(DecodeHtmlText("&nbsp;"), "\xC2\xA0");
    EXPECT_EQ(DecodeHtmlText("AT&T &copy; &#; &#x; &#xD800; &#0; &#1114112; &#65"),
              "AT&T &copy; &#; &#x; &#xD800; &#0; &#1114112; &#65")
        << "unknown, empty, surrogate, NUL, too large and unterminated references stay";
    EXPECT_EQ(DecodeHtmlText("&"), "&");
    EXPECT_EQ(DecodeHtmlText("x&amp"), "x&amp");
}

TEST(PageText, EscapesForMarkup) {
    EXPECT_EQ(EscapeHtml("a&b<c>\"d\"'e'"), "a&amp;b&lt;c&gt;&quot;d&quot;&#39;e&#39;");
    EXPECT_EQ(EscapeHtml("QVScripts/Kalyxa/2.0/x.gif"), "QVScripts/Kalyxa/2.0/x.gif");
}

TEST(PageText, EscapesForAScriptString) {
    std::string sOut;
    AppendJsString(sOut, std::string("a\\b\"c'd\r\n</script><!--\t\x01\x7F", 25));
    EXPECT_EQ(sOut, "a\\\\b\\\"c\\'d\\r\\n\\x3C/script>\\x3C!--\\x09\\x01\\x7F");
    sOut.clear();
    AppendJsString(sOut, "x\xE2\x80\xA8y\xE2\x80\xA9z\xE2\x80\xAA\xC3\xA9");
    EXPECT_EQ(sOut, "x\\u2028y\\u2029z\xE2\x80\xAA\xC3\xA9") << "other characters pass as they are";
    sOut.clear();
    AppendJsString(sOut, "\xE2\x80");
    EXPECT_EQ(sOut, "\xE2\x80") << "a cut sequence is read no further";
}

struct FormChoice {
    const char* pszTemplate;
    DWORD dwPageType;
    DWORD dwFeature;
    int nOtherCalendars;
    int nDelegates;
    CKXFormKind expected;
};

void PrintTo(const FormChoice& choice, std::ostream* pOut) {
    *pOut << choice.pszTemplate << " type " << choice.dwPageType << " feature 0x" << std::hex << choice.dwFeature
          << std::dec << " 122=" << choice.nOtherCalendars << " 123=" << choice.nDelegates;
}

class FactoryChoice : public ::testing::TestWithParam<FormChoice> {};

TEST_P(FactoryChoice, ByTemplatePageTypeAndFeatures) {
    const FormChoice& choice = GetParam();
    EXPECT_EQ(CKXFormFactory::ChooseForm(choice.pszTemplate, choice.dwPageType, choice.dwFeature,
                                         choice.nOtherCalendars, choice.nDelegates),
              choice.expected);
}

constexpr DWORD PREMIUM = CSWFormContext::PAGE_PREMIUM;
constexpr DWORD BASIC = CSWFormContext::PAGE_BASIC;

INSTANTIATE_TEST_SUITE_P(
    Cases, FactoryChoice,
    ::testing::Values(
        FormChoice{"ASP.forms_premium_calendarview_aspx", PREMIUM, 0, 1, 1, CKXFormKind::CALENDAR_VIEW_P},
        FormChoice{"ASP.forms_premium_readmessage_aspx", PREMIUM, 0, 1, 1, CKXFormKind::NONE},
        FormChoice{"ASP.forms_premium_readmessage_aspx", PREMIUM, 0x400, 1, 1, CKXFormKind::CAL_OPTIONS_P},
        FormChoice{"ASP.forms_premium_readmessage_aspx", PREMIUM, 0x400, 1, 0, CKXFormKind::NONE},
        FormChoice{"ASP.forms_basic_basiccalendarview_aspx", BASIC, 0x400, 0, 1, CKXFormKind::CAL_OPTIONS_P},
        FormChoice{"ASP.forms_premium_readmessage_aspx", PREMIUM, 0x500, 1, 1, CKXFormKind::NONE},
        FormChoice{"asp.forms_basic_basiccalendarview_aspx", BASIC, 0, 1, 1, CKXFormKind::CALENDAR_VIEW_B},
        FormChoice{"ASP.forms_basic_qv_basiccalendarview_aspx", BASIC, 0, 1, 1, CKXFormKind::CALENDAR_VIEW_B},
        FormChoice{"ASP.forms_basic_basiccalendarview_aspx", BASIC, 0x20, 1, 1, CKXFormKind::REDIR_2_CALENDAR_VIEW_B},
        FormChoice{"ASP.forms_basic_basicoptions_aspx", BASIC, 0x100, 0, 1, CKXFormKind::CAL_OPTIONS_B},
        FormChoice{"ASP.forms_basic_basicoptions_aspx", BASIC, 0x100, 0, 0, CKXFormKind::NONE},
        FormChoice{"ASP.forms_basic_basicoptions_aspx", BASIC, 0, 1, 1, CKXFormKind::NONE},
        FormChoice{"ASP.forms_basic_basiceditcalendaritem_aspx", BASIC, 0, 1, 1, CKXFormKind::EDIT_CALENDAR_ITEM_B},
        FormChoice{"ASP.forms_basic_qv_dgbasiccalendarview_aspx", BASIC, 0, 1, 1,
                   CKXFormKind::CALENDAR_DELEGATE_VIEW_B},
        FormChoice{"ASP.forms_basic_basiccalendarview_aspxx", BASIC, 0, 1, 1, CKXFormKind::NONE},
        FormChoice{"ASP.auth_error_aspx", CSWFormContext::PAGE_OTHER, 0, 1, 1, CKXFormKind::NONE}));

// A form with no work of its own, for the base's operations.
class CProbeForm : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override { return 0; }
};

class ProductForm : public ::testing::Test {
protected:
    void Open(const std::string& sHead) {
        kxhost::RequestSpec spec;
        spec.sBody = "<html><head>" + sHead + "</head><body></body></html>";
        m_spRequest = std::make_unique<kxhost::HostRequest>(m_services, spec);
        m_spContext = std::make_unique<CSWFormContext>(m_spRequest->Context(), &m_list);
        m_form = CProbeForm();
        m_form.Init(m_spContext.get());
    }
    std::string BuildAndTheme() {
        std::string sBuild, sTheme;
        if (!m_form.GetOWABuildAndCurrentOWAThemeFromCSSLinkTags("basic_owafont.css", "basic.css", sBuild, sTheme))
            return "(none)";
        return sBuild + " " + sTheme;
    }
    kxhost::HostServices m_services;
    std::unique_ptr<kxhost::HostRequest> m_spRequest;
    CBufferInstructionList m_list;
    std::unique_ptr<CSWFormContext> m_spContext;
    CProbeForm m_form;
};

TEST_F(ProductForm, BuildAndThemeComeFromTheFirstMatchingStyleSheet) {
    Open("<link rel=stylesheet href=\"/owa/1.0/themes/a/basic.css\">"
         "<link type=\"text/javascript\" href=\"/owa/2.0/themes/b/basic.css\">"
         "<link type=\"TEXT/CSS\" href=\"basic.css\">"
         "<link type=\"text/css\" href=\"https://cdn.example.test/owa/3.0/themes/c/basic.css\">"
         "<link type=\"text/css\" href=\"/owa/4.0/themes/d/other.css\">"
         "<LINK TYPE=\"Text/Css\" HREF=\"/owa/14.3.123.4/themes/seattle/BASIC.CSS\">"
         "<link type=\"text/css\" href=\"/owa/5.0/themes/e/basic_owafont.css\">");
    EXPECT_EQ(BuildAndTheme(), "14.3.123.4 seattle")
        << "no type, another type, too few parts, an absolute URL and another file are skipped";
    Open("<link type=\"text/css\" href=\"14.3/themes/x/basic_owafont.css\">");
    EXPECT_EQ(BuildAndTheme(), "14.3 x") << "a first part without a leading slash counts";
    Open("<link type=\"text/css\" href=\"/owa/14.3/themes//x/basic.css\">");
    EXPECT_EQ(BuildAndTheme(), "(none)") << "an empty part ends the split";
}

TEST_F(ProductForm, InitTracesAnIncompleteContextButRuns) {
    TraceCapture trace;
    CProbeForm form;
    EXPECT_EQ(form.Process(nullptr), 0u);
    EXPECT_TRUE(form.IsInit());
    EXPECT_TRUE(trace.Contains("[CKXForm::Init] Invalid context."));
    std::string sScript;
    EXPECT_EQ(form.AppendJSVarHandlerVirPath(sScript), 7u) << "no Exchange URLs";
    EXPECT_TRUE(sScript.empty());
}

}  // namespace
