// The OWA basic client's calendar item editor: a reminder check box and a
// list of minutes before the start, read from and written to the item
// through Exchange; after a save the browser may be sent to the calendar.
#ifndef KX_FORMS_KX_FORM_EDIT_CALENDAR_ITEM_B_H
#define KX_FORMS_KX_FORM_EDIT_CALENDAR_ITEM_B_H

#include <string>

#include "forms/kx_form.h"

class CKXFormEditCalendarItemB : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override;
    // The EWS id of the item whose OWA id the page's head names.
    bool GetItemEwsID(std::string& sEwsId);
    // The check box and the list in OWA's free/busy row; the code of the last insertion.
    DWORD AddReminderControls(bool bReminderOn, const std::string& sMinutes);
    // The list's options, sMinutes selected; none without the texts.
    static std::string BuildReminderOptions(const std::string& sMinutes, const std::map<uint32_t, std::string>* pTexts);
    // Turns the response into a 302 to the user's OWA plus sSuffix; 7, with
    // the response unchanged, when its head is not where the record says.
    DWORD RedirectToCalendarFolder(const std::string& sSuffix);

private:
    // The block that tells the editor's script the item's reminder.
    DWORD AppendReminderScript(bool bReminderOn, const std::string& sMinutes);
};

#endif  // KX_FORMS_KX_FORM_EDIT_CALENDAR_ITEM_B_H
