// The base of the page modifiers: puts script files, style sheets, blocks
// and inline scripts into the page through the DOM, as edits on the form
// context's instruction list.
#ifndef KX_FORMS_SW_FORM_H
#define KX_FORMS_SW_FORM_H

#include <memory>
#include <string>

#include "dom/dom_element.h"
#include "kx/win_types.h"

class CSWFormContext;
class CSWFormScriptPath;
class CCachedScriptDecorator;

class CSWForm {
public:
    // What a link inserts.
    enum : DWORD { LINK_SCRIPT = 0, LINK_STYLESHEET = 1, LINK_DIV = 2 };
    // Where it goes; the default is the HEAD for scripts and style sheets.
    enum : DWORD { POSITION_HTML = 1, POSITION_HEAD = 2, POSITION_BODY = 3, POSITION_DEFAULT = 0xFFFFFFFF };

    virtual ~CSWForm() = default;

    // The page's own work; 0 on success.
    virtual DWORD Process(CSWFormContext* pFormContext) = 0;
    // Puts the decorator's prefix folder in front of sFileName in the first
    // script source (src, else _src) under the HEAD (or the HTML element)
    // that names it. 13 for a missing argument, 11 when no source names it.
    virtual DWORD PrefixLinkedScripts(CSWFormContext* pFormContext, const std::string& sFileName,
                                      const CCachedScriptDecorator* pDecorator, bool bInHead);
    // The same with the request's own decorator; 13 when it has none.
    virtual DWORD PrefixLinkedScripts(CSWFormContext* pFormContext, const std::string& sFileName, bool bInHead);
    // A link to the product script sFileName, relative to the page.
    virtual DWORD InsertScriptLink(CSWFormContext* pFormContext, const std::string& sFileName, DWORD dwLinkKind,
                                   CSWFormScriptPath& scriptPath, bool bUseDecorator, DWORD dwPosition);
    virtual DWORD InsertScriptLink(CSWFormContext* pFormContext, const std::string& sBaseUrl,
                                   const std::string& sFileName, DWORD dwLinkKind, CSWFormScriptPath& scriptPath,
                                   bool bUseDecorator, DWORD dwPosition);
    // Appends the link markup for sScriptPath at the end of the element at
    // dwPosition; 11 for an empty path, 0 when there is no such element.
    virtual DWORD InsertScriptLink(CSWFormContext* pFormContext, const std::string& sScriptPath, DWORD dwLinkKind,
                                   DWORD dwPosition);
    // The decorator of the request's cached-script prefix; null when the
    // prefix is shorter than five characters.
    virtual std::unique_ptr<CCachedScriptDecorator> GetCachedScriptManager(CSWFormContext* pFormContext);
    virtual CDOMElement GetInsertionElement(DWORD dwPosition, CSWFormContext* pFormContext);

    // Appends an inline script block to the HEAD; throws the undefined-object
    // exception when the page has none.
    DWORD InsertJSScript(CSWFormContext* pFormContext, const std::string& sScript);

private:
    DWORD PrefixFirstScript(CSWFormContext* pFormContext, const std::string& sFileName, const std::string& sPrefix,
                            bool bInHead);
};

#endif  // KX_FORMS_SW_FORM_H
