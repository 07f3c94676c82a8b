#include "entry/notifications.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>

#include "base/ascii_case.h"
#include "base/shared_holder.h"
#include "base/text_search.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "entry/subscription_types.h"
#include "forms/kx_form_factory.h"
#include "forms/sw_form_context.h"
#include "record/buffer_instruction_list.h"
#include "record/dll_context.h"
#include "record/sw_context.h"
#include "settings/kx_general_settings.h"

namespace {

constexpr DWORD HTTP_STATUS_CONTINUE = 100;
constexpr DWORD HTTP_STATUS_OK = 200;

void TraceFinished(const char* pszHandler, DWORD dwResult, const CDLLContext* pContext) {
    Trace("[CNotifications::%s] finished.  Win32 RC=%d.  Control Message=<%s>", pszHandler, static_cast<int>(dwResult),
          ControlMessageName(pContext));
}

}  // namespace

namespace {

// Adds or sets a header through the notification structure's function, in
// the notifications that carry header functions.
BOOL ChangeHeader(CDLLContext* pContext, bool bAdd, const char* pszName, const char* pszValue) {
    switch (pContext->m_dwNotificationType) {
        case SF_NOTIFY_SEND_RESPONSE:
        case SF_NOTIFY_PREPROC_HEADERS:
        case SF_NOTIFY_AUTH_COMPLETE: break;
        default: return 0;
    }
    const auto* pHeaders = static_cast<const KxHeaderFunctions*>(pContext->m_pvNotification);
    if (pContext->m_pfc == nullptr || pHeaders == nullptr) return 0;
    const auto pfnChange = bAdd ? pHeaders->AddHeader : pHeaders->SetHeader;
    return pfnChange == nullptr ? 0
                                : pfnChange(pContext->m_pfc, const_cast<LPSTR>(pszName), const_cast<LPSTR>(pszValue));
}

}  // namespace

BOOL AddRequestHeader(CDLLContext* pContext, const char* pszName, const std::string& sValue) {
    if (HasControlCharacters(sValue)) {
        Trace("[AddWorkerHeader] header %s not added: its value holds control characters", pszName);
        return 0;
    }
    return CBaseNotifications::AddWorkerHeader(pContext, pszName, sValue.c_str());
}

BOOL CBaseNotifications::AddWorkerHeader(CDLLContext* pContext, const char* pszName, const char* pszValue) {
    const BOOL bResult = ChangeHeader(pContext, true, pszName, pszValue);
    Trace("[AddWorkerHeader] for header: %s return %d", pszName, bResult);
    return bResult;
}

BOOL CBaseNotifications::SetWorkerHeader(CDLLContext* pContext, const char* pszName, const char* pszValue) {
    const BOOL bResult = ChangeHeader(pContext, false, pszName, pszValue);
    Trace("[SetHeader] for header: %s return %d", pszName, bResult);
    return bResult;
}

bool CBaseNotifications::GetIISParmT(HTTP_FILTER_CONTEXT* pfc, ServerVariableGetter pfnGetter, const char* pszName,
                                     std::string& sValue) {
    DWORD cbSize = 0;
    if (pfnGetter == nullptr) return false;
    if (pfnGetter(pfc, const_cast<LPSTR>(pszName), nullptr, &cbSize)) return true;
    const DWORD dwError = KxGetLastError();
    if (cbSize == 0) return false;
    if (dwError == ERROR_INSUFFICIENT_BUFFER) {
        std::string sBuffer(static_cast<size_t>(cbSize) + 1, '\0');
        DWORD cbBuffer = cbSize;
        if (!pfnGetter(pfc, const_cast<LPSTR>(pszName), sBuffer.data(), &cbBuffer)) {
            const DWORD dwSecond = KxGetLastError();
            TraceError(dwSecond, "GetIISParmT %s failed Error: %d", pszName, static_cast<int>(dwSecond));
            return false;
        }
        sBuffer[std::min<size_t>(cbBuffer, cbSize)] = '\0';
        sValue.assign(sBuffer.c_str());
        return true;
    }
    if (dwError == ERROR_INVALID_PARAMETER || dwError == ERROR_NO_DATA || dwError == ERROR_INVALID_INDEX)
        Trace("GetIISParmT %s %s Error %d", " GetServerVariable failed", pszName, static_cast<int>(dwError));
    return false;
}

DWORD CBaseNotifications::GetWorkerServerVariable(CDLLContext* pContext, const char* pszName, std::string& sValue) {
    switch (pContext->m_dwNotificationType) {
        case SF_NOTIFY_SEND_RESPONSE:
        case SF_NOTIFY_END_OF_REQUEST:
        case SF_NOTIFY_SEND_RAW_DATA:
        case SF_NOTIFY_PREPROC_HEADERS:
        case SF_NOTIFY_AUTH_COMPLETE:
            if (pContext->m_pfc != nullptr)
                GetIISParmT(pContext->m_pfc, pContext->m_pfc->GetServerVariable, pszName, sValue);
            break;
        default: break;
    }
    return ERROR_SUCCESS;
}

DWORD CNotifications::NotifyPreProcHeaders(CDLLContext* pContext) {
    if (pContext == nullptr) {
        Trace("[CNotifications::NotifyPreProcHeaders] CDLLContext pointer is NULL.");
        TraceFinished("NotifyPreProcHeaders", ERROR_INVALID_DATA, nullptr);
        return ERROR_INVALID_DATA;
    }
    if (RequestInfo(pContext) == nullptr) {
        Trace("[CNotifications::NotifyPreProcHeaders] CDLLContext.m_spRequestInfo is NULL.");
        pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
        TraceFinished("NotifyPreProcHeaders", ERROR_INVALID_DATA, pContext);
        return ERROR_INVALID_DATA;
    }
    pContext->m_dwFeatureFlags = 0;
    pContext->m_pMyOwnContext = nullptr;
    pContext->m_cbReplaceBuffer = 0;
    pContext->m_pReplaceBuffer = nullptr;
    std::string sUrl;
    if (!GetRequestHeader(pContext, "HTTP_URL", sUrl)) {
        Trace("[CNotifications::NotifyPreProcHeaders] Reading HTTP_URL header failed.");
        pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
        TraceFinished("NotifyPreProcHeaders", ERROR_ARENA_TRASHED, pContext);
        return ERROR_ARENA_TRASHED;
    }
    // Held for the loop: a refresh may replace the list meanwhile.
    const auto pTroubleUrls = CKXGeneralSettings::GetInstance()->GetTroubleEndRequestUrls();
    for (const std::string& sTrouble : *pTroubleUrls)
        if (FindNoCaseIn(sUrl, sTrouble, 0) != std::string_view::npos) {
            pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
            Trace("[CNotifications::NotifyPreProcHeaders] URL <%s> in the TroubleEndRequestURL list. Ignore.",
                  sUrl.c_str());
            TraceFinished("NotifyPreProcHeaders", ERROR_SUCCESS, pContext);
            return ERROR_SUCCESS;
        }
    if (pContext->m_dwSubscriptionType == SUBSCRIPTION_POLL) {
        std::string sOeh, sNs, sEv;
        GetQueryParameter(pContext, "oeh", sOeh);
        GetQueryParameter(pContext, "ns", sNs);
        GetQueryParameter(pContext, "ev", sEv);
        if (SameNoCase(sOeh, "1") && SameNoCase(sNs, "Notify") && SameNoCase(sEv, "Poll")) {
            pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
            Trace("[CNotifications::NotifyPreProcHeaders] HTTP URL <%s> Subscription type <%d>. This is a Poll "
                  "request. Ignore.",
                  sUrl.c_str(), pContext->m_dwSubscriptionType);
        }
    }
    TraceFinished("NotifyPreProcHeaders", ERROR_SUCCESS, pContext);
    return ERROR_SUCCESS;
}

BOOL CNotifications::AddKXSpecificHeaders(CDLLContext* pContext) {
    Trace("[CNotifications::AddKXSpecificHeaders] Begins");
    const CExchangeURL* pUrls = pContext != nullptr ? ExchangeURL(pContext) : nullptr;
    const std::string sRoot = pUrls != nullptr ? KxHostStringData(&pUrls->m_sRoot) : "";
    const std::string sBase = pUrls != nullptr ? KxHostStringData(&pUrls->m_sBase) : "";
    if (sRoot.empty() || sBase.empty()) {
        Trace("[CNotifications::AddKXSpecificHeaders] invalid context. aborting.");
        return 0;
    }
    // A "/" after the value unless its last character other than a blank is one.
    const auto withSlash = [](std::string sValue) {
        const size_t nLast = sValue.find_last_not_of(" \n\r\t");
        if (nLast != std::string::npos && sValue[nLast] != '/') sValue += '/';
        return sValue;
    };
    BOOL bResult = AddRequestHeader(pContext, "x-qvkxroot:", withSlash(sRoot));
    if (bResult) bResult = AddRequestHeader(pContext, "x-qvkxintroot:", withSlash(KxHostStringData(&pUrls->m_sIntRoot)));
    if (bResult) bResult = AddRequestHeader(pContext, "x-qvkxbase:", sBase);
    Trace("[CNotifications::AddKXSpecificHeaders] return %s", bResult ? "successful" : "failed");
    return bResult;
}

DWORD CNotifications::NotifyEndOfRequest(CDLLContext* pContext) {
    if (pContext == nullptr) {
        Trace("[CNotifications::NotifyEndOfRequest] pointer to CDLLContext is NULL");
        TraceFinished("NotifyEndOfRequest", ERROR_INVALID_DATA, nullptr);
        return ERROR_INVALID_DATA;
    }
    if (pContext->m_pMyOwnContext != nullptr) {
        delete static_cast<CKXSWContext*>(pContext->m_pMyOwnContext);
        pContext->m_pMyOwnContext = nullptr;
    }
    if (pContext->m_pReplaceBuffer != nullptr) {
        Trace("[CNotifications::NotifyEndOfRequest] delete  replace buffer: %p",
              static_cast<void*>(pContext->m_pReplaceBuffer));
        delete[] pContext->m_pReplaceBuffer;
        pContext->m_pReplaceBuffer = nullptr;
        pContext->m_cbReplaceBuffer = 0;
    }
    TraceFinished("NotifyEndOfRequest", ERROR_SUCCESS, pContext);
    return ERROR_SUCCESS;
}

DWORD CNotifications::NotifySendResponse(CDLLContext* pContext) {
    if (pContext == nullptr) {
        Trace("[CNotifications::NotifySendResponse] DLLcontext NULL, do nothing.");
        Trace("[CNotifications::NotifySendResponse] Invalid pointers");
        return ERROR_INVALID_DATA;
    }
    const COutboundContext* pOutbound = OutboundContext(pContext);
    if (pOutbound == nullptr) {
        Trace("[CNotifications::NotifySendResponse] Invalid pointers");
        pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
        TraceFinished("NotifySendResponse", ERROR_INVALID_DATA, pContext);
        return ERROR_INVALID_DATA;
    }
    const DWORD dwStatus = pOutbound->m_dwHttpStatus;
    Trace("[CNotifications::NotifySendResponse] HTTP Status=%d", static_cast<int>(dwStatus));
    if (dwStatus == HTTP_STATUS_CONTINUE) {
        Trace("[CNotifications::NotifySendResponse] Status is 100. Continue.");
    } else if (dwStatus != HTTP_STATUS_OK) {
        Trace("[CNotifications::NotifySendResponse] Status is not 200. Ignore request");
        pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
    } else if ((pContext->m_dwFeatureFlags & (KX_FEATURE_NO_PRODUCT_HEADER | KX_FEATURE_QVKXDGI_RB)) == 0) {
        Trace("Adding product header.");
        AddWorkerHeader(pContext, "X-QVProduct:", "6");
    }
    TraceFinished("NotifySendResponse", ERROR_SUCCESS, pContext);
    return ERROR_SUCCESS;
}

DWORD CNotifications::RunForms(CSWFormContext* pFormContext) { return CKXFormFactory::Process(pFormContext); }

namespace {

constexpr int SETTING_MAX_PAGE_KB = 200;
constexpr int DEFAULT_MAX_PAGE_KB = 4096;

}  // namespace

// Parsing a page costs memory in proportion to its size; pages larger than
// setting 200 (kilobytes) go out unchanged. No OWA page that a modifier
// changes comes near the default.
bool CNotifications::IsPageWithinBound(const CCommonPointers& pointers) {
    if (pointers.m_pBufferStart == nullptr || pointers.m_pBufferLast < pointers.m_pBufferStart) return true;
    int nMaxKb = DEFAULT_MAX_PAGE_KB;
    CKXGeneralSettings::GetInstance()->GetSettingFromID(SETTING_MAX_PAGE_KB, nMaxKb, 0);
    const auto cbPage = static_cast<uint64_t>(pointers.m_pBufferLast - pointers.m_pBufferStart) + 1;
    if (nMaxKb <= 0 || cbPage <= static_cast<uint64_t>(nMaxKb) * 1024) return true;
    Trace("[CNotifications::NotifySendRawData] The page of %llu bytes is larger than setting %d allows (%d KB): "
          "it goes out unchanged.",
          static_cast<unsigned long long>(cbPage), SETTING_MAX_PAGE_KB, nMaxKb);
    return false;
}

DWORD CNotifications::ProcessForm(CDLLContext* pContext, CBufferInstructionList* pList) {
    Trace("[CNotifications::ProcessForm] started.");
    DWORD dwResult = ERROR_SUCCESS;
    if (pContext == nullptr) {
        Trace("[CNotifications::ProcessForm] pContext is NULL");
        dwResult = ERROR_INVALID_DATA;
    } else {
        try {
            const std::shared_ptr<CSWFormContext> spFormContext = std::make_shared<CSWFormContext>(pContext, pList);
            Trace("[CNotifications::ProcessForm] Template <%s>", spFormContext->m_csTemplate.c_str());
            dwResult = RunForms(spFormContext.get());
        } catch (const std::runtime_error& e) {
            Trace("[CNotifications::ProcessForm] Runtime exception: %s", e.what());
            dwResult = ERROR_ARENA_TRASHED;
        } catch (...) {
            Trace("[CNotifications::ProcessForm] Unexpected exception processing forms");
            dwResult = static_cast<DWORD>(E_UNEXPECTED);
        }
    }
    Trace("[CNotifications::ProcessForm] returned <%d>", static_cast<int>(dwResult));
    return dwResult;
}

DWORD CNotifications::NotifySendRawData(CDLLContext* pContext) {
    const DWORD dwResult = SendRawData(pContext);
    TraceFinished("NotifySendRawData", dwResult, pContext);
    return dwResult;
}

bool CNotifications::IsPageForForms(const CDLLContext* pContext, const CCommonPointers& pointers) {
    const std::optional<std::string_view> sTemplate = CSWFormContext::FindTemplate(pointers);
    // Pointers that make no page are the form context's to report.
    return !sTemplate || CKXFormFactory::WantsPage(*sTemplate, pContext->m_dwFeatureFlags);
}

DWORD CNotifications::SendRawData(CDLLContext* pContext) {
    const COutboundContext* pOutbound = pContext == nullptr ? nullptr : OutboundContext(pContext);
    if (pOutbound == nullptr || pOutbound->m_pCommonPointers == nullptr || pContext->m_pCoreServices == nullptr) {
        Trace("[CNotifications::NotifySendRawData] Invalid pointer(s)!");
        if (pContext != nullptr) pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
        return ERROR_ARENA_TRASHED;
    }
    Trace("[NotifySendRawData] subscription type %d", pContext->m_dwSubscriptionType);
    const CCommonPointers& pointers = *pOutbound->m_pCommonPointers;
    if (pOutbound->m_dwHttpStatus != HTTP_STATUS_OK || !IsPageWithinBound(pointers) ||
        !IsPageForForms(pContext, pointers)) {
        Trace("[NotifySendRawData] m_pcobBufferInstructions is Empty ");
        return ERROR_SUCCESS;
    }
    CSharedHolder<CBufferInstructionList> spList(new CBufferInstructionList());
    CBufferInstructionList* pList = spList.Get();
    const DWORD dwForm = ProcessForm(pContext, pList);
    if (dwForm != ERROR_SUCCESS) {
        Trace("[NotifySendRawData] ProcessForm() failed.");
        pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
        return dwForm;
    }
    if (pList->IsEmpty()) {
        Trace("[NotifySendRawData] m_pcobBufferInstructions is Empty ");
        return ERROR_SUCCESS;
    }
    Trace("[NotifySendRawData] Sending instructions to core services, number of instructions is %d ",
          static_cast<int>(pList->Count()));
    const DWORD dwSubmit = SubmitBufferCommands(pContext, pList);
    if (dwSubmit != ERROR_SUCCESS) {
        Trace("[NotifySendRawData] SubmitBufferCommands returned error %d", static_cast<int>(dwSubmit));
        pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
    }
    return dwSubmit;
}
