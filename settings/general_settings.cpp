#include "settings/general_settings.h"

#include "base/win_errors.h"
#include "diagnostics/event_log.h"
#include "diagnostics/trace.h"
#include "platform/error_text.h"
#include "platform/file_time.h"
#include "platform/impersonation.h"
#include "platform/local_machine.h"
#include "platform/module_path.h"
#include "platform/system_info.h"
#include "settings/handle_sw_settings.h"
#include "settings/resource.h"

namespace {
constexpr size_t MAX_PATH_CHARS = 260;
}

template <class TSettings, class TResource, class TEventLog>
BOOL CGeneralSettings<TSettings, TResource, TEventLog>::Init(const char* pszProductName, const char* pszModuleName,
                                                             const char* pszResourceModuleName,
                                                             const char* pszRegistryKey, int nLevelsUp) {
    CCritSecLock guard(m_initLock);
    if (m_initialized) return TRUE;
    InitLanguageMap();
    m_eventLog.Register(pszProductName);
    m_settings.m_registryKey = pszRegistryKey != nullptr ? pszRegistryKey : "";
    std::string sErrorText;
    const bool bLoaded = LoadSettings(pszModuleName, pszResourceModuleName, sErrorText, nLevelsUp);
    if (bLoaded) {
        m_moduleName = pszModuleName;
        InitLog(m_moduleName, -1);
        GetExchangeVersion(m_exchangeMinor);
        LogFileVersion();
        GetRegistryInfo();
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
    return bLoaded ? TRUE : FALSE;
}

template <class TSettings, class TResource, class TEventLog>
void CGeneralSettings<TSettings, TResource, TEventLog>::InitLanguageMap() {
    m_languageMap = {{"en", "en"},       {"fr", "fr"},       {"de", "de"},       {"es", "es"},    {"pt-br", "pt-br"},
                     {"pt", "pt"},       {"da", "da"},       {"sv", "sv"},       {"hu", "hu"},    {"fi", "fi"},
                     {"he", "he"},       {"it", "it"},       {"ar", "ar"},       {"ja", "ja"},    {"no", "no"},
                     {"nb-no", "no"},    {"nn-no", "no"},    {"zh-cn", "chs"},   {"zh-mo", "cht"}, {"zh-sg", "chs"},
                     {"zh-tw", "cht"},   {"zh-hk", "chs"},   {"zh", "cht"},      {"tr", "tr"},    {"nl", "nl"},
                     {"el", "el"}};
}

template <class TSettings, class TResource, class TEventLog>
BOOL CGeneralSettings<TSettings, TResource, TEventLog>::Shutdown() {
    CCritSecLock guard(m_initLock);
    m_initialized = false;
    m_resource.UnloadModule();
    return m_eventLog.Close() == 0 ? TRUE : FALSE;
}

template <class TSettings, class TResource, class TEventLog>
bool CGeneralSettings<TSettings, TResource, TEventLog>::RefreshSettings(bool& bChanged) {
    {
        const CRevertToSelf processIdentity;
        m_settings.Refresh(bChanged);
        if (bChanged) InitLog(m_moduleName, -1);
    }
    if (!bChanged) return true;
    InitEWSUrl();
    const bool bVirDir = InitHandlerVirDir();
    SettingsChanged();
    return bVirDir;
}

template <class TSettings, class TResource, class TEventLog>
bool CGeneralSettings<TSettings, TResource, TEventLog>::LoadSettings(const char* pszModuleName, const char* pszResourceModuleName,
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
        if (const std::string sReason = m_settings.LastFailure(); !sReason.empty())
            sErrorText += (sSystemText.empty() ? "" : " ") + sReason;
        m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, "ERROR: %s. %s", sSystemText.c_str(), sErrorText.c_str());
        return false;
    }
    if (!m_resource.LoadModule(m_folders.m_resourceModulePath, &m_eventLog)) {
        sErrorText = "Load resource file failed " + m_folders.m_resourceModulePath;  // Init reports it
        return false;
    }
    return true;
}

template <class TSettings, class TResource, class TEventLog>
bool CGeneralSettings<TSettings, TResource, TEventLog>::GetSettingFromID(int nId, int& nValue, int nCriteria) {
    int32_t nFound = 0;
    if (!m_settings.GetSettingFromID(nId, nFound, nCriteria)) {
        Trace("GetSettingFromID string failed ID %d, Criteria %d", nId, nCriteria);
        return false;
    }
    nValue = nFound;
    return true;
}

template <class TSettings, class TResource, class TEventLog>
bool CGeneralSettings<TSettings, TResource, TEventLog>::GetSettingFromID(int nId, std::string& sValue, int nCriteria) {
    if (m_settings.GetSettingFromID(nId, sValue, nCriteria)) return true;
    Trace("GetSettingFromID string failed ID %d, Criteria %d", nId, nCriteria);
    return false;
}

template <class TSettings, class TResource, class TEventLog>
CLocalMachine CGeneralSettings<TSettings, TResource, TEventLog>::LoadRegistry() {
    CLocalMachine registry;
    std::string sError;
    if (!registry.Load(sError)) {
        const std::string sSource = CLocalMachine::Source();
        Trace("%s not read: %s", sSource.c_str(), sError.c_str());
        if (!m_bRegistryFailureReported)  // read twice at start: said once
            m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, "%s not read: %s", sSource.c_str(), sError.c_str());
        m_bRegistryFailureReported = true;
    }
    return registry;
}

template <class TSettings, class TResource, class TEventLog>
DWORD CGeneralSettings<TSettings, TResource, TEventLog>::GetExchangeVersion(int& nMinor) {
    static const char* const KEYS[] = {"Software\\Microsoft\\ExchangeServer\\v14\\Setup",
                                       "Software\\Microsoft\\Exchange\\Setup"};
    static const char* const NAMES[] = {"MsiBuildMajor", "MsiBuildMinor", "MsiProductMajor", "MsiProductMinor",
                                        "NewestBuild"};
    const CLocalMachine registry = LoadRegistry();
    const char* pszKey = nullptr;
    for (const char* pszCandidate : KEYS)
        if (pszKey == nullptr && registry.HasKey(pszCandidate)) pszKey = pszCandidate;
    nMinor = -1;
    m_exchangeVersion = 0;
    if (pszKey == nullptr) return 0;
    DWORD values[5] = {};  // in the order of NAMES
    size_t nRead = 0;
    for (; nRead < 5; ++nRead) {
        CRegistryValue value;
        if (!registry.FindValue(pszKey, NAMES[nRead], value) || value.dwType != REG_DWORD) break;
        values[nRead] = value.dwValue;
    }
    const DWORD dwBuildMajor = values[0], dwBuildMinor = values[1], dwProductMajor = values[2],
                dwProductMinor = values[3], dwNewestBuild = values[4];
    m_registryValues[0] = dwBuildMajor;
    m_registryValues[1] = dwBuildMinor;
    m_registryValues[2] = dwProductMinor;
    m_registryValues[3] = dwProductMajor;
    m_registryValues[4] = dwNewestBuild;
    if (nRead == 5) {
        m_exchangeVersion = dwProductMajor == 8 ? 4 : dwProductMajor == 14 ? 8 : 0;
        nMinor = static_cast<int>(dwProductMinor);
    }
    Trace("Exchange NewestBuild %d, Version %d.%d.%d.%d", static_cast<int>(dwNewestBuild),
          static_cast<int>(dwProductMajor), static_cast<int>(dwProductMinor), static_cast<int>(dwBuildMajor),
          static_cast<int>(dwBuildMinor));
    return m_exchangeVersion;
}

template <class TSettings, class TResource, class TEventLog>
DWORD CGeneralSettings<TSettings, TResource, TEventLog>::GetRegistryInfo() {
    const CLocalMachine registry = LoadRegistry();
    CRegistryValue value;
    DWORD dwResult = ERROR_SUCCESS;
    if (registry.FindValue("SYSTEM\\CurrentControlSet\\Services\\MSExchange OWA", "SSLOffloaded", value)) {
        if (value.dwType == REG_DWORD)
            m_sslOffloaded = value.dwValue == 1;
        else
            dwResult = ERROR_INVALID_DATA;
    }
    Trace("GetRegistryInfo SSLOffloaded %d", m_sslOffloaded ? 1 : 0);
    return dwResult;
}

template <class TSettings, class TResource, class TEventLog>
bool CGeneralSettings<TSettings, TResource, TEventLog>::GetComputerName() {
    if (GetFullyQualifiedComputerName(m_fullyQualifiedName))
        Trace("GetComputerName ComputerNameDnsFullyQualified %s", m_fullyQualifiedName.c_str());
    else
        Trace("Failed to get computer name ComputerNameDnsFullyQualified Error: %d", 0);
    if (!GetHostComputerName(m_serverName)) {
        Trace("Failed to get computer name ComputerNameDnsHostname Error: %d", 0);
        return false;
    }
    Trace("GetComputerName ComputerNameDnsHostname %s Err: %d", m_serverName.c_str(), 0);
    return true;
}

template <class TSettings, class TResource, class TEventLog>
void CGeneralSettings<TSettings, TResource, TEventLog>::LogFileVersion() {
    FILETIME64 fileTime = 0;
    const std::string sModuleFile = GetOwnModuleFileName();
    if (sModuleFile.empty() || GetFileLastWriteTime(sModuleFile, fileTime) != 0) {
        Trace("Can not open to read FileVer for %s", m_moduleName.c_str());
        return;
    }
    const CFileTimeParts parts = SplitFileTime(fileTime);
    Trace("%s FileVer: %s, Product Ver: %s  DD.MM.YYY H:MM:S:MS %u.%u.%u %u:%u:%u:%u", m_moduleName.c_str(),
          KX_FILE_VERSION, KX_PRODUCT_VERSION, parts.nDay, parts.nMonth, parts.nYear, parts.nHour, parts.nMinute,
          parts.nSecond, parts.nMillisecond);
}

template class CGeneralSettings<CHandleSWSettings, CResource, CEventLog>;
