#include <gtest/gtest.h>

#include <vector>

#include "base/ascii_case.h"
#include "htmlparser/attributes.h"
#include "tests/htmlparser/parser_test_support.h"
#include "tests/support/trace_capture.h"

namespace {

TEST(Source, InvalidSpanGivesNoSourceAndBothLines) {
    TraceCapture trace;
    const char szText[] = "0123456789abcdef";
    EXPECT_EQ(CSource::CREATE_NEW_INT(szText, 10, 5), nullptr);
    EXPECT_TRUE(trace.Contains(
        "[CSource::checkConstructorArgs] CSegment::checkConstructorArgs() failed. nHtmlDataBeginPos <10> nDataLength <5>"));
    EXPECT_TRUE(trace.Contains("[CSource::CREATE_NEW_INT] checkConstructorArgs() failed. nHtmlDataBeginPos <10> "
                               "nDataLength <5>."));
}

TEST(Source, EmptySourceAnswersNothing) {
    Doc doc("");
    ASSERT_NE(doc.get(), nullptr);
    EXPECT_EQ(CTag::getTagAt(doc.get(), 0), nullptr);
    EXPECT_EQ(CTag::findPreviousOrNextTag(doc.get(), 0, false), nullptr);
    EXPECT_EQ(CStartTag::findPreviousOrNext(doc.get(), 0, "div", false), nullptr);
    EXPECT_EQ(doc->findNext("<", 0), NO_POS);
    EXPECT_EQ(doc->getNameEnd(0), NO_POS);
}

TEST(Source, SegmentsMustLieInsideTheSource) {
    TraceCapture trace;
    Doc doc("HTTP/1.1 200 OK\r\n\r\n<p>x</p>", 19);
    EXPECT_NE(CSegment::CREATE_NEW_INST(doc.get(), 19, doc->getEnd()), nullptr);
    EXPECT_EQ(CSegment::CREATE_NEW_INST(doc.get(), 19, doc->getEnd() + 1), nullptr);
    EXPECT_TRUE(trace.Contains("[CSegment::checkConstructorArgs] pSource doesn't enclose this segment. nBegin <19>, nEnd <28> "));
    EXPECT_EQ(CSegment::CREATE_NEW_INST(doc.get(), 18, 20), nullptr) << "the response head is not HTML";
    EXPECT_EQ(CSegment::CREATE_NEW_INST(doc.get(), 22, 21), nullptr);
    EXPECT_EQ(CSegment::CREATE_NEW_INST(doc.get(), NO_POS, 21), nullptr);
    EXPECT_TRUE(trace.Contains("[CSegment::checkConstructorArgs] invalid nBegin <-1>, nEnd <21> values"));
    EXPECT_EQ(CSegment::CREATE_NEW_INST(nullptr, 0, 0), nullptr);
    EXPECT_TRUE(trace.Contains("[CSegment::checkConstructorArgs] pSource is 0."));
}

TEST(Source, SubstringAndNames) {
    TraceCapture trace;
    Doc doc("<a.b-c_d:e f>");
    EXPECT_EQ(doc->substring(doc->getEnd(), 1), "");
    EXPECT_TRUE(trace.Contains("[CSource::substring] Invalid nPos <13> value. nBegin <0> nEnd <13>. "));
    EXPECT_EQ(doc->substring(doc->getEnd() - 2, 100), "f>");
    EXPECT_EQ(doc->getNameEnd(1), 10u) << "a.b-c_d:e is one name";
    EXPECT_EQ(doc->getNameEnd(0), NO_POS);
    Doc digits("<1a>");
    EXPECT_EQ(digits->getNameEnd(1), NO_POS);
    EXPECT_TRUE(CSource::isXMLName("_x:y.z-1"));
    EXPECT_FALSE(CSource::isXMLName("1x"));
    EXPECT_FALSE(CSource::isXMLName(""));
}

TEST(Source, SearchesIgnoreCaseAndRespectLimits) {
    Doc doc("<div><DIV><Div>");
    EXPECT_EQ(doc->findNext("div", 2), 6u);
    EXPECT_EQ(doc->findPrevious("DIV", 14), 11u);
    EXPECT_EQ(doc->findPrevious("div", 14, 11), NO_POS) << "the limit itself is excluded";
    EXPECT_EQ(doc->findPrevious("div", 14, 10), 11u);
    EXPECT_EQ(doc->findNextChar('V', 0, 4), 3u);
    EXPECT_EQ(doc->findNextChar('>', 0, 4), NO_POS);
    EXPECT_EQ(doc->findPreviousChar('<', 9, 5), 5u);
    EXPECT_EQ(doc->findPreviousChar('<', 9, 4), NO_POS);
    EXPECT_TRUE(doc->startsWith("<dIv>", 5, doc->getEnd()));
    EXPECT_FALSE(doc->startsWith("<div>x", 10, doc->getEnd())) << "runs past the end";
}

// The searches remember what they have scanned; in whatever order the
// starts come (stepping back tag by tag included) the answers are those of a
// plain scan.
TEST(Source, RememberedSearchesAnswerAsAPlainScanInAnyOrder) {
    std::string sText;
    unsigned nSeed = 11;
    while (sText.size() < 4000) {
        nSeed = nSeed * 1103515245 + 12345;
        const char* const pieces[] = {"<div>", "</DIV>", "x", "</d", "iv>", "<td>", "  "};
        sText += pieces[(nSeed >> 16) % 7];
    }
    const auto plainNext = [&](const std::string& sPattern, size_t nFrom) {
        for (size_t n = nFrom; n + sPattern.size() <= sText.size(); ++n)
            if (SameNoCase(std::string_view(sText).substr(n, sPattern.size()), sPattern)) return Position(n);
        return NO_POS;
    };
    const auto plainPrevious = [&](const std::string& sPattern, size_t nFrom) {
        for (size_t n = std::min(nFrom, sText.size() - sPattern.size()) + 1; n-- > 0;)
            if (SameNoCase(std::string_view(sText).substr(n, sPattern.size()), sPattern)) return Position(n);
        return NO_POS;
    };
    Doc doc(sText);
    std::vector<size_t> starts;
    for (size_t n = sText.size(); n-- > 0;) starts.push_back(n);  // backward, one byte at a time
    for (size_t n = 0; n < 3000; ++n) {
        nSeed = nSeed * 1103515245 + 12345;
        starts.push_back((nSeed >> 8) % sText.size());  // then anywhere
    }
    for (const std::string sPattern : {"</div", "<td", ">"}) {
        for (size_t nFrom : starts) {
            ASSERT_EQ(doc->findNext(sPattern, nFrom), plainNext(sPattern, nFrom)) << sPattern << " from " << nFrom;
            ASSERT_EQ(doc->findPrevious(sPattern, sText.size() - 1 - nFrom), plainPrevious(sPattern, sText.size() - 1 - nFrom))
                << sPattern << " back from " << sText.size() - 1 - nFrom;
        }
    }
}

TEST(Source, OwnsEveryObjectMadeOnIt) {
    auto* pText = new std::string("<a href=x title='y'><b>t</b></a>");
    CSource* pSource = CSource::CREATE_NEW_INT(pText->data(), 0, pText->size());
    for (Position n = 0; n < pSource->getEnd(); ++n)
        if (CTag* pTag = CTag::getTagAt(pSource, n); pTag != nullptr && pTag->isStartTag())
            static_cast<CStartTag*>(pTag)->getAttributes();  // made when first asked for
    EXPECT_GT(pSource->ownedSegmentCount(), 8u);
    delete pSource;  // the sanitizer build reports anything left behind
    delete pText;
}

}  // namespace
