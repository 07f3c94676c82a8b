#include "platform/file_time.h"

#include <sys/stat.h>
#include <time.h>

#include <cerrno>

#include "base/win_errors.h"

namespace {

constexpr uint64_t EPOCH_DIFFERENCE_SECONDS = 11644473600ull;  // 1601-01-01 to 1970-01-01
constexpr uint64_t TICKS_PER_SECOND = 10000000ull;

FILETIME64 FromTimespec(const timespec& time) {
    return (static_cast<uint64_t>(time.tv_sec) + EPOCH_DIFFERENCE_SECONDS) * TICKS_PER_SECOND +
           static_cast<uint64_t>(time.tv_nsec) / 100;
}

}  // namespace

DWORD GetFileLastWriteTime(const std::string& sPath, FILETIME64& fileTime) {
    struct stat st{};
    if (stat(sPath.c_str(), &st) != 0) {
        fileTime = 0;
        return errno == ENOENT ? ERROR_FILE_NOT_FOUND : errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
    }
    fileTime = FromTimespec(st.st_mtim);
    return ERROR_SUCCESS;
}

FILETIME64 FileTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return FromTimespec(now);
}

CFileTimeParts SplitFileTime(FILETIME64 fileTime) {
    const time_t seconds = static_cast<time_t>(fileTime / TICKS_PER_SECOND - EPOCH_DIFFERENCE_SECONDS);
    tm parts{};
    gmtime_r(&seconds, &parts);
    return CFileTimeParts{static_cast<unsigned>(parts.tm_mday),        static_cast<unsigned>(parts.tm_mon + 1),
                          static_cast<unsigned>(parts.tm_year + 1900), static_cast<unsigned>(parts.tm_hour),
                          static_cast<unsigned>(parts.tm_min),         static_cast<unsigned>(parts.tm_sec),
                          static_cast<unsigned>(fileTime % TICKS_PER_SECOND / 10000)};
}
