// What a folder monitor reports: one call per change, on the monitor's
// thread, in the order of the changes. Paths are the watched folder, "/"
// and the file's name relative to it.
#ifndef KX_HOLIDAYS_DIRECTORY_CHANGE_HANDLER_H
#define KX_HOLIDAYS_DIRECTORY_CHANGE_HANDLER_H

#include <string>

#include "kx/win_types.h"

class CDirectoryChangeHandler {
public:
    virtual ~CDirectoryChangeHandler() = default;
    virtual void On_FileAdded(const std::string& /*sPath*/) {}
    virtual void On_FileRemoved(const std::string& /*sPath*/) {}
    virtual void On_FileNameChanged(const std::string& /*sOldPath*/, const std::string& /*sNewPath*/) {}
    virtual void On_FileModified(const std::string& /*sPath*/) {}
    virtual void On_ReadDirectoryChangesError(DWORD /*dwError*/, const std::string& /*sDirectory*/) {}
    virtual void On_WatchStarted(DWORD /*dwError*/, const std::string& /*sDirectory*/) {}
    virtual void On_WatchStopped(DWORD /*dwError*/, const std::string& /*sDirectory*/) {}
};

#endif  // KX_HOLIDAYS_DIRECTORY_CHANGE_HANDLER_H
