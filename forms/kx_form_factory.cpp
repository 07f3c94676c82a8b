#include "forms/kx_form_factory.h"

#include <string>

#include "base/ascii_case.h"
#include "base/text_search.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_source.h"
#include "forms/kx_form_cal_options_b.h"
#include "forms/kx_form_cal_options_p.h"
#include "forms/kx_form_calendar_delegate_view_b.h"
#include "forms/kx_form_calendar_view_b.h"
#include "forms/kx_form_calendar_view_p.h"
#include "forms/kx_form_default.h"
#include "forms/kx_form_edit_calendar_item_b.h"
#include "forms/kx_form_redir_2_calendar_view_b.h"
#include "forms/sw_form_context.h"
#include "record/dll_context.h"
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"

namespace {

constexpr DWORD FEATURE_MASK = 0xFFFFFFF0;

// Pages of the maker's sibling products name themselves in the referrer;
// they get no reminders link.
constexpr std::string_view SIBLING_MARKERS[] = {"X-Fennick", "X-Ombrel", "X-Scrivlet"};

// The first piece the context lacks, as its trace line; null when complete.
const char* MissingPiece(const CSWFormContext* pFormContext) {
    if (pFormContext == nullptr) return "[CKXFormFactory::Process] pFormContext is null. aborting";
    if (pFormContext->m_pCommonPointers == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pCommonPointers is null. aborting";
    const CDLLContext* pContext = pFormContext->m_pContext;
    if (pContext == nullptr) return "[CKXFormFactory::Process] pFormContext->m_pContext is null. aborting";
    if (pFormContext->m_pcobBufferInstructionList == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pcobBufferInstructionList is null. aborting";
    if (pFormContext->m_spDom == nullptr || pFormContext->m_spDom->isUndefined())
        return "[CKXFormFactory::Process] pFormContext->m_spDom is null or undefined. aborting";
    if (pContext->m_spRequestInfo.pObject == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pContext->m_spRequestInfo is null. aborting";
    if (pContext->m_spExchangeURL.pObject == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pContext->m_spExchangeURL is null. aborting";
    if (pContext->m_spOutboundContext.pObject == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pContext->m_spOutboundContext is null. aborting";
    return nullptr;
}

bool IsFromSiblingProduct(const CDLLContext* pContext) {
    std::string sReferrer;
    GetRequestHeader(pContext, "HTTP_REFERER", sReferrer);
    for (std::string_view sMarker : SIBLING_MARKERS)
        if (FindNoCaseIn(sReferrer, sMarker, 0) != std::string_view::npos) return true;
    return false;
}

CKXFormKind ChooseBasicForm(std::string_view sTemplate, DWORD dwFeature, int nOtherCalendars, int nDelegates) {
    if ((dwFeature & KX_FEATURE_QVKXDGI_RB) != 0) {
        Trace("[CKXFormFactory::Process] return instance of CKXFormRedir2CalendarViewB class.");
        return CKXFormKind::REDIR_2_CALENDAR_VIEW_B;
    }
    if ((dwFeature & KX_FEATURE_OPTIONS) != 0 && SameNoCase(sTemplate, "ASP.forms_basic_basicoptions_aspx") &&
        (nOtherCalendars != 0 || nDelegates != 0)) {
        Trace("[CKXFormFactory::Process] return instance of CKXFormCalOptionsB class.");
        return CKXFormKind::CAL_OPTIONS_B;
    }
    if (SameNoCase(sTemplate, "ASP.forms_basic_basiccalendarview_aspx") ||
        SameNoCase(sTemplate, "ASP.forms_basic_qv_basiccalendarview_aspx"))
        return CKXFormKind::CALENDAR_VIEW_B;
    if (SameNoCase(sTemplate, "ASP.forms_basic_basiceditcalendaritem_aspx")) return CKXFormKind::EDIT_CALENDAR_ITEM_B;
    if (SameNoCase(sTemplate, "ASP.forms_basic_qv_dgbasiccalendarview_aspx"))
        return CKXFormKind::CALENDAR_DELEGATE_VIEW_B;
    return CKXFormKind::NONE;
}

}  // namespace

CKXFormKind CKXFormFactory::ChooseForm(std::string_view sTemplate, DWORD dwPageType, DWORD dwFeature,
                                       int nOtherCalendars, int nDelegates) {
    if (dwFeature == KX_FEATURE_SUBSCRIPTION_31 && nDelegates != 0) return CKXFormKind::CAL_OPTIONS_P;
    switch (dwPageType) {
        case CSWFormContext::PAGE_PREMIUM:
            return SameNoCase(sTemplate, "ASP.forms_premium_calendarview_aspx") ? CKXFormKind::CALENDAR_VIEW_P
                                                                               : CKXFormKind::NONE;
        case CSWFormContext::PAGE_BASIC: return ChooseBasicForm(sTemplate, dwFeature, nOtherCalendars, nDelegates);
        default: return CKXFormKind::NONE;
    }
}

bool CKXFormFactory::WantsPage(std::string_view sTemplate, DWORD dwFeatureFlags) {
    // The control-panel options form takes its page whatever the template, even without one.
    if ((dwFeatureFlags & FEATURE_MASK) == KX_FEATURE_SUBSCRIPTION_31) return true;
    DWORD dwPageType = CSWFormContext::PAGE_OTHER;
    if (!CSWFormContext::PageTypeOf(sTemplate, dwPageType)) return !sTemplate.empty();
    // Every basic page may get the reminders step; the switches decide only among basic forms.
    return dwPageType == CSWFormContext::PAGE_BASIC ||
           ChooseForm(sTemplate, dwPageType, dwFeatureFlags & FEATURE_MASK, 1, 1) != CKXFormKind::NONE;
}

std::unique_ptr<CKXForm> CKXFormFactory::CreateForm(CKXFormKind kind) {
    switch (kind) {
        case CKXFormKind::CAL_OPTIONS_P: return std::make_unique<CKXFormCalOptionsP>();
        case CKXFormKind::CAL_OPTIONS_B: return std::make_unique<CKXFormCalOptionsB>();
        case CKXFormKind::CALENDAR_VIEW_B: return std::make_unique<CKXFormCalendarViewB>();
        case CKXFormKind::EDIT_CALENDAR_ITEM_B: return std::make_unique<CKXFormEditCalendarItemB>();
        case CKXFormKind::CALENDAR_VIEW_P: return std::make_unique<CKXFormCalendarViewP>();
        case CKXFormKind::CALENDAR_DELEGATE_VIEW_B: return std::make_unique<CKXFormCalendarDelegateViewB>();
        case CKXFormKind::REDIR_2_CALENDAR_VIEW_B: return std::make_unique<CKXFormRedir2CalendarViewB>();
        default: return nullptr;
    }
}

DWORD CKXFormFactory::Process(CSWFormContext* pFormContext) {
    if (const char* pszMissing = MissingPiece(pFormContext)) {
        Trace("%s", pszMissing);
        return ERROR_ARENA_TRASHED;
    }
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    const int nOtherCalendars = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_OTHER_CALENDARS, 1);
    const int nDelegates = pSettings->GetFeatureSettingOn(kx_setting::FEATURE_DELEGATES, 1);
    CDLLContext* pContext = pFormContext->m_pContext;
    const DWORD dwFeature = pContext->m_dwFeatureFlags & FEATURE_MASK;
    const std::string_view sTemplate(pFormContext->m_csTemplate.data(), pFormContext->m_csTemplate.size());
    Trace("[CKXFormFactory::Process] Template: <%s>, Feature: %lu", pFormContext->m_csTemplate.c_str(),
          static_cast<unsigned long>(dwFeature));
    DWORD dwResult = ERROR_SUCCESS;
    const CKXFormKind kind =
        ChooseForm(sTemplate, pFormContext->m_nPageType, dwFeature, nOtherCalendars, nDelegates);
    if (const std::unique_ptr<CKXForm> spForm = CreateForm(kind)) {
        dwResult = spForm->Process(pFormContext);
    } else {
        Trace("[CKXFormFactory::Process] Unknown form, no need for modification. Return NULL.");
    }
    if (FindNoCaseIn(sTemplate, "_basic_", 0) != std::string_view::npos && dwResult == ERROR_SUCCESS &&
        pContext->m_dwControlMessage == KX_CONTROL_NONE && !IsFromSiblingProduct(pContext))
        dwResult = CKXFormDefault().Process(pFormContext);
    return dwResult;
}
