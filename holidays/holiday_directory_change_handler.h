// The holiday folder's changes: a ".hol" file added, saved or renamed under
// Import/ or Delete/ becomes that side's current file; one removed is
// dropped by the holiday component.
#ifndef KX_HOLIDAYS_HOLIDAY_DIRECTORY_CHANGE_HANDLER_H
#define KX_HOLIDAYS_HOLIDAY_DIRECTORY_CHANGE_HANDLER_H

#include "holidays/directory_change_handler.h"

class CHolidayHandling;

class CHolidayDirectoryChangeHandler : public CDirectoryChangeHandler {
public:
    explicit CHolidayDirectoryChangeHandler(CHolidayHandling& handling) : m_handling(handling) {}

    void On_FileAdded(const std::string& sPath) override;
    void On_FileRemoved(const std::string& sPath) override;
    void On_FileNameChanged(const std::string& sOldPath, const std::string& sNewPath) override;
    void On_FileModified(const std::string& sPath) override { On_FileAdded(sPath); }
    void On_ReadDirectoryChangesError(DWORD dwError, const std::string& sDirectory) override;
    void On_WatchStarted(DWORD dwError, const std::string& sDirectory) override;
    void On_WatchStopped(DWORD dwError, const std::string& sDirectory) override;

private:
    CHolidayHandling& m_handling;
};

#endif  // KX_HOLIDAYS_HOLIDAY_DIRECTORY_CHANGE_HANDLER_H
