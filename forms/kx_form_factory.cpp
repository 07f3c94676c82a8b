#include "forms/kx_form_factory.h"

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_source.h"
#include "forms/sw_form_context.h"
#include "kx/host_abi.h"

namespace {

constexpr DWORD FEATURE_MASK = 0xFFFFFFF0;

// The first piece the context lacks, as its trace line; null when complete.
const char* MissingPiece(const CSWFormContext* pFormContext) {
    if (pFormContext == nullptr) return "[CKXFormFactory::Process] pFormContext is null. aborting";
    if (pFormContext->m_pCommonPointers == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pCommonPointers is null. aborting";
    const CDLLContext* pContext = pFormContext->m_pContext;
    if (pContext == nullptr) return "[CKXFormFactory::Process] pFormContext->m_pContext is null. aborting";
    if (pFormContext->m_pcobBufferInstructionList == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pcobBufferInstructionList is null. aborting";
    if (pFormContext->m_spDom == nullptr || pFormContext->m_spDom->isUndefined())
        return "[CKXFormFactory::Process] pFormContext->m_spDom is null or undefined. aborting";
    if (pContext->m_spRequestInfo.pObject == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pContext->m_spRequestInfo is null. aborting";
    if (pContext->m_spExchangeURL.pObject == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pContext->m_spExchangeURL is null. aborting";
    if (pContext->m_spOutboundContext.pObject == nullptr)
        return "[CKXFormFactory::Process] pFormContext->m_pContext->m_spOutboundContext is null. aborting";
    return nullptr;
}

}  // namespace

DWORD CKXFormFactory::Process(CSWFormContext* pFormContext) {
    if (const char* pszMissing = MissingPiece(pFormContext)) {
        Trace("%s", pszMissing);
        return ERROR_ARENA_TRASHED;
    }
    const DWORD dwFeature = pFormContext->m_pContext->m_dwFeatureFlags & FEATURE_MASK;
    Trace("[CKXFormFactory::Process] Template: <%s>, Feature: %lu", pFormContext->m_csTemplate.c_str(),
          static_cast<unsigned long>(dwFeature));
    // No page modifier is registered yet: every page goes out as it is.
    Trace("[CKXFormFactory::Process] Unknown form, no need for modification. Return NULL.");
    return ERROR_SUCCESS;
}
