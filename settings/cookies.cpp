#include "settings/cookies.h"

#include <cctype>

#include "base/text_search.h"
#include "diagnostics/trace.h"

namespace {

// A cookie name starts at nAt: the text's start, or after ";" or a blank.
bool IsCookieStart(std::string_view sCookies, size_t nAt) {
    return nAt == 0 || sCookies[nAt - 1] == ';' || sCookies[nAt - 1] == ' ';
}

}  // namespace

bool CCookies::extractCookie(std::string_view sCookies, std::string_view sKey, std::string& sValue) {
    const std::string sCookieText(sCookies), sKeyText(sKey);
    bool bFound = false;
    if (sKey.empty()) {
        Trace("[extractCookie] ERROR Missing Key");
    } else if (sKey.back() != '=') {
        Trace("[extractCookie] ERROR Key <%s> requires '=' terminator", sKeyText.c_str());
    } else {
        // A name counts only at a cookie boundary: "evilUserContext=" is not
        // "UserContext=", and neither is a value that holds the key.
        size_t nKey = FindNoCaseIn(sCookies, sKey, 0);
        while (nKey != std::string_view::npos && !IsCookieStart(sCookies, nKey))
            nKey = FindNoCaseIn(sCookies, sKey, nKey + 1);
        if (nKey == std::string_view::npos) {
            Trace("[extractCookie] cookie:<%s> key:<%s> not found", sCookieText.c_str(), sKeyText.c_str());
        } else {
            const size_t nValue = nKey + sKey.size();
            const size_t nEnd = sCookies.find(';', nValue);
            sValue = std::string(sCookies.substr(nValue, nEnd == std::string_view::npos ? std::string_view::npos : nEnd - nValue));
            bFound = true;
        }
    }
    Trace("[extractCookie] cookie:<%s> key:<%s> value:<%s> return <%s>", sCookieText.c_str(), sKeyText.c_str(),
          sValue.c_str(), bFound ? "TRUE" : "FALSE");
    return bFound;
}

bool CCookies::GetOtherMBXUserContextCookieValue(std::string_view sCookies, std::string& sValue) {
    sValue.clear();
    Trace("[CCookies::GetOtherMBXUserContextCookieValue] Starts.");
    constexpr std::string_view PREFIX = "UserContext_";
    bool bFound = false;
    for (size_t nAt = FindNoCaseIn(sCookies, PREFIX, 0); nAt != std::string_view::npos;
         nAt = FindNoCaseIn(sCookies, PREFIX, nAt + 1)) {
        if (!IsCookieStart(sCookies, nAt)) continue;
        size_t nEquals = nAt + PREFIX.size();
        while (nEquals < sCookies.size() && std::isxdigit(static_cast<unsigned char>(sCookies[nEquals]))) ++nEquals;
        if (nEquals >= sCookies.size() || sCookies[nEquals] != '=') continue;
        const size_t nEnd = sCookies.find(';', nEquals + 1);
        std::string_view value = sCookies.substr(nEquals + 1, nEnd == std::string_view::npos ? std::string_view::npos : nEnd - nEquals - 1);
        value = value.substr(0, value.find('&'));
        sValue = std::string(value);
        const std::string sName(sCookies.substr(nAt, nEquals - nAt));
        Trace("[CCookies::GetOtherMBXUserContextCookieValue] Found <%s> cookie. Value <%s>.", sName.c_str(), sValue.c_str());
        bFound = true;
        break;
    }
    Trace("[CCookies::GetOtherMBXUserContextCookieValue] returned <%s>.", bFound ? "Y" : "N");
    return bFound;
}
