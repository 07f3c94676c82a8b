#include <gtest/gtest.h>

#include "htmlparser/element.h"
#include "htmlparser/end_tag.h"
#include "htmlparser/start_tag_types.h"
#include "tests/htmlparser/parser_test_support.h"
#include "tests/support/trace_capture.h"

namespace {

CElement* ElementAt(const Doc& doc, const std::string& sNeedle, size_t nFrom = 0) {
    CTag* pTag = CTag::getTagAt(doc.get(), doc.at(sNeedle, nFrom));
    return pTag == nullptr ? nullptr : pTag->getElement();
}

std::string Span(const Doc& doc, const CElement* pElement) { return pElement == nullptr ? "<none>" : doc.text(pElement); }

TEST(Elements, OptionalEndsAreImplied) {
    Doc doc("<p>a<p>b");
    CElement* pFirst = ElementAt(doc, "<p>a");
    EXPECT_EQ(Span(doc, pFirst), "<p>a");
    EXPECT_EQ(pFirst->getEndTag(), nullptr) << "an implied end is not stored";
    EXPECT_EQ(Span(doc, ElementAt(doc, "<p>b")), "<p>b") << "nothing closes it: the source end";

    Doc closedByDiv("<div><p>a</div>");
    EXPECT_EQ(Span(closedByDiv, ElementAt(closedByDiv, "<p>")), "<p>a");
    EXPECT_EQ(Span(closedByDiv, ElementAt(closedByDiv, "<div>")), "<div><p>a</div>");
}

TEST(Elements, NestedListsAreSteppedOverWhole) {
    Doc doc("<ul><li>one<ul><li>inner</ul><li>two</ul>");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<li>one")), "<li>one<ul><li>inner</ul>");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<li>inner")), "<li>inner");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<li>two")), "<li>two");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<ul>")), doc.m_sText);
}

TEST(Elements, SameNameNestingIsMatched) {
    Doc doc("<div><div></div></div>");
    CElement* pOuter = ElementAt(doc, "<div>");
    EXPECT_EQ(Span(doc, pOuter), doc.m_sText);
    EXPECT_EQ(pOuter->getEndTag()->getBegin(), doc.at("</div></div>") + 6);
    EXPECT_EQ(Span(doc, ElementAt(doc, "<div></div>")), "<div></div>");
    EXPECT_EQ(pOuter->getEndTag()->getElement(), pOuter);
}

TEST(Elements, NoNestedAnchors) {
    TraceCapture trace;
    Doc doc("<a href=1>x<a href=2>y</a>");
    CElement* pFirst = ElementAt(doc, "<a href=1");
    EXPECT_EQ(Span(doc, pFirst), "<a href=1>x");
    EXPECT_EQ(pFirst->getEndTag(), nullptr);
    EXPECT_TRUE(trace.Contains("[CStartTag::findEndTagInternal] StartTag <a> at <0> missing required end tag - invalid "
                               "nested start tag encountered before and tag."));
    EXPECT_EQ(Span(doc, ElementAt(doc, "<a href=2")), "<a href=2>y</a>");
}

TEST(Elements, EmptyAndForbiddenEnds) {
    Doc doc("<br><img src=x><span/>t</span><foo/>bar</foo>");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<br>")), "<br>");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<img")), "<img src=x>");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<span/>")), "<span/>t</span>") << "span requires an end tag";
    EXPECT_EQ(Span(doc, ElementAt(doc, "<foo/>")), "<foo/>") << "an empty-element tag of a name not in the table";
}

TEST(Elements, TableCellsWithoutEndTags) {
    Doc doc("<table><tr><td>a<td>b<tr><td>c</table>");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<td>a")), "<td>a");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<td>b")), "<td>b");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<td>c")), "<td>c");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<tr>")), "<tr><td>a<td>b");
    EXPECT_EQ(Span(doc, ElementAt(doc, "<table>")), doc.m_sText);
}

TEST(Elements, EndTagsWithoutStartTags) {
    Doc doc("x</div><p>y</p>");
    CTag* pEnd = doc.tagAt("</div>");
    ASSERT_NE(pEnd, nullptr);
    EXPECT_EQ(pEnd->getElement(), nullptr);
}

TEST(Elements, ParentsChildrenAndDepth) {
    Doc doc("<html><body><div id=a><p>one<p>two</div><div id=b></div></body></html>");
    const auto& top = doc->getChildElements();
    ASSERT_EQ(top.size(), 1u);
    CElement* pHtml = top[0];
    EXPECT_EQ(pHtml->getParentElement(), nullptr);
    EXPECT_EQ(pHtml->getDepth(), 0);
    ASSERT_EQ(pHtml->getChildElements().size(), 1u);
    CElement* pBody = pHtml->getChildElements()[0];
    ASSERT_EQ(pBody->getChildElements().size(), 2u);
    CElement* pDivA = pBody->getChildElements()[0];
    EXPECT_EQ(pDivA->getDepth(), 2);
    EXPECT_EQ(pDivA->getChildElements().size(), 2u);
    EXPECT_EQ(pDivA->getChildElements()[1]->getParentElement(), pDivA);
    EXPECT_EQ(pBody->getChildElements()[1]->getParentElement(), pBody);

    Doc fresh(doc.m_sText);
    CElement* pP = ElementAt(fresh, "<p>two");
    CElement* pParent = pP->getParentElement();
    ASSERT_NE(pParent, nullptr);
    EXPECT_EQ(pParent->getStartTag()->getBegin(), fresh.at("<div id=a>")) << "found by walking back";
}

TEST(Elements, ChildSearchesStayInTheContent) {
    TraceCapture trace;
    Doc doc("<div id=outer><span id=x>1</span><i><span id=y>2</span></i></div><span id=z>3</span>");
    CElement* pOuter = ElementAt(doc, "<div");
    EXPECT_EQ(Span(doc, pOuter->getFirstChildOrNestedChildElementById("y")), "<span id=y>2</span>");
    EXPECT_EQ(pOuter->getFirstChildOrNestedChildElementById("z"), nullptr) << "outside the content";
    std::vector<CElement*> spans;
    pOuter->findAllChildOrNestedChildElementsByName("span", spans);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(Span(doc, spans[1]), "<span id=y>2</span>");
    std::vector<CStartTag*> starts;
    pOuter->findAllChildOrNestedChildStartTagsByName("i", starts);
    EXPECT_EQ(starts.size(), 1u);
    starts.clear();
    pOuter->findAllChildOrNestedChildStartTagsByName("SPAN", starts);
    EXPECT_EQ(starts.size(), 2u) << "not the span after the div";
    EXPECT_EQ(Span(doc, ElementAt(doc, "<i>")->findFirstChildOrNestedChildElementByName("span")), "<span id=y>2</span>");
    EXPECT_EQ(ElementAt(doc, "<span id=x")->findFirstChildOrNestedChildElementByName("span"), nullptr);
    EXPECT_EQ(Span(doc, pOuter->findFirstChildOrNestedChildElementByNameAttribute("ID", "Y", false)),
              "<span id=y>2</span>");

    Doc overlapping("<b><i>x</b>y</i>");
    CElement* pB = ElementAt(overlapping, "<b>");
    EXPECT_EQ(Span(overlapping, pB->findFirstChildOrNestedChildElementByName("i")), "<i>x</b>y</i>");
    EXPECT_TRUE(trace.Contains("[CElement::findFirstChildOrNestedChildElementByName] Child or nested child element <i> "
                               "(ends at <16>) extends beyond end of parent <b> (ending at <11>)."));
}

TEST(Elements, SegmentSearches) {
    Doc doc("<div id=a><p id=b>text<!-- c1 --><i>x</i><!-- c2 --></div>");
    CElement* pDiv = doc->getElementById("a");
    ASSERT_NE(pDiv, nullptr);
    EXPECT_EQ(pDiv->getContent()->findAllTags(CStartTagTypeComment::instance()).size(), 2u);
    EXPECT_EQ(Span(doc, doc->findEnclosingElement(doc.at("x</i>"))), "<i>x</i>");
    EXPECT_EQ(Span(doc, doc->findEnclosingElement(doc.at("x</i>"), "div")), doc.m_sText);
}

// Deeply nested and adversarial markup is handled without recursion.
TEST(Elements, HundredThousandNestedElementsDoNotExhaustTheStack) {
    constexpr int DEPTH = 100000;
    std::string sText;
    for (int n = 0; n < DEPTH; ++n) sText += "<div>";
    for (int n = 0; n < DEPTH; ++n) sText += "<html>";
    for (int n = 0; n < DEPTH; ++n) sText += "<ul><li>";
    sText += "x";
    for (int n = 0; n < DEPTH; ++n) sText += "</div>";
    Doc doc(sText);
    doc->fullSequentialParse();
    CElement* pOuter = ElementAt(doc, "<div>");
    ASSERT_NE(pOuter, nullptr);
    EXPECT_EQ(pOuter->getEnd(), sText.size()) << "the outermost div takes the last </div>";
    CElement* pHtml = ElementAt(doc, "<html>");
    ASSERT_NE(pHtml, nullptr);
    const auto& top = doc->getChildElements();
    ASSERT_EQ(top.size(), 1u);
    size_t nDepth = 0;
    for (CElement* pElement = top[0]; !pElement->getChildElements().empty(); pElement = pElement->getChildElements()[0])
        ++nDepth;
    EXPECT_GT(nDepth, static_cast<size_t>(DEPTH));
}

}  // namespace

namespace {

// A megabyte of runs of '<', unterminated comments and quotes, unclosed
// same-name tags: lazy questions from the end, the full parse, every
// element and the whole tree, all without deep recursion.
TEST(Elements, AdversarialMegabyteIsHandledIteratively) {
    std::string sText;
    while (sText.size() < 1024 * 1024)
        sText += "<<<<<<<<<<<!-- open <a href=\"x<div><p><li><td><span title='>'>text <!doctype x [ <![cdata[ ";
    Doc lazy(sText);
    CTag* pLast = CTag::findPreviousOrNextTag(lazy.get(), sText.size() - 1, true);
    ASSERT_NE(pLast, nullptr);
    EXPECT_NE(CTag::getTagAt(lazy.get(), sText.rfind("<div>")), nullptr);
    EXPECT_NE(pLast->getElement(), nullptr);

    Doc full(sText);
    const std::vector<CTag*>& tags = full->fullSequentialParse();
    EXPECT_GT(tags.size(), 10000u);
    for (CStartTag* pTag : full->getAllStartTags()) ASSERT_NE(pTag->getElement(), nullptr);
    EXPECT_FALSE(full->getChildElements().empty());
}

}  // namespace
