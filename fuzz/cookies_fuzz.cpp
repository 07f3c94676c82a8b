// Arbitrary bytes as a Cookie header (and, after a NUL, a key): the cookie
// extractors answer within the text, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "entry/util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    const std::string_view sInput(reinterpret_cast<const char*>(pData), cbData);
    const size_t nSplit = sInput.find('\0');
    const std::string_view sCookies = sInput.substr(0, nSplit);
    const std::string_view sKey = nSplit == std::string_view::npos ? "UserContext=" : sInput.substr(nSplit + 1);
    std::string sValue;
    if (CUtil::extractCookie(sCookies, sKey, sValue) && sValue.size() > sCookies.size()) std::abort();
    if (CUtil::GetOtherMBXUserContextCookieValue(sCookies, sValue) && sValue.size() > sCookies.size()) std::abort();
    CUtil::ExtractBetween(sCookies, sKey, ";");
    return 0;
}
