#include "platform/clock.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

void ClockNow(int64_t& nSeconds, unsigned& nMillisecond) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    nSeconds = now.tv_sec;
    nMillisecond = static_cast<unsigned>(now.tv_nsec / 1000000);
}

CLocalTime ToLocalTime(int64_t nSeconds) {
    const time_t seconds = static_cast<time_t>(nSeconds);
    tm local{};
    localtime_r(&seconds, &local);
    return CLocalTime{static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday),        static_cast<unsigned>(local.tm_hour),
                      static_cast<unsigned>(local.tm_min),         static_cast<unsigned>(local.tm_sec)};
}

std::string CTimeNow() {
    const time_t now = time(nullptr);
    char szText[64];
    return ctime_r(&now, szText) != nullptr ? szText : "";
}

unsigned CurrentThreadId() {
    thread_local const unsigned nId = static_cast<unsigned>(syscall(SYS_gettid));
    return nId;
}
