#include "forms/kx_form_redir_2_calendar_view_b.h"

#include <cstring>

#include "base/text_search.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "forms/page_text.h"
#include "forms/sw_form_context.h"
#include "record/dll_context.h"

DWORD CKXFormRedir2CalendarViewB::Process() {
    Trace("[CKXFormRedir2CalendarViewB::Process] start");
    DWORD dwResult = ERROR_ARENA_TRASHED;
    const CExchangeURL* pUrls = Context() == nullptr ? nullptr : ExchangeURL(Context());
    if (IsInit() && pUrls != nullptr) {
        const std::string_view sBase = HostText(pUrls->m_sBase);
        std::string sUrl;
        sUrl.reserve(256);
        sUrl.append(HostText(pUrls->m_sRoot)).append(sBase).append("/");
        std::string sMailbox, sItem;
        if (GetQueryParameter(Context(), "qvdgmx", sMailbox) && sBase.find('@') == std::string_view::npos)
            sUrl.append(sMailbox).append("/");
        sUrl.append("?ae=Folder&t=IPF.Appointment");
        if (GetQueryParameter(Context(), "id", sItem)) sUrl.append("&id=").append(sItem);
        if (CreateReplaceBufferForRedirectResponse(sUrl)) {
            Context()->m_dwControlMessage = KX_CONTROL_REPLACE;
            dwResult = ERROR_SUCCESS;
        } else {
            Trace("[CKXFormRedir2CalendarViewB::Process] CreateReplaceBufferForRedirectResponse() failed.");
        }
    }
    TraceOutcome("CKXFormRedir2CalendarViewB", "Replacing", "form buffer", dwResult == ERROR_SUCCESS);
    Trace("[CKXFormRedir2CalendarViewB::Process] returned dwRet <%d>.", static_cast<int>(dwResult));
    return dwResult;
}

bool CKXFormRedir2CalendarViewB::CreateReplaceBufferForRedirectResponse(const std::string& sUrl) {
    Trace("[CKXFormRedir2CalendarViewB::CreateReplaceBufferForRedirectResponse] Sending redirection to <%s>",
          sUrl.c_str());
    CDLLContext* pContext = Context();
    if (pContext == nullptr) return false;
    std::string sCookie;
    const bool bCookie = GetRequestHeader(pContext, "Set-Cookie:", sCookie);
    // The URL carries query values of the request as they stand: a line
    // break in one would end the header and start the attacker's own.
    if (HasControlCharacters(sUrl) || (bCookie && HasControlCharacters(sCookie))) {
        Trace("[CKXFormRedir2CalendarViewB::CreateReplaceBufferForRedirectResponse] The location or the cookie holds "
              "control characters; no redirect.");
        return false;
    }
    if (pContext->m_pReplaceBuffer != nullptr) {
        Trace("[CKXFormRedir2CalendarViewB::CreateReplaceBufferForRedirectResponse] delete  replace buffer: %p",
              static_cast<void*>(pContext->m_pReplaceBuffer));
        delete[] pContext->m_pReplaceBuffer;
        pContext->m_pReplaceBuffer = nullptr;
        pContext->m_cbReplaceBuffer = 0;
    }
    std::string sResponse;
    sResponse.reserve(256 + 2 * sUrl.size());
    sResponse.append("HTTP/1.1 302 Found\r\nConnection: close\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n");
    sResponse.append("X-QVProduct:6\r\n");
    sResponse.append("Location: ").append(sUrl).append("\r\n");
    if (bCookie) sResponse.append("Set-Cookie: ").append(sCookie).append("\r\n");
    std::string sBody = "<head><title>Document Moved</title></head><body><h1>Object Moved</h1>This document may be "
                        "found <a HREF=\"";
    sBody.append(EscapeHtml(sUrl)).append("\">here</a></body>");
    sResponse.append("Content-Type: text/html; charset=utf-8\r\nContent-Length: ")
        .append(std::to_string(sBody.size()))
        .append("\r\n\r\n")
        .append(sBody);
    auto* pBuffer = new BYTE[sResponse.size()];
    std::memcpy(pBuffer, sResponse.data(), sResponse.size());
    pContext->m_pReplaceBuffer = pBuffer;
    pContext->m_cbReplaceBuffer = static_cast<DWORD>(sResponse.size());
    Trace("[CKXFormRedir2CalendarViewB::CreateReplaceBufferForRedirectResponse] Allocated <%d> bytes for replace "
          "buffer at <%p>.",
          static_cast<int>(sResponse.size()), static_cast<void*>(pBuffer));
    return true;
}
