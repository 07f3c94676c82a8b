// The system log (syslog) standing in for the Windows event log.
#ifndef KX_PLATFORM_SYSTEM_LOG_H
#define KX_PLATFORM_SYSTEM_LOG_H

#include <string>

enum class CSystemLogLevel { Error, Warning, Information };

// Opens the log under a source name; the name is copied and kept.
void OpenSystemLog(const std::string& sSource);
void WriteSystemLog(CSystemLogLevel level, const std::string& sText);
void CloseSystemLog();

#endif  // KX_PLATFORM_SYSTEM_LOG_H
