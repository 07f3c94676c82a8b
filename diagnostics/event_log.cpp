#include "diagnostics/event_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "base/win_errors.h"
#include "platform/error_text.h"
#include "platform/impersonation.h"
#include "platform/system_log.h"

namespace {

constexpr size_t EVENT_TEXT_LIMIT = 2048;

void SystemLogSink(const CEventRecord& event) {
    std::string sText;
    char szHead[64];
    std::snprintf(szHead, sizeof(szHead), "event 0x%08X category %u:", static_cast<unsigned>(event.dwEventId),
                  event.wCategory);
    sText = szHead;
    for (const std::string& sString : event.strings) sText += " " + sString;
    const CSystemLogLevel level = event.wType == EVENTLOG_ERROR_TYPE     ? CSystemLogLevel::Error
                                  : event.wType == EVENTLOG_WARNING_TYPE ? CSystemLogLevel::Warning
                                                                         : CSystemLogLevel::Information;
    WriteSystemLog(level, sText);
}

std::atomic<EventSink> g_pfnEventSink{&SystemLogSink};

struct CEventText {
    char szText[EVENT_TEXT_LIMIT + 1];
};

void FormatV(CEventText& text, const char* pszFormat, va_list args) {
    if (pszFormat == nullptr || std::vsnprintf(text.szText, sizeof(text.szText), pszFormat, args) < 0)
        text.szText[0] = '\0';
}

}  // namespace

void SetEventSink(EventSink pfnSink) { g_pfnEventSink.store(pfnSink != nullptr ? pfnSink : &SystemLogSink); }

bool CEventLog::Register(const char* pszSourceName) {
    if (m_bRegistered) return true;
    m_sSource = pszSourceName != nullptr && *pszSourceName != '\0' ? pszSourceName : DEFAULT_SOURCE;
    OpenSystemLog(m_sSource);
    m_bRegistered = true;
    return true;
}

DWORD CEventLog::Report(uint16_t wType, uint16_t wCategory, DWORD dwEventId, DWORD /*cbRawData*/,
                        const void* /*pRawData*/, const char* const* ppStrings) {
    if (!m_bRegistered) return ERROR_INVALID_PARAMETER;
    const CRevertToSelf processIdentity;
    CEventRecord event{m_sSource, wType, wCategory, dwEventId, {}};
    for (size_t n = 0; ppStrings != nullptr && ppStrings[n] != nullptr && n < MAX_STRINGS; ++n)
        event.strings.emplace_back(ppStrings[n]);
    g_pfnEventSink.load()(event);
    return ERROR_SUCCESS;
}

DWORD CEventLog::Close() {
    if (!m_bRegistered) return ERROR_SUCCESS;
    CloseSystemLog();
    m_bRegistered = false;
    return ERROR_SUCCESS;
}

void CEventLog::SetMessageIds(DWORD dwSuccess, DWORD dwFailure, DWORD dwError) {
    m_dwSuccessId = dwSuccess;
    m_dwFailureId = dwFailure;
    m_dwErrorId = dwError;
}

DWORD CEventLog::ReportText(uint16_t wType, const std::string& sText) {
    if (sText.empty()) return ERROR_SUCCESS;
    const char* strings[] = {sText.c_str(), nullptr};
    return Report(wType, 0, m_dwErrorId, 0, nullptr, strings);
}

DWORD CEventLog::ReportEventf(uint16_t wType, const char* pszFormat, ...) {
    CEventText text;
    va_list args;
    va_start(args, pszFormat);
    FormatV(text, pszFormat, args);
    va_end(args);
    try {
        return ReportText(wType, text.szText);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DWORD CEventLog::ReportErrorf(DWORD dwError, uint16_t wType, const char* pszFormat, ...) {
    CEventText message;
    va_list args;
    va_start(args, pszFormat);
    FormatV(message, pszFormat, args);
    va_end(args);
    try {
        // An HRESULT of facility 7 carries a Win32 code, whose text the system gives.
        const DWORD dwCode = IsWin32Facility(static_cast<HRESULT>(dwError)) ? dwError & 0xFFFF : dwError;
        std::string sText = "ERROR: " + SystemErrorText(dwCode) + ". " + message.szText;
        if (sText.size() > EVENT_TEXT_LIMIT) sText.resize(EVENT_TEXT_LIMIT);
        return ReportText(wType, sText);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}
