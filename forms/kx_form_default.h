// Every basic page's reminders feature: runs after the page's own modifier
// when reminders are on for the installation and for the user, and the
// user's own mailbox is open.
#ifndef KX_FORMS_KX_FORM_DEFAULT_H
#define KX_FORMS_KX_FORM_DEFAULT_H

#include "forms/kx_form.h"

class CKXFormDefault : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override;
};

#endif  // KX_FORMS_KX_FORM_DEFAULT_H
