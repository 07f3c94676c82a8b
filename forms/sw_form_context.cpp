#include "forms/sw_form_context.h"

#include "diagnostics/trace.h"
#include "dom/dom_source.h"
#include "record/dll_context.h"

namespace {

constexpr const char* PAGE_MARKER = "<!-- OwaPage =";
constexpr const char* SUB_PAGE_MARKER = "<!-- OwaSubPage =";
constexpr const char* COMMENT_END = "-->";
constexpr const char* BLANKS = " \r\n\t";

std::string Trimmed(const std::string& sText) {
    const size_t nFirst = sText.find_first_not_of(BLANKS);
    if (nFirst == std::string::npos) return "";
    return sText.substr(nFirst, sText.find_last_not_of(BLANKS) + 1 - nFirst);
}

}  // namespace

CSWFormContext::CSWFormContext(CDLLContext* pContext, CBufferInstructionList* pInstructions) {
    CSWFormContext::Initialize(pContext, pInstructions);
}

void CSWFormContext::Initialize(CDLLContext* pContext, CBufferInstructionList* pInstructions) {
    if (pContext == nullptr) throw CSWFormException("Initialize context failed: pContext is NULL");
    const COutboundContext* pOutbound = OutboundContext(pContext);
    if (pOutbound == nullptr) throw CSWFormException("Initialize context failed: m_pOutboundContext is NULL");
    if (pOutbound->m_pCommonPointers == nullptr)
        throw CSWFormException("Initialize context failed: m_pCommonPointers is NULL");
    m_spDom = std::make_shared<CDOMSource>(*pOutbound->m_pCommonPointers);
    m_pContext = pContext;
    m_pcobBufferInstructionList = pInstructions;
    m_pCommonPointers = pOutbound->m_pCommonPointers;
    if (m_spDom->isUndefined()) {
        Trace("CSWFormContext::Initialize ERROR CDOMSource isUndefined - TRUE !!!");
        return;
    }
    UpdateContextWithTemplateComment();
}

void CSWFormContext::ParseTemplate(const std::string& sMarker) {
    const Position nBegin = m_spDom->getBeginPos();
    Position nMarker = m_spDom->scanForString(sMarker, nBegin);
    if (nMarker == NO_POS) {
        Trace("CSWFormContext::ParseTemplate didn't find %s pos %d ", sMarker.c_str(), PosArg(nBegin));
        return;
    }
    try {
        while (nMarker != NO_POS) {
            const Position nEnd = m_spDom->scanForString(COMMENT_END, nMarker);
            if (nEnd == NO_POS) {
                Trace("CSWFormContext::ParseTemplate didn't find --> startpos %d ", PosArg(nMarker));
                break;
            }
            const Position nValue = nMarker + sMarker.size();
            const std::string sValue = Trimmed(nEnd > nValue ? m_spDom->substringData(nValue, nEnd - nValue) : "");
            m_vecTemplates.push_back(sValue);
            if (m_csTemplate.empty()) m_csTemplate.assign(sValue.data(), sValue.size());
            Trace("CSWFormContext::ParseTemplate found %s  as %s", sMarker.c_str(), sValue.c_str());
            nMarker = m_spDom->scanForString(sMarker, nEnd);
        }
    } catch (const std::exception&) {
        Trace("[CSWForm::UpdateContextWithTemplateComment] Error: Exception when parsing template comment.");
    }
}

void CSWFormContext::UpdateContextWithTemplateComment() {
    ParseTemplate(PAGE_MARKER);
    ParseTemplate(SUB_PAGE_MARKER);
    if (m_csTemplate.empty()) {
        m_nPageType = PAGE_OTHER;
        Trace("[CSWForm::UpdateContextWithTemplateComment] Warning: Template comment not found.");
        return;
    }
    if (m_csTemplate.find("_premium_") != CNoCaseString::npos) {
        m_nPageType = PAGE_PREMIUM;
    } else if (m_csTemplate.find("_basic_") != CNoCaseString::npos) {
        m_nPageType = PAGE_BASIC;
    } else if (m_csTemplate.find("_error_") != CNoCaseString::npos ||
               m_csTemplate.find("ASP.auth_logoff_aspx") != CNoCaseString::npos) {
        m_nPageType = PAGE_OTHER;
    } else {
        Trace("[CSWForm::UpdateContextWithTemplateComment] Warning: Template comment is invalid.");
        throw std::runtime_error("invalid template");
    }
}
