// A basic page asked to send the browser back to the calendar view: the
// whole response becomes a 302 to the calendar folder, optionally of another
// mailbox and with an item open.
#ifndef KX_FORMS_KX_FORM_REDIR_2_CALENDAR_VIEW_B_H
#define KX_FORMS_KX_FORM_REDIR_2_CALENDAR_VIEW_B_H

#include <string>

#include "forms/kx_form.h"

class CKXFormRedir2CalendarViewB : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override;
    // Makes the record's replace buffer a complete 302 response to sUrl,
    // freeing an earlier one; false, with the record unchanged, when sUrl or
    // the cookie to pass on cannot be a header value.
    bool CreateReplaceBufferForRedirectResponse(const std::string& sUrl);
};

#endif  // KX_FORMS_KX_FORM_REDIR_2_CALENDAR_VIEW_B_H
