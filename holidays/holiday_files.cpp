#include "holidays/holiday_files.h"

#include <cstdio>

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "platform/file_time.h"

DWORD HolidayFileHash(const std::string& sPath, std::string& sHash) {
    FILETIME64 fileTime = 0;
    if (const DWORD dwError = GetFileLastWriteTime(sPath, fileTime); dwError != ERROR_SUCCESS) return dwError;
    const CFileTimeParts time = SplitFileTime(fileTime);
    const size_t nSlash = sPath.find_last_of("/\\");
    char szTime[96];
    std::snprintf(szTime, sizeof(szTime), "%u.%u.%u %u:%u:%u:%u UTC", time.nDay, time.nMonth, time.nYear, time.nHour,
                  time.nMinute, time.nSecond, time.nMillisecond);
    sHash = (nSlash == std::string::npos ? sPath : sPath.substr(nSlash + 1)) + "_" + szTime;
    return ERROR_SUCCESS;
}

CCurrentHolidayFile CHolidayFiles::Get(bool bImport) const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return bImport ? m_import : m_delete;
}

void CHolidayFiles::Clear() {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_import.sHash.clear();
    m_delete.sHash.clear();
}

DWORD CHolidayFiles::Update(const std::string& sPath, bool bImport) {
    std::string sHash;
    const DWORD dwError = HolidayFileHash(sPath, sHash);
    const char* pszSide = bImport ? "Import" : "Delete";
    if (dwError != ERROR_SUCCESS) {
        Trace("GetHolidayFileHash %s Path %s %d", pszSide, sPath.c_str(), static_cast<int>(dwError));
        return dwError;
    }
    Trace("GetHolidayFileHash %s Path %s", pszSide, sPath.c_str());
    const std::lock_guard<std::mutex> guard(m_lock);
    CCurrentHolidayFile& file = Side(bImport);
    if (file.sHash != sHash) file.bLoaded = false;
    file.nAttempts = 0;
    file.sHash = sHash;
    file.sPath = sPath;
    return ERROR_SUCCESS;
}

void CHolidayFiles::SetLoaded(bool bImport, bool bLoaded) {
    const std::lock_guard<std::mutex> guard(m_lock);
    Side(bImport).bLoaded = bLoaded;
}

int CHolidayFiles::CountAttempt(bool bImport) {
    const std::lock_guard<std::mutex> guard(m_lock);
    return ++Side(bImport).nAttempts;
}
