#include "settings/sw_general_settings.h"

#include "diagnostics/trace.h"
#include "platform/impersonation.h"

namespace {
constexpr int SETTING_EWS_URL = 38;
}

BOOL CSWGeneralSettings::Init(const char* pszProductName, const char* pszModuleName,
                              const char* pszResourceModuleName, const char* pszRegistryKey, int nLevelsUp) {
    InitUserConfigIds();
    const CRevertToSelf processIdentity;
    const BOOL bResult =
        CGeneralSettings::Init(pszProductName, pszModuleName, pszResourceModuleName, pszRegistryKey, nLevelsUp);
    if (bResult) InitEWSUrl();
    return bResult;
}

bool CSWGeneralSettings::InitEWSUrl() {
    std::string sUrl;
    if (!m_settings.GetSettingFromID(SETTING_EWS_URL, sUrl, 0) || sUrl.empty()) {
        m_settings.SetEwsUrl({});  // a removed setting stops being used
        return true;
    }
    m_settings.SetEwsUrl(sUrl);
    Trace("[CSWGeneralSettings::InitEWSUrl] EWS URL is %s", sUrl.c_str());
    return true;
}

std::string CSWGeneralSettings::EwsUrl() const { return m_settings.EwsUrl(); }
