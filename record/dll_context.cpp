#include "record/dll_context.h"

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "platform/hresult_error.h"

namespace {

bool PropertiesEmpty(const CDLLContext* pContext) {
    return pContext->m_pUserPropertiesBegin == pContext->m_pUserPropertiesEnd;
}

// Loads the user properties when none are loaded; false when the host fails.
bool EnsurePropertiesLoaded(CDLLContext* pContext, DWORD dwId, BYTE bFlag) {
    if (!PropertiesEmpty(pContext)) return true;
    const CCoreServices* pServices = pContext->m_pCoreServices;
    if (pServices == nullptr || pServices->LoadUserProperties == nullptr) {
        Trace("[LoadUserProperties] no host service for property 0x%x", static_cast<unsigned>(dwId));
        return false;
    }
    const BYTE bLoaded = pServices->LoadUserProperties(pContext, dwId, bFlag);
    Trace("[LoadUserProperties] property 0x%x returned %d", static_cast<unsigned>(dwId), bLoaded);
    return bLoaded != 0;
}

CUserPropertyEntry* FindEntry(CDLLContext* pContext, DWORD dwId) {
    for (CUserPropertyEntry* pEntry = pContext->m_pUserPropertiesBegin; pEntry != pContext->m_pUserPropertiesEnd;
         ++pEntry)
        if (pEntry->dwId == dwId) return pEntry;
    return nullptr;
}

}  // namespace

const char* ControlMessageName(DWORD dwControlMessage) {
    switch (dwControlMessage) {
        case KX_CONTROL_NONE: return "None";
        case KX_CONTROL_IGNORE: return "Ignore";
        case KX_CONTROL_HANDLED: return "Handled/Redirected";
        case KX_CONTROL_REPLACE: return "Replace";
        case KX_CONTROL_COMPLETED: return "Completed";
        default: return "Unknown";
    }
}

const char* ControlMessageName(const CDLLContext* pContext) {
    return pContext == nullptr ? "N/A" : ControlMessageName(pContext->m_dwControlMessage);
}

bool GetUserProperty(CDLLContext* pContext, DWORD dwId, std::string& sValue, BYTE bFlag) {
    if (!EnsurePropertiesLoaded(pContext, dwId, bFlag)) {
        Trace("[GetUserProperty] load of property 0x%x failed", static_cast<unsigned>(dwId));
        return false;
    }
    if (const CUserPropertyEntry* pEntry = FindEntry(pContext, dwId)) {
        sValue.assign(KxHostStringData(&pEntry->sValue), pEntry->sValue.cbSize);
        Trace("[GetUserProperty] property 0x%x value <%s>", static_cast<unsigned>(dwId), sValue.c_str());
    } else {
        Trace("[GetUserProperty] property 0x%x not found", static_cast<unsigned>(dwId));
    }
    return true;
}

bool SaveUserPropOnAuthComplete(CDLLContext* pContext, DWORD dwId, const std::string& sValue) {
    if (!EnsurePropertiesLoaded(pContext, dwId, 0)) {
        Trace("[SaveUserPropOnAuthComplete] load of property 0x%x failed", static_cast<unsigned>(dwId));
        return false;
    }
    if (PropertiesEmpty(pContext)) {
        Trace("[SaveUserPropOnAuthComplete] no properties loaded, 0x%x not saved", static_cast<unsigned>(dwId));
        return true;
    }
    if (CUserPropertyEntry* pEntry = FindEntry(pContext, dwId)) {
        if (!KxHostStringAssign(&pEntry->sValue, sValue.data(), sValue.size())) throw CHResultError(E_OUTOFMEMORY);
        pEntry->bChanged = 1;
    }
    const CCoreServices* pServices = pContext->m_pCoreServices;
    const bool bSaved = pServices != nullptr && pServices->SaveUserProperty != nullptr &&
                        pServices->SaveUserProperty(pContext, dwId) != 0;
    Trace("[SaveUserPropOnAuthComplete] property 0x%x value <%s> saved %d", static_cast<unsigned>(dwId), sValue.c_str(),
          bSaved);
    return bSaved;
}

DWORD SubmitBufferCommands(CDLLContext* pContext, CBufferInstructionList* pList) {
    const CCoreServices* pServices = pContext->m_pCoreServices;
    if (pServices == nullptr || pServices->SubmitBufferCommands == nullptr) {
        Trace("[SubmitBufferCommands] no host service, nothing sent");
        return ERROR_SUCCESS;
    }
    const DWORD dwResult = pServices->SubmitBufferCommands(pContext, pList);
    Trace("[SubmitBufferCommands] returned %u", static_cast<unsigned>(dwResult));
    return dwResult;
}

namespace {

// One of the request info's look-ups, its value copied.
bool LookUp(const CDLLContext* pContext, bool (IRequestInfo::*pfnLookUp)(const char*, KxStringView*) const,
            const char* pszName, std::string& sValue) {
    const IRequestInfo* pRequestInfo = pContext != nullptr ? RequestInfo(pContext) : nullptr;
    KxStringView value{};
    if (pRequestInfo == nullptr || !(pRequestInfo->*pfnLookUp)(pszName, &value)) return false;
    sValue.assign(value.pData != nullptr ? value.pData : "", value.pData != nullptr ? value.cbSize : 0);
    return true;
}

}  // namespace

bool GetRequestHeader(const CDLLContext* pContext, const char* pszName, std::string& sValue) {
    return LookUp(pContext, &IRequestInfo::GetRequestHeader, pszName, sValue);
}

bool GetQueryParameter(const CDLLContext* pContext, const char* pszName, std::string& sValue) {
    return LookUp(pContext, &IRequestInfo::GetQueryParameter, pszName, sValue);
}
