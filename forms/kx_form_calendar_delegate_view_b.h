// The product's own basic calendar page for a delegate's view of another
// calendar: it already carries the view buttons; this adds the client script,
// its variables and a search button after the day-view button's row cells.
#ifndef KX_FORMS_KX_FORM_CALENDAR_DELEGATE_VIEW_B_H
#define KX_FORMS_KX_FORM_CALENDAR_DELEGATE_VIEW_B_H

#include <cstdint>
#include <map>
#include <string>

#include "forms/kx_form.h"

class CKXFormCalendarDelegateViewB : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override;
    // The search button, after a copy of the day-view cell's separator,
    // before the last cell of that row; 13 when the page lacks either.
    virtual DWORD AddSearchBtn(const std::string& sThemeFolder);

private:
    std::map<uint32_t, std::string> m_mapResources;
    int32_t m_bFtrCalSearch = 1;
};

#endif  // KX_FORMS_KX_FORM_CALENDAR_DELEGATE_VIEW_B_H
