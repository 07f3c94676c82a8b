#include "forms/kx_form_calendar_view_b.h"

#include <memory>
#include <vector>

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_attribute.h"
#include "dom/dom_exception.h"
#include "dom/dom_source.h"
#include "dom/dom_start_tag.h"
#include "forms/cached_script_decorator.h"
#include "forms/page_text.h"
#include "forms/sw_form_context.h"
#include "forms/sw_form_script_path.h"
#include "record/dll_context.h"
#include "settings/kx_ex_access.h"
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"

namespace {

enum : uint32_t {
    TEXT_DAY = 1320,
    TEXT_WORK_WEEK = 1321,
    TEXT_WEEK = 1322,
    TEXT_MONTH = 1323,
    TITLE_DAY = 1324,
    TITLE_WEEK = 1325,
    TITLE_WORK_WEEK = 1326,
    TITLE_MONTH = 1327,
    TEXT_SEARCH = 1105,
    TEXT_OTHER_CALENDARS = 1110,
    TEXT_DELEGATES = 1111,
};

struct CViewButton {
    const char* pszOpening;
    uint32_t nTitle;
    const char* pszImage;
    uint32_t nText;
};

constexpr CViewButton VIEW_BUTTONS[] = {
    {"<a id=\"qvdayview\" class=\"btn\" href=\"#\" onclick=\"return qvkx_OnClkChngView(1);\" title=\"", TITLE_DAY,
     "qv_kx-cal-day.gif", TEXT_DAY},
    {"<a id=\"qvwkweekview\" class=\"btn\" href=\"#\" onclick=\"return qvkx_OnClkChngView(3);\" title=\"",
     TITLE_WORK_WEEK, "qv_kx-cal-wk-week.gif", TEXT_WORK_WEEK},
    {"<a id=\"qvweekview\" class=\"btn\" href=\"#\" onclick=\"return qvkx_OnClkChngView(2);\" title=\"", TITLE_WEEK,
     "qv_kx-cal-week.gif", TEXT_WEEK},
    {"<a id=\"qvmonthview\" class=\"btn\" href=\"#\" onclick=\"return qvkx_OnClkChngView(4);\" title=\"", TITLE_MONTH,
     "qv_kx-cal-month.gif", TEXT_MONTH},
};

constexpr const char* CHANGE_VIEW_SCRIPT =
    "function qvkx_OnClkChngView(vt){return nv(gtFrmActn() + getDtURL(a_iY,a_iM,a_iD) + \"&a=QvView\" + vt);}";

constexpr const char* PAGE_FUNCTIONS[] = {
    "function qvkx_onClkMngCds(){if(\"undefined\" != typeof(qvkx_OpnMngCds) && qvkx_OpnMngCds) "
    "qvkx_OpnMngCds();return false;}",
    "function qvkx_onClkMngDgs(){if(\"undefined\" != typeof(qvkx_OpnMngDgs) && qvkx_OpnMngDgs) "
    "qvkx_OpnMngDgs();return false;}",
    "function g_qvkx_onSrchOpen(itemId){if(\"undefined\" != typeof(a_sFldId) && a_sFldId && g_qvkx_owapath) "
    "window.location.href = g_qvkx_owapath + '?ae=PreFormAction&t=IPM.Appointment&a=Open&fId=' + a_sFldId + "
    "'&id=' + itemId;return false;}",
};

bool HasClass(const CDOMStartTag& tag, std::string_view sClass) {
    const CDOMAttribute attribute = tag.getAttribute("class");
    return !attribute.isUndefined() && SameNoCase(attribute.getValue(), sClass);
}

}  // namespace

const std::string& CKXFormCalendarViewB::Text(uint32_t nId) const { return ResourceText(m_mapResources, nId); }

DWORD CKXFormCalendarViewB::Process() {
    DWORD dwResult = IsInit() ? ERROR_SUCCESS : ERROR_ARENA_TRASHED;
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    m_bFtrExtCV = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_VIEWS, 1);
    m_bFtrOpnShCV = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_OTHER_CALENDARS, 1);
    m_bFtrMngDgs = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_DELEGATES, 1);
    m_bFtrCalSearch = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_SEARCH, 1);
    std::string sMessageId;
    if (Context() != nullptr && GetQueryParameter(Context(), "qvmsgid", sMessageId) && !sMessageId.empty())
        SetMeetingReminder(sMessageId);
    try {
        if (dwResult == ERROR_SUCCESS) {
            std::vector<uint32_t> ids;
            if (m_bFtrExtCV != 0)
                ids = {TEXT_DAY, TEXT_WORK_WEEK, TEXT_WEEK, TEXT_MONTH, TITLE_DAY, TITLE_WORK_WEEK, TITLE_WEEK,
                       TITLE_MONTH};
            if (m_bFtrCalSearch != 0) ids.push_back(TEXT_SEARCH);
            if (m_bFtrOpnShCV != 0) ids.push_back(TEXT_OTHER_CALENDARS);
            if (m_bFtrMngDgs != 0) ids.push_back(TEXT_DELEGATES);
            if (!LoadResources(ids, m_mapResources)) {
                Trace("[CKXFormCalendarViewB::Process] LoadResources failed.");
                dwResult = ERROR_INVALID_DATA;
            }
        }
        std::string sBuild, sTheme;
        if (dwResult == ERROR_SUCCESS) {
            if (!GetOWABuildAndCurrentOWAThemeFromCSSLinkTags("basic_owafont.css", "basic.css", sBuild, sTheme)) {
                Trace("[CKXFormCalendarViewB::Process] GetOWABuildAndCurrentOWAThemeFromCSSLinkTags() failed.");
                dwResult = ERROR_INVALID_DATA;
            } else {
                CSWFormScriptPath scriptPath("Kalyxa", "2.0");
                dwResult = InsertScriptLink(m_pFormContext, "qv_kxutil.js", LINK_SCRIPT, scriptPath, true,
                                            POSITION_DEFAULT);
                if (dwResult != ERROR_SUCCESS) Trace("[CKXFormCalendarViewB::Process] InsertScriptLink failed.");
            }
        }
        if (dwResult == ERROR_SUCCESS) {
            std::string sScript;
            dwResult = AppendSelCalNameVar(sScript);
            if (dwResult == ERROR_SUCCESS) dwResult = AppendJSVarHandlerVirPath(sScript);
            if (dwResult == ERROR_SUCCESS) {
                sScript += ScriptVariables(sBuild, sTheme);
                dwResult = InsertJSScript(m_pFormContext, sScript);
            }
        }
        if (dwResult == ERROR_SUCCESS) {
            dwResult = AddCalendarViewsAndSearchBtn(sBuild + "/themes/" + sTheme + "/");
            if (dwResult != ERROR_SUCCESS)
                Trace("[CKXFormCalendarViewB::Process] AddCalendarViewsAndSearchBtn() failed.");
        }
        if (dwResult == ERROR_SUCCESS) InsertCalendarShareLinks();
    } catch (const CDOMParserException& e) {
        Trace("[CKXFormCalendarViewB::Process] CDOMParserException pos <%d> message <%s>",
              static_cast<int>(e.getPosition()), e.getMessage().c_str());
        dwResult = ERROR_INVALID_DATA;
    }
    Trace("[CKXFormCalendarViewB::Process] returned dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}

std::string CKXFormCalendarViewB::ScriptVariables(const std::string& sBuild, const std::string& sTheme) {
    std::string sScript;
    const CExchangeURL* pUrls = ExchangeURL(Context());
    AppendJsVar(sScript, "g_qvkx_owapath", pUrls == nullptr ? std::string_view() : HostText(pUrls->m_sOwaPath));
    AppendJsVar(sScript, "g_qvkx_CmdPName", "qvkxcmd");
    AppendJsVar(sScript, "g_qvkx_CmdMngCds", "mngcds");
    AppendJsVar(sScript, "g_qvkx_CmdMngDgs", "mngdgs");
    AppendJsVar(sScript, "g_qvkx_CmdCalSearch", "calsearch");
    AppendJsVar(sScript, "g_qvkx_OwaExp", 2L);
    AppendJsVar(sScript, "g_qvkx_OwaBuild", sBuild);
    AppendJsVar(sScript, "g_qvkx_CurrOwaTheme", sTheme);
    AppendJsVar(sScript, "g_qvkx_SrcPg", 0L);
    AppendJsVar(sScript, "g_qvkx_FtrExtCV", static_cast<long>(m_bFtrExtCV));
    AppendJsVar(sScript, "g_qvkx_FtrOpnShCV", static_cast<long>(m_bFtrOpnShCV));
    AppendJsVar(sScript, "g_qvkx_FtrMngDgs", static_cast<long>(m_bFtrMngDgs));
    for (const char* pszFunction : PAGE_FUNCTIONS) sScript.append("\r\n").append(pszFunction);
    return sScript.append("\r\n");
}

DWORD CKXFormCalendarViewB::AppendSelCalNameVar(std::string& sScript) {
    Trace("[CKXFormCalendarViewB::AppendSelCalNameVar] Starts.");
    DWORD dwResult = ERROR_INVALID_DATA;
    const CDOMStartTag tableTag = m_pFormContext->m_spDom->getBody().getFirstStartTagByTagName(
        "table", [](const CDOMStartTag& tag) { return HasClass(tag, "snt"); });
    const CDOMElement table = tableTag.isUndefined() ? CDOMElement() : tableTag.getElementNode();
    if (tableTag.isUndefined()) {
        Trace("[CKXFormCalendarViewB::AppendSelCalNameVar] <table class=\"snt\"> element was not found.");
    } else if (table.isUndefined()) {
        Trace("[CKXFormCalendarViewB::AppendSelCalNameVar] Invalid <table class=\"snt\"> element.");
    } else {
        const CDOMStartTag cellTag =
            table.getFirstStartTagByTagName("td", [](const CDOMStartTag& tag) { return HasClass(tag, "fld sl"); });
        const CDOMElement cell = cellTag.isUndefined() ? CDOMElement() : cellTag.getElementNode();
        if (cell.isUndefined()) {
            Trace("[CKXFormCalendarViewB::AppendSelCalNameVar] <td nowrap class=\"fld sl\"> element was not found. %s",
                  table.getInnerHTML().c_str());
        } else {
            // The name as the user sees it, which the page wrote as markup text.
            sScript += "var g_QVKX_sSelCalFoldName=\"";
            AppendJsString(sScript, DecodeHtmlText(TrimAsciiSpace(cell.getInnerText())));
            sScript += "\";\r\n";
            dwResult = ERROR_SUCCESS;
        }
    }
    Trace("[CKXFormCalendarViewB::AppendSelCalNameVar] returns dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}

DWORD CKXFormCalendarViewB::AddCalendarViewsAndSearchBtn(const std::string& sThemeFolder) {
    Trace("[CKXFormCalendarViewB::AddCalendarViewsAndSearchBtn] Starts.");
    DWORD dwResult = ERROR_SUCCESS;
    try {
        const std::unique_ptr<CCachedScriptDecorator> pDecorator = GetCachedScriptManager(m_pFormContext);
        if (pDecorator == nullptr) {
            Trace("[CSWForm::InsertScriptLink] Error: failed to initialize script decorator ");
            dwResult = ERROR_INVALID_DATA;
        } else if ((dwResult = InsertJSScript(m_pFormContext, CHANGE_VIEW_SCRIPT)) != ERROR_SUCCESS) {
            Trace("[CKXFormCalendarViewB::AddCalendarViewsAndSearchBtn] InsertJSScript() failed.");
        } else {
            const CDOMElement anchor = m_pFormContext->m_spDom->getBody().getElementById("lnkHdrtoday");
            CDOMElement cell = anchor.isUndefined() ? CDOMElement() : anchor.parentNode();
            const CDOMElement separator = cell.isUndefined() ? CDOMElement() : cell.previousSibling();
            if (anchor.isUndefined()) {
                Trace("[CAddressBookForm::AddCalendarViewsAndSearchBtn] Delete icon not found.");
                dwResult = ERROR_INVALID_DATA;
            } else if (!IsToolbarSeparator(separator)) {
                Trace("[CAddressBookForm::AddCalendarViewsAndSearchBtn] Separator not found.");
                dwResult = ERROR_INVALID_DATA;
            } else {
                const CSWFormScriptPath scriptPath("Kalyxa", "2.0");
                std::string sMarkup;
                sMarkup.reserve(2500);
                sMarkup.append(separator.getOuterHTML());
                for (const CViewButton& button : VIEW_BUTTONS) {
                    if (m_bFtrExtCV == 0) break;
                    sMarkup.append("<td nowrap>").append(button.pszOpening).append(Text(button.nTitle));
                    sMarkup.append("\"><img src=\"")
                        .append(EscapeHtml(scriptPath.GetScriptPath(button.pszImage, pDecorator.get())))
                        .append("\" alt=\"\"> ")
                        .append(Text(button.nText))
                        .append("</a></td>");
                }
                if (m_bFtrCalSearch != 0) {
                    sMarkup.append("<td nowrap><a id=\"qvcalsearch\" class=\"btn\" href=\"#\" onclick=\"return "
                                   "qvkx_LaunchCalendarSearch();\" title=\"")
                        .append(Text(TEXT_SEARCH))
                        .append("\"><img src=\"")
                        .append(EscapeHtml(sThemeFolder))
                        .append("bsearch.gif\" alt=\"\"> ")
                        .append(Text(TEXT_SEARCH))
                        .append("</a></td>");
                }
                dwResult = cell.parentNode().insertContentDataAfter(sMarkup.c_str(), cell,
                                                                   m_pFormContext->m_pcobBufferInstructionList);
                if (dwResult != ERROR_SUCCESS)
                    Trace("[CAddressBookForm::AddCalendarViewsAndSearchBtn] CDOMElement::insertContentDataAfter() "
                          "failed dwRet <%d>",
                          static_cast<int>(dwResult));
            }
        }
    } catch (const CDOMParserException& e) {
        Trace("[CAddressBookForm::AddCalendarViewsAndSearchBtn] Exception <%s> nPos <%d>.", e.getMessage().c_str(),
              static_cast<int>(e.getPosition()));
        dwResult = ERROR_ARENA_TRASHED;
    }
    Trace("[AddCalendarViewsAndSearchBtn] returns dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}

DWORD CKXFormCalendarViewB::InsertCalendarShareLinks() {
    Trace("[CKXFormCalendarViewB::InsertCalendarShareLinks] Starts.");
    const CDOMElement body = m_pFormContext->m_spDom->getBody();
    const CDOMElement anchor = body.getElementById("lnkMngFldr");
    if (anchor.isUndefined()) {
        Trace("[CKXFormCalendarViewB::InsertCalendarShareLinks] no lnkMngFldre");
        return ERROR_ARENA_TRASHED;
    }
    Trace("[CKXFormCalendarViewB::InsertCalendarShareLinks] Found lnkMngFldr - continue");
    const CDOMElement icon = anchor.getFirstElementByTagName("img");
    const std::string sIcon = icon.isUndefined() ? std::string() : icon.getOuterHTML();
    std::string sMarkup = "<table cellspacing=\"0\" cellpadding=\"0\" class=\"snfmb\"><tbody>";
    if (m_bFtrOpnShCV != 0)
        sMarkup.append("<tr><td nowrap=\"\">\t\t\t<a id=\"lnkMngCds\" onclick=\"return qvkx_onClkMngCds()\" href=\"#\">")
            .append(sIcon)
            .append(Text(TEXT_OTHER_CALENDARS))
            .append("</a></td></tr>");
    if (m_bFtrMngDgs != 0)
        sMarkup.append("<tr><td nowrap=\"\"><a id=\"lnkMngDgs\" onclick=\"return qvkx_onClkMngDgs()\" href=\"#\">")
            .append(sIcon)
            .append(Text(TEXT_DELEGATES))
            .append("</a></td></tr>");
    sMarkup.append("</tbody></table>");
    Trace("[CKXFormCalendarViewB::InsertCalendarShareLinks] Find parent table");
    CDOMElement table = anchor.parentNode();
    while (!table.isUndefined() && !SameNoCase(table.tagName(), "table") && !SameNoCase(table.tagName(), "body"))
        table = table.parentNode();
    DWORD dwResult = ERROR_ARENA_TRASHED;
    if (table.isUndefined() || !SameNoCase(table.tagName(), "table")) {
        Trace("[CKXFormCalendarViewB::InsertCalendarShareLinks] no parent table");
    } else {
        Trace("[CKXFormCalendarViewB::InsertCalendarShareLinks] Found parent table, insert html");
        dwResult = body.insertContentDataAfter(sMarkup.c_str(), table, m_pFormContext->m_pcobBufferInstructionList);
        if (dwResult != ERROR_SUCCESS)
            Trace("[CKXFormCalendarViewB::InsertCalendarShareLinks] insertContentDataAfter failed");
    }
    Trace("[CKXFormCalendarViewB::InsertCalendarShareLinks] returns dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}

void CKXFormCalendarViewB::SetMeetingReminder(const std::string& sMessageId) {
    std::string sEwsId;
    if (!GetItemEwsID("CKXFormCalendarViewB", sMessageId, sEwsId)) {
        Trace("[CKXFormCalendarViewB::SetMeetingReminder] GetItemEwsID failed.");
        return;
    }
    std::string sReminderOn, sMinutes;
    GetQueryParameter(Context(), "qvrchk", sReminderOn);
    GetQueryParameter(Context(), "qvrmbs", sMinutes);
    if (sReminderOn.empty() || sMinutes.empty()) {
        Trace("[CKXFormCalendarViewB::SetMeetingReminder] Reminder data is not valid.");
        return;
    }
    CKXExAccess access(CKXGeneralSettings::GetInstance()->EventLog());
    if (!InitializeKXExchangeAccess("CKXFormCalendarViewB", access)) {
        Trace("[CKXFormCalendarViewB::SetMeetingReminder] Failed to initialize KX Exchange Access.");
        return;
    }
    if (access.SetMeetingReminderItem(sEwsId, REMINDER_CHANGE_KEY, SameNoCase(sReminderOn, "1"), sMinutes) < 0)
        Trace("[CKXFormCalendarViewB::SetMeetingReminder] SetMeetingReminder failed to update reminder data.");
}
