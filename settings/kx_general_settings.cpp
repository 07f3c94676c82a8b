#include "settings/kx_general_settings.h"

#include <algorithm>
#include <atomic>

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "platform/component_interfaces.h"
#include "diagnostics/trace_log.h"
#include "platform/adsi.h"
#include "platform/impersonation.h"
#include "platform/utf.h"
#include "settings/kx_ex_access.h"
#include "settings/kx_setting_ids.h"
#include "settings/string_operation.h"

namespace {

constexpr int SETTING_TROUBLE_URLS = 6;
constexpr int SETTING_VIRTUAL_FOLDER = 100;
constexpr const char* DEFAULT_TROUBLE_URL = "logoff.aspx?cmd=logoff";
constexpr const char* DEFAULT_VIRTUAL_FOLDER = "X-Kalyxa";
constexpr const char* OWA_USER_OPTIONS = "OWA.UserOptions";
constexpr long MAILBOX_ROOT = -1;

constexpr CCacheTexts CD_ACCESS_CACHE_TEXTS = {
    "CKXGeneralSettings::InitializeCdAccessCache could find ID_MAX_CACHE_ITEMS use 3000 as default",
    "CKXGeneralSettings::InitializeCdAccessCache could find ID_CACHE_LIFETIME use 30 minutes as default",
    "CKXGeneralSettings::InitializeCdAccessCache failed to instantiate the Cache Object",
    "CKXGeneralSettings::InitializeCdAccessCache CreateCache failed"};
constexpr CCacheTexts OWA_USER_CONFIG_CACHE_TEXTS = {
    "CKXGeneralSettings::InitializeOwaUserConfigCache could find ID_OWAUSERCONFIG_CACHE_ITEMS use 3000 as default",
    "CKXGeneralSettings::InitializeOwaUserConfigCache could find ID_OWAUSERCONFIG_CACHE_ITEMS use 30 minutes as "
    "default",
    "CKXGeneralSettings::InitializeOwaUserConfigCache failed to instantiate the Cache Object",
    "CKXGeneralSettings::InitializeOwaUserConfigCache CreateCache failed"};

// Set by the first successful directory read of the process.
std::atomic<bool> g_bOwaConfigurationRead{false};

void JoinWithoutFirstCharacter(const CNoCaseStringList& entries, std::string& sJoined) {
    for (const CNoCaseString& sEntry : entries)
        if (!sEntry.empty()) sJoined.append(sEntry.data() + 1, sEntry.size() - 1).append(";");
}

}  // namespace

void CKXGeneralSettings::InitUserConfigIds() {
    const DWORD dwProduct = m_dwProductNumber;
    m_userProperties = {
        {dwProduct, 0, 0x8601, "", "70BE0A42-4D0B-4971-934C-836782D37A5A", "sharedcalendars", 0},
        {dwProduct, 0, 0x8602, "", "AF02A279-5C98-4857-A52F-160E9FF6EDE6", "Selected Calendar View Type", 0},
        {dwProduct, 0, 0x8109, "", "D8ABEB56-C7FE-4bdb-943F-0D8F9D27941F", "Last imported calendar", 0},
        {dwProduct, 0, 0x810A, "", "D08B8C82-E75C-401c-A299-1304E6CAC2AB", "Last deleted calendar", 0},
        {dwProduct, 0, 0x810B, "", "EE907310-B002-48fc-A713-F6018D2B35C0", "Last imported sections", 0},
    };
}

bool CKXGeneralSettings::ReadOWAAD() {
    if (g_bOwaConfigurationRead) return true;
    const CRevertToSelf processIdentity;
    m_owaConfiguration.m_sServerName = Utf8ToUtf16(ServerName());
    const HRESULT hr = m_owaConfiguration.ReadProperties(Utf8ToUtf16(FullyQualifiedName()), u"");
    // A full read answers the last attribute's result: that attribute not
    // being set is no failure of the read.
    if (hr < 0 && hr != E_ADS_PROPERTY_NOT_FOUND) {
        Trace("Reading OWA configuration failed 0x%x for %s", static_cast<unsigned>(hr), ServerName().c_str());
        return false;
    }
    JoinWithoutFirstCharacter(m_owaConfiguration.m_lstBlockedFileTypes, m_sBlockedFileTypes);
    JoinWithoutFirstCharacter(m_owaConfiguration.m_lstAllowedFileTypes, m_sAllowedFileTypes);
    g_bOwaConfigurationRead = true;
    return true;
}

BOOL CKXGeneralSettings::Init(const char* pszProductName, const char* pszModuleName,
                              const char* pszResourceModuleName, const char* pszRegistryKey, int nLevelsUp) {
    CCritSecLock guard(m_initLock);
    if (m_initialized) return TRUE;
    bool bOwaRead = true;  // counts as read when it was not tried
    if (GetComputerName())
        bOwaRead = ReadOWAAD();
    else
        Trace("[CKXGeneralSettings::Init] GetComputerName failed");
    const BOOL bBase =
        CSWGeneralSettings::Init(pszProductName, pszModuleName, pszResourceModuleName, pszRegistryKey, nLevelsUp);
    Trace("[CKXGeneralSettings::Init] base::Init() %s, ReadOWAAD %s.", bBase ? "SUCCEEDED" : "FAILED",
          bOwaRead ? "SUCCEEDED" : "FAILED");
    bool bResult = bBase && InitHandlerVirDir() && InitTroubleEndRequestUrls();
    if (bResult) {
        m_sErrorLogPath = GetTraceLogConfig().sLogPath;
        bResult = InitializeCache(m_productCache, "Kalyxa", SETTING_CACHE_ITEMS, SETTING_CACHE_LIFETIME, CD_ACCESS_CACHE_TEXTS) &&
                  InitializeCache(m_owaUserConfigCache, "OwaUserConfig", 101, 102, OWA_USER_CONFIG_CACHE_TEXTS);
    }
    if (bResult) {
        m_scriptStrings = {{800, "var L_qvkx_errAccDenied=\""},   {1112, "var L_qvkx_OthCds=\""},
                           {1110, "var L_qvkx_OpnCd=\""},          {1121, "var L_qvkx_MngCds=\""},
                           {1111, "var L_qvkx_MngDgs=\""},         {1170, "var L_qvkx_QCloseNoSave=\""},
                           {810, "var L_qvkx_WrnWillCloseOpnCds=\""}, {820, "var L_qvkx_WrnWillResetTz=\""}};
    }
    ProcessHolidaySections();
    Trace("[CKXGeneralSettings::Init] returned bRet <%s>", bResult ? "TRUE" : "FALSE");
    return bResult ? TRUE : FALSE;
}

int CKXGeneralSettings::GetFeatureSettingOn(int nId, int nDefault) {
    int nValue = nDefault;
    if (!GetSettingFromID(nId, nValue, 0)) {
        nValue = nDefault;
        Trace("[CKXGeneralSettings::GetFeatureSettingOn] Missing setting id: %d, default: %d", nId, nDefault);
    }
    Trace("[CKXGeneralSettings::GetFeatureSettingOn] Feature setting id: %d, value: %d", nId, nValue);
    return nValue;
}

bool CKXGeneralSettings::InitHandlerVirDir() {
    std::string sFolder = DEFAULT_VIRTUAL_FOLDER;
    if (!GetSettingFromID(SETTING_VIRTUAL_FOLDER, sFolder, 0)) {
        sFolder = DEFAULT_VIRTUAL_FOLDER;
        Trace("[CKXGeneralSettings::InitHandlerVirDir] Failed to read 'Kalyxa Virtual folder name' setting. ID <%d>.",
              SETTING_VIRTUAL_FOLDER);
    }
    if (sFolder.empty()) {
        Trace("[CKXGeneralSettings::InitHandlerVirDir] 'Kalyxa Virtual folder name' setting. ID <%d> is empty.",
              SETTING_VIRTUAL_FOLDER);
        return false;
    }
    if (sFolder.back() != '/') sFolder += '/';
    m_virDir.Set(std::make_shared<const std::string>(std::move(sFolder)));
    return true;
}

bool CKXGeneralSettings::InitTroubleEndRequestUrls() {
    std::string sUrls;
    bool bResult = true;
    std::vector<std::string> urls;
    if (GetSettingFromID(SETTING_TROUBLE_URLS, sUrls, 0) && !sUrls.empty()) {
        bResult = CStringOperation::Parse(sUrls, ';', urls);
        // An empty fragment is in every URL: it would have every request ignored.
        const auto empty = std::remove(urls.begin(), urls.end(), std::string());
        if (empty != urls.end()) {
            urls.erase(empty, urls.end());
            Trace("[CKXGeneralSettings::InitTroubleEndRequestUrls] setting 6 <%s> holds an empty URL fragment, which "
                  "every URL contains; it is skipped",
                  sUrls.c_str());
        }
    }
    if (urls.empty()) urls.emplace_back(DEFAULT_TROUBLE_URL);
    m_troubleEndRequestUrls.Set(std::make_shared<const std::vector<std::string>>(std::move(urls)));
    Trace("[CKXGeneralSettings::Init] returned bRet <%s>, trouble end req url setting is: <%s>",
          bResult ? "TRUE" : "FALSE", sUrls.c_str());
    return bResult;
}

void CKXGeneralSettings::ProcessHolidaySections() {
    CCritSecLock guard(m_holidayLock);
    std::string sSections;
    if (!GetSettingFromID(kx_setting::HOLIDAY_SECTIONS, sSections, -1)) return;  // the previous sections stay
    if (sSections.empty()) {
        m_holidaySections.reset();
        return;
    }
    std::vector<std::string> pieces;
    if (!CStringOperation::Parse(sSections, ';', pieces)) {
        Trace("ProcessHolidaySections failed on CStringOperation::Parse");
        return;
    }
    std::vector<std::u16string> sections;
    for (const std::string& sPiece : pieces) sections.push_back(Utf8ToUtf16(sPiece));
    m_holidaySections = std::move(sections);
}

HRESULT CKXGeneralSettings::GetHolidaySections(std::vector<std::u16string>& sections) {
    CCritSecLock guard(m_holidayLock);
    sections = m_holidaySections.value_or(std::vector<std::u16string>{});
    return S_OK;
}

HRESULT CKXGeneralSettings::GetOwaUserConfig(const std::string& sUserIn, const std::string& sCookie,
                                             const std::string& sEwsUrl, const std::string& sConfigName,
                                             long nParentFolder, const std::string& sParameterName,
                                             const std::string& sMailbox, std::string& sValue) {
    Trace("[CSWGeneralSettings::GetOwaUserConfig] Method start, User: %s, Cookie: %s, EWS Url: %s, Config Name: %s, "
          "Parent Folder Num: %ld, Parameter Name: %s, Mailbox: %s",
          sUserIn.c_str(), sCookie.c_str(), sEwsUrl.c_str(), sConfigName.c_str(), nParentFolder,
          sParameterName.c_str(), sMailbox.c_str());
    std::string sUser = sUserIn, sSessionId;
    if (!ExtractUserName(sUser)) return E_INVALIDARG;
    if (!GetSessionId(sUser, sCookie, sSessionId))
        Trace("[CSWGeneralSettings::GetOwaUserConfig] Warning!: got an invalid Session id format %s for Prop: %s, "
              "continue anyway",
              sSessionId.c_str(), sParameterName.c_str());
    const std::string sKey = sConfigName + sParameterName;
    const HRESULT hrCached = m_owaUserConfigCache.GetItem("OwaUserConfig", sUser, sValue, sSessionId, sKey);
    if (hrCached == S_OK) {
        Trace("[CSWGeneralSettings::GetOwaUserConfig] Get property from cache successfull, Value: %s !",
              sValue.c_str());
        return S_OK;
    }
    if (hrCached == S_FALSE) {
        Trace("[CSWGeneralSettings::GetOwaUserConfig] the cache remembers that %s has no parameter %s",
              sConfigName.c_str(), sParameterName.c_str());
        return HResultFromWin32(ERROR_NOT_FOUND);
    }
    CExchangeIdentity identity;
    if (const HRESULT hr = GetExchangeIdentity(sUserIn, sCookie, identity); hr < 0) return hr;
    CKXExAccess access(m_eventLog);
    HRESULT hr = access.Initialize(ExchangeAccessVersion(), CONNECTION_EWS, sEwsUrl, sCookie, "", "", "");
    if (hr >= 0) hr = access.Impersonate(identity.nKind, identity.sName);
    if (hr >= 0 && !sMailbox.empty()) hr = access.SetMailbox(sMailbox);
    std::vector<std::pair<std::string, std::string>> values;
    if (hr >= 0) hr = access.GetOwaUserConfiguration(sConfigName, nParentFolder, values);
    if (hr < 0) return hr;
    // The options the worker reads come in one answer: each is kept, or
    // remembered as absent, so that the next page asks nobody.
    std::vector<std::string> names = {sParameterName};
    if (sConfigName == OWA_USER_OPTIONS)
        for (const char* pszName : {OWA_OPTION_TIME_ZONE, OWA_OPTION_REMINDERS})
            if (!SameNoCase(pszName, sParameterName)) names.emplace_back(pszName);
    bool bFound = false;
    for (size_t n = 0; n < names.size(); ++n) {
        const std::string& sName = names[n];
        const auto it = std::find_if(values.begin(), values.end(),
                                     [&](const auto& entry) { return SameNoCase(entry.first, sName); });
        if (it == values.end()) {
            m_owaUserConfigCache.AddAbsent("OwaUserConfig", sUser, sSessionId, sConfigName + sName);
            continue;
        }
        if (n == 0) {
            sValue = it->second;
            bFound = true;
        }
        if (m_owaUserConfigCache.AddItem("OwaUserConfig", sUser, it->second, sSessionId, sConfigName + sName) < 0) {
            Trace("CSWGeneralSettings::GetOwaUserConfig failed to add Item to cache Prop %s for sUser %s, val %s, "
                  "Session %s",
                  (sConfigName + sName).c_str(), sUser.c_str(), it->second.c_str(), sSessionId.c_str());
            m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE,
                                    "CSWGeneralSettings::GetOwaUserConfig failed to add Item to cache Prop %s for "
                                    "sUser %s, val %s, Session %s",
                                    (sConfigName + sName).c_str(), sUser.c_str(), it->second.c_str(),
                                    sSessionId.c_str());
        }
    }
    if (!bFound) {
        Trace("[CSWGeneralSettings::GetOwaUserConfig] %s has no parameter %s", sConfigName.c_str(),
              sParameterName.c_str());
        return HResultFromWin32(ERROR_NOT_FOUND);
    }
    return S_OK;
}

HRESULT CKXGeneralSettings::GetOwaUserOption(const std::string& sUser, const std::string& sCookie,
                                             const std::string& sEwsUrl, const std::string& sParameterName,
                                             const std::string& sMailbox, std::string& sValue) {
    return GetOwaUserConfig(sUser, sCookie, sEwsUrl, OWA_USER_OPTIONS, MAILBOX_ROOT, sParameterName, sMailbox, sValue);
}

HRESULT CKXGeneralSettings::AddUserConfigToCache(const std::string& sUserIn, const std::string& sCookie,
                                                 const std::string& sPropertyName, const std::string& sValue) {
    std::string sUser = sUserIn, sSessionId;
    if (!ExtractUserName(sUser)) return E_INVALIDARG;
    Trace("[CSWGeneralSettings::AddUserConfigToCache] Get property from cache, User: %s, Cookie: %s, Property Name: %s",
          sUser.c_str(), sCookie.c_str(), sPropertyName.c_str());
    if (!GetSessionId(sUser, sCookie, sSessionId))
        Trace("[CSWGeneralSettings::AddUserConfigToCache] Warning!: got an invalid Session id format %s for Prop: %s, "
              "continue anyway",
              sSessionId.c_str(), sPropertyName.c_str());
    const HRESULT hr =
        m_owaUserConfigCache.AddItem("OwaUserConfig", sUser, sValue, sSessionId, OWA_USER_OPTIONS + sPropertyName);
    if (hr < 0)
        Trace("[CSWGeneralSettings::AddUserConfigToCache] Warning!: Add %s property to cache FAILED.",
              sPropertyName.c_str());
    return hr;
}
