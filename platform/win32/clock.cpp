#include "platform/clock.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr int64_t TICKS_PER_SECOND = 10000000;           // FILETIME counts 100 ns
constexpr int64_t EPOCH_SECONDS_FROM_1601 = 11644473600;  // 1601-01-01 to 1970-01-01

// The local time of a second since the epoch, by the time zone's rules for
// that date; false outside what SYSTEMTIME holds.
bool LocalSystemTime(int64_t nSeconds, SYSTEMTIME& local) {
    if (nSeconds < -EPOCH_SECONDS_FROM_1601 || nSeconds > (INT64_MAX / TICKS_PER_SECOND) - EPOCH_SECONDS_FROM_1601)
        return false;
    const uint64_t qwTicks = static_cast<uint64_t>(nSeconds + EPOCH_SECONDS_FROM_1601) * TICKS_PER_SECOND;
    FILETIME utc{static_cast<DWORD>(qwTicks), static_cast<DWORD>(qwTicks >> 32)};
    SYSTEMTIME universal{};
    return FileTimeToSystemTime(&utc, &universal) && SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
}

}  // namespace

void ClockNow(int64_t& nSeconds, unsigned& nMillisecond) {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const int64_t nTicks =
        static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) -
        EPOCH_SECONDS_FROM_1601 * TICKS_PER_SECOND;
    nSeconds = nTicks / TICKS_PER_SECOND;
    nMillisecond = static_cast<unsigned>(nTicks % TICKS_PER_SECOND / 10000);
}

bool ToLocalTime(int64_t nSeconds, CLocalTime& local) {
    SYSTEMTIME parts{};
    if (!LocalSystemTime(nSeconds, parts)) return false;
    local = CLocalTime{parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond};
    return true;
}

std::string CTimeNow() {
    static const char* const DAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int64_t nSeconds = 0;
    unsigned nMillisecond = 0;
    ClockNow(nSeconds, nMillisecond);
    SYSTEMTIME now{};
    if (!LocalSystemTime(nSeconds, now)) return "";
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%s %s %2u %02u:%02u:%02u %u\n", DAYS[now.wDayOfWeek % 7],
                  MONTHS[(now.wMonth + 11) % 12], now.wDay, now.wHour, now.wMinute, now.wSecond, now.wYear);
    return szText;
}

unsigned CurrentThreadId() { return GetCurrentThreadId(); }
