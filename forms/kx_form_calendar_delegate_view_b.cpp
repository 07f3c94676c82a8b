#include "forms/kx_form_calendar_delegate_view_b.h"

#include <memory>
#include <vector>

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_attribute.h"
#include "dom/dom_exception.h"
#include "dom/dom_source.h"
#include "forms/cached_script_decorator.h"
#include "forms/page_text.h"
#include "forms/sw_form_context.h"
#include "forms/sw_form_script_path.h"
#include "record/dll_context.h"
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"

namespace {

constexpr uint32_t TEXT_SEARCH = 1105;

constexpr const char* SEARCH_OPEN_SCRIPT =
    "function g_qvkx_onSrchOpen(itemId){if(\"undefined\" != typeof(qvkx_onClkM) && qvkx_onClkM) return "
    "qvkx_onClkM(itemId); else return false;}";

}  // namespace

DWORD CKXFormCalendarDelegateViewB::Process() {
    DWORD dwResult = IsInit() ? ERROR_SUCCESS : ERROR_ARENA_TRASHED;
    m_bFtrCalSearch = CKXGeneralSettings::GetInstance()->GetFeatureSettingOn(kx_setting::FEATURE_SEARCH, 1);
    try {
        if (dwResult == ERROR_SUCCESS &&
            !LoadResources(m_bFtrCalSearch != 0 ? std::vector<uint32_t>{TEXT_SEARCH} : std::vector<uint32_t>{},
                           m_mapResources)) {
            Trace("[CKXFormCalendarDelegateViewB::Process] LoadResources failed.");
            dwResult = ERROR_INVALID_DATA;
        }
        std::string sBuild, sTheme;
        if (dwResult == ERROR_SUCCESS) {
            if (!GetOWABuildAndCurrentOWAThemeFromCSSLinkTags("basic.css", "basic_owafont.css", sBuild, sTheme)) {
                Trace("[CKXFormCalendarDelegateViewB::Process] GetOWABuildAndCurrentOWAThemeFromCSSLinkTags() "
                      "failed.");
                dwResult = ERROR_INVALID_DATA;
            } else {
                CSWFormScriptPath scriptPath("Kalyxa", "2.0");
                dwResult = InsertScriptLink(m_pFormContext, "qv_kxutil.js", LINK_SCRIPT, scriptPath, true,
                                            POSITION_DEFAULT);
                if (dwResult != ERROR_SUCCESS)
                    Trace("[CKXFormCalendarDelegateViewB::Process] InsertScriptLink failed.");
            }
        }
        if (dwResult == ERROR_SUCCESS) {
            std::string sScript;
            dwResult = AppendJSVarHandlerVirPath(sScript);
            if (dwResult == ERROR_SUCCESS) {
                const CExchangeURL* pUrls = ExchangeURL(Context());
                AppendJsVar(sScript, "g_qvkx_owapath",
                            pUrls == nullptr ? std::string_view() : HostText(pUrls->m_sOwaPath));
                AppendJsVar(sScript, "g_qvkx_CmdPName", "qvkxcmd");
                AppendJsVar(sScript, "g_qvkx_CmdCalSearch", "calsearch");
                AppendJsVar(sScript, "g_qvkx_OwaExp", 2L);
                AppendJsVar(sScript, "g_qvkx_OwaBuild", sBuild);
                AppendJsVar(sScript, "g_qvkx_CurrOwaTheme", sTheme);
                sScript.append("\r\n").append(SEARCH_OPEN_SCRIPT).append("\r\n");
                dwResult = InsertJSScript(m_pFormContext, sScript);
            }
        }
        if (dwResult == ERROR_SUCCESS && m_bFtrCalSearch != 0) {
            dwResult = AddSearchBtn(sBuild + "/themes/" + sTheme + "/");
            if (dwResult != ERROR_SUCCESS)
                Trace("[CKXFormCalendarDelegateViewB::Process] AddCalendarViewsAndSearchBtn() failed.");
        }
    } catch (const CDOMParserException& e) {
        Trace("[CKXFormCalendarDelegateViewB::Process] CDOMParserException pos <%d> message <%s>",
              static_cast<int>(e.getPosition()), e.getMessage().c_str());
        dwResult = ERROR_INVALID_DATA;
    }
    Trace("[CKXFormCalendarDelegateViewB::Process] returned dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}

DWORD CKXFormCalendarDelegateViewB::AddSearchBtn(const std::string& sThemeFolder) {
    Trace("[CKXFormCalendarDelegateViewB::AddSearchBtn] Starts.");
    DWORD dwResult = ERROR_INVALID_DATA;
    const std::unique_ptr<CCachedScriptDecorator> pDecorator = GetCachedScriptManager(m_pFormContext);
    const CDOMElement anchor =
        pDecorator == nullptr ? CDOMElement() : m_pFormContext->m_spDom->getBody().getElementById("qvdayview");
    CDOMElement cell = anchor.isUndefined() ? CDOMElement() : anchor.parentNode();
    const CDOMElement separator = cell.isUndefined() ? CDOMElement() : cell.previousSibling();
    if (pDecorator == nullptr) {
        Trace("[CSWForm::AddSearchBtn] Error: failed to initialize script decorator ");
    } else if (anchor.isUndefined()) {
        Trace("[CAddressBookForm::AddSearchBtn] Day icon not found.");
    } else if (!IsToolbarSeparator(separator)) {
        Trace("[CAddressBookForm::AddSearchBtn] Separator not found.");
    } else {
        const std::string& sText = ResourceText(m_mapResources, TEXT_SEARCH);
        std::string sMarkup;
        sMarkup.reserve(2500);
        sMarkup.append(separator.getOuterHTML())
            .append("<td nowrap><a id=\"qvcalsearch\" class=\"btn\" href=\"#\" onclick=\"return "
                    "qvkx_LaunchCalendarSearch(0,1);\" title=\"")
            .append(sText)
            .append("\"><img src=\"")
            .append(EscapeHtml(sThemeFolder))
            .append("bsearch.gif\" alt=\"\"> ")
            .append(sText)
            .append("</a></td>");
        const CDOMElement row = cell.parentNode();
        dwResult = row.insertContentDataBefore(sMarkup.c_str(), row.lastChild(),
                                               m_pFormContext->m_pcobBufferInstructionList);
        if (dwResult != ERROR_SUCCESS)
            Trace("[CAddressBookForm::AddSearchBtn] CDOMElement::insertContentDataAfter() failed dwRet <%d>",
                  static_cast<int>(dwResult));
    }
    Trace("[AddSearchBtn] returns dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}
