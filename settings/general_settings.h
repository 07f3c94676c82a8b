// The generic base of the settings object: folders, settings files, the
// resource module, the event log and facts about the server.
#ifndef KX_SETTINGS_GENERAL_SETTINGS_H
#define KX_SETTINGS_GENERAL_SETTINGS_H

#include <string>
#include <utility>
#include <vector>

#include "base/sync.h"
#include "diagnostics/trace_log.h"
#include "kx/win_types.h"
#include "platform/local_machine.h"
#include "settings/product_folders.h"

template <class TSettings, class TResource, class TEventLog>
class CGeneralSettings : public ITraceSettings {
public:
    // Virtual operations in the order of the design's slots.
    virtual ~CGeneralSettings() = default;
    // Starts the settings from the worker module's own folder; non-zero on
    // success. Runs once: later calls succeed while it stays initialised.
    virtual BOOL Init(const char* pszProductName, const char* pszModuleName, const char* pszResourceModuleName,
                      const char* pszRegistryKey, int nLevelsUp);
    // Clears the initialised state, unloads the resource module, closes the
    // event log; the object lives until the process ends.
    virtual BOOL Shutdown();
    // Starts (or restarts) the trace log from the settings.
    virtual void InitLog(const std::string& sModuleName, int nCriteria) = 0;
    // The browser language tags and the language codes they map to.
    virtual void InitLanguageMap();
    virtual bool LoadSettings(const char* pszModuleName, const char* pszResourceModuleName, std::string& sErrorText,
                              int nLevelsUp);
    virtual void InitUserConfigIds() = 0;
    virtual bool InitEWSUrl() = 0;
    virtual bool InitTroubleEndRequestUrls() = 0;
    virtual bool InitHandlerVirDir() = 0;

    // Re-reads the settings files when they changed; bChanged says whether they did.
    bool RefreshSettings(bool& bChanged);

    // The Exchange version code from the registry (4 for 2007, 8 for 2010,
    // 0 otherwise) and the product minor version (-1 when unknown).
    DWORD GetExchangeVersion(int& nMinor);
    // Whether SSL is offloaded (registry); 0, or 13 for a value of another type.
    DWORD GetRegistryInfo();
    // The computer's fully qualified and host names; false when the host name is unknown.
    bool GetComputerName();
    void LogFileVersion();

    void SetEventIds(DWORD dwSuccess, DWORD dwFailure, DWORD dwError) {
        m_eventLog.SetMessageIds(dwSuccess, dwFailure, dwError);
    }
    TEventLog& EventLog() { return m_eventLog; }
    const TResource& Resource() const { return m_resource; }
    DWORD ExchangeVersion() const { return m_exchangeVersion; }
    int ExchangeMinor() const { return m_exchangeMinor; }
    bool IsSslOffloaded() const { return m_sslOffloaded; }
    const std::string& ServerName() const { return m_serverName; }
    const std::string& FullyQualifiedName() const { return m_fullyQualifiedName; }
    bool IsInitialized() const { return m_initialized; }
    const CProductFolders& Folders() const { return m_folders; }
    const std::vector<std::pair<std::string, std::string>>& LanguageMap() const { return m_languageMap; }

    // Settings by id and criteria; false (value untouched) when missing.
    bool GetSettingFromID(int nId, int& nValue, int nCriteria) override;
    bool GetSettingFromID(int nId, std::string& sValue, int nCriteria) override;
    std::string CommonFilesFolder() const override { return m_folders.m_commonFilesFolder; }
    std::string LibraryFolderName() const override { return m_libraryFolderName; }

protected:
    CGeneralSettings() = default;
    // Runs after a refresh that changed the settings, once the base's own
    // steps are done.
    virtual void SettingsChanged() {}
    // The registry stand-in as it is now; a file that cannot be read is
    // reported (once) as an event and gives no keys.
    CLocalMachine LoadRegistry();

    TResource m_resource;
    TEventLog m_eventLog;
    TSettings m_settings;
    CProductFolders m_folders;
    std::string m_libraryFolderName;
    bool m_initialized = false;
    DWORD m_exchangeVersion = 0;
    int m_exchangeMinor = -1;
    bool m_sslOffloaded = false;
    // Build major, build minor, product minor, product major, newest build.
    DWORD m_registryValues[5] = {};
    bool m_bRegistryFailureReported = false;
    std::vector<std::pair<std::string, std::string>> m_languageMap;
    std::string m_moduleName;
    std::string m_serverName;
    std::string m_fullyQualifiedName;
    CCritSec m_initLock;
};

#endif  // KX_SETTINGS_GENERAL_SETTINGS_H
