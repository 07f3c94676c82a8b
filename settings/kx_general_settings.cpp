#include "settings/kx_general_settings.h"

#include "diagnostics/trace.h"
#include "platform/error_text.h"
#include "platform/module_path.h"

namespace {
constexpr size_t MAX_PATH_CHARS = 260;
}

BOOL CKXGeneralSettings::Init(const char* pszProductName, const char* pszModuleName,
                              const char* pszResourceModuleName, const char* pszRegistryKey, int nLevelsUp) {
    CCritSecLock guard(m_initLock);
    if (m_initialized) return TRUE;
    m_productName = pszProductName != nullptr ? pszProductName : "";
    m_eventLog.Register(m_productName.c_str());
    m_registryKey = pszRegistryKey != nullptr ? pszRegistryKey : "";
    std::string sErrorText;
    const bool bLoaded = LoadSettings(pszModuleName, pszResourceModuleName, sErrorText, nLevelsUp);
    if (bLoaded) {
        m_moduleName = pszModuleName;
        InitLog(m_moduleName, -1);
    }
    m_initialized = bLoaded;
    Trace("General Settings %s initialization %s", bLoaded ? "successful" : "failed", sErrorText.c_str());
    if (bLoaded) {
        m_eventLog.Report(EVENTLOG_INFORMATION_TYPE, 0, m_eventLog.SuccessId(), 0, nullptr, nullptr);
    } else {
        if (!sErrorText.empty()) {
            const char* strings[] = {sErrorText.c_str(), nullptr};
            m_eventLog.Report(EVENTLOG_ERROR_TYPE, 0, m_eventLog.ErrorId(), 0, nullptr, strings);
        }
        m_eventLog.Report(EVENTLOG_ERROR_TYPE, 0, m_eventLog.FailureId(), 0, nullptr, nullptr);
    }
    Trace("[CKXGeneralSettings::Init] returned bRet <%s>", bLoaded ? "TRUE" : "FALSE");
    return bLoaded ? TRUE : FALSE;
}

bool CKXGeneralSettings::LoadSettings(const char* pszModuleName, const char* pszResourceModuleName,
                                      std::string& sErrorText, int nLevelsUp) {
    if (pszModuleName == nullptr) {
        Trace("LoadSettings has NULL ModuleName");
        return false;
    }
    const std::string sModuleFile = GetOwnModuleFileName();
    if (sModuleFile.empty()) Trace("GetModulePath didn't find the module %s", pszModuleName);
    const std::string sProductFolder = ModuleFolder(sModuleFile, nLevelsUp);
    if (sProductFolder.empty()) {
        sErrorText = std::string("Can not get module path ") + pszModuleName;
        Trace("Can not get ModulePath %s", pszModuleName);
        return false;
    }
    m_folders = DeriveProductFolders(sProductFolder, pszResourceModuleName != nullptr ? pszResourceModuleName : "");
    const std::string sModuleFolder = ModuleFolder(sModuleFile, 0);
    m_libraryFolderName = DeriveProductFolders(sModuleFolder, "").m_productFolderName;
    const std::string& sSettingsFolder = m_folders.m_settingsFolder;
    if (sSettingsFolder.size() > MAX_PATH_CHARS) {
        sErrorText = "Path length exceeded MAX_PATH ";
        Trace(" LoadSettings incorrect path %s", sSettingsFolder.c_str());
        return false;
    }
    const HRESULT hr = m_settings.LoadSettings(sSettingsFolder);
    if (hr != 0) {
        Trace("Failed to load settings from  %s HR 0x%x", sSettingsFolder.c_str(), static_cast<unsigned>(hr));
        const std::string sSystemText = SystemErrorText(static_cast<DWORD>(hr) & 0xFFFF);
        sErrorText = "Loading Settings failed " + sSettingsFolder + " " + sSystemText;
        m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, "ERROR: %s. %s", sSystemText.c_str(), sErrorText.c_str());
        return false;
    }
    return true;
}

BOOL CKXGeneralSettings::Shutdown() {
    CCritSecLock guard(m_initLock);
    m_initialized = false;
    return m_eventLog.Close() == 0 ? TRUE : FALSE;
}

BOOL CKXGeneralSettings::RefreshSettings(bool& bChanged) {
    m_settings.Refresh(bChanged);
    if (bChanged) InitLog(m_moduleName, -1);
    return TRUE;
}

bool CKXGeneralSettings::GetSettingFromID(int nId, int& nValue, int nCriteria) {
    int32_t nFound = 0;
    if (!m_settings.GetSettingFromID(nId, nFound, nCriteria)) {
        Trace("GetSettingFromID string failed ID %d, Criteria %d", nId, nCriteria);
        return false;
    }
    nValue = nFound;
    return true;
}

bool CKXGeneralSettings::GetSettingFromID(int nId, std::string& sValue, int nCriteria) {
    if (m_settings.GetSettingFromID(nId, sValue, nCriteria)) return true;
    Trace("GetSettingFromID string failed ID %d, Criteria %d", nId, nCriteria);
    return false;
}
