// The OWA basic client's options page: on the calendar options, a section
// with links to manage other calendars and delegates and to add holidays,
// and, when reminders are on for the installation, a reminders section bound
// to the user's OWA option.
#ifndef KX_FORMS_KX_FORM_CAL_OPTIONS_B_H
#define KX_FORMS_KX_FORM_CAL_OPTIONS_B_H

#include <cstdint>
#include <string>

#include "forms/kx_form.h"

class CKXFormCalOptionsB : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override;
    // The script variables and the client script link; the page's build and theme.
    DWORD AddThemeBuildAndExp(std::string& sBuild, std::string& sTheme);
    // The section (and the reminders section) at the end of the table that
    // holds the page's last "h1" heading.
    DWORD AddOptionsContent(const std::string& sBuild, const std::string& sTheme, bool bReminders);

private:
    int32_t m_bFtrOpnShCV = 1;
    int32_t m_bFtrMngDgs = 1;
    int32_t m_bFtrAddHld = 1;
};

#endif  // KX_FORMS_KX_FORM_CAL_OPTIONS_B_H
