// Wall-clock time and thread identity for log lines.
#ifndef KX_PLATFORM_CLOCK_H
#define KX_PLATFORM_CLOCK_H

#include <cstdint>
#include <string>

struct CLocalTime {
    unsigned nYear, nMonth, nDay, nHour, nMinute, nSecond;
};

// Seconds since the epoch and the millisecond within that second.
void ClockNow(int64_t& nSeconds, unsigned& nMillisecond);

// The local calendar time of a second since the epoch; false when the
// system's calendar cannot hold it.
bool ToLocalTime(int64_t nSeconds, CLocalTime& local);

// The C run-time's ctime text of now ("Sun Dec  6 07:03:55 2026\n").
std::string CTimeNow();

// The calling thread's id as the system numbers it.
unsigned CurrentThreadId();

#endif  // KX_PLATFORM_CLOCK_H
