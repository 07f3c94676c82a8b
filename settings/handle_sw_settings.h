// Both settings files together: loading at start-up, the refresh on
// request threads and the look-ups by setting id and criteria.
#ifndef KX_SETTINGS_HANDLE_SW_SETTINGS_H
#define KX_SETTINGS_HANDLE_SW_SETTINGS_H

#include <atomic>
#include <mutex>
#include <string>

#include "base/sync.h"
#include "settings/link_criteria.h"
#include "settings/sw_settings.h"

class CHandleSWSettings {
public:
    static constexpr const char* SW_SETTINGS_FILE = "SWSettings.xml";
    static constexpr const char* LINK_CRITERIA_FILE = "LinkCriteriaSettings.xml";

    CHandleSWSettings() { m_reloadLock.Init(); }
    virtual ~CHandleSWSettings() { m_reloadLock.Delete(); }

    // Loads LinkCriteriaSettings.xml from the "Common Files/Settings/" folder
    // beside the product folder, then SWSettings.xml from sSettingsFolder.
    HRESULT LoadSettings(const std::string& sSettingsFolder);
    // Reloads what changed (at most once per refresh interval per file). A
    // look-up never waits for a reload: it reads the tables it finds.
    HRESULT Refresh(bool& bChanged);

    bool GetSettingFromID(int32_t nId, int32_t& nValue, int32_t nCriteria) const {
        return m_swSettings.GetSettingFromID(nId, nValue, nCriteria);
    }
    bool GetSettingFromID(int32_t nId, std::string& sValue, int32_t nCriteria) const {
        return m_swSettings.GetSettingFromID(nId, sValue, nCriteria);
    }

    // The link-criteria path for a settings folder ending in "/".
    static std::string LinkCriteriaPath(const std::string& sSettingsFolder);

    bool IsRefreshEnabled() const { return m_bRefreshEnabled.load(); }
    // Why the last LoadSettings failed, naming the file; for operators.
    const std::string& LastFailure() const { return m_sLastFailure; }
    CSWSettings& SWSettings() { return m_swSettings; }
    CLinkCriteria& LinkCriteria() { return m_linkCriteria; }
    CSync& ReloadLock() { return m_reloadLock; }

    std::string m_registryKey;
    void SetEwsUrl(const std::string& sUrl) {
        std::lock_guard<std::mutex> guard(m_ewsUrlMutex);
        m_ewsUrl = sUrl;
    }
    std::string EwsUrl() const {
        std::lock_guard<std::mutex> guard(m_ewsUrlMutex);
        return m_ewsUrl;
    }

private:
    void ReadRefreshSwitch();

    CLinkCriteria m_linkCriteria;
    CSWSettings m_swSettings;
    // Held while a refresh reloads; taken with TryLock, so a busy reload is skipped.
    CCritSec m_reloadLock;
    std::atomic<bool> m_bRefreshEnabled{true};
    mutable std::mutex m_ewsUrlMutex;
    std::string m_ewsUrl;  // the Exchange Web Services address of setting 38
    std::string m_sLastFailure;
};

#endif  // KX_SETTINGS_HANDLE_SW_SETTINGS_H
