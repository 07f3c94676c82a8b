#include "platform/file_time.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace {

FILETIME64 Joined(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

DWORD GetFileLastWriteTime(const std::string& sPath, FILETIME64& fileTime) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    fileTime = 0;
    if (!GetFileAttributesExW(Widen(sPath).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD dwError = GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_ACCESS_DENIED ? dwError : ERROR_PATH_NOT_FOUND;
    }
    fileTime = Joined(data.ftLastWriteTime);
    return ERROR_SUCCESS;
}

FILETIME64 FileTimeNow() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    return Joined(now);
}

CFileTimeParts SplitFileTime(FILETIME64 fileTime) {
    const FILETIME time{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    SYSTEMTIME parts{};
    FileTimeToSystemTime(&time, &parts);
    return CFileTimeParts{parts.wDay,  parts.wMonth,  parts.wYear,        parts.wHour,
                          parts.wMinute, parts.wSecond, parts.wMilliseconds};
}
