#include "forms/kx_form_calendar_view_p.h"

#include <memory>
#include <vector>

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_exception.h"
#include "dom/dom_source.h"
#include "forms/cached_script_decorator.h"
#include "forms/page_text.h"
#include "forms/sw_form_context.h"
#include "forms/sw_form_script_path.h"
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"

namespace {

enum : uint32_t { TEXT_SEARCH = 1105, TEXT_DELEGATES = 1111 };

}  // namespace

DWORD CKXFormCalendarViewP::Process() {
    DWORD dwResult = IsInit() ? ERROR_SUCCESS : ERROR_ARENA_TRASHED;
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    m_bFtrMngDgs = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_DELEGATES, 1);
    m_bFtrCalSearch = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_SEARCH, 1);
    try {
        const std::vector<uint32_t> ids =
            m_bFtrMngDgs != 0 ? std::vector<uint32_t>{TEXT_SEARCH, TEXT_DELEGATES} : std::vector<uint32_t>{};
        if (dwResult == ERROR_SUCCESS && !LoadResources(ids, m_mapResources)) {
            Trace("[CKXFormCalendarViewP::Process] LoadResources failed.");
            dwResult = ERROR_INVALID_DATA;
        }
        const std::unique_ptr<CCachedScriptDecorator> pDecorator =
            dwResult == ERROR_SUCCESS ? GetCachedScriptManager(m_pFormContext) : nullptr;
        if (dwResult == ERROR_SUCCESS && pDecorator == nullptr) dwResult = ERROR_INVALID_DATA;
        std::string sBuild, sTheme;
        if (dwResult == ERROR_SUCCESS) {
            if (!GetOWABuildAndCurrentOWAThemeFromCSSLinkTags("premium.css", "owafont.css", sBuild, sTheme)) {
                Trace("[CKXFormCalendarViewP::Process] GetOWABuildAndCurrentOWAThemeFromCSSLinkTags() failed.");
                dwResult = ERROR_INVALID_DATA;
            } else {
                if (PrefixLinkedScripts(m_pFormContext, "cdayvw.js", pDecorator.get(), true) != ERROR_SUCCESS)
                    Trace("[CCSFormCalendarViewP::Process] PrefixLinkedScripts failed.");
                CSWFormScriptPath scriptPath("Kalyxa", "2.0");
                dwResult = InsertScriptLink(m_pFormContext, "qv_kxutil.js", LINK_SCRIPT, scriptPath, true,
                                            POSITION_DEFAULT);
                if (dwResult != ERROR_SUCCESS) Trace("[CKXFormCalendarViewP::Process] InsertScriptLink failed.");
            }
        }
        if (dwResult == ERROR_SUCCESS) {
            std::string sScript;
            dwResult = AppendJSVarHandlerVirPath(sScript);
            if (dwResult == ERROR_SUCCESS)
                dwResult = InsertJSScript(m_pFormContext, sScript + ScriptVariables(sBuild, sTheme));
        }
        if (dwResult == ERROR_SUCCESS && m_bFtrMngDgs != 0) dwResult = InsertCalendarShareLinks(sBuild, sTheme);
        if (dwResult == ERROR_SUCCESS && m_bFtrCalSearch != 0) dwResult = InsertCalendarSearchIcon(sBuild, sTheme);
    } catch (const CDOMParserException&) {
        dwResult = ERROR_INVALID_DATA;
    }
    Trace("[CKXFormCalendarViewP::Process] returned dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}

std::string CKXFormCalendarViewP::ScriptVariables(const std::string& sBuild, const std::string& sTheme) {
    const std::string sExplicitLogon = RequestValue("HTTP_X_OWA_EXPLICITLOGONUSER");
    std::string sOwaPath = "/owa/";
    if (!sExplicitLogon.empty()) {
        Trace("[CKXFormCalendarViewP::Process] Other mailbox is opened. Explicit logon user header value <%s>.",
              sExplicitLogon.c_str());
        sOwaPath.append(sExplicitLogon).append("/");
    }
    std::string sScript;
    AppendJsVar(sScript, "g_qvkx_owapath", sOwaPath);
    AppendJsVar(sScript, "g_qvkx_CmdPName", "qvkxcmd");
    AppendJsVar(sScript, "g_qvkx_CmdMngDgs", "mngdgs");
    AppendJsVar(sScript, "g_qvkx_CmdCalSearch", "calsearch");
    AppendJsVar(sScript, "g_qvkx_OwaExp", 1L);
    AppendJsVar(sScript, "g_qvkx_OwaBuild", sBuild);
    AppendJsVar(sScript, "g_qvkx_CurrOwaTheme", sTheme);
    AppendJsVar(sScript, "g_qvkx_SrcPg", 0L);
    AppendJsVar(sScript, "g_qvkx_FtrMngDgs", static_cast<long>(m_bFtrMngDgs));
    AppendJsVar(sScript, "g_qvkx_FtrCalSearch", static_cast<long>(m_bFtrCalSearch));
    return sScript.append("\r\n");
}

DWORD CKXFormCalendarViewP::InsertCalendarShareLinks(const std::string& sBuild, const std::string&) {
    Trace("[CKXFormCalendarViewP::InsertCalendarShareLinks] Starts.");
    const CDOMElement body = m_pFormContext->m_spDom->getBody();
    const CDOMElement anchor = body.getElementById("divChangeSharingPermission");
    DWORD dwResult = ERROR_ARENA_TRASHED;
    if (anchor.isUndefined()) {
        Trace("[CKXFormCalendarViewP::InsertCalendarShareLinks] no divChangeSharingPermission");
    } else if (const std::unique_ptr<CCachedScriptDecorator> pDecorator = GetCachedScriptManager(m_pFormContext);
               pDecorator == nullptr) {
        Trace("[CKXFormCalendarViewP::InsertCalendarShareLinks] Found divChangeSharingPermission - continue");
        Trace("[CKXFormCalendarViewP::InsertCalendarShareLinks] Error: failed to initialize script decorator ");
        dwResult = ERROR_INVALID_DATA;
    } else {
        Trace("[CKXFormCalendarViewP::InsertCalendarShareLinks] Found divChangeSharingPermission - continue");
        const CSWFormScriptPath scriptPath("Kalyxa", "2.0");
        const std::string& sText = ResourceText(m_mapResources, TEXT_DELEGATES);
        std::string sMarkup;
        sMarkup.reserve(256);
        sMarkup.append("<div _lnk=1 class=\"cmLnk\" id=\"qvDivMngDgs\" cmd=\"mngdgs\"><span class=\"cmIco\"><img src=\"")
            .append(EscapeHtml(scriptPath.GetScriptPath("qv_kx-mngdgs.gif", pDecorator.get())))
            .append("\" alt=\"")
            .append(sText)
            .append("\"></span><img style=\"height:1px;width:12px\" src=\"")
            .append(EscapeHtml(sBuild))
            .append("/themes/resources/clear1x1.gif\"><span id=spnT>")
            .append(sText)
            .append("</span></div>");
        Trace("[CKXFormCalendarViewP::InsertCalendarShareLinks] Found parent table, insert html");
        dwResult = body.insertContentDataAfter(sMarkup.c_str(), anchor, m_pFormContext->m_pcobBufferInstructionList);
        if (dwResult != ERROR_SUCCESS)
            Trace("[CKXFormCalendarViewP::InsertCalendarShareLinks] insertContentDataAfter failed");
    }
    Trace("[CKXFormCalendarViewP::InsertCalendarShareLinks] returns dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}

DWORD CKXFormCalendarViewP::InsertCalendarSearchIcon(const std::string& sBuild, const std::string&) {
    Trace("[CKXFormCalendarViewP::InsertCalendarSearchIcon] Starts.");
    const CDOMElement toolbar = m_pFormContext->m_spDom->getBody().getElementById("divCalendarViewToolbar");
    const CDOMElement buttons = toolbar.isUndefined() ? CDOMElement() : toolbar.getElementById("divTBL");
    DWORD dwResult = ERROR_ARENA_TRASHED;
    if (toolbar.isUndefined()) {
        Trace("[CKXFormCalendarViewP::InsertCalendarSearchIcon] no divCalendarViewToolbar");
    } else if (buttons.isUndefined()) {
        Trace("[CKXFormCalendarViewP::InsertCalendarSearchIcon] no divTBL");
    } else {
        Trace("[CKXFormCalendarViewP::InsertCalendarSearchIcon] Found divTBL - continue");
        std::string sMarkup;
        sMarkup.reserve(256);
        sMarkup.append("<div class=\"fltBefore\" style=\"width: 3px;\"></div><div title=\"")
            .append(ResourceText(m_mapResources, TEXT_SEARCH))
            .append("\" class=\"tbf fltBefore tbfHvr\" id=\"divToolbarButtonsearchcalendar\"><a name=\"lnkB\" "
                    "class=\"tba\" id=\"qvcalsearch\" href=\"#\" _tbb=\"1\"><img class=\"csimg csimgbg "
                    "sprites-search-png tbLh tbBefore tbAfter\" id=\"imgToolbarButtonIcon\" src=\"")
            .append(EscapeHtml(sBuild))
            .append("/themes/resources/clear1x1.gif\"/><img class=\"tbVASp\"/></a></div>");
        dwResult = buttons.insertContentDataBefore(sMarkup.c_str(), buttons.lastChild(),
                                                   m_pFormContext->m_pcobBufferInstructionList);
        if (dwResult != ERROR_SUCCESS)
            Trace("[CKXFormCalendarViewP::InsertCalendarSearchIcon] insertContentDataBefore failed");
    }
    Trace("[CKXFormCalendarViewP::InsertCalendarSearchIcon] returns dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}
