// The trace call. While the trace level is 0 a call costs one relaxed load
// and a branch: nothing is formatted and the sink is never called.
#ifndef KX_DIAGNOSTICS_TRACE_H
#define KX_DIAGNOSTICS_TRACE_H

#include <atomic>
#include <cstddef>

#include "base/printf_format.h"
#include "kx/win_types.h"

// Trace level bits.
constexpr DWORD TRACE_LEVEL_MESSAGE_BOX = 1;  // also show each line (standard error here)
constexpr DWORD TRACE_LEVEL_LOG = 2;          // write to the log

constexpr size_t TRACE_MESSAGE_LIMIT = 4096;
constexpr size_t TRACE_ERROR_MESSAGE_LIMIT = 512;
constexpr size_t TRACE_ERROR_LINE_LIMIT = 2048;

// Receives every formatted line.
typedef void (*TraceSink)(const char* pszLine, size_t cbLine);

namespace trace_detail {
inline std::atomic<DWORD> g_dwTraceLevel{0};
}

inline bool IsTraceOn() { return trace_detail::g_dwTraceLevel.load(std::memory_order_relaxed) != 0; }
inline DWORD GetTraceLevel() { return trace_detail::g_dwTraceLevel.load(std::memory_order_relaxed); }
void SetTraceLevel(DWORD dwLevel);

// Replaces the sink; null restores the default one.
void SetTraceSink(TraceSink pfnSink);

// printf-style; the message is cut to 4096 bytes.
void Trace(const char* pszFormat, ...) KX_PRINTF_FORMAT(1, 2);

// The message (cut to 512 bytes), three blanks and the system's text for the
// error, cut to 2048 bytes.
void TraceError(DWORD dwError, const char* pszFormat, ...) KX_PRINTF_FORMAT(2, 3);

// The design's debugger output: standard error on this platform.
void DebugOutput(const char* pszText);

#endif  // KX_DIAGNOSTICS_TRACE_H
