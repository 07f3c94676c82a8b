#include "forms/kx_form_cal_options_p.h"

#include <memory>
#include <vector>

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_exception.h"
#include "dom/dom_source.h"
#include "forms/cached_script_decorator.h"
#include "forms/sw_form_context.h"
#include "forms/sw_form_script_path.h"
#include "platform/component_interfaces.h"
#include "platform/component_registry.h"
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"

namespace {

enum : uint32_t {
    TEXT_DELEGATES = 1111,
    TEXT_ADD_HOLIDAYS = 1500,
    TEXT_HEADING = 1120,
    TEXT_UNREADABLE = 1509,
    TEXT_BEING_ADDED = 1510,
    TEXT_ERRORS = 1511,
    TEXT_UNAVAILABLE = 1512,
};

constexpr const char* OPTION_FUNCTIONS[] = {
    "function qvkx_onClkMngDelegates(){if(\"undefined\" != typeof(qvkx_OpnMngDgs) && qvkx_OpnMngDgs) "
    "qvkx_OpnMngDgs();return false;}",
    "function qvkx_onClkAddHolidays(){if(\"undefined\" != typeof(qvkx_OpnAddHlds) && qvkx_OpnAddHlds) "
    "qvkx_OpnAddHlds();return false;}",
};

}  // namespace

DWORD CKXFormCalOptionsP::Process() {
    Trace("[CKXFormCalOptionsP::Process] start");
    DWORD dwResult = IsInit() ? ERROR_SUCCESS : ERROR_ARENA_TRASHED;
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    m_bFtrMngDgs = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_DELEGATES, 1);
    m_bFtrAddHld = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_ADD_HOLIDAYS, 1);
    try {
        if (dwResult == ERROR_SUCCESS) {
            Trace("[CKXFormCalOptionsP::Process] AddThemeBuildAndExp");
            CSWFormScriptPath scriptPath("Kalyxa", "2.0");
            dwResult = InsertScriptLink(m_pFormContext, "/ecp/", "qv_kxutil.js", LINK_SCRIPT, scriptPath, true,
                                        POSITION_DEFAULT);
            if (dwResult != ERROR_SUCCESS) Trace("[CKXFormCalOptionsP::Process] InsertScriptLink failed.");
        }
        std::string sBuild, sTheme;
        if (dwResult == ERROR_SUCCESS) {
            dwResult = AddThemeBuildAndExp(sBuild, sTheme);
            Trace("[CKXFormCalOptionsP::Process] AddOptionsContent");
            if (dwResult == ERROR_SUCCESS) dwResult = AddOptionsContent(sBuild, sTheme);
        }
    } catch (const CDOMParserException& e) {
        Trace("[CKXFormCalOptionsP::Process] Exception <%s> nPos <%d>.", e.getMessage().c_str(),
              static_cast<int>(e.getPosition()));
        dwResult = ERROR_ARENA_TRASHED;
    }
    TraceOutcome("CKXFormCalOptionsP", "Modifying", "form", dwResult == ERROR_SUCCESS);
    Trace("[CKXFormCalOptionsP::Process] method returned: %lu", static_cast<unsigned long>(dwResult));
    return dwResult;
}

DWORD CKXFormCalOptionsP::AddThemeBuildAndExp(std::string& sBuild, std::string& sTheme) {
    if (!GetOWABuildAndCurrentOWAThemeFromCSSLinkTags("main.css", "culture_default.css", sBuild, sTheme)) {
        Trace("[CKXFormCalOptionsP::Process] GetOWABuildAndCurrentOWAThemeFromCSSLinkTags() failed.");
        return ERROR_INVALID_DATA;
    }
    std::string sScript;
    const DWORD dwResult = AppendJSVarHandlerVirPath(sScript);
    if (dwResult != ERROR_SUCCESS) return dwResult;
    std::string sOwaPath = "/owa/";
    const std::string sExplicitLogon = RequestValue("HTTP_X_OWA_EXPLICITLOGONUSER");
    if (!sExplicitLogon.empty()) sOwaPath.append(sExplicitLogon).append("/");
    AppendJsVar(sScript, "g_qvkx_owapath", sOwaPath);
    AppendJsVar(sScript, "g_qvkx_CmdPName", "qvkxcmd");
    AppendJsVar(sScript, "g_qvkx_CmdMngDgs", "mngdgs");
    AppendJsVar(sScript, "g_qvkx_CmdAddHld", "addhld");
    AppendJsVar(sScript, "g_qvkx_OwaExp", 1L);
    AppendJsVar(sScript, "g_qvkx_OwaBuild", sBuild);
    AppendJsVar(sScript, "g_qvkx_CurrOwaTheme", sTheme);
    AppendJsVar(sScript, "g_qvkx_SrcPg", 0L);
    for (const char* pszFunction : OPTION_FUNCTIONS) sScript.append("\r\n").append(pszFunction);
    sScript.append("\r\n");
    return InsertJSScript(m_pFormContext, sScript);
}

DWORD CKXFormCalOptionsP::AddOptionsContent(const std::string&, const std::string&) {
    if (GetCachedScriptManager(m_pFormContext) == nullptr) {
        Trace("[CKXFormCalOptionsP::AddOptionsContent] Error: failed to initialize script manager ");
        return ERROR_INVALID_DATA;
    }
    std::vector<uint32_t> ids;
    if (m_bFtrMngDgs != 0) ids.push_back(TEXT_DELEGATES);
    if (m_bFtrAddHld != 0) ids.push_back(TEXT_ADD_HOLIDAYS);
    ids.push_back(TEXT_HEADING);
    std::map<uint32_t, std::string> texts;
    if (!LoadResources(ids, texts)) {
        Trace("[CKXFormCalOptionsP::AddOptionsContent] LoadResources failed.");
        return ERROR_INVALID_DATA;
    }
    if (const DWORD dwStatus = CheckHolidayStatus(); dwStatus != ERROR_SUCCESS) {
        Trace("[CKXFormCalOptionsP::AddOptionsContent] CheckHolidayStatus() failed.");
        return dwStatus;
    }
    std::string sMarkup =
        "<br/><div class=\"slbFrm \"><div id=\"qvkxDivCap\" class=\"capPane\"><table class=\"tb\" cellSpacing=0 "
        "cellPadding=0><tr><td class=\"captionTd\"><table style=\"width: 100%; table-layout: fixed\" "
        "id=\"qvkxTbCapCont\" class=hdrTxt border=0 cellSpacing=0 cellPadding=0><tr><td><div style=\"text-overflow: "
        "ellipsis; white-space: nowrap; overflow: hidden\" id=\"qvkxDivCapText\" title=\"\">";
    sMarkup.append(ResourceText(texts, TEXT_HEADING))
        .append("</div></td></tr></table></td></tr></table></div><div class=\"cttPane\"><div id=\"qvkxDivPropPane\" "
                "class=\"propPane\"><div id=\"qvkxDivPropCont\">");
    if (m_bFtrMngDgs != 0)
        sMarkup.append("<div class=\"Propertydiv\" style=\"padding-bottom:3px;\"><input class=smsButton value=\"")
            .append(ResourceText(texts, TEXT_DELEGATES))
            .append("\" type=button onclick=\"return qvkx_onClkMngDelegates();\" ></div>");
    if (m_bFtrAddHld != 0)
        sMarkup.append("<div class=\"Propertydiv\"><input class=smsButton value=\"")
            .append(ResourceText(texts, TEXT_ADD_HOLIDAYS))
            .append("\" type=button onclick=\"return qvkx_onClkAddHolidays();\" ></div>");
    // The property container, its pane, the content pane and the frame: the
    // page after the section must not nest inside it.
    sMarkup.append("</div></div></div></div>");
    try {
        CDOMSource& dom = *m_pFormContext->m_spDom;
        const Position nAt = dom.getBody().scanContentForString("CalendarWorkflowOptions");
        const CDOMElement enclosing = nAt == NO_POS ? CDOMElement() : dom.getEnclosingElement(nAt);
        if (enclosing.isUndefined()) return ERROR_SUCCESS;
        const CDOMElement parent = enclosing.parentNode();
        return parent.isUndefined() ? ERROR_SUCCESS
                                    : parent.appendContentData(sMarkup.c_str(), m_pFormContext->m_pcobBufferInstructionList);
    } catch (const CDOMParserException& e) {
        Trace("[CKXFormCalOptionsP::AddOptionsContent] Exception <%s> nPos <%d>.", e.getMessage().c_str(),
              static_cast<int>(e.getPosition()));
        return ERROR_ARENA_TRASHED;
    }
}

DWORD CKXFormCalOptionsP::CheckHolidayStatus() {
    int nManualImport = 0;
    if (!CKXGeneralSettings::GetInstance()->GetSettingFromID(kx_setting::FEATURE_ADD_HOLIDAYS, nManualImport, 0) ||
        nManualImport == 0) {
        Trace("[CKXFormCalOptionsP::CheckHolidayStatus] Manual holiday import is disabled. No need to continue. "
              "return dwRet <%d>.",
              0);
        return ERROR_SUCCESS;
    }
    std::map<uint32_t, std::string> texts;
    DWORD dwResult = LoadResourceMap(texts, {TEXT_UNREADABLE, TEXT_BEING_ADDED, TEXT_ERRORS, TEXT_UNAVAILABLE});
    if (dwResult != ERROR_SUCCESS) {
        Trace("[CKXFormCalOptionsP::CheckHolidayStatus] LoadResourceMap() failed. dwRet <%d>.",
              static_cast<int>(dwResult));
        return dwResult;
    }
    bool bLoaded = false;
    std::string sMessage;
    dwResult = GetHolidayStatus(texts, bLoaded, sMessage);
    if (dwResult != ERROR_SUCCESS) Trace("[CKXFormCalOptionsP::CheckHolidayStatus] GetHolidayStatus() failed.");
    Trace("[CKXFormCalOptionsP::ProcessCalendarOptionsPage] returned dwRet <%d>.", static_cast<int>(dwResult));
    return dwResult;
}

DWORD CKXFormCalOptionsP::GetHolidayStatus(const std::map<uint32_t, std::string>& texts, bool& bLoaded,
                                           std::string& sMessage) {
    Trace("[CKXFormCalOptionsP::GetHolidayStatus] Starts.");
    std::shared_ptr<IHoliday2> spHoliday;
    HRESULT hr = CoCreateInstance(CLSID_CHoliday, spHoliday);
    if (hr < 0) {
        Trace("[CKXFormCalOptionsP::GetHolidayStatus] CoCreateInstance failed hr: 0x%x", static_cast<unsigned>(hr));
        return ERROR_ARENA_TRASHED;
    }
    long nState = 0;
    if ((hr = spHoliday->GetHolidayStatus(nState)) < 0) {
        Trace("[CKXFormCalOptionsP::GetHolidayStatus] GetHolidayStatus failed hr: 0x%x", static_cast<unsigned>(hr));
        return ERROR_ARENA_TRASHED;
    }
    bLoaded = nState == 0;
    if (!bLoaded) {
        const uint32_t nText = nState == 2   ? TEXT_BEING_ADDED
                               : nState == 3 ? TEXT_UNREADABLE
                               : nState == 4 ? TEXT_ERRORS
                                             : TEXT_UNAVAILABLE;
        sMessage = ResourceText(texts, nText);
    }
    Trace("[CKXFormCalOptionsP::GetHolidayStatus] returned <%d> bHolidayFileHasBeenLoaded <%s> sHolidayFileErrMsg "
          "<%s>.",
          static_cast<int>(nState), bLoaded ? "true" : "false", sMessage.c_str());
    return ERROR_SUCCESS;
}
