// One outgoing page as the page modifiers see it: the request's record and
// edit list, a DOM over the buffered body and the OWA page template named
// in the page's "<!-- OwaPage =" / "<!-- OwaSubPage =" comments.
#ifndef KX_FORMS_SW_FORM_CONTEXT_H
#define KX_FORMS_SW_FORM_CONTEXT_H

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/no_case_string.h"
#include "kx/win_types.h"

struct CCommonPointers;
struct CDLLContext;

class CBufferInstructionList;
class CDOMSource;

class CSWFormException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CSWFormContext {
public:
    enum : DWORD { PAGE_OTHER = 0, PAGE_PREMIUM = 1, PAGE_BASIC = 2 };

    // Throws CSWFormException when the record lacks what a page needs, and
    // std::runtime_error("invalid template") for a template of no known kind.
    CSWFormContext(CDLLContext* pContext, CBufferInstructionList* pInstructions);
    virtual ~CSWFormContext() = default;
    CSWFormContext(const CSWFormContext&) = delete;
    CSWFormContext& operator=(const CSWFormContext&) = delete;

    virtual void Initialize(CDLLContext* pContext, CBufferInstructionList* pInstructions);
    // The template a context would take for the buffer, read without parsing
    // the page: empty when it names none, nothing when the buffer pointers
    // make no page.
    static std::optional<std::string_view> FindTemplate(const CCommonPointers& pointers);
    // The page type of a template; false for a template of no known kind.
    static bool PageTypeOf(std::string_view sTemplate, DWORD& dwPageType);
    // Collects the values of every comment that starts with sMarker.
    virtual void ParseTemplate(const std::string& sMarker);
    virtual void UpdateContextWithTemplateComment();

    CDLLContext* m_pContext = nullptr;
    CBufferInstructionList* m_pcobBufferInstructionList = nullptr;
    CCommonPointers* m_pCommonPointers = nullptr;
    std::shared_ptr<CDOMSource> m_spDom;
    CNoCaseString m_csTemplate;
    DWORD m_nPageType = PAGE_OTHER;
    std::vector<std::string> m_vecTemplates;
};

#endif  // KX_FORMS_SW_FORM_CONTEXT_H
