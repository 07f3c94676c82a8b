// The process-wide settings object of the product.
#ifndef KX_SETTINGS_KX_GENERAL_SETTINGS_H
#define KX_SETTINGS_KX_GENERAL_SETTINGS_H

#include <string>

#include "diagnostics/event_log.h"
#include "diagnostics/trace_log.h"
#include "kx/host_abi.h"
#include "settings/handle_sw_settings.h"
#include "settings/product_folders.h"
#include "settings/resource.h"
#include "settings/singleton.h"

class CKXGeneralSettings final : public CSingleton<CKXGeneralSettings>, public ITraceSettings {
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
    const CResource& Resource() const { return m_resource; }

    // The Exchange version code from the registry (4 for 2007, 8 for 2010,
    // 0 otherwise) and the product minor version (-1 when unknown).
    DWORD GetExchangeVersion(int& nMinor);
    // Whether SSL is offloaded (registry); 0 or 13 for a value of another type.
    DWORD GetRegistryInfo();
    // The computer's fully qualified and host names; false when the host name is unknown.
    bool GetComputerName();
    void LogFileVersion();

    DWORD ExchangeVersion() const { return m_exchangeVersion; }
    int ExchangeMinor() const { return m_exchangeMinor; }
    bool IsSslOffloaded() const { return m_sslOffloaded; }
    const std::string& ServerName() const { return m_serverName; }
    const std::string& FullyQualifiedName() const { return m_fullyQualifiedName; }

    bool IsInitialized() const { return m_initialized; }
    const CProductFolders& Folders() const { return m_folders; }

    // Settings by id and criteria; false (value untouched) when missing.
    bool GetSettingFromID(int nId, int& nValue, int nCriteria) override;
    bool GetSettingFromID(int nId, std::string& sValue, int nCriteria) override;
    std::string CommonFilesFolder() const override { return m_folders.m_commonFilesFolder; }
    std::string LibraryFolderName() const override { return m_libraryFolderName; }

private:
    friend class CSingleton<CKXGeneralSettings>;
    CKXGeneralSettings() = default;

    bool LoadSettings(const char* pszModuleName, const char* pszResourceModuleName, std::string& sErrorText,
                      int nLevelsUp);
    // Starts (or restarts) the trace log from the settings.
    void InitLog(const std::string& sModuleName, int nCriteria) { InitTrace(*this, sModuleName.c_str(), nCriteria); }

    CCritSec m_initLock;
    bool m_initialized = false;
    DWORD m_dwProductNumber = 0;
    CEventLog m_eventLog;
    std::string m_productName;
    std::string m_moduleName;
    std::string m_registryKey;
    CProductFolders m_folders;
    std::string m_libraryFolderName;
    DWORD m_exchangeVersion = 0;
    int m_exchangeMinor = -1;
    bool m_sslOffloaded = false;
    // Build major, build minor, product minor, product major, newest build.
    DWORD m_registryValues[5] = {};
    std::string m_serverName;
    std::string m_fullyQualifiedName;
    CHandleSWSettings m_settings;
    CResource m_resource;
};

#endif  // KX_SETTINGS_KX_GENERAL_SETTINGS_H
