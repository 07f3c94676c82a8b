// The holiday files of the product's holiday folder and the work they mean
// for users: the folder is checked at start and then watched; when a user
// signs in, the current import and delete files that the user's calendar
// does not have yet are handed to the holiday component.
#ifndef KX_HOLIDAYS_HOLIDAY_HANDLING_H
#define KX_HOLIDAYS_HOLIDAY_HANDLING_H

#include <string>

#include "base/singleton.h"
#include "base/sync.h"
#include "holidays/folder_monitor.h"
#include "holidays/holiday_attempts.h"
#include "holidays/holiday_files.h"
#include "platform/file_time.h"

// The user and request a pending holiday import or deletion runs for.
struct CHolidayUser {
    std::string sUser;
    std::string sEwsUrl;
    std::string sCookie;
    std::string sSessionId;
    std::string sTimeZone;
    std::string sMailbox;
};

class CHolidayHandling : public CSingleton<CHolidayHandling> {
public:
    // Reads the current files of Holiday/Import and Holiday/Delete below
    // the product folder (with its trailing "/").
    void CheckHolidayFiles(const std::string& sProductFolder);
    // Takes up files that arrived while nothing watched (before the monitor
    // started, or while it was ended): a side whose latest file has another
    // hash than the current one gets it.
    void RescanHolidayFiles();
    // Starts the folder monitor when it is not watching; its result.
    DWORD StartFolderMonitoring();
    bool IsMonitorWatching() const { return m_monitor.State() == CFolderMonitor::STATE_WATCHING; }
    void MarkMonitorEnded();
    // Stops the folder monitor (the worker stops).
    void StopFolderMonitoring() { m_monitor.Stop(); }

    // Has the holiday component load the current import file when it does not hold it.
    HRESULT LoadImportHoliday();
    // Starts the removal and the import the user's calendar still needs.
    void ProcessUserHolidays(const CHolidayUser& user);

    CHolidayFiles& Files() { return m_files; }

protected:
    friend class CSingleton<CHolidayHandling>;
    CHolidayHandling() = default;

private:
    HRESULT Trigger(const CHolidayUser& user, bool bImport, const CCurrentHolidayFile& file, const std::string& sSections);
    // A copy of the folder: a second start sets it while the monitor's
    // thread reads it.
    std::string HolidayFolder();

    std::string m_sHolidayFolder;  // under m_monitorLock
    CCritSec m_monitorLock;
    CHolidayFiles m_files;
    CHolidayAttempts m_attempts;
    // Last, so it is destroyed first: its thread ends before the members
    // its handler uses go.
    CFolderMonitor m_monitor;
};

#endif  // KX_HOLIDAYS_HOLIDAY_HANDLING_H
