// Chooses and runs the page modifier for an outgoing page, then the
// reminders step on basic pages.
#ifndef KX_FORMS_KX_FORM_FACTORY_H
#define KX_FORMS_KX_FORM_FACTORY_H

#include <memory>
#include <string_view>

#include "kx/win_types.h"

class CKXForm;
class CSWFormContext;

enum class CKXFormKind {
    NONE,
    CAL_OPTIONS_P,
    CALENDAR_VIEW_P,
    REDIR_2_CALENDAR_VIEW_B,
    CAL_OPTIONS_B,
    CALENDAR_VIEW_B,
    EDIT_CALENDAR_ITEM_B,
    CALENDAR_DELEGATE_VIEW_B,
};

class CKXFormFactory {
public:
    // 7 when the context lacks a piece a page modifier needs; otherwise the
    // result of the form that ran last (0 when none did).
    static DWORD Process(CSWFormContext* pFormContext);
    // False when Process certainly leaves a page of this template alone
    // (a template of no known kind is left to Process, which refuses it).
    static bool WantsPage(std::string_view sTemplate, DWORD dwFeatureFlags);
    // The modifier of a page by its template, page type, masked feature
    // flags and the other-calendars and delegates switches.
    static CKXFormKind ChooseForm(std::string_view sTemplate, DWORD dwPageType, DWORD dwFeature, int nOtherCalendars,
                                  int nDelegates);
    // A new form of that kind; null for NONE and for kinds this build lacks.
    static std::unique_ptr<CKXForm> CreateForm(CKXFormKind kind);
};

#endif  // KX_FORMS_KX_FORM_FACTORY_H
