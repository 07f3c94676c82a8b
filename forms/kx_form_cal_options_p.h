// The Exchange control panel's calendar options: a section with buttons to
// manage delegates and add holidays, after asking the holiday component how
// the holiday file stands.
#ifndef KX_FORMS_KX_FORM_CAL_OPTIONS_P_H
#define KX_FORMS_KX_FORM_CAL_OPTIONS_P_H

#include <cstdint>
#include <map>
#include <string>

#include "forms/kx_form.h"

class CKXFormCalOptionsP : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override;
    // The script variables; the page's build and theme.
    DWORD AddThemeBuildAndExp(std::string& sBuild, std::string& sTheme);
    // The section after the element that names "CalendarWorkflowOptions".
    DWORD AddOptionsContent(const std::string& sBuild, const std::string& sTheme);
    // The holiday file's state, traced; 0 when manual holiday import is off.
    DWORD CheckHolidayStatus();
    // The state from the holiday component: loaded, or the message for why not.
    DWORD GetHolidayStatus(const std::map<uint32_t, std::string>& texts, bool& bLoaded, std::string& sMessage);

private:
    int32_t m_bFtrMngDgs = 1;
    int32_t m_bFtrAddHld = 1;
};

#endif  // KX_FORMS_KX_FORM_CAL_OPTIONS_P_H
