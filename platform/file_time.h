// File times as Windows FILETIMEs in one 64-bit count: 100-ns intervals
// since 1601-01-01 UTC (Windows' own FILETIME is a pair of halves).
#ifndef KX_PLATFORM_FILE_TIME_H
#define KX_PLATFORM_FILE_TIME_H

#include <cstdint>
#include <string>

#include "kx/win_types.h"

typedef uint64_t FILETIME64;

// The last-write time of a file; 0 and the Win32 error on failure.
DWORD GetFileLastWriteTime(const std::string& sPath, FILETIME64& fileTime);
FILETIME64 FileTimeNow();

struct CFileTimeParts {
    unsigned nDay, nMonth, nYear, nHour, nMinute, nSecond, nMillisecond;
};
CFileTimeParts SplitFileTime(FILETIME64 fileTime);  // UTC

#endif  // KX_PLATFORM_FILE_TIME_H
