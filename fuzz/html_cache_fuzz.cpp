// Arbitrary bytes as a page: every look-up answers the same with the tag
// cache as without it, and after the full parse the cache agrees with the
// list of all tags.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/parser_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    const std::string sText(reinterpret_cast<const char*>(pData), cbData);
    const Position nHtmlBegin = cbData == 0 ? 0 : pData[0] % 4 == 0 ? 1 : 0;
    for (const std::string& sDifference :
         {CompareCachedWithUncached(sText, nHtmlBegin, 300, false), CheckFullParse(sText, nHtmlBegin, 300)}) {
        if (sDifference.empty()) continue;
        std::fprintf(stderr, "%s\n", sDifference.c_str());
        std::abort();
    }
    return 0;
}
