// The current import and delete files: their identity ("hash": the file's
// name and last-write time), path, whether the holiday component holds
// them and how often loading was tried. Written by the folder monitor's
// thread, read by request threads.
#ifndef KX_HOLIDAYS_HOLIDAY_FILES_H
#define KX_HOLIDAYS_HOLIDAY_FILES_H

#include <mutex>
#include <string>

#include "kx/win_types.h"

struct CCurrentHolidayFile {
    std::string sHash;
    std::string sPath;
    bool bLoaded = false;
    int nAttempts = 0;
};

// "<name>_<day>.<month>.<year> <hour>:<minute>:<second>:<millisecond> UTC"
// of the file's last write; 0 or the error of reading the time.
DWORD HolidayFileHash(const std::string& sPath, std::string& sHash);

class CHolidayFiles {
public:
    CCurrentHolidayFile Get(bool bImport) const;
    void Clear();
    // The file becomes the current one of its side: a new hash clears the
    // loaded flag, and the attempts start again; 0 or the error.
    DWORD Update(const std::string& sPath, bool bImport);
    void SetLoaded(bool bImport, bool bLoaded);
    // Counts one load attempt; the attempts so far.
    int CountAttempt(bool bImport);

private:
    CCurrentHolidayFile& Side(bool bImport) { return bImport ? m_import : m_delete; }

    mutable std::mutex m_lock;
    CCurrentHolidayFile m_import;
    CCurrentHolidayFile m_delete;
};

#endif  // KX_HOLIDAYS_HOLIDAY_FILES_H
