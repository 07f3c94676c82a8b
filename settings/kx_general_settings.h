// The product layer of the settings object, and the process-wide instance:
// feature switches, the product's virtual folder, the URLs that end a
// session, the holiday sections, the OWA configuration read from the
// directory, the OWA user options and the product's caches.
#ifndef KX_SETTINGS_KX_GENERAL_SETTINGS_H
#define KX_SETTINGS_KX_GENERAL_SETTINGS_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/singleton.h"
#include "base/snapshot.h"
#include "base/sync.h"
#include "directory/owa_ad_config.h"
#include "settings/sw_general_settings.h"

// The OWA user options the worker reads.
constexpr const char* OWA_OPTION_TIME_ZONE = "timezone";
constexpr const char* OWA_OPTION_REMINDERS = "enablereminders";

class CKXGeneralSettings : public CSWGeneralSettings, public CSingleton<CKXGeneralSettings> {
public:
    // The product's start-up: the computer name and the directory read
    // first, then the service-worker and base layers, then the product's
    // own steps and the holiday sections.
    BOOL Init(const char* pszProductName, const char* pszModuleName, const char* pszResourceModuleName,
              const char* pszRegistryKey, int nLevelsUp) override;
    // The five user properties the product keeps in Exchange.
    void InitUserConfigIds() override;
    // Setting 100 with a "/" at its end; false when it is empty (a refresh
    // then keeps the folder it had).
    bool InitHandlerVirDir() override;
    // Setting 6 split at ";", or "logoff.aspx?cmd=logoff"; made again when
    // the settings change.
    bool InitTroubleEndRequestUrls() override;

    // Setting nId (criteria 0), or nDefault when it is missing.
    int GetFeatureSettingOn(int nId, int nDefault);
    std::string GetHandlerVirDir() const { return *m_virDir.Get(); }
    std::shared_ptr<const std::vector<std::string>> GetTroubleEndRequestUrls() const {
        return m_troubleEndRequestUrls.Get();
    }
    // A copy of the holiday sections; empty when there are none.
    HRESULT GetHolidaySections(std::vector<std::u16string>& sections);

    // The parameter of an OWA user configuration, from the cache or Exchange
    // (read as the user, in the other mailbox when one is given); 0x80070490
    // when the configuration has no such parameter, which is remembered.
    HRESULT GetOwaUserConfig(const std::string& sUser, const std::string& sCookie, const std::string& sEwsUrl,
                             const std::string& sConfigName, long nParentFolder, const std::string& sParameterName,
                             const std::string& sMailbox, std::string& sValue);
    // The same for "OWA.UserOptions" in the mailbox root.
    HRESULT GetOwaUserOption(const std::string& sUser, const std::string& sCookie, const std::string& sEwsUrl,
                             const std::string& sParameterName, const std::string& sMailbox, std::string& sValue);
    HRESULT AddUserConfigToCache(const std::string& sUser, const std::string& sCookie,
                                 const std::string& sPropertyName, const std::string& sValue);

    // The script text that precedes each localized script string, by resource id.
    const std::map<uint32_t, std::string>& ScriptStrings() const { return m_scriptStrings; }
    const COWAADConfig& OwaConfiguration() const { return m_owaConfiguration; }
    // The file types of the OWA configuration, without their dots, each followed by ";".
    const std::string& BlockedFileTypes() const { return m_sBlockedFileTypes; }
    const std::string& AllowedFileTypes() const { return m_sAllowedFileTypes; }
    const std::string& ErrorLogPath() const { return m_sErrorLogPath; }
    CQVCache& ProductCache() { return m_productCache; }

    void SetProductNumber(DWORD dwProduct) { m_dwProductNumber = dwProduct; }
    DWORD ProductNumber() const { return m_dwProductNumber; }

protected:
    friend class CSingleton<CKXGeneralSettings>;
    // The process's instance is GetInstance()'s; tests make their own.
    CKXGeneralSettings() = default;

    void SettingsChanged() override {
        InitTroubleEndRequestUrls();
        ProcessHolidaySections();
    }
    // Reads this server's OWA configuration once per process.
    bool ReadOWAAD();
    void ProcessHolidaySections();

private:

    DWORD m_dwProductNumber = 0;
    std::string m_sErrorLogPath;
    COWAADConfig m_owaConfiguration;
    std::string m_sBlockedFileTypes;
    std::string m_sAllowedFileTypes;
    CSnapshot<std::vector<std::string>> m_troubleEndRequestUrls;
    CSnapshot<std::string> m_virDir;
    CQVCache m_productCache{m_eventLog};
    CQVCache m_owaUserConfigCache{m_eventLog};
    std::map<uint32_t, std::string> m_scriptStrings;
    CCritSec m_holidayLock;
    std::optional<std::vector<std::u16string>> m_holidaySections;
};

#endif  // KX_SETTINGS_KX_GENERAL_SETTINGS_H
