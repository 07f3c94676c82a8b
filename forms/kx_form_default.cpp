#include "forms/kx_form_default.h"

#include <memory>
#include <vector>

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_exception.h"
#include "dom/dom_source.h"
#include "dom/dom_vectors.h"
#include "forms/cached_script_decorator.h"
#include "forms/page_text.h"
#include "forms/sw_form_context.h"
#include "forms/sw_form_script_path.h"
#include "record/buffer_instruction_list.h"
#include "record/dll_context.h"
#include "settings/cookies.h"
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"

namespace {

enum : uint32_t { TEXT_NO_REMINDERS = 1449, TEXT_REMINDERS = 1402 };

constexpr std::string_view BELL_CELL =
    "<td nowrap><div id=\"divRemindersLink\" class=\"sch\" %REPLACE_DIV_STYLE%><a id=\"rem\" class=\"btn\" href=\"#\" "
    "onClick=\"f_onClickRemindersLink();\" title=\"%REPLACE_TITLE%\"><img src=\"%REPLACE_OWA_BUILD%\" name=\"rmbell\" "
    "alt=\"%REPLACE_TITLE%\"></a></div></td>";

void ReplaceAll(std::string& sText, std::string_view sFrom, std::string_view sTo) {
    for (size_t nAt = sText.find(sFrom); nAt != std::string::npos; nAt = sText.find(sFrom, nAt + sTo.size()))
        sText.replace(nAt, sFrom.size(), sTo);
}

}  // namespace

DWORD CKXFormDefault::Process() {
    // The cheap conditions first: the user's option costs a look-up in Exchange.
    int nReminders = 0;
    if (!CKXGeneralSettings::GetInstance()->GetSettingFromID(kx_setting::REMINDERS, nReminders, 0) ||
        nReminders != 1 || !RequestValue("HTTP_X_OWA_EXPLICITLOGONUSER").empty() || !GetOptionRemindersEnabled())
        return ERROR_SUCCESS;
    std::map<uint32_t, std::string> texts;
    DWORD dwResult = LoadResourceMap(texts, {TEXT_NO_REMINDERS, TEXT_REMINDERS});
    try {
        if (dwResult == ERROR_SUCCESS) dwResult = InsertVariables(texts);
        if (dwResult == ERROR_SUCCESS) {
            CSWFormScriptPath scriptPath("Kalyxa", "2.0");
            dwResult =
                InsertScriptLink(m_pFormContext, "qv_brmnd.js", LINK_SCRIPT, scriptPath, true, POSITION_DEFAULT);
            if (dwResult != ERROR_SUCCESS) Trace("[CKXFormDefault::Process] InsertScriptLink() failed.");
        }
        if (dwResult == ERROR_SUCCESS) dwResult = InsertBell(ResourceText(texts, TEXT_REMINDERS));
    } catch (const CDOMParserException& e) {
        Trace("[CKXFormDefault::Process] Exception <%s> nPos <%d>.", e.getMessage().c_str(),
              static_cast<int>(e.getPosition()));
        dwResult = ERROR_INVALID_DATA;
    }
    return dwResult;
}

DWORD CKXFormDefault::InsertVariables(const std::map<uint32_t, std::string>& texts) {
    const CExchangeURL* pUrls = ExchangeURL(Context());
    std::string sUserBase;
    if (pUrls != nullptr) sUserBase.append(HostText(pUrls->m_sRoot)).append(HostText(pUrls->m_sOwaPath));
    if (sUserBase.empty() || sUserBase.back() != '/') sUserBase += '/';
    int nPoll = kx_setting::REMINDERS_POLL_DEFAULT;
    CKXGeneralSettings::GetInstance()->GetSettingFromID(kx_setting::REMINDERS_POLL_INTERVAL, nPoll, 0);
    std::string sScript = "<script language=JavaScript>\r\n//QUORVANE KX START\r\nvar g_QVKX_sUserBase=\"";
    AppendJsString(sScript, sUserBase);
    sScript.append("\";\r\nvar g_QVKX_sNoRemindersMsg=\"");
    AppendJsString(sScript, ResourceText(texts, TEXT_NO_REMINDERS));
    sScript.append("\";\r\nvar g_QVKX_iRmndPoll=")
        .append(std::to_string(nPoll))
        .append(";\r\n//QUORVANE KX END\r\n</script>\r\n");
    const BYTE* pHeadEnd = m_pFormContext->m_pCommonPointers->m_pHeadEndTag;
    if (pHeadEnd == nullptr) return ERROR_INVALID_DATA;
    return InsertHtmlStringAtPosition(reinterpret_cast<uint64_t>(pHeadEnd), sScript.c_str(),
                                      m_pFormContext->m_pcobBufferInstructionList);
}

DWORD CKXFormDefault::InsertBell(const std::string& sTitle) {
    std::string sCookies, sDue;
    if (!GetRequestHeader(Context(), "HTTP_COOKIE", sCookies)) {
        Trace("[CKXFormDefault::Process] Failed to get cookie from header.");
        return ERROR_INVALID_DATA;
    }
    CCookies::extractCookie(sCookies, "QVKXNR=", sDue);
    const std::unique_ptr<CCachedScriptDecorator> pDecorator = GetCachedScriptManager(m_pFormContext);
    if (pDecorator == nullptr) {
        Trace("[CKXFormDefault::Process] Error: failed to initialize script manager ");
        return ERROR_INVALID_DATA;
    }
    const CSWFormScriptPath scriptPath("Kalyxa", "2.0");
    const std::string sImage =
        "/owa/" + scriptPath.GetScriptPath(sDue == "0" ? "qv_rmndn.gif" : "qv_rmnd.gif", pDecorator.get());
    const CDOMElement table = m_pFormContext->m_spDom->getBody().getFirstElementByAttributeValue("class", "ob", true);
    if (table.isUndefined() || !SameNoCase(table.tagName(), "table")) {
        Trace("[CKXFormDefault::Process] Couldn't find <table class=\"ob\"> element.");
        return ERROR_INVALID_DATA;
    }
    const CDOMElementVector separators = table.getElementsByAttributeValue("class", "dv", true);
    if (separators.size() < 3) {
        Trace("[CKXFormDefault::Process] Found only %d <td class=\"dv\"> elements.",
              static_cast<int>(separators.size()));
        return ERROR_INVALID_DATA;
    }
    std::string sMarkup(BELL_CELL);
    ReplaceAll(sMarkup, "%REPLACE_TITLE%", sTitle);
    ReplaceAll(sMarkup, "%REPLACE_OWA_BUILD%", EscapeHtml(sImage));
    ReplaceAll(sMarkup, "%REPLACE_DIV_STYLE%",
               "style=\"margin-left:3px; margin-right:0px; padding-left:3px; padding-right:0px;\"");
    const DWORD dwResult =
        table.insertContentDataAfter(sMarkup.c_str(), separators[1], m_pFormContext->m_pcobBufferInstructionList);
    if (dwResult != ERROR_SUCCESS)
        Trace("[CKXFormDefault::Process] DOMStartTag::insertDataAfter() failed, dwRet %d.", static_cast<int>(dwResult));
    return dwResult;
}
