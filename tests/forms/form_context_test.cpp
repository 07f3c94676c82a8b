#include <gtest/gtest.h>

#include "dom/dom_source.h"
#include "forms/sw_form_context.h"
#include "host/host_request.h"
#include "tests/support/trace_capture.h"

namespace {

struct Detected {
    std::string sTemplate;
    DWORD dwPageType;
    std::vector<std::string> templates;
};

Detected Detect(const std::string& sBody) {
    kxhost::HostServices services;
    kxhost::RequestSpec spec;
    spec.sResponseHead.clear();  // positions count from the page's first byte
    spec.sBody = sBody;
    kxhost::HostRequest request(services, spec);
    CSWFormContext context(request.Context(), nullptr);
    return {std::string(context.m_csTemplate.c_str()), context.m_nPageType, context.m_vecTemplates};
}

TEST(FormContext, TheTrimmedFirstPageCommentIsTheTemplate) {
    TraceCapture trace;
    const Detected page = Detect(
        "<html><!-- OwaPage = ASP.forms_basic_basiccalendarview_aspx --><body>"
        "<!-- OwaSubPage =\t\r\n ASP.sub one \n--><!-- OwaPage = ASP.forms_premium_x_aspx--></body></html>");
    EXPECT_EQ(page.sTemplate, "ASP.forms_basic_basiccalendarview_aspx");
    EXPECT_EQ(page.dwPageType, CSWFormContext::PAGE_BASIC);
    EXPECT_EQ(page.templates,
              (std::vector<std::string>{"ASP.forms_basic_basiccalendarview_aspx", "ASP.forms_premium_x_aspx",
                                        "ASP.sub one"}));
    EXPECT_TRUE(trace.Contains("CSWFormContext::ParseTemplate found <!-- OwaSubPage =  as ASP.sub one"));
}

TEST(FormContext, SubPageOnlyAndUnclosedComments) {
    EXPECT_EQ(Detect("<body><!-- OwaSubPage = ASP.forms_premium_sub_aspx --></body>").sTemplate,
              "ASP.forms_premium_sub_aspx");
    TraceCapture trace;
    const Detected unclosed =
        Detect("<body><!-- OwaSubPage = ASP.forms_basic_b_aspx --><p></p><!-- OwaPage = ASP.forms_basic_a_aspx");
    EXPECT_EQ(unclosed.sTemplate, "ASP.forms_basic_b_aspx");
    EXPECT_EQ(unclosed.templates.size(), 1u);
    EXPECT_TRUE(trace.Contains("CSWFormContext::ParseTemplate didn't find --> startpos 57 "));
}

TEST(FormContext, PageTypeFromTheTemplateInAnyCase) {
    const struct {
        const char* pszTemplate;
        DWORD dwPageType;
    } cases[] = {
        {"ASP.forms_PREMIUM_calendarview_aspx", CSWFormContext::PAGE_PREMIUM},
        {"ASP.forms_Basic_x_aspx", CSWFormContext::PAGE_BASIC},
        {"ASP.forms_basic_premium_x_aspx", CSWFormContext::PAGE_PREMIUM},
        {"ASP.forms_basic_error_aspx", CSWFormContext::PAGE_BASIC},
        {"ASP.x_basic_premium_aspx", CSWFormContext::PAGE_PREMIUM},
        {"ASP.auth_error_aspx", CSWFormContext::PAGE_OTHER},
        {"ASP.auth_logoff_aspx", CSWFormContext::PAGE_OTHER},
    };
    for (const auto& c : cases) {
        const Detected page = Detect(std::string("<!-- OwaPage = ") + c.pszTemplate + " -->");
        EXPECT_EQ(page.sTemplate, c.pszTemplate);
        EXPECT_EQ(page.dwPageType, c.dwPageType) << c.pszTemplate;
    }
}

TEST(FormContext, AnUnknownTemplateFailsConstruction) {
    TraceCapture trace;
    try {
        Detect("<!-- OwaPage = ASP.forms_other_aspx -->");
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "invalid template");
    }
    EXPECT_TRUE(trace.Contains("[CSWForm::UpdateContextWithTemplateComment] Warning: Template comment is invalid."));
}

TEST(FormContext, NoTemplateIsPageTypeOther) {
    TraceCapture trace;
    const Detected page = Detect("<html><body><!-- OwaPage = </body></html>");
    EXPECT_EQ(page.sTemplate, "");
    EXPECT_EQ(page.dwPageType, CSWFormContext::PAGE_OTHER);
    EXPECT_TRUE(trace.Contains("CSWFormContext::ParseTemplate didn't find <!-- OwaSubPage = pos 0 "));
    EXPECT_TRUE(trace.Contains("[CSWForm::UpdateContextWithTemplateComment] Warning: Template comment not found."));
}

TEST(FormContext, MissingRecordPartsThrowTheirMessages) {
    kxhost::HostServices services;
    const auto message = [](CDLLContext* pContext) {
        try {
            CSWFormContext context(pContext, nullptr);
        } catch (const CSWFormException& e) {
            return std::string(e.what());
        }
        return std::string("nothing thrown");
    };
    EXPECT_EQ(message(nullptr), "Initialize context failed: pContext is NULL");
    kxhost::RequestSpec empty;
    empty.sResponseHead.clear();
    kxhost::HostRequest request(services, empty);  // nothing buffered: no common pointers
    EXPECT_EQ(message(request.Context()), "Initialize context failed: m_pCommonPointers is NULL");
    request.Context()->m_spOutboundContext.pObject = nullptr;
    EXPECT_EQ(message(request.Context()), "Initialize context failed: m_pOutboundContext is NULL");
}

TEST(FormContext, AnUnparsableBodyGivesAnEmptyTemplate) {
    kxhost::HostServices services;
    kxhost::RequestSpec spec;
    spec.sBody = "<!-- OwaPage = ASP.forms_basic_x_aspx -->";
    kxhost::HostRequest request(services, spec);
    auto* pPointers = static_cast<COutboundContext*>(request.Context()->m_spOutboundContext.pObject)->m_pCommonPointers;
    pPointers->m_pBufferStart = nullptr;
    TraceCapture trace;
    CSWFormContext context(request.Context(), nullptr);
    EXPECT_TRUE(context.m_spDom->isUndefined());
    EXPECT_EQ(context.m_csTemplate, "");
    EXPECT_EQ(context.m_pCommonPointers, pPointers);
    EXPECT_TRUE(trace.Contains("CSWFormContext::Initialize ERROR CDOMSource isUndefined - TRUE !!!"));
}

TEST(FormContext, TemplateComparisonsIgnoreCase) {
    CNoCaseString sTemplate = "ASP.Forms_Basic_BasicCalendarView_aspx";
    EXPECT_TRUE(sTemplate == "asp.forms_basic_basiccalendarview_aspx");
    EXPECT_NE(sTemplate.find("_BASIC_"), CNoCaseString::npos);
    EXPECT_FALSE(sTemplate == "asp.forms_basic_basiccalendarview_asp");
}

}  // namespace
