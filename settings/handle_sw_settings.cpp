#include "settings/handle_sw_settings.h"

#include "base/win_errors.h"
#include "diagnostics/trace.h"

namespace {
constexpr int SETTING_REFRESH_ENABLED = 74;
}

std::string CHandleSWSettings::LinkCriteriaPath(const std::string& sSettingsFolder) {
    // Searching back from the eleventh character from the end skips "/Settings/"
    // and stops at the slash before the product folder's name.
    const size_t nCut = sSettingsFolder.size() >= 11 ? sSettingsFolder.rfind('/', sSettingsFolder.size() - 11)
                                                     : std::string::npos;
    if (nCut == std::string::npos) return sSettingsFolder + LINK_CRITERIA_FILE;
    return sSettingsFolder.substr(0, nCut + 1) + "Common Files/Settings/" + LINK_CRITERIA_FILE;
}

void CHandleSWSettings::ReadRefreshSwitch() {
    int32_t nEnabled = 1;
    GetSettingFromID(SETTING_REFRESH_ENABLED, nEnabled, -1);
    if (m_bRefreshEnabled.load()) m_bRefreshEnabled.store(nEnabled != 0);
}

HRESULT CHandleSWSettings::LoadSettings(const std::string& sSettingsFolder) {
    if (sSettingsFolder.empty()) {
        Trace("HandleSWSettings::LoadSettings got a NULL path to service worker settings");
        return E_FAIL;
    }
    const std::string sSwPath = sSettingsFolder + SW_SETTINGS_FILE;
    HRESULT hr = m_linkCriteria.LoadLinkCriteria(LinkCriteriaPath(sSettingsFolder));
    const bool bLinkFailed = hr != 0;
    if (!bLinkFailed) hr = m_swSettings.LoadSettings(sSwPath);
    if (hr != 0) {
        Trace("HandleSWSettings::LoadSettings failed to load SW settings %s 0x%x", sSwPath.c_str(), static_cast<unsigned>(hr));
        m_sLastFailure = bLinkFailed ? m_linkCriteria.LastFailure() : m_swSettings.LastFailure();
        return hr;
    }
    ReadRefreshSwitch();
    m_linkCriteria.SetRefreshMinutes(m_swSettings.RefreshMinutes());
    return 0;
}

HRESULT CHandleSWSettings::Refresh(bool& bChanged) {
    bChanged = false;
    // Between checks a request takes no lock.
    if (!m_bRefreshEnabled.load() || !m_swSettings.IsCheckDue()) return 0;
    if (!m_reloadLock.TryLock()) {
        // Another thread checks or reloads; nothing is stored here, so the
        // next request checks again.
        if (m_swSettings.PeekRefreshNeeded())
            Trace("Refresh was necessary but Critical Section was locked decided to skip the Refresh");
        return 0;
    }
    bool bSwReload = false, bLinkReload = false;
    FILETIME64 swDate = 0, linkDate = 0;
    HRESULT hr = m_swSettings.IsRefreshNeeded(bSwReload, swDate);
    if (hr != 0) Trace("Check for SW  Refresh failed 0%x", static_cast<unsigned>(hr));
    if (bSwReload) {
        hr = m_linkCriteria.IsRefreshNeeded(bLinkReload, linkDate);
        if (hr != 0) Trace("Check for LinkSettings Refresh failed 0%x", static_cast<unsigned>(hr));
        m_swSettings.CommitCheck(swDate);
        hr = m_swSettings.Reload();
        if (hr == 0) ReadRefreshSwitch();
        if (hr == 0 && bLinkReload) {
            m_linkCriteria.CommitCheck(linkDate);
            hr = m_linkCriteria.Reload();
        }
    }
    m_reloadLock.Unlock();
    bChanged = bSwReload || bLinkReload;
    return hr;
}
