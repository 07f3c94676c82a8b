#include <gtest/gtest.h>

#include <algorithm>

#include "htmlparser/attribute.h"
#include "htmlparser/attributes.h"
#include "htmlparser/start_tag_types.h"
#include "tests/htmlparser/parser_test_support.h"
#include "tests/support/trace_capture.h"

namespace {

struct Parsed {
    std::string sName;
    bool bHasValue;
    std::string sValue;
    std::string sQuoted;
    bool operator==(const Parsed&) const = default;
};

std::vector<Parsed> AttributesOf(const Doc& doc, CTag* pTag) {
    std::vector<Parsed> parsed;
    if (pTag == nullptr || !pTag->isStartTag() || static_cast<CStartTag*>(pTag)->getAttributes() == nullptr)
        return parsed;
    for (const CAttribute* pAttribute : static_cast<CStartTag*>(pTag)->getAttributes()->getAttributes())
        parsed.push_back({pAttribute->getName(), pAttribute->hasValue(),
                          pAttribute->hasValue() ? doc.text(pAttribute->getValueSegment()) : "",
                          pAttribute->hasValue() ? doc.text(pAttribute->getValueSegmentIncludingQuotes()) : ""});
    return parsed;
}

TEST(Attributes, QuotedUnquotedAndWithoutValue) {
    Doc doc("<a href=x title='y' checked>");
    CTag* pTag = doc.tagAt("<a");
    ASSERT_NE(pTag, nullptr);
    EXPECT_EQ(pTag->getTagType(), CStartTagTypeNormal::instance());
    EXPECT_EQ(AttributesOf(doc, pTag),
              (std::vector<Parsed>{{"href", true, "x", "x"}, {"title", true, "y", "'y'"}, {"checked", false, "", ""}}));
    EXPECT_EQ(static_cast<CStartTag*>(pTag)->getAttributes()->get("TITLE")->getValue(), "y");
}

TEST(Attributes, GreaterThanInsideQuotesDoesNotEndTheTag) {
    Doc doc("<a href=\"x>y\">z");
    CTag* pTag = doc.tagAt("<a");
    ASSERT_NE(pTag, nullptr);
    EXPECT_EQ(doc.text(pTag), "<a href=\"x>y\">");
    EXPECT_EQ(AttributesOf(doc, pTag)[0].sValue, "x>y");
}

TEST(Attributes, WarningsAreNotErrors) {
    TraceCapture trace;
    Doc doc("<a b=\"1\"c=\"2\"><a b=>");
    EXPECT_EQ(AttributesOf(doc, doc.tagAt("<a b=\"")).size(), 2u);
    EXPECT_TRUE(trace.Contains("[CAttributes::construct] Type <normal> Tag name <a> Begin pos <0> Has missing whitespace "
                               "after quoted attribute value at <8>."));
    CTag* pEmpty = doc.tagAt("<a b=>");
    EXPECT_EQ(AttributesOf(doc, pEmpty), (std::vector<Parsed>{{"b", true, "", ""}}));
    EXPECT_TRUE(trace.Contains("[CAttributes::construct] Type <normal> Tag name <a> Begin pos <14> Has missing attribute "
                               "value after '=' sign at <19>."));
}

// Recognition checks the list; the list is made when first asked for,
// equal to a direct parse, and its lines are written once.
TEST(Attributes, TheListMadeLaterIsTheListRecognitionChecked) {
    const char* pszText = "<a b=\"1\"c=\"2\" #d e=f g>";
    std::vector<std::string> linesAtRecognition;
    {
        TraceCapture trace;
        Doc doc(pszText);
        CTag* pTag = CTag::getTagAt(doc.get(), 0);
        ASSERT_NE(pTag, nullptr);
        linesAtRecognition = trace.Lines();
        const std::vector<Parsed> parsed = AttributesOf(doc, pTag);
        EXPECT_EQ(trace.Lines(), linesAtRecognition) << "no line when the list is made";
        EXPECT_EQ(parsed, (std::vector<Parsed>{{"b", true, "1", "\"1\""},
                                               {"c", true, "2", "\"2\""},
                                               {"#d", false, "", ""},
                                               {"e", true, "f", "f"},
                                               {"g", false, "", ""}}));
        CAttributes* pDirect = CAttributes::construct(doc.get(), "normal", 0, 0, NO_POS, NO_POS,
                                                      CStartTagTypeNormal::instance(), "a", pTag->getNameIndex(), 2);
        ASSERT_NE(pDirect, nullptr);
        EXPECT_EQ(pDirect->getEnd(), static_cast<CStartTag*>(pTag)->getAttributes()->getEnd());
    }
    EXPECT_EQ(std::count_if(linesAtRecognition.begin(), linesAtRecognition.end(),
                            [](const std::string& sLine) { return sLine.find("Has missing whitespace") != std::string::npos; }),
              1);
}

TEST(Attributes, LessThanSignsRejectTheList) {
    for (const char* pszText : {"<a b=<c>", "<a b=x<y>", "<a <b>"}) {
        Doc doc(pszText);
        CTag* pTag = CTag::getTagAt(doc.get(), 0);
        ASSERT_NE(pTag, nullptr) << pszText;
        EXPECT_TRUE(pTag->isUnregistered()) << pszText << ": not a normal start tag";
    }
}

TEST(Attributes, TheThirdErrorRejects) {
    TraceCapture trace;
    Doc two("<a #b #c>");
    CTag* pTwo = CTag::getTagAt(two.get(), 0);
    ASSERT_NE(pTwo, nullptr);
    EXPECT_FALSE(pTwo->isUnregistered());
    EXPECT_EQ(AttributesOf(two, pTwo).size(), 2u);
    EXPECT_EQ(AttributesOf(two, pTwo)[0].sName, "#b") << "the bad byte starts the name";
    Doc three("<a #b #c #d>");
    EXPECT_TRUE(CTag::getTagAt(three.get(), 0)->isUnregistered());
    EXPECT_TRUE(trace.Contains("[CAttributes::reachedMaxErrorCount] Type <normal> Tag name <a> Begin pos <0> Rejected "
                               "because it contains too many errors."));
}

TEST(Attributes, ClosingSlashDependsOnTheElement) {
    TraceCapture trace;
    Doc doc("<div/><br/><foo/>");
    CStartTag* pDiv = static_cast<CStartTag*>(doc.tagAt("<div"));
    EXPECT_EQ(doc.text(pDiv), "<div/>");
    EXPECT_EQ(pDiv->getAttributes()->getEnd(), 4u);
    EXPECT_TRUE(trace.Contains("[CAttributes::isInvalidEmptyElementTag] Type <normal> Tag name <div> Begin pos <0> "
                               "Contains a '/' character before the closing '>', which is ignored because tags of "
                               "this name cannot be empty-element tags."));
    CStartTag* pBr = static_cast<CStartTag*>(doc.tagAt("<br"));
    EXPECT_EQ(doc.text(pBr), "<br/>");
    EXPECT_EQ(pBr->getAttributes()->getEnd(), doc.at("/>", 6));
    CStartTag* pFoo = static_cast<CStartTag*>(doc.tagAt("<foo"));
    EXPECT_EQ(pFoo->getNameIndex(), -1);
    EXPECT_EQ(pFoo->getAttributes()->getEnd(), doc.at("/>", 11));
}

TEST(Attributes, SegmentParsedAsAnAttributeList) {
    Doc doc("<x a=1 b='2' c>");
    CSegment* pSegment = CSegment::CREATE_NEW_INST(doc.get(), 3, 14);
    CAttributes* pAttributes = pSegment->parseAttributes();
    ASSERT_NE(pAttributes, nullptr);
    ASSERT_EQ(pAttributes->getAttributes().size(), 3u);
    EXPECT_EQ(pAttributes->get("b")->getValue(), "2");
    EXPECT_FALSE(pAttributes->get("c")->hasValue());
}

TEST(Attributes, TagsWithoutAttributeTypesParseTheirInsideOnDemand) {
    Doc doc("<!-- a=1 --><? p q='r' ?>");
    auto* pComment = static_cast<CStartTag*>(doc.tagAt("<!--"));
    EXPECT_EQ(pComment->getAttributes(), nullptr);
    CAttributes* pParsed = pComment->parseAttributes();
    ASSERT_NE(pParsed, nullptr);
    EXPECT_EQ(pParsed->get("a")->getValue(), "1");
}

// Where the tag a search found begins; NO_POS when it found none.
Position BeginOf(const CTag* pTag) { return pTag == nullptr ? NO_POS : pTag->getBegin(); }

TEST(StartTagSearch, NamesArePrefixesOnlyWhenAsked) {
    TraceCapture trace;
    Doc doc("<div id=a><di id=b><x:y id=c>");
    EXPECT_EQ(BeginOf(CStartTag::findPreviousOrNext(doc.get(), 0, "di", false)), doc.at("<di id"));
    EXPECT_EQ(BeginOf(CStartTag::findPreviousOrNext(doc.get(), 0, "DIV", false)), doc.at("<div"));
    EXPECT_EQ(BeginOf(CStartTag::findPreviousOrNext(doc.get(), 0, "x:", false)), doc.at("<x:y"));
    EXPECT_EQ(BeginOf(CStartTag::findPreviousOrNext(doc.get(), doc->getEnd() - 1, "div", true)), doc.at("<div"));
    EXPECT_EQ(CStartTag::findPreviousOrNext(doc.get(), 0, "/div", false), nullptr);
    EXPECT_TRUE(trace.Contains("[CStartTag::findPreviousOrNext] csSearchName argument \"/div\" must not start with '/' "
                               "character."));
}

TEST(StartTagSearch, AttributeValuesMatchCaseAsAsked) {
    TraceCapture trace;
    Doc doc("<p id=Main>a</p><div title=main></div><span id=main>b</span>");
    EXPECT_EQ(BeginOf(CStartTag::findNext(doc.get(), 0, "id", "main", true)), doc.at("<span"));
    EXPECT_TRUE(trace.Contains("[CStartTag::findNext] StartTag <p> at <0> with attribute <id=\"Main\"> ignored during "
                               "search because its case does not match search value."));
    EXPECT_EQ(BeginOf(CStartTag::findNext(doc.get(), 0, "id", "main", false)), doc.at("<p"));
    EXPECT_EQ(CStartTag::findNext(doc.get(), 0, "id", "nowhere", false), nullptr);
}

}  // namespace
