// The Application event log, under the source the worker registers as.
#include "platform/system_log.h"

#include <windows.h>

#include <mutex>

#include "platform/win32/wide.h"

namespace {

std::mutex g_mutex;
HANDLE g_hSource = nullptr;

}  // namespace

void OpenSystemLog(const std::string& sSource) {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (g_hSource != nullptr) DeregisterEventSource(g_hSource);
    g_hSource = RegisterEventSourceW(nullptr, Widen(sSource).c_str());
}

void WriteSystemLog(CSystemLogLevel level, const std::string& sText) {
    const WORD wType = level == CSystemLogLevel::Error     ? EVENTLOG_ERROR_TYPE
                       : level == CSystemLogLevel::Warning ? EVENTLOG_WARNING_TYPE
                                                           : EVENTLOG_INFORMATION_TYPE;
    const std::wstring sWide = Widen(sText);
    LPCWSTR strings[] = {sWide.c_str()};
    std::lock_guard<std::mutex> guard(g_mutex);
    if (g_hSource != nullptr) ReportEventW(g_hSource, wType, 0, 0, nullptr, 1, 0, strings, nullptr);
}

void CloseSystemLog() {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (g_hSource != nullptr) DeregisterEventSource(g_hSource);
    g_hSource = nullptr;
}
