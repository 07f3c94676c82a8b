#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/text_search.h"

namespace {

size_t NaiveFind(const std::string& sText, size_t nFrom, size_t nTo, const std::string& sPattern) {
    for (size_t n = nFrom; n + sPattern.size() <= nTo && n <= nTo; ++n)
        if (EqualsNoCase(sText.data() + n, sPattern)) return n;
    return SIZE_MAX;
}

size_t NaiveFindLast(const std::string& sText, size_t nFrom, size_t nDownTo, const std::string& sPattern) {
    for (size_t n = nFrom + 1; n-- > nDownTo;)
        if (n + sPattern.size() <= sText.size() && EqualsNoCase(sText.data() + n, sPattern)) return n;
    return SIZE_MAX;
}

TEST(TextSearch, FoldsOnlyAsciiLetters) {
    const std::string sText = "xx<DIV>\xc3\xa4\xc3\x84 [@] `{";
    EXPECT_EQ(FindNoCase(sText.data(), 0, sText.size(), "<div>"), 2u);
    EXPECT_EQ(FindNoCase(sText.data(), 0, sText.size(), "dIv"), 3u);
    EXPECT_EQ(FindNoCase(sText.data(), 0, sText.size(), "\xc3\x84"), 9u) << "bytes above 127 match only themselves";
    EXPECT_EQ(FindNoCase(sText.data(), 0, sText.size(), "\xc3\xa4\xc3\xa4"), SIZE_MAX);
    EXPECT_EQ(FindNoCase(sText.data(), 0, sText.size(), "{"), sText.size() - 1) << "'{' is not '['";
    EXPECT_EQ(FindNoCase(sText.data(), 0, sText.size(), "`"), sText.size() - 2) << "'`' is not '@'";
    EXPECT_EQ(FindLastNoCase(sText.data(), sText.size() - 1, 0, sText.size(), "<div"), 2u);
}

TEST(TextSearch, RangesAreRespected) {
    const std::string sText = "abcabcabc";
    EXPECT_EQ(FindNoCase(sText.data(), 1, sText.size(), "ABC"), 3u);
    EXPECT_EQ(FindNoCase(sText.data(), 0, 5, "abc"), 0u);
    EXPECT_EQ(FindNoCase(sText.data(), 1, 5, "abc"), SIZE_MAX) << "must end before nTo";
    EXPECT_EQ(FindLastNoCase(sText.data(), 8, 0, sText.size(), "abc"), 6u);
    EXPECT_EQ(FindLastNoCase(sText.data(), 5, 0, sText.size(), "abc"), 3u);
    EXPECT_EQ(FindLastNoCase(sText.data(), 5, 4, sText.size(), "abc"), SIZE_MAX);
    EXPECT_EQ(FindNoCase(sText.data(), 4, 4, ""), 4u);
}

// At the edges of the range, for short and long patterns in short and long
// texts, and for patterns whose rarest byte is a letter or a caseless byte.
TEST(TextSearch, MatchesAtTheEdgesOfTheRangeAreFound) {
    for (const std::string sPattern : {"<!--", "<a!b", "<!-- OwaPage =", "xyz<table", "<![cdata[x", "<Link", "lnkMngFldr"}) {
        for (size_t cbFill : {0u, 5u, 40u, 300u, 1000u}) {
            const std::string sText = sPattern + std::string(cbFill, '<') + sPattern;
            const size_t nSecond = sText.size() - sPattern.size();
            EXPECT_EQ(FindNoCase(sText.data(), 1, sText.size(), sPattern), nSecond) << sPattern << " " << cbFill;
            EXPECT_EQ(FindNoCase(sText.data(), 0, sText.size(), sPattern), 0u) << sPattern << " " << cbFill;
            EXPECT_EQ(FindLastNoCase(sText.data(), nSecond - 1, 0, sText.size(), sPattern), 0u) << sPattern << " " << cbFill;
            EXPECT_EQ(FindLastNoCase(sText.data(), sText.size(), 0, sText.size(), sPattern), nSecond)
                << sPattern << " " << cbFill;
            EXPECT_EQ(FindLastNoCase(sText.data(), nSecond - 1, 1, sText.size(), sPattern), SIZE_MAX)
                << sPattern << " " << cbFill;
        }
    }
}

// Every pattern length and case mix agrees with a plain scan, forwards and
// backwards, on text built from a small alphabet so that near-matches abound
// (a common letter; rare letters, '!' and non-ASCII bytes, which a search
// finds by their occurrences).
TEST(TextSearch, AgreesWithAPlainScan) {
    std::mt19937 random(7);
    const std::string sAlphabet = "aAkKjJ!<>\xe9\xc9";
    for (int nRound = 0; nRound < 3000; ++nRound) {
        std::string sText(static_cast<size_t>(random() % 400), ' ');
        for (char& ch : sText) ch = sAlphabet[random() % sAlphabet.size()];
        const size_t cbPattern = 1 + random() % (random() % 4 == 0 ? 90 : 20);  // past the in-place KMP table too
        std::string sPattern(cbPattern, ' ');
        for (char& ch : sPattern) ch = sAlphabet[random() % 7];  // letters in both cases, and '!'
        if (random() % 2 == 0 && sText.size() > cbPattern) {
            const size_t nAt = random() % (sText.size() - cbPattern);
            sPattern = sText.substr(nAt, cbPattern);
        }
        const size_t nFrom = sText.empty() ? 0 : random() % sText.size();
        ASSERT_EQ(FindNoCase(sText.data(), nFrom, sText.size(), sPattern), NaiveFind(sText, nFrom, sText.size(), sPattern))
            << sText << " / " << sPattern;
        if (!sText.empty()) {
            const size_t nDownTo = random() % (nFrom + 1);
            ASSERT_EQ(FindLastNoCase(sText.data(), nFrom, nDownTo, sText.size(), sPattern),
                      NaiveFindLast(sText, nFrom, nDownTo, sPattern))
                << sText << " / " << sPattern;
        }
    }
}

}  // namespace
