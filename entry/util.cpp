#include "entry/util.h"

#include <cctype>

#include "base/text_search.h"
#include "diagnostics/trace.h"
#include "entry/notifications.h"
#include "settings/kx_general_settings.h"

namespace {

size_t FindNoCaseIn(std::string_view sText, std::string_view sPattern, size_t nFrom) {
    if (nFrom > sText.size()) return std::string_view::npos;
    const size_t nHit = FindNoCase(sText.data(), nFrom, sText.size(), sPattern);
    return nHit == SIZE_MAX ? std::string_view::npos : nHit;
}

// A cookie name starts at nAt: the text's start, or after ";" or a blank.
bool IsCookieStart(std::string_view sCookies, size_t nAt) {
    return nAt == 0 || sCookies[nAt - 1] == ';' || sCookies[nAt - 1] == ' ';
}

}  // namespace

bool CUtil::extractCookie(std::string_view sCookies, std::string_view sKey, std::string& sValue) {
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

bool CUtil::GetOtherMBXUserContextCookieValue(std::string_view sCookies, std::string& sValue) {
    sValue.clear();
    Trace("[CUtil::GetOtherMBXUserContextCookieValue] Starts.");
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
        Trace("[CUtil::GetOtherMBXUserContextCookieValue] Found <%s> cookie. Value <%s>.", sName.c_str(), sValue.c_str());
        bFound = true;
        break;
    }
    Trace("[CUtil::GetOtherMBXUserContextCookieValue] returned <%s>.", bFound ? "Y" : "N");
    return bFound;
}

std::string CUtil::BuildEwsUrl(CDLLContext* pContext) {
    if (std::string sConfigured = CKXGeneralSettings::GetInstance()->EwsUrl(); !sConfigured.empty()) return sConfigured;
    std::string sAddress, sHttps, sFrontEndHttps;
    CBaseNotifications::GetWorkerServerVariable(pContext, "LOCAL_ADDR", sAddress);
    CBaseNotifications::GetWorkerServerVariable(pContext, "HTTPS", sHttps);
    CBaseNotifications::GetWorkerServerVariable(pContext, "HTTP_Front-End-HTTPS", sFrontEndHttps);
    const bool bHttps = SameNoCase(sHttps, "on") ||
                        (SameNoCase(sHttps, "off") && SameNoCase(sFrontEndHttps, "on"));
    if (!sAddress.empty() && sAddress.find('.') == std::string::npos && sAddress.find(':') != std::string::npos)
        sAddress = "[" + sAddress + "]";
    return std::string(bHttps ? "https://" : "http://") + sAddress + "/" + "EWS/exchange.asmx";
}

std::string CUtil::ExtractBetween(std::string_view sText, std::string_view sStart, std::string_view sEnd) {
    const size_t nStart = FindNoCaseIn(sText, sStart, 0);
    if (nStart == std::string_view::npos) return {};
    const size_t nFrom = nStart + sStart.size();
    const size_t nEnd = FindNoCaseIn(sText, sEnd, nFrom);
    return std::string(sText.substr(nFrom, nEnd == std::string_view::npos ? std::string_view::npos : nEnd - nFrom));
}
