// The logging library as the trace log uses it: loaded once per process,
// asked for the lock that guards a log.
#ifndef KX_DIAGNOSTICS_LOG_MODULE_CLIENT_H
#define KX_DIAGNOSTICS_LOG_MODULE_CLIENT_H

#include <string>

#include "kx/log_module.h"

class CLogModule {
public:
    // Loads sCommonFilesFolder + "bin/LogModule.so" (".dll" on Windows), else
    // the library of that name from the search path. Later calls keep the
    // library already loaded.
    void Load(const std::string& sCommonFilesFolder);
    bool IsLoaded() const { return m_pHandle != nullptr; }

    // Null when the library or its export is missing, or it has no lock.
    ILogLock* ProductLock(const std::string& sName) const;
    ILogLock* GeneralLock() const;

private:
    void* m_pHandle = nullptr;  // kept for the life of the process
};

#endif  // KX_DIAGNOSTICS_LOG_MODULE_CLIENT_H
