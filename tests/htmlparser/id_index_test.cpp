#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "htmlparser/element.h"
#include "htmlparser/start_tag.h"
#include "tests/htmlparser/parser_test_support.h"

namespace {

// Pages of ids in every shape the text search meets: repeated, differing in
// case, inside comments and text, in other attributes, and after a '<' in an
// attribute value; asked in any order, the index answers as the text search.
TEST(IdIndex, AnswersAsTheTextSearchInAnyOrder) {
    const char* const pieces[] = {"<div id=\"a1\">", "<span ID='A1'>", "<p id=b2>", "<!-- <i id=\"c3\"> -->",
                                  "c3 d4 text ", "<a title=\"a1\" href=x>", "<td class=\"x\" id=\"d4\">",
                                  "</div>", "<b title=\"<em id=e5>\">", "<em id=e5>", "<br id=\"\">",
                                  "<script>var s = '<i id=c3>';</script>", "<x id=f6 id=a1>", "<img id=B2/>"};
    const std::vector<std::string> ids = {"a1", "A1", "b2", "B2", "c3", "d4", "e5", "f6", "zz", "<"};
    unsigned nSeed = 5;
    for (int nPage = 0; nPage < 200; ++nPage) {
        std::string sPage;
        const int nPieces = 1 + nPage % 40;
        for (int n = 0; n < nPieces; ++n) {
            nSeed = nSeed * 1103515245 + 12345;
            sPage += pieces[(nSeed >> 16) % (sizeof(pieces) / sizeof(pieces[0]))];
        }
        Doc indexed(sPage);
        for (size_t n = 0; n < 4 * ids.size(); ++n) {  // enough to pass from the text search to the index
            nSeed = nSeed * 1103515245 + 12345;
            const std::string& sId = ids[(nSeed >> 16) % ids.size()];
            Doc plain(sPage);  // a fresh source that has searched nothing
            CStartTag* pExpected = CStartTag::findNext(plain.get(), 0, "id", sId, true);
            const CElement* pElement = indexed->getElementById(sId);
            const Position nExpected = pExpected == nullptr || pExpected->getElement() == nullptr
                                           ? NO_POS
                                           : pExpected->getBegin();
            ASSERT_EQ(pElement == nullptr ? NO_POS : pElement->getBegin(), nExpected) << sId << " in " << sPage;
        }
    }
}

std::string IdOf(char chPrefix, int n) {
    std::string sId(1, chPrefix);
    sId += std::to_string(n);
    return sId;
}

// Enough distinct ids for the index to grow several times, some repeated in
// another case further on; every one answers as the text search.
TEST(IdIndex, ManyIdsAnswerAsTheTextSearch) {
    std::string sPage;
    for (int n = 0; n < 600; ++n) sPage += "<a id=\"" + IdOf('n', n) + "\">x</a>";
    for (int n = 0; n < 600; n += 7) sPage += "<b id=\"" + IdOf('N', n) + "\">y</b>";
    Doc indexed(sPage);
    Doc plain(sPage);
    for (int n = 599; n >= 0; n -= 3) {
        for (const std::string& sId : {IdOf('n', n), IdOf('N', n)}) {
            const CElement* pElement = indexed->getElementById(sId);
            CStartTag* pExpected = CStartTag::findNext(plain.get(), 0, "id", sId, true);
            ASSERT_EQ(pElement == nullptr ? NO_POS : pElement->getBegin(),
                      pExpected == nullptr ? NO_POS : pExpected->getBegin())
                << sId;
        }
    }
}

}  // namespace
