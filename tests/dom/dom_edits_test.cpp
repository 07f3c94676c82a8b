// Edits made through the DOM, applied by the reference host to the page it sends.
#include <gtest/gtest.h>

#include <functional>

#include "base/win_errors.h"
#include "dom/dom_attribute.h"
#include "dom/dom_exception.h"
#include "dom/dom_source.h"
#include "dom/dom_vectors.h"
#include "forms/sw_form_context.h"
#include "host/host_request.h"
#include "tests/dom/dom_test_support.h"
#include "tests/support/test_form.h"
#include "tests/support/trace_capture.h"

namespace {

// Positions count from the buffer start, before the response head.
const int64_t HEAD = static_cast<int64_t>(kxhost::RequestSpec().sResponseHead.size());

class DomEdits : public ::testing::Test {
protected:
    // The page as the host sends it after the edits fn makes.
    std::string Sent(const std::string& sBody, const std::function<void(CDOMSource&, CBufferInstructionList*)>& fn) {
        kxhost::RequestSpec spec;
        spec.sBody = sBody;
        kxhost::HostRequest request(m_services, spec);
        request.Context()->m_dwNotificationType = SF_NOTIFY_SEND_RAW_DATA;
        CFormNotifications notifications([&](CSWFormContext* pFormContext) {
            fn(*pFormContext->m_spDom, pFormContext->m_pcobBufferInstructionList);
            return ERROR_SUCCESS;
        });
        EXPECT_EQ(notifications.NotifySendRawData(request.Context()), 0u);
        EXPECT_EQ(request.SubmitError(), "");
        return request.SentResponse().substr(spec.sResponseHead.size());
    }
    kxhost::HostServices m_services;
};

TEST_F(DomEdits, AppendsGoBeforeTheEndTagInReverseCallOrder) {
    EXPECT_EQ(Sent("<html><head><title>t</title></head><body></body></html>",
                   [](CDOMSource& dom, CBufferInstructionList* pList) {
                       EXPECT_EQ(dom.getHead().appendContentData("<A>", pList), 0u);
                       EXPECT_EQ(dom.getHead().appendContentData("<B>", pList), 0u);
                   }),
              "<html><head><title>t</title><B><A></head><body></body></html>");
}

TEST_F(DomEdits, AppendToAnElementWithoutEndTagGoesAtItsEnd) {
    EXPECT_EQ(Sent("<body><p id=p>one<p>two</body>",
                   [](CDOMSource& dom, CBufferInstructionList* pList) {
                       EXPECT_EQ(dom.getElementById("p").appendContentData("!", pList), 0u);
                   }),
              "<body><p id=p>one!<p>two</body>");
}

TEST_F(DomEdits, ValueInsertsAtEveryOffsetAndPastTheEndThrows) {
    const std::string sPage = "<body><input id=i value=\"abc\"></body>";
    EXPECT_EQ(Sent(sPage,
                   [](CDOMSource& dom, CBufferInstructionList* pList) {
                       const CDOMAttribute value = dom.getElementById("i").getAttribute("value");
                       EXPECT_EQ(value.insertValueData(0, "x", pList), 0u);
                       EXPECT_EQ(value.insertValueData(3, "y", pList), 0u);
                       try {
                           value.insertValueData(4, "z", pList);
                           ADD_FAILURE() << "offset 4 accepted";
                       } catch (const CDOMParserIllegalArgumentException& e) {
                           EXPECT_STREQ(e.what(), "Illegal argument.[CDOMAttribute::insertValueData() : invalid nOffset "
                                                  "value]");
                           EXPECT_EQ(e.getPosition(), HEAD + 18) << "the attribute's begin";
                       }
                   }),
              "<body><input id=i value=\"xabcy\"></body>");
}

TEST_F(DomEdits, AttributeWithoutValueIsRewrittenInPlace) {
    EXPECT_EQ(Sent("<body><input id=i checked></body>",
                   [](CDOMSource& dom, CBufferInstructionList* pList) {
                       const CDOMAttribute checked = dom.getElementById("i").getAttribute("CHECKED");
                       EXPECT_THROW(checked.insertValueData(1, "1", pList), CDOMParserIllegalArgumentException);
                       EXPECT_EQ(checked.insertValueData(0, "1", pList), 0u);
                   }),
              "<body><input id=i checked=\"1\" ></body>");
}

TEST_F(DomEdits, InsertsNextToNestedElementsAndRefusesOthers) {
    const std::string sPage = "<body><div id=d><p><b id=g>x</b></p></div><i id=o>y</i></body>";
    EXPECT_EQ(Sent(sPage,
                   [](CDOMSource& dom, CBufferInstructionList* pList) {
                       const CDOMElement div = dom.getElementById("d");
                       const CDOMElement grandchild = dom.getElementById("g");
                       EXPECT_EQ(div.insertContentDataBefore("[", grandchild, pList), 0u);
                       EXPECT_EQ(div.insertContentDataAfter("]", grandchild, pList), 0u);
                       try {
                           div.insertContentDataBefore("!", dom.getElementById("o"), pList);
                           ADD_FAILURE() << "an element outside accepted";
                       } catch (const CDOMParserIllegalArgumentException& e) {
                           EXPECT_STREQ(e.what(), "Illegal argument.[CDOMElement::insertContentDataBefore() : "
                                                  "childDOMElement is not a child element or it's source differs from "
                                                  "this element's source]");
                           EXPECT_EQ(e.getPosition(), HEAD + 6);
                       }
                       EXPECT_THROW(div.insertContentDataAfter("!", div, pList), CDOMParserIllegalArgumentException)
                           << "an element is not inside its own content";
                       EXPECT_THROW(div.insertContentDataAfter("!", CDOMElement(), pList),
                                    CDOMParserUndefinedObjectException);
                       EXPECT_EQ(dom.insertContentDataBefore("<<", dom.getElementById("o"), pList), 0u);
                       EXPECT_EQ(dom.insertContentDataAfter(">>", dom.getElementById("o"), pList), 0u);
                   }),
              "<body><div id=d><p>[<b id=g>x</b>]</p></div><<<i id=o>y</i>>></body>");
}

TEST_F(DomEdits, ElementsOfAnotherPageAreRefused) {
    TestPage other("<body><p id=p>x</p></body>");
    Sent("<body><p id=p>x</p></body>", [&](CDOMSource& dom, CBufferInstructionList* pList) {
        const CDOMElement foreign = other.dom.getElementById("p");
        try {
            dom.insertContentDataBefore("!", foreign, pList);
            ADD_FAILURE() << "an element of another page accepted";
        } catch (const CDOMParserIllegalArgumentException& e) {
            EXPECT_EQ(e.getPosition(), -1);
        }
        EXPECT_THROW(dom.getBody().insertContentDataAfter("!", foreign, pList), CDOMParserIllegalArgumentException);
        EXPECT_THROW(dom.insertContentDataAfter("!", CDOMElement(), pList), CDOMParserUndefinedObjectException);
    });
}

TEST_F(DomEdits, RejectedInstructionsAreCodesNotExceptions) {
    TraceCapture trace;
    Sent("<body><p id=p>x</p></body>", [](CDOMSource& dom, CBufferInstructionList* pList) {
        EXPECT_EQ(dom.getBody().appendContentData(nullptr, pList), 13u);
        EXPECT_EQ(dom.getBody().appendContentData("x", nullptr), 13u);
        EXPECT_EQ(dom.getBody().getAttribute("none").isUndefined(), true);
    });
    EXPECT_TRUE(trace.Contains("[InsertHtmlStringAtPosition] invalid data."));
}

// The test form on the fixture pages: every insertion lands where an
// independent search of the page says it belongs.
class TestFormOnFixtures : public ::testing::TestWithParam<const char*> {};

std::string ReadFixture(const std::string& sName) {
    FILE* pFile = std::fopen((std::string(KX_TEST_DATA) + "/" + sName).c_str(), "rb");
    std::string sText;
    char buffer[65536];
    for (size_t n; pFile != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pFile)) > 0;) sText.append(buffer, n);
    if (pFile != nullptr) std::fclose(pFile);
    return sText;
}

// Where the element starting at nStart ends: the first of the given tags at
// its own table nesting level (nested tables skipped).
size_t ImpliedEnd(const std::string& sPage, size_t nStart, const std::vector<std::string>& ends) {
    int nDepth = 0;
    for (size_t nAt = nStart + 1; nAt < sPage.size(); ++nAt) {
        if (sPage.compare(nAt, 6, "<table") == 0) {
            ++nDepth;
        } else if (nDepth > 0 && sPage.compare(nAt, 8, "</table>") == 0) {
            --nDepth;
        } else if (nDepth == 0) {
            for (const std::string& sEnd : ends)
                if (sPage.compare(nAt, sEnd.size(), sEnd) == 0) return nAt;
        }
    }
    return sPage.size();
}

TEST_P(TestFormOnFixtures, EditsLandWhereThePageSaysTheyBelong) {
    kxhost::HostServices services;
    kxhost::RequestSpec spec;
    spec.sBody = ReadFixture(GetParam());
    spec.serverVariables["HEADER_QV_CSMPREFIX"] = "v1234abc";
    ASSERT_FALSE(spec.sBody.empty());
    kxhost::HostRequest request(services, spec);
    request.Context()->m_dwNotificationType = SF_NOTIFY_SEND_RAW_DATA;
    CTestForm form;
    CFormNotifications notifications([&](CSWFormContext* pFormContext) { return form.Process(pFormContext); });
    ASSERT_EQ(notifications.NotifySendRawData(request.Context()), 0u);
    ASSERT_EQ(request.SubmitError(), "");
    EXPECT_EQ(form.m_sException, "");
    const size_t nDayView = spec.sBody.find("/cdayvw.js\"");
    for (size_t n = 0; n < form.m_codes.size(); ++n)
        EXPECT_EQ(form.m_codes[n], n == 4 && nDayView == std::string::npos ? 11u : 0u)
            << "insertion " << n << " (11: the page does not link cdayvw.js)";

    // The expected page, built by text search; inserts at one place come out
    // in reverse order of the calls.
    std::string sExpected = spec.sBody;
    std::vector<std::pair<size_t, std::string>> inserts;
    const size_t nHeadEnd = sExpected.find("</head>");
    inserts.emplace_back(nHeadEnd, "<LINK rel=\"stylesheet\" type=\"text/css\" href=\"QVScripts/Kalyxa/2.0/v1234abc/"
                                   "kxtest.css\">\n<SCRIPT language=\"javascript\" src=\"QVScripts/Kalyxa/2.0/"
                                   "kxtest.js\"></SCRIPT>\n<script language=\"javascript\">var kxTest = 1;\n</script>");
    inserts.emplace_back(sExpected.rfind("</body>"), "<div>kx-block</div>\n");
    if (nDayView != std::string::npos) inserts.emplace_back(nDayView + 1, "v1234abc/");
    const size_t nTable = sExpected.find("<table");
    if (nTable != std::string::npos) {
        inserts.emplace_back(nTable, CTestForm::BEFORE_TABLE);
        inserts.emplace_back(ImpliedEnd(sExpected, sExpected.find("<tr", nTable), {"</tr>", "<tr", "</table>"}),
                             CTestForm::ROW_END);
        inserts.emplace_back(ImpliedEnd(sExpected, nTable, {"</table>"}) + 8, CTestForm::AFTER_TABLE);
    }
    const size_t nClass = sExpected.find("class=\"", sExpected.find("<td", sExpected.find("<body")));
    if (nClass != std::string::npos && sExpected.find("<td") != std::string::npos)
        inserts.emplace_back(nClass + 7, CTestForm::CLASS_PREFIX);
    std::stable_sort(inserts.begin(), inserts.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [nAt, sText] : inserts) sExpected.insert(nAt, sText);
    EXPECT_EQ(request.SentResponse().substr(spec.sResponseHead.size()), sExpected);
}

INSTANTIATE_TEST_SUITE_P(Pages, TestFormOnFixtures,
                         ::testing::Values("basic-calendar-view.html", "basic-calendar-item-editor.html",
                                           "basic-options.html", "premium-calendar-view.html", "error-page.html"));

}  // namespace
