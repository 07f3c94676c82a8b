#include <gtest/gtest.h>

#include "dom/dom_exception.h"
#include "forms/cached_script_decorator.h"
#include "forms/sw_form.h"
#include "forms/sw_form_context.h"
#include "forms/sw_form_script_path.h"
#include "host/host_request.h"
#include "record/buffer_instruction_list.h"
#include "tests/support/test_form.h"
#include "tests/support/trace_capture.h"

namespace {

TEST(CachedScriptDecorator, SplitsThePrefixIntoHeadAndTail) {
    const CCachedScriptDecorator decorator("v1234/abc");
    EXPECT_EQ(decorator.GetPrefixHead(), "v1234");
    EXPECT_EQ(decorator.GetPrefixTail(), "/abc");
    EXPECT_EQ(decorator.GetPrefix(), "v1234/abc");
    EXPECT_EQ(decorator.GetPrefixFolder(), "v1234/abc/");
    EXPECT_EQ(decorator.DecorateName("x.js"), "v1234/abcx.js");
    EXPECT_EQ(decorator.StripPrefixHead("v1234/abcx.js"), "/abcx.js");
    EXPECT_EQ(decorator.StripPrefixHead("v1234"), "v1234");
    EXPECT_TRUE(decorator.IsDecorated("xxxxx/abcx.js"));
    EXPECT_FALSE(decorator.IsDecorated("xxxxx/ab"));
    EXPECT_FALSE(decorator.IsDecorated("v1234"));
    EXPECT_TRUE(decorator.ContainsPrefixFolder("/owa/V1234/ABC/x.js"));
    EXPECT_FALSE(decorator.ContainsPrefixFolder("v1234/abc/"));
    EXPECT_EQ(decorator.RemovePrefixFolders("/a/v1234/abc/x.js;/b/V1234/ABC/y.js"), "/a//abcx.js;/b//abcy.js");
}

TEST(CachedScriptDecorator, FiveCharactersOrATrailingSlashMakeOneFolder) {
    const CCachedScriptDecorator five("12345");
    EXPECT_EQ(five.GetPrefixTail(), "");
    EXPECT_EQ(five.GetPrefixFolder(), "12345/");
    EXPECT_EQ(CCachedScriptDecorator("12345v2/").GetPrefixFolder(), "12345v2/");
}

TEST(ScriptPath, JoinsBaseProductVersionAndFile) {
    const CSWFormScriptPath path("Kalyxa", "2.0");
    EXPECT_EQ(path.GetScriptPath("kx.js"), "QVScripts/Kalyxa/2.0/kx.js");
    const CCachedScriptDecorator decorator("12345");
    EXPECT_EQ(path.GetScriptPath("kx.js", &decorator), "QVScripts/Kalyxa/2.0/12345/kx.js");
    EXPECT_EQ(path.GetScriptPath("kx.js", nullptr), "");
    const auto message = [](const char* pszBase, const char* pszProduct, const char* pszVersion) {
        try {
            CSWFormScriptPath("p", "v").Initialize(pszBase, pszProduct, pszVersion);
        } catch (const CSWFormException& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message("", "", ""), "Initialize CSWFormScriptPath failed: empty base folder");
    EXPECT_EQ(message("b", "", ""), "Initialize CSWFormScriptPath failed: empty product name");
    EXPECT_EQ(message("b", "p", ""), "Initialize CSWFormScriptPath failed: empty version info");
    EXPECT_THROW(CSWFormScriptPath("Kalyxa", ""), CSWFormException);
}

// A form over one page, with the cached-script prefix the host sends.
class FormBase : public ::testing::Test {
protected:
    void Open(const std::string& sBody, const char* pszPrefix = nullptr) {
        kxhost::RequestSpec spec;
        spec.sBody = sBody;
        if (pszPrefix != nullptr) spec.serverVariables["HEADER_QV_CSMPREFIX"] = pszPrefix;
        m_pRequest = std::make_unique<kxhost::HostRequest>(m_services, spec);
        m_pContext = std::make_unique<CSWFormContext>(m_pRequest->Context(), &m_list);
    }
    // The page with the list applied.
    std::string Edited() {
        m_pRequest->Submit(&m_list);
        return m_pRequest->SentResponse().substr(m_pRequest->Spec().sResponseHead.size());
    }
    kxhost::HostServices m_services;
    std::unique_ptr<kxhost::HostRequest> m_pRequest;
    CBufferInstructionList m_list;
    std::unique_ptr<CSWFormContext> m_pContext;
    CTestForm m_form;
};

TEST_F(FormBase, CachedScriptManagerNeedsFiveCharacters) {
    TraceCapture trace;
    Open("<html></html>");
    EXPECT_EQ(m_form.GetCachedScriptManager(m_pContext.get()), nullptr);
    EXPECT_TRUE(trace.Contains("[CSWForm::PrefixLinkedScripts] Error: HEADER_QV_CSMPREFIX empty !"));
    Open("<html></html>", "1234");
    EXPECT_EQ(m_form.GetCachedScriptManager(m_pContext.get()), nullptr);
    Open("<html></html>", "12345");
    ASSERT_NE(m_form.GetCachedScriptManager(m_pContext.get()), nullptr);
    EXPECT_EQ(m_form.GetCachedScriptManager(m_pContext.get())->GetPrefixFolder(), "12345/");
}

TEST_F(FormBase, PrefixLinkedScriptsChangesOnlyTheFirstMatchingSource) {
    Open("<html><head><script src=\"/owa/8.1/other.js\"></script>"
         "<SCRIPT _src=\"/owa/8.1/scripts/CDAYVW.js\"></SCRIPT><script src=\"/b/cdayvw.js\"></script></head></html>",
         "v1234");
    EXPECT_EQ(m_form.PrefixLinkedScripts(m_pContext.get(), "cdayvw.js", true), 0u);
    EXPECT_EQ(Edited(), "<html><head><script src=\"/owa/8.1/other.js\"></script><SCRIPT _src=\"/owa/8.1/scripts/"
                        "v1234/CDAYVW.js\"></SCRIPT><script src=\"/b/cdayvw.js\"></script></head></html>");
}

TEST_F(FormBase, PrefixLinkedScriptsReportsMissingPiecesAndFiles) {
    TraceCapture trace;
    Open("<html><head><script src=\"a.js\"></script></head><body><script src=\"b.js\"></script></body></html>",
         "v1234");
    const CCachedScriptDecorator decorator("v1234");
    EXPECT_EQ(m_form.PrefixLinkedScripts(nullptr, "a.js", &decorator, true), 13u);
    EXPECT_EQ(m_form.PrefixLinkedScripts(m_pContext.get(), "", &decorator, true), 13u);
    EXPECT_EQ(m_form.PrefixLinkedScripts(m_pContext.get(), "a.js", nullptr, true), 13u);
    EXPECT_TRUE(trace.Contains("[CSWForm::PrefixLinkedScripts] Error: Invalid parameter: csm is not initialized!"));
    EXPECT_EQ(m_form.PrefixLinkedScripts(m_pContext.get(), "b.js", &decorator, true), 11u) << "only in the head";
    EXPECT_TRUE(trace.Contains("[CSWForm::PrefixLinkedScripts] Error: File name: <b.js> not found!"));
    EXPECT_EQ(m_form.PrefixLinkedScripts(m_pContext.get(), "b.js", &decorator, false), 0u) << "the whole page";
    EXPECT_TRUE(trace.Contains("[CCalForm:PrefixLinkedFiles] Done! dwRet : <0>"));
    Open("<html><head><script src=\"a.js\"></script></head></html>", "1234");
    EXPECT_EQ(m_form.PrefixLinkedScripts(m_pContext.get(), "a.js", true), 13u) << "no decorator";
    EXPECT_EQ(m_list.Count(), 1u) << "only the one prefix";
}

TEST_F(FormBase, ScriptLinksByKindAndPosition) {
    Open("<html><head></head><body><p>x</p></body></html>");
    CSWFormScriptPath path("Kalyxa", "2.0");
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "a.js", CSWForm::LINK_SCRIPT, path, false,
                                      CSWForm::POSITION_DEFAULT),
              0u);
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "https://cdn/", "b.css", CSWForm::LINK_STYLESHEET, path, false,
                                      CSWForm::POSITION_BODY),
              0u);
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "block", CSWForm::LINK_DIV, CSWForm::POSITION_HTML), 0u);
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "nowhere", CSWForm::LINK_DIV, CSWForm::POSITION_DEFAULT), 0u)
        << "a block has no default place";
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "", CSWForm::LINK_SCRIPT, CSWForm::POSITION_HEAD), 11u);
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "", CSWForm::LINK_SCRIPT, path, false, CSWForm::POSITION_HEAD),
              11u);
    EXPECT_EQ(Edited(),
              "<html><head><SCRIPT language=\"javascript\" src=\"QVScripts/Kalyxa/2.0/a.js\"></SCRIPT>\n</head>"
              "<body><p>x</p><LINK rel=\"stylesheet\" type=\"text/css\" href=\"https://cdn/QVScripts/Kalyxa/2.0/"
              "b.css\">\n</body><div>block</div>\n</html>");
}

TEST_F(FormBase, DecoratedLinksNeedThePrefix) {
    TraceCapture trace;
    CSWFormScriptPath path("Kalyxa", "2.0");
    Open("<html><head></head></html>", "abc");
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "a.js", CSWForm::LINK_SCRIPT, path, true,
                                      CSWForm::POSITION_DEFAULT),
              11u);
    EXPECT_TRUE(trace.Contains("[CSWForm::InsertScriptLink] Error: failed to initialize script decorator "));
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "https://cdn/", "a.js", CSWForm::LINK_SCRIPT, path, true,
                                      CSWForm::POSITION_DEFAULT),
              11u)
        << "no link to the base URL alone";
    EXPECT_TRUE(m_list.IsEmpty());
    Open("<html><head></head></html>", "v1234x/");
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "a.js", CSWForm::LINK_SCRIPT, path, true,
                                      CSWForm::POSITION_DEFAULT),
              0u);
    EXPECT_EQ(Edited(), "<html><head><SCRIPT language=\"javascript\" src=\"QVScripts/Kalyxa/2.0/v1234x/a.js\">"
                        "</SCRIPT>\n</head></html>");
}

TEST_F(FormBase, WithoutAHeadNothingIsInserted) {
    TraceCapture trace;
    Open("<p>fragment</p>");
    CSWFormScriptPath path("Kalyxa", "2.0");
    EXPECT_EQ(m_form.InsertScriptLink(m_pContext.get(), "a.js", CSWForm::LINK_SCRIPT, path, false,
                                      CSWForm::POSITION_DEFAULT),
              0u);
    EXPECT_TRUE(trace.Contains("[CSWForm::InsertScriptLink] Error: GetInsertionElement got an NULL HEAD element!"));
    EXPECT_THROW(m_form.InsertJSScript(m_pContext.get(), "x();"), CDOMParserUndefinedObjectException)
        << "the page modifier stops at an inline script without a HEAD";
    EXPECT_TRUE(m_list.IsEmpty());
}

TEST_F(FormBase, InlineScriptEndsWithALineFeed) {
    Open("<html><head><title>t</title></head></html>");
    EXPECT_EQ(m_form.InsertJSScript(nullptr, "x();"), 13u);
    EXPECT_EQ(m_form.InsertJSScript(m_pContext.get(), ""), 13u);
    EXPECT_EQ(m_form.InsertJSScript(m_pContext.get(), "x();"), 0u);
    EXPECT_EQ(Edited(), "<html><head><title>t</title><script language=\"javascript\">x();\n</script></head></html>");
}

}  // namespace
