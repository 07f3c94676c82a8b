#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "htmlparser/element.h"
#include "htmlparser/start_tag_types.h"
#include "tests/htmlparser/parser_test_support.h"
#include "tests/support/parser_differential.h"
#include "tests/support/trace_capture.h"

namespace {

std::string ReadFixture(const std::string& sName) {
    std::ifstream file(std::string(KX_TEST_DATA) + "/" + sName, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(TagCache, RecognisesEachPositionOnce) {
    Doc doc("<p>plain text without any tags at all <b>x</b>");
    CTag* pFirst = CTag::getTagAt(doc.get(), 0);
    const size_t nObjects = doc->ownedSegmentCount();
    EXPECT_EQ(CTag::getTagAt(doc.get(), 0), pFirst);
    EXPECT_EQ(CTag::findPreviousOrNextTag(doc.get(), 5, false)->getName(), "b");
    const size_t nAfterSearch = doc->ownedSegmentCount();
    EXPECT_GT(nAfterSearch, nObjects);
    // The text run between is now known to hold no tag: nothing new is made.
    for (Position n = 3; n < doc.at("<b>"); ++n) EXPECT_EQ(CTag::getTagAt(doc.get(), n), nullptr);
    EXPECT_EQ(CTag::findPreviousOrNextTag(doc.get(), 10, false)->getName(), "b");
    EXPECT_EQ(CTag::findPreviousOrNextTag(doc.get(), 20, true), pFirst);
    EXPECT_EQ(doc->ownedSegmentCount(), nAfterSearch);
}

TEST(TagCache, FullParseListsRegisteredTagsInOrder) {
    Doc doc("<div title=\"a<b>c\"><!-- <i> --><1>text<p>x</div>");
    const std::vector<CTag*>& tags = doc->fullSequentialParse();
    std::vector<std::string> names;
    for (size_t n = 0; n < tags.size(); ++n) {
        EXPECT_EQ(tags[n]->getTagIndex(), static_cast<int64_t>(n));
        names.push_back(tags[n]->getName());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"div", "!--", "p", "div"}));
    EXPECT_EQ(CTag::getTagAt(doc.get(), doc.at("<b>")), nullptr) << "inside a quoted value";
    EXPECT_EQ(CTag::getTagAt(doc.get(), doc.at("<i>")), nullptr) << "inside a comment";
    CTag* pUnregistered = CTag::getTagAt(doc.get(), doc.at("<1>"));
    ASSERT_NE(pUnregistered, nullptr) << "cached though not listed";
    EXPECT_TRUE(pUnregistered->isUnregistered());
    EXPECT_EQ(doc->getAllStartTags().size(), 3u);
}

TEST(TagCache, UnregisteredTagsDoNotShadowWhatFollows) {
    Doc doc("< x <b>y</b> >");
    const std::vector<CTag*>& tags = doc->fullSequentialParse();
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0]->getName(), "b");
}

TEST(TagCache, CommentsFoundLazilyFromAnyPosition) {
    std::string sText;
    for (int n = 0; n < 20000; ++n) sText += "<!--" + std::to_string(n) + "<i>--><b>";
    Doc doc(sText);
    // A first question near the end must not walk back comment by comment.
    CTag* pLast = CTag::findPreviousOrNextTag(doc.get(), sText.size() - 1, true);
    ASSERT_NE(pLast, nullptr);
    EXPECT_EQ(pLast->getName(), "b");
    EXPECT_EQ(CTag::getTagAt(doc.get(), sText.rfind("<i>")), nullptr) << "inside a comment";
    EXPECT_EQ(CTag::findPreviousOrNextTag(doc.get(), 0, CStartTagTypeComment::instance(), false)->getBegin(), 0u);
}

TEST(TagCache, AnEndTagClosesTheNearestElementWhateverWasAskedFirst) {
    // The first <head> lies in a quoted value; a look-up at its very position
    // still makes a tag, whose element also ends at the </head>.
    const std::string sText = "x<p i=\"<head>\"><head></head>";
    Doc doc(sText);
    CTag* pQuoted = CTag::getTagAt(doc.get(), sText.find("<head>"));
    ASSERT_NE(pQuoted, nullptr);
    ASSERT_NE(pQuoted->getElement(), nullptr);
    CElement* pClosed = CTag::getTagAt(doc.get(), sText.find("</head>"))->getElement();
    ASSERT_NE(pClosed, nullptr);
    EXPECT_EQ(pClosed->getBegin(), sText.rfind("<head>"));
}

TEST(TagCache, AgreesWithTheUncachedParserOnGeneratedDocuments) {
    const std::string fragments[] = {"<div>",  "</div>", "<p>",     "<!--",   "-->", "<![cdata[", "]]>", "<a href=\"",
                                     "\">",    "<",      ">",       "text ",  "<br/>", "<% s %>",  "</",  "<?xml v='1'?>",
                                     "<td>",   "<table>", "</table>", "<li>", "<ul>", "</ul>", "<!doctype x [>]>", "id=a "};
    unsigned nSeed = 12345;
    for (int nDocument = 0; nDocument < 150; ++nDocument) {
        std::string sText;
        for (int n = 0; n < 40; ++n) {
            nSeed = nSeed * 1103515245 + 12345;
            sText += fragments[(nSeed >> 16) % (sizeof(fragments) / sizeof(fragments[0]))];
        }
        ASSERT_EQ(CompareCachedWithUncached(sText, 0, 400, false), "") << sText;
        ASSERT_EQ(CheckFullParse(sText, 0, 400), "") << sText;
    }
}

class Fixtures : public ::testing::TestWithParam<const char*> {};

TEST_P(Fixtures, CacheAgreesWithTheUncachedParserBeforeAndAfterTheFullParse) {
    const std::string sPage = ReadFixture(GetParam());
    ASSERT_GT(sPage.size(), 200u);
    EXPECT_EQ(CompareCachedWithUncached(sPage, 0, 300, false), "");
    // These pages put no '<' inside a tag, so the full parse finds what the
    // lazy recogniser finds.
    EXPECT_EQ(CompareCachedWithUncached(sPage, 0, 300, true), "");
    EXPECT_EQ(CheckFullParse(sPage, 0, 2000), "");
}

INSTANTIATE_TEST_SUITE_P(Pages, Fixtures,
                         ::testing::Values("basic-calendar-view.html", "premium-calendar-view.html",
                                           "basic-options.html", "basic-calendar-item-editor.html", "error-page.html"));

}  // namespace
