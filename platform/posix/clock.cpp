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

bool ToLocalTime(int64_t nSeconds, CLocalTime& local) {
    const time_t seconds = static_cast<time_t>(nSeconds);
    tm parts{};
    if (localtime_r(&seconds, &parts) == nullptr) return false;
    local = CLocalTime{static_cast<unsigned>(parts.tm_year + 1900), static_cast<unsigned>(parts.tm_mon + 1),
                       static_cast<unsigned>(parts.tm_mday),        static_cast<unsigned>(parts.tm_hour),
                       static_cast<unsigned>(parts.tm_min),         static_cast<unsigned>(parts.tm_sec)};
    return true;
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
