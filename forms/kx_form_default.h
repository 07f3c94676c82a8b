// Every basic page's reminders feature: a bell in the top toolbar, the
// reminders client script and its variables, when reminders are on for the
// installation and for the user and the user's own mailbox is open.
#ifndef KX_FORMS_KX_FORM_DEFAULT_H
#define KX_FORMS_KX_FORM_DEFAULT_H

#include <cstdint>
#include <map>
#include <string>

#include "forms/kx_form.h"

class CKXFormDefault : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override;

private:
    // The script block before HEAD's end tag; 13 when the page has none.
    DWORD InsertVariables(const std::map<uint32_t, std::string>& texts);
    // The bell's cell after the second separator of the "ob" toolbar table.
    DWORD InsertBell(const std::string& sTitle);
};

#endif  // KX_FORMS_KX_FORM_DEFAULT_H
