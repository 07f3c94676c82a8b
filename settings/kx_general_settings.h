// The process-wide settings object of the product.
#ifndef KX_SETTINGS_KX_GENERAL_SETTINGS_H
#define KX_SETTINGS_KX_GENERAL_SETTINGS_H

#include <string>

#include "diagnostics/event_log.h"
#include "kx/host_abi.h"
#include "settings/product_folders.h"
#include "settings/singleton.h"

class CKXGeneralSettings : public CSingleton<CKXGeneralSettings> {
public:
    // Starts the settings from the worker module's own folder; non-zero on
    // success. Runs once: later calls succeed while it stays initialised.
    BOOL Init(const char* pszProductName, const char* pszModuleName, const char* pszResourceModuleName,
              const char* pszRegistryKey, int nLevelsUp);
    // Clears the initialised state; the object lives until the process ends.
    BOOL Shutdown();
    // Re-reads what changed since the last look; bChanged tells whether anything did.
    BOOL RefreshSettings(bool& bChanged);

    void SetProductNumber(DWORD dwProduct) { m_dwProductNumber = dwProduct; }
    DWORD ProductNumber() const { return m_dwProductNumber; }
    void SetEventIds(DWORD dwSuccess, DWORD dwFailure, DWORD dwError) {
        m_eventLog.SetMessageIds(dwSuccess, dwFailure, dwError);
    }
    CEventLog& EventLog() { return m_eventLog; }

    bool IsInitialized() const { return m_initialized; }
    const CProductFolders& Folders() const { return m_folders; }

private:
    friend class CSingleton<CKXGeneralSettings>;
    CKXGeneralSettings() = default;

    bool LoadSettings(const char* pszModuleName, const char* pszResourceModuleName, std::string& sErrorText,
                      int nLevelsUp);

    CCritSec m_initLock;
    bool m_initialized = false;
    DWORD m_dwProductNumber = 0;
    CEventLog m_eventLog;
    std::string m_productName;
    std::string m_moduleName;
    std::string m_registryKey;
    CProductFolders m_folders;
};

#endif  // KX_SETTINGS_KX_GENERAL_SETTINGS_H
