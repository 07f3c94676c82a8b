#include "platform/system_log.h"

#include <syslog.h>

#include <mutex>

namespace {
std::mutex g_mutex;
std::string g_sIdent;  // syslog keeps the pointer, not a copy
}  // namespace

void OpenSystemLog(const std::string& sSource) {
    std::lock_guard<std::mutex> guard(g_mutex);
    closelog();
    g_sIdent = sSource;
    openlog(g_sIdent.c_str(), LOG_PID, LOG_DAEMON);
}

void WriteSystemLog(CSystemLogLevel level, const std::string& sText) {
    const int nPriority = level == CSystemLogLevel::Error     ? LOG_ERR
                          : level == CSystemLogLevel::Warning ? LOG_WARNING
                                                              : LOG_INFO;
    std::lock_guard<std::mutex> guard(g_mutex);
    syslog(nPriority, "%s", sText.c_str());
}

void CloseSystemLog() {
    std::lock_guard<std::mutex> guard(g_mutex);
    closelog();
}
