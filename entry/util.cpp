#include "entry/util.h"

#include "base/text_search.h"
#include "diagnostics/trace.h"
#include "entry/notifications.h"
#include "settings/kx_general_settings.h"


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
