#include "host/host_request.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "host/host_text.h"
#include "host/instruction_apply.h"
#include "host/user_store.h"

namespace kxhost {

namespace {

constexpr DWORD ERROR_INVALID_DATA_CODE = 13;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER_CODE = 122;
constexpr DWORD ERROR_INVALID_INDEX_CODE = 1413;

void Assign(KxHostString& sTarget, const std::string& sValue) {
    KxHostStringInit(&sTarget);
    if (!KxHostStringAssign(&sTarget, sValue.data(), sValue.size())) throw std::bad_alloc();
}

// Whether a "<name" tag (followed by '>', '/' or white space) stands at n, ignoring case.
bool TagAt(const std::string& sText, std::string_view sTag, size_t n) {
    if (n + sTag.size() > sText.size() || !StartsWithNoCase(std::string_view(sText).substr(n, sTag.size()), sTag))
        return false;
    const char chNext = n + sTag.size() < sText.size() ? sText[n + sTag.size()] : '>';
    return chNext == '>' || chNext == '/' || std::isspace(static_cast<unsigned char>(chNext));
}

// Offset of the first such tag at or after nFrom; npos when there is none.
size_t FindTag(const std::string& sText, std::string_view sTag, size_t nFrom) {
    for (size_t n = sText.find('<', nFrom); n != std::string::npos; n = sText.find('<', n + 1))
        if (TagAt(sText, sTag, n)) return n;
    return std::string::npos;
}

// Offset of the last such tag at or after nFrom, found from the end (where
// a page's closing tags stand); npos when there is none.
size_t FindLastTag(const std::string& sText, std::string_view sTag, size_t nFrom) {
    for (size_t n = sText.rfind('<'); n != std::string::npos && n >= nFrom;
         n = n == 0 ? std::string::npos : sText.rfind('<', n - 1))
        if (TagAt(sText, sTag, n)) return n;
    return std::string::npos;
}

// Copies a value out the way IIS does: the size needed including the NUL,
// error 122 when the buffer is too small. An empty value needs no buffer.
BOOL CopyOut(const std::string& sValue, LPVOID lpvBuffer, LPDWORD lpdwSize) {
    if (sValue.empty() && (lpvBuffer == nullptr || *lpdwSize == 0)) {
        *lpdwSize = 0;
        return TRUE;
    }
    const DWORD cbNeeded = static_cast<DWORD>(sValue.size() + 1);
    if (lpvBuffer == nullptr || *lpdwSize < cbNeeded) {
        *lpdwSize = cbNeeded;
        KxSetLastError(ERROR_INSUFFICIENT_BUFFER_CODE);
        return FALSE;
    }
    std::memcpy(lpvBuffer, sValue.c_str(), cbNeeded);
    *lpdwSize = cbNeeded;
    return TRUE;
}

}  // namespace

HostRequest::HostRequest(HostServices& services, RequestSpec spec) : m_services(services), m_spec(std::move(spec)) {
    m_pRequestInfo = std::make_unique<RequestInfo>(m_spec.sMethod, m_spec.sUrl, m_spec.headers, m_spec.serverVariables);

    m_filterContext.cbSize = sizeof(m_filterContext);
    m_filterContext.Revision = 0x00070000;
    m_filterContext.ServerContext = this;
    m_filterContext.GetServerVariable = &GetServerVariable;
    for (KxHeaderFunctions* pFunctions :
         {reinterpret_cast<KxHeaderFunctions*>(&m_preprocHeaders), reinterpret_cast<KxHeaderFunctions*>(&m_sendResponse),
          reinterpret_cast<KxHeaderFunctions*>(&m_authComplete)}) {
        pFunctions->GetHeader = &GetHeader;
        pFunctions->SetHeader = &SetHeader;
        pFunctions->AddHeader = &AddHeader;
    }
    Assign(m_exchangeUrl.m_sBase, m_spec.sBase);
    Assign(m_exchangeUrl.m_sIntRoot, m_spec.sIntRoot);
    Assign(m_exchangeUrl.m_sRoot, m_spec.sRoot);
    Assign(m_exchangeUrl.m_sOwaPath, m_spec.sOwaPath);

    SetResponse(m_spec.dwHttpStatus, m_spec.sResponseHead, std::move(m_spec.sBody));
    m_context.pHostReserved0 = this;
    m_context.m_pCoreServices = m_services.Table();
    m_context.m_pfc = &m_filterContext;
    m_context.m_dwSubscriptionType = m_spec.nSubscriptionType;
    m_context.m_spOutboundContext = KxSharedSlot{&m_outbound, &m_useCounts[0], &m_tags[0]};
    m_context.m_spRequestInfo =
        KxSharedSlot{static_cast<IRequestInfo*>(m_pRequestInfo.get()), &m_useCounts[1], &m_tags[1]};
    m_context.m_spExchangeURL = KxSharedSlot{&m_exchangeUrl, &m_useCounts[2], &m_tags[2]};
}

void HostRequest::SetResponse(DWORD dwHttpStatus, std::string sHead, std::string sBody) {
    BeginBody(dwHttpStatus, std::move(sHead), sBody.size());
    AppendBody(sBody.data(), sBody.size());
    EndBody();
}

void HostRequest::BeginBody(DWORD dwHttpStatus, std::string sHead, size_t cbExpected) {
    m_spec.dwHttpStatus = dwHttpStatus;
    m_sendResponse.HttpStatus = dwHttpStatus;
    m_authComplete.HttpStatus = dwHttpStatus;
    m_outbound.m_dwHttpStatus = dwHttpStatus;
    m_spec.sResponseHead = sHead;
    m_buffer = std::move(sHead);
    m_buffer.reserve(m_buffer.size() + cbExpected);
    m_sent.clear();
    m_bSentChanged = false;
    m_commonPointers = CCommonPointers{};
    m_outbound.m_pCommonPointers = nullptr;
}

void HostRequest::EndBody() {
    if (m_buffer.empty()) return;  // without a buffer the worker finds no common pointers, as with IIS
    auto* pStart = reinterpret_cast<BYTE*>(m_buffer.data());
    m_commonPointers.m_pBufferStart = pStart;
    m_commonPointers.m_pBufferLast = pStart + m_buffer.size() - 1;
    const size_t cbHead = m_spec.sResponseHead.size();
    m_commonPointers.m_pHtmlDataStart = cbHead == 0 ? nullptr : pStart + cbHead;
    m_commonPointers.m_cbResponseHead = static_cast<DWORD>(cbHead);
    LocateTags();
    m_outbound.m_pCommonPointers = &m_commonPointers;
}

void HostRequest::SetUser(const std::string& sUser) {
    m_spec.sUser = sUser;
    if (sUser.empty()) return;
    m_pRequestInfo->SetServerVariable("QV_USERNAME", sUser);
    m_pRequestInfo->SetServerVariable("LOGON_USER", sUser);
}

HostRequest::~HostRequest() {
    ClearUserProperties();
    for (KxHostString* pString : {&m_exchangeUrl.m_sBase, &m_exchangeUrl.m_sIntRoot, &m_exchangeUrl.m_sRoot,
                                  &m_exchangeUrl.m_sOwaPath})
        KxHostStringFree(pString);
}

void HostRequest::LocateTags() {
    const size_t nHtml = m_spec.sResponseHead.size();
    auto address = [&](size_t nOffset) -> BYTE* {
        return nOffset == std::string::npos ? nullptr : reinterpret_cast<BYTE*>(m_buffer.data()) + nOffset;
    };
    const size_t nHead = FindTag(m_buffer, "<head", nHtml);
    const size_t nHeadEnd = FindTag(m_buffer, "</head", nHead == std::string::npos ? nHtml : nHead);
    const size_t nBody = FindTag(m_buffer, "<body", nHtml);
    m_commonPointers.m_pHtmlTag = address(FindTag(m_buffer, "<html", nHtml));
    m_commonPointers.m_pHeadTag = address(nHead);
    m_commonPointers.m_pHeadEndTag = address(nHeadEnd);
    if (nHead != std::string::npos && nHeadEnd != std::string::npos)
        m_commonPointers.m_cbHead = static_cast<DWORD>(nHeadEnd - nHead);
    m_commonPointers.m_pBodyTag = address(nBody);
    // The body's end is its last end tag, as the worker finds it itself
    // when a host gives none.
    m_commonPointers.m_pBodyEndTag =
        address(FindLastTag(m_buffer, "</body", nBody == std::string::npos ? nHtml : nBody));
}

DWORD HostRequest::Notify(PFN_HTTP_FILTER_PROC pfnHttpFilterProc, DWORD dwNotification) {
    m_context.m_dwNotificationType = dwNotification;
    switch (dwNotification) {
        case SF_NOTIFY_PREPROC_HEADERS:  // a request starts: the last one's header actions are done with
            m_headerActions.clear();
            m_context.m_pvNotification = &m_preprocHeaders;
            break;
        case SF_NOTIFY_SEND_RESPONSE: m_context.m_pvNotification = &m_sendResponse; break;
        case SF_NOTIFY_AUTH_COMPLETE: m_context.m_pvNotification = &m_authComplete; break;
        case SF_NOTIFY_SEND_RAW_DATA:
            m_rawData = HTTP_FILTER_RAW_DATA{m_buffer.data(), static_cast<DWORD>(m_buffer.size()),
                                             static_cast<DWORD>(m_buffer.size()), 0};
            m_context.m_pvNotification = &m_rawData;
            break;
        default: m_context.m_pvNotification = nullptr; break;
    }
    // Once the worker has said "Ignore" or "Handled", only the end of the
    // request is its business.
    if (dwNotification != SF_NOTIFY_END_OF_REQUEST && dwNotification != SF_NOTIFY_PREPROC_HEADERS &&
        (m_context.m_dwControlMessage == KX_CONTROL_IGNORE || m_context.m_dwControlMessage == KX_CONTROL_HANDLED))
        return 0;
    const DWORD dwResult = pfnHttpFilterProc(&m_context);
    if (dwNotification == SF_NOTIFY_SEND_RAW_DATA && m_context.m_dwControlMessage == KX_CONTROL_REPLACE &&
        m_context.m_pReplaceBuffer != nullptr) {
        m_sent.assign(reinterpret_cast<const char*>(m_context.m_pReplaceBuffer), m_context.m_cbReplaceBuffer);
        m_bSentChanged = true;
    }
    return dwResult;
}

DWORD HostRequest::Submit(const CBufferInstructionList* pList) {
    std::vector<InstructionView> instructions;
    std::string sOutput;
    if (!ReadInstructions(pList, reinterpret_cast<const BYTE*>(m_buffer.data()), m_buffer.size(), instructions,
                          m_submitError) ||
        !ApplyInstructions(m_buffer, instructions, sOutput, m_submitError))
        return ERROR_INVALID_DATA_CODE;
    m_submitError.clear();
    m_sent = std::move(sOutput);
    m_bSentChanged = true;
    return 0;
}

void HostRequest::ClearUserProperties() {
    for (CUserPropertyEntry& entry : m_userProperties) KxHostStringFree(&entry.sValue);
    m_userProperties.clear();
    m_context.m_pUserPropertiesBegin = nullptr;
    m_context.m_pUserPropertiesEnd = nullptr;
}

bool HostRequest::LoadUserProperties() {
    ClearUserProperties();
    std::map<DWORD, std::string> values;
    for (const DWORD dwId : m_services.m_knownPropertyIds) values[dwId];
    if (m_services.m_pUserStore != nullptr) {
        if (!m_services.m_pUserStore->Load(m_spec.sUser, values)) return false;
    } else if (const auto itUser = m_services.m_userProperties.find(m_spec.sUser);
               itUser != m_services.m_userProperties.end()) {
        for (const auto& [dwId, sValue] : itUser->second) values[dwId] = sValue;
    }
    if (values.empty()) return true;
    m_userProperties.resize(values.size());
    size_t nEntry = 0;
    for (const auto& [dwId, sValue] : values) {
        CUserPropertyEntry& entry = m_userProperties[nEntry++];
        std::memset(&entry, 0, sizeof(entry));
        entry.dwId = dwId;
        Assign(entry.sValue, sValue);
    }
    m_context.m_pUserPropertiesBegin = m_userProperties.data();
    m_context.m_pUserPropertiesEnd = m_userProperties.data() + m_userProperties.size();
    return true;
}

bool HostRequest::SaveUserProperty(DWORD dwId) {
    for (CUserPropertyEntry& entry : m_userProperties) {
        if (entry.dwId != dwId || entry.bChanged != 1) continue;
        const std::string sValue(KxHostStringData(&entry.sValue), entry.sValue.cbSize);
        if (m_services.m_pUserStore != nullptr) {
            if (!m_services.m_pUserStore->Save(m_spec.sUser, dwId, sValue)) return false;
        } else {
            m_services.m_userProperties[m_spec.sUser][dwId] = sValue;
        }
        entry.bChanged = 0;
        return true;
    }
    return false;
}

HostRequest* HostRequest::From(HTTP_FILTER_CONTEXT* pfc) { return static_cast<HostRequest*>(pfc->ServerContext); }

BOOL HostRequest::GetServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPVOID lpvBuffer, LPDWORD lpdwSize) {
    if (pfc == nullptr || lpszName == nullptr || lpdwSize == nullptr) {
        KxSetLastError(87);
        return FALSE;
    }
    const std::string* pValue = From(pfc)->m_pRequestInfo->FindServerVariable(lpszName);
    if (pValue == nullptr) {
        KxSetLastError(ERROR_INVALID_INDEX_CODE);
        return FALSE;
    }
    return CopyOut(*pValue, lpvBuffer, lpdwSize);
}

BOOL HostRequest::GetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPVOID lpvBuffer, LPDWORD lpdwSize) {
    if (pfc == nullptr || lpszName == nullptr || lpdwSize == nullptr) {
        KxSetLastError(87);
        return FALSE;
    }
    const std::string* pValue = From(pfc)->m_pRequestInfo->FindRawHeader(lpszName);
    if (pValue == nullptr) {
        KxSetLastError(ERROR_INVALID_INDEX_CODE);
        return FALSE;
    }
    return CopyOut(*pValue, lpvBuffer, lpdwSize);
}

BOOL HostRequest::SetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPSTR lpszValue) {
    return From(pfc)->RecordHeader("set", lpszName, lpszValue);
}

BOOL HostRequest::AddHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPSTR lpszValue) {
    return From(pfc)->RecordHeader("add", lpszName, lpszValue);
}

BOOL HostRequest::RecordHeader(const char* pszAction, LPSTR lpszName, LPSTR lpszValue) {
    if (m_bRefuseHeaders || lpszName == nullptr) {
        KxSetLastError(87);
        return FALSE;
    }
    const std::string sValue = lpszValue != nullptr ? lpszValue : "";
    m_headerActions.push_back(HeaderAction{m_context.m_dwNotificationType, pszAction, lpszName, sValue});
    if (m_context.m_dwNotificationType == SF_NOTIFY_AUTH_COMPLETE && std::string_view(pszAction) == "set" &&
        std::string_view(lpszName) == "URL") {
        // IIS's rule: setting "URL" now replaces the request URL.
        m_spec.sUrl = sValue;
        m_pRequestInfo->SetUrl(sValue);
    } else if (m_context.m_dwNotificationType != SF_NOTIFY_SEND_RESPONSE) {
        m_pRequestInfo->SetRawHeader(lpszName, sValue);
    }
    return TRUE;
}

}  // namespace kxhost
