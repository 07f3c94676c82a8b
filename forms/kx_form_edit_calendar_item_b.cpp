#include "forms/kx_form_edit_calendar_item_b.h"

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "base/ascii_case.h"
#include "base/text_search.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_exception.h"
#include "dom/dom_source.h"
#include "forms/page_text.h"
#include "forms/sw_form_context.h"
#include "record/buffer_instruction_list.h"
#include "record/dll_context.h"
#include "settings/kx_ex_access.h"
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"

namespace {

struct CReminderChoice {
    const char* pszMinutes;
    uint32_t nText;
};

constexpr CReminderChoice REMINDER_CHOICES[] = {
    {"0", 1408},   {"5", 1409},   {"10", 1410},   {"15", 1411},   {"30", 1412},   {"60", 1413},
    {"120", 1414}, {"180", 1415}, {"240", 1416},  {"480", 1417},  {"720", 1418},  {"1440", 1419},
    {"2880", 1420}, {"4320", 1421}, {"10080", 1422}, {"20160", 1423},
};
constexpr uint32_t TEXT_REMIND_ME = 1448;
constexpr const char* DEFAULT_MINUTES = "15";

bool IsOne(const std::string& sValue) { return SameNoCase(sValue, "1"); }

}  // namespace

DWORD CKXFormEditCalendarItemB::Process() {
    int nReminders = 0;
    if (!CKXGeneralSettings::GetInstance()->GetSettingFromID(kx_setting::REMINDERS, nReminders, 0) ||
        nReminders != 1 || Context() == nullptr)
        return ERROR_SUCCESS;
    std::string sAction;
    GetQueryParameter(Context(), "a", sAction);
    if (SameNoCase(sAction, "New")) {
        AddReminderControls(true, DEFAULT_MINUTES);
        return ERROR_SUCCESS;
    }
    CKXExAccess access(CKXGeneralSettings::GetInstance()->EventLog());
    if (!InitializeKXExchangeAccess("CKXFormEditCalendarItemB", access)) return ERROR_ARENA_TRASHED;
    std::string sEwsId;
    if (!GetItemEwsID(sEwsId)) sEwsId.clear();
    if (!SameNoCase(sAction, "Save")) {
        bool bReminderOn = true;
        std::string sMinutes = DEFAULT_MINUTES;
        if (!sEwsId.empty()) {
            if (const HRESULT hr = access.GetMeetingReminderItem(sEwsId, bReminderOn, sMinutes); hr < 0) {
                Trace("[CKXFormEditCalendarItemB::Process] CKXExAccess::GetMeetingReminderItem failed. hr 0x%x",
                      static_cast<unsigned>(hr));
                return ERROR_ARENA_TRASHED;
            }
            AppendReminderScript(bReminderOn, sMinutes);
        }
        AddReminderControls(bReminderOn, sMinutes);
        return ERROR_SUCCESS;
    }
    std::string sUpdate, sRedirect, sReminderOn, sMinutes;
    GetQueryParameter(Context(), "qvupdrm", sUpdate);
    GetQueryParameter(Context(), "qvrdrct", sRedirect);
    GetQueryParameter(Context(), "qvrchk", sReminderOn);
    GetQueryParameter(Context(), "qvrmbs", sMinutes);
    if (IsOne(sUpdate)) {
        if (sReminderOn.empty() || sMinutes.empty()) {
            Trace("[CAddressBookForm::Process] Reminder data is not valid.");
            return ERROR_ARENA_TRASHED;
        }
        if (access.SetMeetingReminderItem(sEwsId, REMINDER_CHANGE_KEY, IsOne(sReminderOn), sMinutes) < 0) {
            Trace("[CAddressBookForm::Process] SetMeetingReminderItem failed to update reminder data.");
            return ERROR_ARENA_TRASHED;
        }
    }
    if (IsOne(sRedirect))
        RedirectToCalendarFolder("?ae=Folder&t=IPF.Appointment\r\n");
    else
        AddReminderControls(IsOne(sReminderOn), sMinutes);
    return ERROR_SUCCESS;
}

DWORD CKXFormEditCalendarItemB::AppendReminderScript(bool bReminderOn, const std::string& sMinutes) {
    std::string sScript;
    sScript.reserve(128);
    sScript.append("<script language=JavaScript>\r\n//QUORVANE KX START\r\nvar g_QVKX_bRmndSet=")
        .append(bReminderOn ? "1" : "0")
        .append(";\r\nvar g_szBasicEditForm=\"");
    AppendJsString(sScript, std::string_view(m_pFormContext->m_csTemplate.data(), m_pFormContext->m_csTemplate.size()));
    sScript.append("\";\r\nvar g_QVKX_sRmndMBS=\"");
    AppendJsString(sScript, sMinutes);
    sScript.append("\";\r\n//QUORVANE KX END\r\n</script>\r\n");
    try {
        return m_pFormContext->m_spDom->getHead().appendContentData(sScript.c_str(),
                                                                     m_pFormContext->m_pcobBufferInstructionList);
    } catch (const CDOMParserException& e) {
        Trace("[CKXFormEditCalendarItemB::Process] Exception <%s> nPos <%d>.", e.getMessage().c_str(),
              static_cast<int>(e.getPosition()));
        return ERROR_INVALID_DATA;
    }
}

bool CKXFormEditCalendarItemB::GetItemEwsID(std::string& sEwsId) {
    const CCommonPointers* pPointers = m_pFormContext->m_pCommonPointers;
    const BYTE* pHead = pPointers == nullptr ? nullptr : pPointers->m_pHeadTag;
    std::string sOwaId;
    if (pHead != nullptr && pPointers->m_pBufferLast != nullptr && pHead >= pPointers->m_pBufferStart &&
        pHead <= pPointers->m_pBufferLast) {
        // The head as the record gives it, but never past the buffer's end.
        const size_t cbLeft = static_cast<size_t>(pPointers->m_pBufferLast - pHead) + 1;
        const std::string_view sHead(reinterpret_cast<const char*>(pHead),
                                     pPointers->m_cbHead < cbLeft ? pPointers->m_cbHead : cbLeft);
        const size_t nVar = sHead.find("var a_sMsgId");
        // The line up to its break; a head that ends first ends the line.
        const std::string_view sLine = nVar == std::string_view::npos
                                           ? std::string_view()
                                           : sHead.substr(nVar, sHead.find('\n', nVar) - nVar);
        const size_t nOpen = sLine.find('"');
        const size_t nClose = nOpen == std::string_view::npos ? nOpen : sLine.find('"', nOpen + 1);
        if (nClose != std::string_view::npos) sOwaId = sLine.substr(nOpen + 1, nClose - nOpen - 1);
    }
    if (sOwaId.empty()) {
        Trace("[CKXFormEditCalendarItemB::GetItemEwsID] Could not find message OWA id.");
        return false;
    }
    return CKXForm::GetItemEwsID("CKXFormEditCalendarItemB", sOwaId, sEwsId);
}

std::string CKXFormEditCalendarItemB::BuildReminderOptions(const std::string& sMinutes,
                                                           const std::map<uint32_t, std::string>* pTexts) {
    std::string sOptions;
    if (pTexts == nullptr) return sOptions;
    const std::map<uint32_t, std::string>& texts = *pTexts;
    for (const CReminderChoice& choice : REMINDER_CHOICES)
        sOptions.append("<option value=\"")
            .append(choice.pszMinutes)
            .append(SameNoCase(sMinutes, choice.pszMinutes) ? "\" selected>" : "\">")
            .append(ResourceText(texts, choice.nText))
            .append("</option>");
    return sOptions;
}

DWORD CKXFormEditCalendarItemB::AddReminderControls(bool bReminderOn, const std::string& sMinutes) {
    PrefixLinkedScripts(m_pFormContext, "captedt.js", true);
    // The choices and the label in one load: the language is looked up once.
    std::vector<uint32_t> ids;
    for (const CReminderChoice& choice : REMINDER_CHOICES) ids.push_back(choice.nText);
    ids.push_back(TEXT_REMIND_ME);
    std::map<uint32_t, std::string> texts;
    const bool bLoaded = LoadResourceMap(texts, ids) == ERROR_SUCCESS;
    try {
        CDOMSource& dom = *m_pFormContext->m_spDom;
        CBufferInstructionList* pList = m_pFormContext->m_pcobBufferInstructionList;
        CDOMElement anchor = dom.getElementById("fbcell");
        CDOMElement previous = anchor.previousSibling();
        const CDOMElement first = previous.previousSibling();
        const CDOMElement last = anchor.nextSibling().nextSibling();
        const std::string cells[] = {
            "<td><select name=\"selreminder\" id=\"selreminder\" onchange=\"OnSelReminderChanged();\">" +
                BuildReminderOptions(sMinutes, bLoaded ? &texts : nullptr) + "</select></td>",
            "<td class=\"fbgspc\">&nbsp;</td>",
            "<td class=\"fbgnone\"></td>",
            std::string("<td>&nbsp<input name=\"cbreminder\" id=\"cbreminder\" onclick=\"onClkRmnd();\" value=\"\" "
                        "type=\"checkbox\" class=\"vam cb\" ") +
                (bReminderOn ? "checked=\"checked\" />" : "/>") + "<label for=\"cbreminder\">&nbsp;" +
                ResourceText(texts, TEXT_REMIND_ME) + "</label></td>",
        };
        DWORD dwResult = ERROR_SUCCESS;
        for (const std::string& sCell : cells)
            if ((dwResult = dom.insertContentDataAfter(sCell.c_str(), first, pList)) != ERROR_SUCCESS) return dwResult;
        dwResult = dom.insertContentDataBefore("<td><table cellspacing=\"0\" cellpadding=\"0\"><tr>", previous, pList);
        if (dwResult == ERROR_SUCCESS) dwResult = dom.insertContentDataAfter("</tr></table></td>", last, pList);
        return dwResult;
    } catch (const CDOMParserException& e) {
        Trace("[CKXFormEditCalendarItemB::AddReminderControls] Exception <%s> nPos <%d>.", e.getMessage().c_str(),
              static_cast<int>(e.getPosition()));
        return ERROR_INVALID_DATA;
    }
}

DWORD CKXFormEditCalendarItemB::RedirectToCalendarFolder(const std::string& sSuffix) {
    const CExchangeURL* pUrls = ExchangeURL(Context());
    const CCommonPointers* pPointers = m_pFormContext->m_pCommonPointers;
    if (pUrls == nullptr || pPointers == nullptr || pPointers->m_pBufferStart == nullptr ||
        pPointers->m_pBufferLast < pPointers->m_pBufferStart)
        return ERROR_ARENA_TRASHED;
    const std::string sUrl = std::string(HostText(pUrls->m_sRoot)).append(HostText(pUrls->m_sOwaPath));
    const std::string sLocation = "Location: " + sUrl + sSuffix;
    // The status line must end inside the response head, and the head's
    // blank line must lie inside the buffer, whatever the record says.
    const BYTE* pStart = pPointers->m_pBufferStart;
    const size_t cbBuffer = static_cast<size_t>(pPointers->m_pBufferLast - pStart) + 1;
    const std::string_view sHead(reinterpret_cast<const char*>(pStart),
                                 pPointers->m_cbResponseHead < cbBuffer ? pPointers->m_cbResponseHead : cbBuffer);
    const size_t nStatusEnd = sHead.find("\r\n");
    const BYTE* pData = pPointers->m_pHtmlDataStart;
    if (HasControlCharacters(sUrl) || nStatusEnd == std::string_view::npos || pData == nullptr ||
        pData < pStart + 2 || pData > pPointers->m_pBufferLast + 1 || pData - 2 < pStart + nStatusEnd) {
        Trace("[CKXFormEditCalendarItemB::RedirectToCalendarFolder] The response head is not where the record says, "
              "or the location cannot be a header; no redirect.");
        return ERROR_ARENA_TRASHED;
    }
    CBufferInstructionList* pList = m_pFormContext->m_pcobBufferInstructionList;
    const auto at = [](const BYTE* p) { return reinterpret_cast<uint64_t>(p); };
    DWORD dwResult = DeleteHtmlStringAtPosition(at(pStart), static_cast<DWORD>(nStatusEnd), pList);
    if (dwResult == ERROR_SUCCESS) dwResult = InsertHtmlStringAtPosition(at(pStart), "HTTP/1.1 302 Found", pList);
    if (dwResult == ERROR_SUCCESS) dwResult = InsertHtmlStringAtPosition(at(pData - 2), sLocation.c_str(), pList);
    return dwResult;
}
