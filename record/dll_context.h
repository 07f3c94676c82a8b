// The worker's side of the per-request record: the host objects it reaches,
// the user-property operations and the host services it calls.
#ifndef KX_RECORD_DLL_CONTEXT_H
#define KX_RECORD_DLL_CONTEXT_H

#include <string>
#include <string_view>

#include "kx/host_abi.h"

class CBufferInstructionList;

// The objects of the host's shared-pointer slots; null when absent.
inline const IRequestInfo* RequestInfo(const CDLLContext* pContext) {
    return static_cast<const IRequestInfo*>(pContext->m_spRequestInfo.pObject);
}
inline const COutboundContext* OutboundContext(const CDLLContext* pContext) {
    return static_cast<const COutboundContext*>(pContext->m_spOutboundContext.pObject);
}
inline const CExchangeURL* ExchangeURL(const CDLLContext* pContext) {
    return static_cast<const CExchangeURL*>(pContext->m_spExchangeURL.pObject);
}

// The text of a host string.
inline std::string_view HostText(const KxHostString& sText) {
    return std::string_view(KxHostStringData(&sText), sText.cbSize);
}

// A request header or server variable the host parsed (its exact name, then
// with ':' appended); false when it is missing or the record has no request info.
bool GetRequestHeader(const CDLLContext* pContext, const char* pszName, std::string& sValue);
// A query parameter of the request URL as it stands (not decoded); false when missing.
bool GetQueryParameter(const CDLLContext* pContext, const char* pszName, std::string& sValue);

// "None", "Ignore", "Handled/Redirected", "Replace", "Completed" or "Unknown".
const char* ControlMessageName(DWORD dwControlMessage);
// The same for a record; "N/A" without one.
const char* ControlMessageName(const CDLLContext* pContext);

// Copies the value of user property dwId into sValue (cleared by the caller),
// loading the properties from the host first when none are loaded. False
// only when the host's load fails.
bool GetUserProperty(CDLLContext* pContext, DWORD dwId, std::string& sValue, BYTE bFlag);

// Assigns sValue to the loaded entry with dwId (marking it changed) and asks
// the host to save that id; returns the host's answer.
bool SaveUserPropOnAuthComplete(CDLLContext* pContext, DWORD dwId, const std::string& sValue);

// Hands the list to the host; a missing service counts as success (0).
DWORD SubmitBufferCommands(CDLLContext* pContext, CBufferInstructionList* pList);

#endif  // KX_RECORD_DLL_CONTEXT_H
