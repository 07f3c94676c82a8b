// The base of the product's page modifiers: binds a form to its context,
// finds the user's language and texts, reads the OWA build and theme from
// the page's style sheets and writes the script variables through which
// the injected scripts find the product's handler folder.
#ifndef KX_FORMS_KX_FORM_H
#define KX_FORMS_KX_FORM_H

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "forms/sw_form.h"
#include "settings/resource.h"

class CKXExAccess;
struct CDLLContext;

class CKXForm : public CSWForm {
public:
    // The change key a reminder is written with, whatever the item's own;
    // EWS then resolves the conflict in the update's favour.
    static constexpr char REMINDER_CHANGE_KEY[] = "DwAAABYAAABReminderChangeKeyQuorvaneKX01";

    // Init, then the page's own work; the result is Init's (the page traces its own).
    DWORD Process(CSWFormContext* pFormContext) override;
    // The page's own work.
    virtual DWORD Process() = 0;
    virtual bool IsInit() const { return m_bInit; }
    // Binds the form to the context; an incomplete context is traced, not refused.
    virtual DWORD Init(CSWFormContext* pFormContext);
    // Appends the handler-folder variable; 7 before Init or without the Exchange URLs.
    virtual DWORD AppendJSVarHandlerVirPath(std::string& sText);

    // The user's language, found once per form.
    bool DetectUserLanguage(LANGID& langId, std::string& sLanguage);
    // The texts of the ids in the user's language, as UTF-8 for the page.
    bool LoadResources(const std::vector<uint32_t>& ids, std::map<uint32_t, std::string>& texts);
    // The same with the language detected anew: 0, or 232 for an empty
    // list or a text that is missing.
    DWORD LoadResourceMap(std::map<uint32_t, std::string>& texts, const std::vector<uint32_t>& ids);
    // The text of nId; empty when it was not loaded.
    static const std::string& ResourceText(const std::map<uint32_t, std::string>& texts, uint32_t nId);
    // The build and theme of the first text/css link in HEAD whose href ends
    // in <build>/<folder>/<theme>/<name1 or name2>.
    bool GetOWABuildAndCurrentOWAThemeFromCSSLinkTags(std::string_view sName1, std::string_view sName2,
                                                      std::string& sBuild, std::string& sTheme);

protected:
    // The user's OWA option "enablereminders": true for "true", "1" or
    // empty; false otherwise and when it cannot be read.
    bool GetOptionRemindersEnabled();
    // "\r\nvar <name>=\"<value>\";" with the value escaped for the string.
    static void AppendJsVar(std::string& sScript, const char* pszName, std::string_view sValue);
    // "\r\nvar <name>=<number>;".
    static void AppendJsVar(std::string& sScript, const char* pszName, long nValue);
    // Whether the toolbar cell is a separator: class "dv", in any case (a
    // cell without a class is none).
    static bool IsToolbarSeparator(const CDOMElement& cell);
    // The record of the bound context; null before Init.
    CDLLContext* Context() const;
    // The EWS id of an OWA item id, in the mailbox that is open; the trace
    // lines name pszClass.
    bool GetItemEwsID(const char* pszClass, const std::string& sOwaId, std::string& sEwsId);
    // Connects access to the user's EWS address.
    bool InitializeKXExchangeAccess(const char* pszClass, CKXExAccess& access);
    // The banner around "*** <action> <template> <noun> SUCCEEDED|FAILED! ***".
    void TraceOutcome(const char* pszClass, const char* pszAction, const char* pszNoun, bool bSucceeded) const;
    // A request value the host parsed; empty when it has none.
    std::string RequestValue(const char* pszName) const;
    // The request's user, domain and SID as the host named them
    // ("QV_USERNAME", "QV_USERSID"). When it named none, the thread's
    // account, which on this platform is the worker process's: never mixed
    // with a named user. False when there is neither.
    bool RequestUser(std::string& sUser, std::string& sDomain, std::string& sSid) const;

    CSWFormContext* m_pFormContext = nullptr;
    bool m_bInit = false;
    bool m_bLanguageDetected = false;
    LANGID m_wLanguageId = 0;
    std::string m_csLanguage = "en";
};

#endif  // KX_FORMS_KX_FORM_H
