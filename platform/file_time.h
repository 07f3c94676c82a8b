// File times as Windows FILETIMEs: 100-ns intervals since 1601-01-01 UTC.
#ifndef KX_PLATFORM_FILE_TIME_H
#define KX_PLATFORM_FILE_TIME_H

#include <cstdint>
#include <string>

#include "kx/win_types.h"

typedef uint64_t FILETIME;

// The last-write time of a file; 0 and the Win32 error on failure.
DWORD GetFileLastWriteTime(const std::string& sPath, FILETIME& fileTime);
FILETIME FileTimeNow();

struct CFileTimeParts {
    unsigned nDay, nMonth, nYear, nHour, nMinute, nSecond, nMillisecond;
};
CFileTimeParts SplitFileTime(FILETIME fileTime);  // UTC

#endif  // KX_PLATFORM_FILE_TIME_H
