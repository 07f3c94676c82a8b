#include <gtest/gtest.h>

#include "dom/dom_attribute.h"
#include "dom/dom_exception.h"
#include "dom/dom_vectors.h"
#include "tests/dom/dom_test_support.h"
#include "tests/support/trace_capture.h"

namespace {

template <class Fn>
std::string UndefinedMessage(Fn fn) {
    try {
        fn();
    } catch (const CDOMParserUndefinedObjectException& e) {
        EXPECT_EQ(e.getPosition(), -1);
        return e.what();
    }
    return "nothing thrown";
}

TEST(DomFacade, UndefinedObjectsThrowWithTheOperationInTheMessage) {
    EXPECT_EQ(UndefinedMessage([] { CDOMElement().tagName(); }),
              "Undefined DOM object.[CDOMElement::tagName() : m_pElement is 0]");
    EXPECT_EQ(UndefinedMessage([] { CDOMElement().nextSibling(); }),
              "Undefined DOM object.[CDOMElement::nextSibling() : m_pElement is 0]");
    EXPECT_EQ(UndefinedMessage([] { CDOMElement().getElementInd(CDOMElementVector()); }),
              "Undefined DOM object.[CDOMElement::getElementInd() : m_pElement is 0]");
    EXPECT_EQ(UndefinedMessage([] { CDOMStartTag().getElementNode(); }),
              "Undefined DOM object.[CDOMStartTag::getElementNode() : m_pStartTag is 0]");
    EXPECT_EQ(UndefinedMessage([] { CDOMAttribute().getValueEndPos(); }),
              "Undefined DOM object.[CDOMAttribute::getValueEndPos() : m_pAttribute is 0]");

    TraceCapture trace;
    CCommonPointers none{};
    CDOMSource dom(none);
    EXPECT_TRUE(dom.isUndefined());
    EXPECT_TRUE(trace.Contains("[CDOMSource::CDOMSource] CSource::CREATE_NEW_INST() failed. nBegin <-1> nEnd <0>."));
    EXPECT_EQ(UndefinedMessage([&] { dom.getBody(); }), "Undefined DOM object.[CDOMSource::getBody() : m_spSource is 0]");
    EXPECT_EQ(UndefinedMessage([&] { dom.scanForString("x", 0); }),
              "Undefined DOM object.[CDOMSource::scanForString() : m_spSource is 0]");
}

TEST(DomFacade, PointersThatMakeNoSpanLeaveThePageUndefined) {
    std::string sText = "<html><body></body></html>";
    CCommonPointers pointers = PointersOver(sText);
    pointers.m_pHtmlDataStart = pointers.m_pBufferLast + 2;  // after the buffer
    EXPECT_TRUE(CDOMSource(pointers).isUndefined());
    pointers = PointersOver(sText);
    pointers.m_pBufferLast = nullptr;
    EXPECT_FALSE(CDOMSource(pointers).isUndefined()) << "an empty span is a page without elements";
    EXPECT_TRUE(CDOMSource(pointers).getBody().isUndefined());
}

TEST(DomFacade, WithoutLocatedTagsTheElementsAreFoundInTheText) {
    TestPage page("<!-- <body> --><HTML><head><title>t</title></head><Body class=x><p>hi</p></Body></HTML>");
    EXPECT_EQ(page.dom.getHtml().tagName(), "HTML");
    EXPECT_EQ(page.dom.getHead().getInnerHTML(), "<title>t</title>");
    const CDOMElement body = page.dom.getBody();
    EXPECT_EQ(body.tagName(), "Body");
    EXPECT_EQ(body.getOuterHTML(), "<Body class=x><p>hi</p></Body>");
    EXPECT_EQ(page.dom.getBody().getBeginPos(), body.getBeginPos()) << "computed once";
}

TEST(DomFacade, LocatedTagsAreUsedAsTheHostFoundThem) {
    std::string sText = "<html><head id=h1></head><body id=a></body><body id=b><p>x</p></body></html>";
    CCommonPointers pointers = PointersOver(sText);
    pointers.m_pHtmlTag = Locate(sText, "<html");
    pointers.m_pHeadTag = Locate(sText, "<head");
    pointers.m_pHeadEndTag = Locate(sText, "</head");
    pointers.m_pBodyTag = Locate(sText, "<body id=b");
    pointers.m_pBodyEndTag = Locate(sText, "</body>", sText.find("<body id=b"));
    CDOMSource dom(pointers);
    EXPECT_EQ(dom.getBody().getAttribute("id").getValue(), "b");
    EXPECT_EQ(dom.getBody().getInnerHTML(), "<p>x</p>");
    EXPECT_EQ(dom.getHead().getAttribute("ID").getValue(), "h1");
    EXPECT_EQ(dom.getHtml().getOuterHTML(), sText);

    pointers.m_pBodyEndTag = nullptr;  // the body's own end tag is then searched
    CDOMSource withoutEnd(pointers);
    EXPECT_EQ(withoutEnd.getBody().getInnerHTML(), "<p>x</p>");
    pointers.m_pBodyTag = reinterpret_cast<BYTE*>(reinterpret_cast<uintptr_t>(pointers.m_pBufferStart) - 1);
    EXPECT_EQ(CDOMSource(pointers).getBody().getAttribute("id").getValue(), "a");
}

TEST(DomFacade, HtmlWithoutEndTagEndsAtTheSourceEnd) {
    TestPage page("<html><body>open");
    EXPECT_EQ(page.dom.getHtml().getOuterHTML(), "<html><body>open");
    EXPECT_EQ(page.dom.getHtml().getInnerHTML(), "<body>open");
}

TEST(DomFacade, MissingBodyIsUndefined) {
    TestPage page("<html><head></head></html>");
    EXPECT_TRUE(page.dom.getBody().isUndefined());
    EXPECT_THROW(page.dom.getBody().tagName(), CDOMParserUndefinedObjectException);
    EXPECT_FALSE(page.dom.getHead().isUndefined());
}

TEST(DomFacade, AttributesMatchAnyCaseAndMayHaveNoValue) {
    TestPage page("<body><input class=\"x y\" checked id=i></body>");
    const CDOMElement input = page.dom.getElementById("i");
    const CDOMAttribute cls = input.getAttribute("CLASS");
    ASSERT_FALSE(cls.isUndefined());
    EXPECT_TRUE(cls.hasValue());
    EXPECT_EQ(cls.getValue(), "x y");
    EXPECT_EQ(page.sText.substr(cls.getValueBeginPos(), cls.getValueEndPos() - cls.getValueBeginPos()), "x y");
    const CDOMAttribute checked = input.getAttribute("checked");
    EXPECT_FALSE(checked.hasValue());
    EXPECT_EQ(checked.getValue(), "");
    EXPECT_EQ(checked.getValueBeginPos(), NO_POS);
    EXPECT_TRUE(input.getAttribute("style").isUndefined());
    EXPECT_TRUE(page.dom.getBody().getAttribute("id").isUndefined()) << "a tag without attributes";
}

TEST(DomFacade, SiblingsKeepTheirIndex) {
    TestPage page("<html><body><ul><li>a</li><li>b</li><li>c</li></ul></body></html>");
    const CDOMElement list = page.dom.getBody().getFirstElementByTagName("ul");
    CDOMElement last = list.lastChild();
    EXPECT_EQ(last.getIndex(), 2u);
    EXPECT_TRUE(last.nextSibling().isUndefined());
    CDOMElement first = list.getFirstElementByTagName("li");
    EXPECT_EQ(first.getIndex(), NO_POS);
    EXPECT_TRUE(first.previousSibling().isUndefined());
    EXPECT_EQ(first.getIndex(), 0u) << "computed and stored by the first call";
    const CDOMElement second = first.nextSibling();
    EXPECT_EQ(second.getInnerText(), "b");
    EXPECT_EQ(second.getIndex(), 1u);
    EXPECT_EQ(first.nextSibling().getInnerText(), "b");
    EXPECT_EQ(last.previousSibling().getInnerText(), "b");
}

TEST(DomFacade, TopLevelSiblingsComeFromTheWholeDocument) {
    TestPage page("<div id=a>1</div><div id=b>2</div><p id=c>3</p>");
    CDOMElement a = page.dom.getElementById("a");
    EXPECT_TRUE(a.parentNode().isUndefined());
    CDOMElement b = a.nextSibling();
    EXPECT_EQ(b.getAttribute("id").getValue(), "b");
    EXPECT_EQ(b.nextSibling().tagName(), "p");
}

TEST(DomFacade, TextOfAnElement) {
    TestPage page("<table><tr><td id=t>a<b>b</b>c</td><td id=e></td></tr></table>");
    const CDOMElement cell = page.dom.getElementById("t");
    EXPECT_EQ(cell.getInnerText(), "abc");
    EXPECT_EQ(cell.getInnerHTML(), "a<b>b</b>c");
    EXPECT_EQ(cell.getOuterHTML(), "<td id=t>a<b>b</b>c</td>");
    EXPECT_EQ(page.dom.getElementById("e").getInnerText(), "");
    EXPECT_EQ(cell.parentNode().tagName(), "tr");
    EXPECT_EQ(cell.parentNode().getIndex(), NO_POS);
}

TEST(DomFacade, QueriesReturnVectorsSharingThePage) {
    TestPage page(
        "<body><div id=d><a href=1 class=Nav>x</a><span><a href=2 class=nav>y</a></span></div><a href=3>z</a></body>");
    const CDOMElement div = page.dom.getElementById("d");
    const CDOMElementVector links = div.getElementsByTagName("a");
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1].getAttribute("href").getValue(), "2");
    EXPECT_TRUE(links[2].isUndefined());
    EXPECT_EQ(links[1].getElementInd(links), 1u);
    EXPECT_EQ(div.getElementInd(links), NO_POS);
    EXPECT_EQ(div.getStartTagsByTagName("A").size(), 2u);
    EXPECT_EQ(div.getStartTagsByTagName("a")[0].getElementNode().getInnerText(), "x");
    EXPECT_TRUE(div.getStartTagsByTagName("a")[5].isUndefined());
    int nAsked = 0;
    const auto hrefIs = [&nAsked](std::string_view sHref) {
        return [&nAsked, sHref](const CDOMStartTag& tag) { return ++nAsked, tag.getAttribute("href").getValue() == sHref; };
    };
    EXPECT_EQ(div.getFirstStartTagByTagName("A", hrefIs("1")).getElementNode().getInnerText(), "x");
    EXPECT_EQ(nAsked, 1) << "the search stops at the first tag taken";
    nAsked = 0;
    EXPECT_EQ(div.getFirstStartTagByTagName("a", hrefIs("2")).getElementNode().getInnerText(), "y");
    EXPECT_EQ(nAsked, 2);
    nAsked = 0;
    EXPECT_TRUE(div.getFirstStartTagByTagName("a", hrefIs("3")).isUndefined()) << "only inside the content";
    EXPECT_EQ(nAsked, 2);
    EXPECT_EQ(div.getElementsByAttributeValue("class", "nav", true).size(), 1u);
    EXPECT_EQ(div.getElementsByAttributeValue("class", "nav", false).size(), 2u);
    EXPECT_EQ(div.getFirstElementByAttributeValue("class", "nav", true).getInnerText(), "y");
    EXPECT_TRUE(div.getFirstElementByTagName("p").isUndefined());
    EXPECT_TRUE(div.getElementById("d").isUndefined()) << "only inside the content";
    EXPECT_EQ(page.dom.getEnclosingElement(page.sText.find(">y<") + 1).tagName(), "a");
    EXPECT_EQ(page.dom.getEnclosingElement(page.sText.find("<span")).tagName(), "span");
}

TEST(DomFacade, ScansStayInsideTheirRange) {
    TestPage page("0123<p>Hello World</p>hello");
    EXPECT_EQ(page.dom.scanForString("HELLO", 0), 7u);
    EXPECT_EQ(page.dom.scanForString("hello", 8), 22u);
    EXPECT_EQ(page.dom.scanForString("hello", 8, 10), NO_POS) << "the match must end inside the range";
    EXPECT_EQ(page.dom.scanForString("hello", 8, 19), 22u);
    EXPECT_EQ(page.dom.scanForString("hello", 8, 1000), 22u) << "a range past the end runs to the end";
    EXPECT_EQ(page.dom.scanForString("hello", page.sText.size()), NO_POS);
    EXPECT_EQ(page.dom.substringData(7, 5), "Hello");
    const CDOMElement p = page.dom.getEnclosingElement(8);
    EXPECT_EQ(p.scanContentForString("world"), 13u);
    EXPECT_EQ(p.scanContentForString("hello w"), 7u);
    EXPECT_EQ(p.scanContentForString("</p>"), NO_POS);
    TestPage offset("HTTP/1.1 200\r\n\r\n<p>x</p>");
    EXPECT_EQ(offset.dom.getBeginPos(), 0u);
    std::string sText = offset.sText;
    CDOMSource body(PointersOver(sText, 16));
    EXPECT_EQ(body.getBeginPos(), 16u);
    EXPECT_EQ(body.scanForString("HTTP", 0), NO_POS) << "the response head is not HTML";
}

}  // namespace
