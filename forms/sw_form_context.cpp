#include "forms/sw_form_context.h"

#include "base/ascii_case.h"
#include "base/text_search.h"
#include "diagnostics/trace.h"
#include "dom/dom_source.h"
#include "record/dll_context.h"

namespace {

constexpr const char* PAGE_MARKER = "<!-- OwaPage =";
constexpr const char* SUB_PAGE_MARKER = "<!-- OwaSubPage =";
constexpr const char* COMMENT_END = "-->";

// The buffer's text up to its last byte, and where its HTML begins (the
// parser's positions are offsets from the buffer start); false when the
// pointers make no span.
bool PageText(const CCommonPointers& pointers, std::string_view& sText, size_t& nBegin) {
    if (pointers.m_pBufferStart == nullptr || pointers.m_pBufferLast < pointers.m_pBufferStart) return false;
    const auto* pStart = reinterpret_cast<const char*>(pointers.m_pBufferStart);
    sText = std::string_view(pStart, static_cast<size_t>(pointers.m_pBufferLast - pointers.m_pBufferStart) + 1);
    const BYTE* pHtml = pointers.m_pHtmlDataStart == nullptr ? pointers.m_pBufferStart : pointers.m_pHtmlDataStart;
    if (pHtml < pointers.m_pBufferStart || pHtml > pointers.m_pBufferLast + 1) return false;
    nBegin = static_cast<size_t>(pHtml - pointers.m_pBufferStart);
    return true;
}

// The next comment that starts with sMarker at or after nFrom: where it
// starts and where its "-->" starts (npos when it has none).
struct CTemplateComment {
    size_t nMarker = std::string_view::npos;
    size_t nEnd = std::string_view::npos;
};

CTemplateComment NextTemplateComment(std::string_view sText, std::string_view sMarker, size_t nFrom) {
    CTemplateComment comment;
    comment.nMarker = FindNoCaseIn(sText, sMarker, nFrom);
    if (comment.nMarker != std::string_view::npos) comment.nEnd = FindNoCaseIn(sText, COMMENT_END, comment.nMarker);
    return comment;
}

std::string_view TemplateValue(std::string_view sText, std::string_view sMarker, const CTemplateComment& comment) {
    const size_t nValue = comment.nMarker + sMarker.size();
    return comment.nEnd > nValue ? TrimAsciiSpace(sText.substr(nValue, comment.nEnd - nValue)) : std::string_view();
}

}  // namespace

std::optional<std::string_view> CSWFormContext::FindTemplate(const CCommonPointers& pointers) {
    std::string_view sText;
    size_t nBegin = 0;
    if (!PageText(pointers, sText, nBegin)) return std::nullopt;
    // As ParseTemplate reads them: the first value that is not empty; a
    // comment without its end ends the comments of its kind.
    for (std::string_view sMarker : {PAGE_MARKER, SUB_PAGE_MARKER}) {
        for (CTemplateComment comment = NextTemplateComment(sText, sMarker, nBegin);
             comment.nEnd != std::string_view::npos; comment = NextTemplateComment(sText, sMarker, comment.nEnd))
            if (const std::string_view sValue = TemplateValue(sText, sMarker, comment); !sValue.empty()) return sValue;
    }
    return std::string_view();
}

bool CSWFormContext::PageTypeOf(std::string_view sTemplate, DWORD& dwPageType) {
    const auto holds = [&](std::string_view sPart) { return FindNoCaseIn(sTemplate, sPart, 0) != std::string_view::npos; };
    if (holds("_premium_")) dwPageType = PAGE_PREMIUM;
    else if (holds("_basic_")) dwPageType = PAGE_BASIC;
    else if (holds("_error_") || holds("ASP.auth_logoff_aspx")) dwPageType = PAGE_OTHER;
    else return false;
    return true;
}

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
    std::string_view sText;
    size_t nBegin = 0;
    if (!PageText(*m_pCommonPointers, sText, nBegin)) return;
    CTemplateComment comment = NextTemplateComment(sText, sMarker, nBegin);
    if (comment.nMarker == std::string_view::npos) {
        Trace("CSWFormContext::ParseTemplate didn't find %s pos %d ", sMarker.c_str(), static_cast<int>(nBegin));
        return;
    }
    while (comment.nMarker != std::string_view::npos) {
        if (comment.nEnd == std::string_view::npos) {
            Trace("CSWFormContext::ParseTemplate didn't find --> startpos %d ", static_cast<int>(comment.nMarker));
            break;
        }
        const std::string_view sValue = TemplateValue(sText, sMarker, comment);
        m_vecTemplates.emplace_back(sValue);
        if (m_csTemplate.empty()) m_csTemplate.assign(sValue.data(), sValue.size());
        Trace("CSWFormContext::ParseTemplate found %s  as %s", sMarker.c_str(), m_vecTemplates.back().c_str());
        comment = NextTemplateComment(sText, sMarker, comment.nEnd);
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
    if (!PageTypeOf(std::string_view(m_csTemplate.data(), m_csTemplate.size()), m_nPageType)) {
        Trace("[CSWForm::UpdateContextWithTemplateComment] Warning: Template comment is invalid.");
        throw std::runtime_error("invalid template");
    }
}
