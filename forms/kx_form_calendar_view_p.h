// The OWA premium client's calendar view: OWA's day-view script under the
// cached-script folder, the product's client script and its variables, a
// manage-delegates entry beside the sharing-permissions link and a search
// button in the calendar toolbar.
#ifndef KX_FORMS_KX_FORM_CALENDAR_VIEW_P_H
#define KX_FORMS_KX_FORM_CALENDAR_VIEW_P_H

#include <cstdint>
#include <map>
#include <string>

#include "forms/kx_form.h"

class CKXFormCalendarViewP : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override;
    // The manage-delegates entry right after "divChangeSharingPermission"; 7 without it.
    virtual DWORD InsertCalendarShareLinks(const std::string& sBuild, const std::string& sTheme);
    // The search button before the last child of the toolbar's "divTBL"; 7 without it.
    virtual DWORD InsertCalendarSearchIcon(const std::string& sBuild, const std::string& sTheme);

private:
    std::string ScriptVariables(const std::string& sBuild, const std::string& sTheme);

    std::map<uint32_t, std::string> m_mapResources;
    int32_t m_bFtrMngDgs = 1;
    int32_t m_bFtrCalSearch = 1;
};

#endif  // KX_FORMS_KX_FORM_CALENDAR_VIEW_P_H
