#include "diagnostics/trace.h"

#include <cstdarg>
#include <algorithm>
#include <cstdio>
#include <string>

#include "diagnostics/trace_log.h"
#include "platform/error_text.h"

namespace {

std::atomic<TraceSink> g_pfnSink{&BasicTraceSink};

// vsnprintf into a fixed buffer; returns the length actually held.
size_t FormatInto(char* pBuffer, size_t cbBuffer, const char* pszFormat, va_list args) {
    const int nWritten = std::vsnprintf(pBuffer, cbBuffer, pszFormat, args);
    if (nWritten < 0) {
        pBuffer[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(nWritten) < cbBuffer ? static_cast<size_t>(nWritten) : cbBuffer - 1;
}

void Emit(const char* pszLine, size_t cbLine) {
    try {
        g_pfnSink.load(std::memory_order_acquire)(pszLine, cbLine);
    } catch (...) {
        DebugOutput("An error occurred while logging");
    }
}

}  // namespace

void SetTraceLevel(DWORD dwLevel) { trace_detail::g_dwTraceLevel.store(dwLevel, std::memory_order_relaxed); }

void SetTraceSink(TraceSink pfnSink) {
    g_pfnSink.store(pfnSink != nullptr ? pfnSink : &BasicTraceSink, std::memory_order_release);
}

void Trace(const char* pszFormat, ...) {
    if (!IsTraceOn() || pszFormat == nullptr) return;
    char szMessage[TRACE_MESSAGE_LIMIT + 1];
    va_list args;
    va_start(args, pszFormat);
    const size_t cbMessage = FormatInto(szMessage, sizeof(szMessage), pszFormat, args);
    va_end(args);
    Emit(szMessage, cbMessage);
}

void TraceError(DWORD dwError, const char* pszFormat, ...) {
    if (!IsTraceOn() || pszFormat == nullptr) return;
    char szMessage[TRACE_ERROR_MESSAGE_LIMIT];
    va_list args;
    va_start(args, pszFormat);
    FormatInto(szMessage, sizeof(szMessage), pszFormat, args);
    va_end(args);
    const std::string sSystemText = SystemErrorText(dwError);
    char szLine[TRACE_ERROR_LINE_LIMIT];
    const int nLine = std::snprintf(szLine, sizeof(szLine), "%s   %s", szMessage, sSystemText.c_str());
    const size_t cbLine = nLine < 0 ? 0 : std::min(static_cast<size_t>(nLine), sizeof(szLine) - 1);
    Emit(szLine, cbLine);
}

void DebugOutput(const char* pszText) {
    std::fputs(pszText, stderr);
    std::fputc('\n', stderr);
}
