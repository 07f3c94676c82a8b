#include "diagnostics/trace.h"

#include <algorithm>
#include <cstdarg>
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

bool IsControl(unsigned char ch) { return (ch < 0x20 && ch != '\t') || ch == 0x7F; }

// Traced values come from requests (cookies, headers, URLs): a CR or LF in
// one must not start a line that looks like one of ours, so control bytes
// go out escaped ("\r", "\n", "\xNN").
void Emit(const char* pszLine, size_t cbLine) {
    try {
        std::string sEscaped;
        if (std::any_of(pszLine, pszLine + cbLine, [](char ch) { return IsControl(static_cast<unsigned char>(ch)); })) {
            static const char HEX[] = "0123456789abcdef";
            for (size_t n = 0; n < cbLine; ++n) {
                const auto ch = static_cast<unsigned char>(pszLine[n]);
                if (!IsControl(ch))
                    sEscaped += static_cast<char>(ch);
                else if (ch == '\r')
                    sEscaped += "\\r";
                else if (ch == '\n')
                    sEscaped += "\\n";
                else
                    sEscaped.append("\\x").append(1, HEX[ch >> 4]).append(1, HEX[ch & 15]);
            }
            pszLine = sEscaped.c_str();
            cbLine = sEscaped.size();
        }
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
