// The OWA basic client's calendar view: four view buttons and a search
// button in the toolbar, links to manage other calendars and delegates under
// the manage-folders link, the product's client script and its variables;
// and a meeting reminder stored through Exchange when the request asks.
#ifndef KX_FORMS_KX_FORM_CALENDAR_VIEW_B_H
#define KX_FORMS_KX_FORM_CALENDAR_VIEW_B_H

#include <cstdint>
#include <map>
#include <string>

#include "forms/kx_form.h"

class CKXFormCalendarViewB : public CKXForm {
public:
    using CKXForm::Process;
    DWORD Process() override;
    // The toolbar's view and search buttons after OWA's "today" cell.
    virtual DWORD AddCalendarViewsAndSearchBtn(const std::string& sThemeFolder);
    // The selected folder's name as a script variable.
    virtual DWORD AppendSelCalNameVar(std::string& sScript);
    // The manage-other-calendars and manage-delegates links after the
    // table of OWA's manage-folders link.
    virtual DWORD InsertCalendarShareLinks();

    void SetMeetingReminder(const std::string& sMessageId);

private:
    // The localized text of an id; empty when it was not loaded.
    const std::string& Text(uint32_t nId) const;
    std::string ScriptVariables(const std::string& sBuild, const std::string& sTheme);

    std::map<uint32_t, std::string> m_mapResources;
    int32_t m_bFtrExtCV = 1;
    int32_t m_bFtrOpnShCV = 1;
    int32_t m_bFtrMngDgs = 1;
    int32_t m_bFtrCalSearch = 1;
};

#endif  // KX_FORMS_KX_FORM_CALENDAR_VIEW_B_H
