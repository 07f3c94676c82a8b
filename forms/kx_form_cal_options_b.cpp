#include "forms/kx_form_cal_options_b.h"

#include <map>
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
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"

namespace {

enum : uint32_t {
    TEXT_OTHER_CALENDARS = 1121,
    TEXT_DELEGATES = 1111,
    TEXT_ADD_HOLIDAYS = 1500,
    TEXT_HEADING = 1120,
    TEXT_REMINDERS = 1402,
    TEXT_SHOW_REMINDERS = 1450,
};

constexpr const char* OPTION_FUNCTIONS[] = {
    "function qvkx_onClkMngOtherCals(){if(\"undefined\" != typeof(qvkx_OpnMngCds) && qvkx_OpnMngCds) "
    "qvkx_OpnMngCds();return false;}",
    "function qvkx_onClkMngDelegates(){if(\"undefined\" != typeof(qvkx_OpnMngDgs) && qvkx_OpnMngDgs) "
    "qvkx_OpnMngDgs();return false;}",
    "function qvkx_onClkAddHolidays(){if(\"undefined\" != typeof(qvkx_OpnAddHlds) && qvkx_OpnAddHlds) "
    "qvkx_OpnAddHlds();return false;}",
};

struct CLinkRow {
    uint32_t nText;
    const char* pszDefault;
    const char* pszOpening;
    const char* pszHandler;
    const char* pszEnd;
};

constexpr const char* DELEGATE_ROW_OPENING =
    "<tr>\n\t\t\t\t\t <td class=\"w100\" style=\"padding-bottom:8px;\">\n\t\t\t\t\t <a title=\"";
constexpr const char* DELEGATE_ROW_END = "</a>\n\t\t\t\t\t\t</td>\n\t\t\t\t\t\t</tr>\n";

constexpr CLinkRow OTHER_CALENDARS_ROW = {
    TEXT_OTHER_CALENDARS, "Manage Other Cal",
    "<tr>\n\t\t\t\t\t<td class=\"w100\" style=\"padding-bottom:8px;\">\n\t\t\t\t\t<a title=\"",
    "\"  onclick=\"return qvkx_onClkMngOtherCals();\" href=\"#\">", "</a>\n\t\t\t\t\t</td>\n\t\t\t\t</tr>\n"};
constexpr CLinkRow DELEGATES_ROW = {TEXT_DELEGATES, "Manage Delegate", DELEGATE_ROW_OPENING,
                                    "\"  onclick=\"return qvkx_onClkMngDelegates();\" href=\"#\">", DELEGATE_ROW_END};
constexpr CLinkRow ADD_HOLIDAYS_ROW = {TEXT_ADD_HOLIDAYS, "Add Holidays to Calendar", DELEGATE_ROW_OPENING,
                                       "\"  onclick=\"return qvkx_onClkAddHolidays();\" href=\"#\">",
                                       DELEGATE_ROW_END};

void AppendRow(std::string& sMarkup, const CLinkRow& row, const std::map<uint32_t, std::string>& texts) {
    const auto it = texts.find(row.nText);
    const std::string sText = it == texts.end() ? row.pszDefault : it->second;
    sMarkup.append(row.pszOpening).append(sText).append(row.pszHandler).append(sText).append(row.pszEnd);
}

}  // namespace

DWORD CKXFormCalOptionsB::Process() {
    Trace("[CKXFormCalOptionsB::Process] start");
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    int nReminders = 0;
    pSettings->GetSettingFromID(kx_setting::REMINDERS, nReminders, 0);
    DWORD dwResult = ERROR_SUCCESS;
    if (nReminders == 1) {
        dwResult = PrefixLinkedScripts(m_pFormContext, "opt.js", true);
        if (dwResult != ERROR_SUCCESS) {
            Trace("[CKXFormCalOptionsB::Process] PrefixLinkedScripts failed.");
            return dwResult;
        }
    }
    if (Context() == nullptr || (Context()->m_dwFeatureFlags & KX_FEATURE_CALENDAR_OPTIONS) == 0) return dwResult;
    dwResult = IsInit() ? ERROR_SUCCESS : ERROR_ARENA_TRASHED;
    m_bFtrOpnShCV = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_OTHER_CALENDARS, 1);
    m_bFtrMngDgs = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_DELEGATES, 1);
    m_bFtrAddHld = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_ADD_HOLIDAYS, 1);
    try {
        if (dwResult == ERROR_SUCCESS) {
            std::string sBuild, sTheme;
            Trace("[CKXFormCalOptionsB::Process] AddThemeBuildAndExp");
            dwResult = AddThemeBuildAndExp(sBuild, sTheme);
            Trace("[CKXFormCalOptionsB::Process] AddOptionsContent");
            if (dwResult == ERROR_SUCCESS) dwResult = AddOptionsContent(sBuild, sTheme, nReminders == 1);
        }
    } catch (const CDOMParserException& e) {
        Trace("[CKXFormCalOptionsB::Process] Exception <%s> nPos <%d>.", e.getMessage().c_str(),
              static_cast<int>(e.getPosition()));
        dwResult = ERROR_ARENA_TRASHED;
    }
    TraceOutcome("CKXFormCalOptionsB", "Modifying", "form", dwResult == ERROR_SUCCESS);
    Trace("[CKXFormCalOptionsB::Process] method returned: %lu", static_cast<unsigned long>(dwResult));
    return dwResult;
}

DWORD CKXFormCalOptionsB::AddThemeBuildAndExp(std::string& sBuild, std::string& sTheme) {
    if (!GetOWABuildAndCurrentOWAThemeFromCSSLinkTags("basic.css", "basic_owafont.css", sBuild, sTheme)) {
        Trace("[CKXFormCalOptionsB::Process] GetOWABuildAndCurrentOWAThemeFromCSSLinkTags() failed.");
        return ERROR_INVALID_DATA;
    }
    std::string sScript;
    DWORD dwResult = AppendJSVarHandlerVirPath(sScript);
    if (dwResult != ERROR_SUCCESS) return dwResult;
    const CExchangeURL* pUrls = ExchangeURL(Context());
    std::string sOwaPath(pUrls == nullptr ? std::string_view() : HostText(pUrls->m_sOwaPath));
    const std::string sExplicitLogon = RequestValue("HTTP_X_OWA_EXPLICITLOGONUSER");
    if (!sExplicitLogon.empty()) {
        Trace("[CKXFormCalendarViewB::Process] Other mailbox is opened. Explicit logon user header value <%s>.",
              sExplicitLogon.c_str());
        sOwaPath.append(sExplicitLogon).append("/");
    }
    AppendJsVar(sScript, "g_qvkx_owapath", sOwaPath);
    AppendJsVar(sScript, "g_qvkx_CmdPName", "qvkxcmd");
    AppendJsVar(sScript, "g_qvkx_CmdMngCds", "mngcds");
    AppendJsVar(sScript, "g_qvkx_CmdMngDgs", "mngdgs");
    AppendJsVar(sScript, "g_qvkx_CmdAddHld", "addhld");
    AppendJsVar(sScript, "g_qvkx_OwaExp", 2L);
    AppendJsVar(sScript, "g_qvkx_OwaBuild", sBuild);
    AppendJsVar(sScript, "g_qvkx_CurrOwaTheme", sTheme);
    AppendJsVar(sScript, "g_qvkx_SrcPg", 0L);
    for (const char* pszFunction : OPTION_FUNCTIONS) sScript.append("\r\n").append(pszFunction);
    sScript.append("\r\n");
    dwResult = InsertJSScript(m_pFormContext, sScript);
    if (dwResult == ERROR_SUCCESS) {
        CSWFormScriptPath scriptPath("Kalyxa", "2.0");
        dwResult =
            InsertScriptLink(m_pFormContext, "qv_kxutil.js", LINK_SCRIPT, scriptPath, true, POSITION_DEFAULT);
        if (dwResult != ERROR_SUCCESS) Trace("[CKXFormCalOptionsB::Process] InsertScriptLink failed.");
    }
    return dwResult;
}

DWORD CKXFormCalOptionsB::AddOptionsContent(const std::string&, const std::string&, bool bReminders) {
    const std::unique_ptr<CCachedScriptDecorator> pDecorator = GetCachedScriptManager(m_pFormContext);
    if (pDecorator == nullptr) {
        Trace("[CKXFormCalOptionsB::AddOptionsContent] Error: failed to initialize script manager ");
        return ERROR_INVALID_DATA;
    }
    const CSWFormScriptPath scriptPath("Kalyxa", "2.0");
    std::vector<uint32_t> ids;
    if (m_bFtrOpnShCV != 0) ids.push_back(TEXT_OTHER_CALENDARS);
    if (m_bFtrMngDgs != 0) ids.push_back(TEXT_DELEGATES);
    if (m_bFtrAddHld != 0) ids.push_back(TEXT_ADD_HOLIDAYS);
    ids.insert(ids.end(), {TEXT_HEADING, TEXT_REMINDERS, TEXT_SHOW_REMINDERS});
    std::map<uint32_t, std::string> texts;
    if (!LoadResources(ids, texts)) {
        Trace("[CKXFormCalOptionsB::AddOptionsContent] LoadResources failed.");
        return ERROR_INVALID_DATA;
    }
    std::string sMarkup = "<tr>\n\t\t\t<td class=\"hdr\">\n\t\t\t<img width=\"32\" height=\"32\" src=\"";
    sMarkup.append(EscapeHtml(scriptPath.GetScriptPath("qv_kxoptions.gif", pDecorator.get())))
        .append("\"  alt=\"\">\n\t\t\t\t <h1 class=\"bld\">")
        .append(ResourceText(texts, TEXT_HEADING))
        .append("</h1>\n\t\t\t</td>\n\t\t</tr><tr>\n\t\t\t\t\t<td class=\"bd\">\n\t\t\t\t\t<table class=\"fmt\">\n");
    if (m_bFtrOpnShCV != 0) AppendRow(sMarkup, OTHER_CALENDARS_ROW, texts);
    if (m_bFtrMngDgs != 0) AppendRow(sMarkup, DELEGATES_ROW, texts);
    if (m_bFtrAddHld != 0) AppendRow(sMarkup, ADD_HOLIDAYS_ROW, texts);
    sMarkup.append("</table>\n\t\t\t</td>\n\t\t\t</tr>");
    if (bReminders) {
        const bool bEnabled = GetOptionRemindersEnabled();
        const std::string sScript = std::string("<script language=JavaScript>\r\n//QUORVANE KX START\r\n") +
                                    "var g_QVKX_bRmndEnabled=" + (bEnabled ? "1;\r\n" : "0;\r\n") +
                                    "//QUORVANE KX END\r\n</script>\r\n";
        if (const BYTE* pHeadEnd = m_pFormContext->m_pCommonPointers->m_pHeadEndTag; pHeadEnd != nullptr)
            InsertHtmlStringAtPosition(reinterpret_cast<uint64_t>(pHeadEnd), sScript.c_str(),
                                       m_pFormContext->m_pcobBufferInstructionList);
        sMarkup.append("<tr>\n\t\t\t\t<td class=\"hdr\">\n\t\t\t\t<img width=\"32\" height=\"32\" src=\"")
            .append(EscapeHtml(scriptPath.GetScriptPath("qv_reminder.gif", pDecorator.get())))
            .append("\"  alt=\"\">\n\t\t\t\t\t <h1 class=\"bld\">")
            .append(ResourceText(texts, TEXT_REMINDERS))
            .append("</h1>\n\t\t\t\t</td>\n\t\t\t</tr><tr>\n\t\t\t\t\t\t<td class=\"bd\">\n\t\t\t\t\t\t\t<table "
                    "class=\"fmt\">\n\t\t\t\t\t\t\t\t<tr><td><input type=\"checkbox\" ")
            .append(bEnabled ? "checked=\"true\" " : "")
            .append("id=\"cbReminders\" name=\"cbReminders\" onclick=\"a_fPgDrty=true;\" /><span id=\"spanReminders\">")
            .append(ResourceText(texts, TEXT_SHOW_REMINDERS))
            .append("</span></td></tr></table></td></tr>");
    }
    try {
        const CDOMElementVector headings = m_pFormContext->m_spDom->getBody().getElementsByTagName("h1");
        if (headings.size() == 0) return ERROR_SUCCESS;
        const CDOMElement heading = headings[headings.size() - 1];
        Trace("[CKXFormCalOptionsB::AddOptionsContent] Found parent table, insert html");
        const CDOMElement cell = heading.parentNode();
        const CDOMElement row = cell.isUndefined() ? CDOMElement() : cell.parentNode();
        if (!SameNoCase(heading.tagName(), "h1") || cell.isUndefined() || !SameNoCase(cell.tagName(), "td") ||
            row.isUndefined() || !SameNoCase(row.tagName(), "tr"))
            return ERROR_SUCCESS;
        const CDOMElement table = row.parentNode();
        return table.isUndefined() ? ERROR_SUCCESS
                                   : table.appendContentData(sMarkup.c_str(), m_pFormContext->m_pcobBufferInstructionList);
    } catch (const CDOMParserException& e) {
        Trace("[CKXFormCalOptionsB::AddOptionsContent] Exception <%s> nPos <%d>.", e.getMessage().c_str(),
              static_cast<int>(e.getPosition()));
        return ERROR_ARENA_TRASHED;
    }
}
