#include "settings/sw_general_settings.h"

#include <utility>

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "directory/ad_user_config.h"
#include "platform/error_text.h"
#include "platform/impersonation.h"
#include "platform/component_interfaces.h"
#include "settings/cookies.h"

namespace {

constexpr int SETTING_EWS_URL = 38;
constexpr int SETTING_EXCHANGE_ACCESS_VERSION = 37;
constexpr int SETTING_AD_CONFIGURATION_TYPE = 84;
constexpr int DEFAULT_CACHE_ITEMS = 3000;
constexpr int DEFAULT_CACHE_LIFETIME = 60;
constexpr DWORD KEY_ACCOUNT_NAME = 0;  // any kind SetFilter does not name: sAMAccountName

// The signed-in user's attributes the worker reads: one search answers them all.
const std::vector<std::string> USER_ATTRIBUTES = {"msExchUserCulture", "proxyAddresses", "mail", "userPrincipalName"};

bool IsUserAttribute(const std::string& sAttribute) {
    for (const std::string& sName : USER_ATTRIBUTES)
        if (SameNoCase(sName, sAttribute)) return true;
    return false;
}

constexpr CCacheTexts SW_CACHE_TEXTS = {
    "CCoreGeneralSettings::Init could find ID_MAX_CACHE_ITEMS use 3000 as default",
    "CCoreGeneralSettings::Init could find ID_CACHE_LIFETIME use 30 minutes as default",
    "CSWGeneralSettings::InitializeCache failed to instantiate the Cache Object",
    "CSWGeneralSettings::InitializeCache CreateCache failed"};
constexpr CCacheTexts COMMON_FOLDER_CACHE_TEXTS = {
    "[CSWGeneralSettings::InitializeCommonFolderIdCache] could find ID_COMMONFOLDERID_MAX_CACHE_ITEMS (%d) use 3000 "
    "as default",
    "[CSWGeneralSettings::InitializeCommonFolderIdCache] could find ID_COMMONFOLDERID_CACHE_LIFETIME (%d) use 30 "
    "minutes as default",
    "[CSWGeneralSettings::InitializeCommonFolderIdCache] failed to instantiate the Cache Object",
    "[CSWGeneralSettings::InitializeCommonFolderIdCache] CreateCache failed"};
constexpr CCacheTexts RECIPIENT_CACHE_TEXTS = {
    "[CSWGeneralSettings::InitializeRecipientSmtpCache] could find ID_COMMONFOLDERID_MAX_CACHE_ITEMS (%d) use 3000 "
    "as default",
    "[CSWGeneralSettings::InitializeRecipientSmtpCache] could find ID_COMMONFOLDERID_CACHE_LIFETIME (%d) use 30 "
    "minutes as default",
    "[CSWGeneralSettings::InitializeCommonFolderIdCache] failed to instantiate the Cache Object",
    "[CSWGeneralSettings::InitializeRecipientSmtpCache] CreateCache failed"};

}  // namespace

BOOL CSWGeneralSettings::Init(const char* pszProductName, const char* pszModuleName,
                              const char* pszResourceModuleName, const char* pszRegistryKey, int nLevelsUp) {
    InitUserConfigIds();
    const CRevertToSelf processIdentity;
    BOOL bResult =
        CGeneralSettings::Init(pszProductName, pszModuleName, pszResourceModuleName, pszRegistryKey, nLevelsUp);
    if (bResult) {
        InitEWSUrl();
        bResult = InitializeCaches();
    }
    return bResult;
}

bool CSWGeneralSettings::InitializeCaches() {
    return InitializeCache(m_hiddenMessageCache, "HiddenMessage", SETTING_CACHE_ITEMS, SETTING_CACHE_LIFETIME, SW_CACHE_TEXTS) &&
           InitializeCache(m_adUserConfigCache, "ADUserConfig", 60, 61, SW_CACHE_TEXTS) &&
           InitializeCommonFolderIdCache() && InitializeRecipientSmtpCache();
}

bool CSWGeneralSettings::InitializeCache(CQVCache& cache, const char* pszName, int nItemsId, int nLifetimeId,
                                         const CCacheTexts& texts) {
    int nItems = DEFAULT_CACHE_ITEMS, nLifetime = DEFAULT_CACHE_LIFETIME;
    if (!GetSettingFromID(nItemsId, nItems, 0)) {
        nItems = DEFAULT_CACHE_ITEMS;
        Trace(texts.pszItemsDefault, nItemsId);
    }
    if (!GetSettingFromID(nLifetimeId, nLifetime, 0)) {
        nLifetime = DEFAULT_CACHE_LIFETIME;
        Trace(texts.pszLifetimeDefault, nLifetimeId);
    }
    if (cache.Init() < 0) {
        Trace("%s", texts.pszNotInstantiated);
        return false;
    }
    if (cache.CreateCache(pszName, nItems, nLifetime) < 0) {
        Trace("%s", texts.pszCreateFailed);
        return false;
    }
    return true;
}

bool CSWGeneralSettings::InitializeCommonFolderIdCache() {
    return InitializeCache(m_commonFolderIdCache, "CommonFolderID", 62, 63, COMMON_FOLDER_CACHE_TEXTS);
}

bool CSWGeneralSettings::InitializeRecipientSmtpCache() {
    return InitializeCache(m_recipientSmtpCache, "RecipientSmtp", 64, 65, RECIPIENT_CACHE_TEXTS);
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

int CSWGeneralSettings::ExchangeAccessVersion() {
    int nVersion = 1;
    if (!GetSettingFromID(SETTING_EXCHANGE_ACCESS_VERSION, nVersion, 0)) nVersion = 1;
    return nVersion;
}

bool CSWGeneralSettings::ExtractUserName(std::string& sUser) {
    if (sUser.empty()) {
        Trace("[CGeneralSettings::ExtractUserName] Username is empty.");
        return false;
    }
    const auto keepAfter = [&](size_t nSeparator) {
        if (nSeparator + 1 == sUser.size()) {
            Trace("CGeneralSettings::ExtractUserName got an invalid Username format %s ", sUser.c_str());
            return false;
        }
        sUser.erase(0, nSeparator + 1);
        return true;
    };
    if (const size_t nBackslash = sUser.find('\\'); nBackslash != std::string::npos) return keepAfter(nBackslash);
    if (const size_t nAt = sUser.find('@'); nAt != std::string::npos) {
        if (nAt + 1 != sUser.size()) sUser.erase(nAt);
        return true;
    }
    if (const size_t nSlash = sUser.find('/'); nSlash != std::string::npos) return keepAfter(nSlash);
    return true;
}

bool CSWGeneralSettings::GetSessionId(const std::string& sUser, const std::string& sCookieHeader,
                                      std::string& sSessionId) {
    if (sUser.empty()) {
        Trace("[CSWGeneralSettings::GetSessionId] Username is empty.");
        return false;
    }
    constexpr const char* USER_CONTEXT_KEY = "UserContext=";
    std::string sValue;
    if (!CCookies::extractCookie(sCookieHeader, USER_CONTEXT_KEY, sValue) || sValue.empty()) {
        Trace("[CSWGeneralSettings::GetADProperty] Warning!: couldn't retrieve cookie or the cookie (%s) value is "
              "empty",
              USER_CONTEXT_KEY);
        sValue.clear();
        if (!CCookies::extractCookie(sCookieHeader, "sessionid=", sValue) || sValue.empty()) {
            Trace("[CSWGeneralSettings::GetADProperty] Warning!: couldn't retrieve cookie or the cookie (%s) value is "
                  "empty, go with user name",
                  "sessionid=");
            sValue = sUser;
        }
    }
    sSessionId = sValue;
    Trace("[CSWGeneralSettings::GetSessionId] method returned %s, session id:%s", "TRUE", sSessionId.c_str());
    return true;
}

void CSWGeneralSettings::PrepareLookup(CADUserConfig& lookup, const std::string& sKey, DWORD dwKeyType) {
    if (int nConfigurationType = 0; GetSettingFromID(SETTING_AD_CONFIGURATION_TYPE, nConfigurationType, -1))
        lookup.m_dwConfigurationType = static_cast<DWORD>(nConfigurationType);
    lookup.SetFilter(sKey, dwKeyType);
}

HRESULT CSWGeneralSettings::ReadDirectory(const std::string& sKey, DWORD dwKeyType,
                                          const std::vector<std::string>& attributes, CUserAttributeTexts& texts) {
    CADUserConfig lookup;
    PrepareLookup(lookup, sKey, dwKeyType);
    return lookup.GetProperties(attributes, texts);
}

HRESULT CSWGeneralSettings::ReadDirectory(const std::string& sKey, DWORD dwKeyType, const std::string& sAttribute,
                                          std::string& sValue) {
    CADUserConfig lookup;
    PrepareLookup(lookup, sKey, dwKeyType);
    return lookup.GetProperty(sAttribute, sValue);
}

HRESULT CSWGeneralSettings::GetADProperty(const std::string& sUserIn, const std::string& sCookieHeader,
                                          const std::string& sAttribute, std::string& sValue,
                                          const std::string& sMailbox, const std::string& sOtherKey) {
    std::string sUser = sUserIn, sSessionId;
    if (!sUser.empty()) {
        if (!ExtractUserName(sUser)) return E_INVALIDARG;
        if (!GetSessionId(sUser, sCookieHeader, sSessionId))
            Trace("[CSWGeneralSettings::GetADProperty] Warning!: got an invalid Session id format %s for Prop: %s, "
                  "continue anyway",
                  sSessionId.c_str(), sAttribute.c_str());
        Trace("[CSWGeneralSettings::GetADProperty] Get property from cache, User: %s, SessionId: %s, Parameter Name: "
              "%s, Mailbox: %s",
              sUser.c_str(), sSessionId.c_str(), sAttribute.c_str(), sMailbox.c_str());
        std::string sCached;
        const HRESULT hrCached = m_adUserConfigCache.GetItem("ADUserConfig", sUser, sCached, sSessionId, sAttribute);
        if (hrCached == S_OK) {
            sValue = sCached;
            Trace("[CSWGeneralSettings::GetADProperty] Get property from cache successfull, Value: %s !",
                  sValue.c_str());
            return S_OK;
        }
        if (hrCached == S_FALSE) {
            Trace("[CSWGeneralSettings::GetADProperty] the cache remembers that user %s has no %s", sUser.c_str(),
                  sAttribute.c_str());
            return E_ADS_PROPERTY_NOT_FOUND;
        }
    } else if (sMailbox.empty() || sAttribute != "sAMAccountName") {
        return E_INVALIDARG;
    }
    // The user's own attributes come together, and the ones the user lacks
    // are remembered as absent. Another mailbox's owner gives only the one
    // asked for: the others (the addresses) would name the wrong user.
    const std::vector<std::string> asked = !sUser.empty() && sMailbox.empty() && IsUserAttribute(sAttribute)
                                               ? USER_ATTRIBUTES
                                               : std::vector<std::string>{sAttribute};
    CUserAttributeTexts texts;
    HRESULT hr = !sMailbox.empty()    ? ReadDirectory(sMailbox, CADUserConfig::ID_SMTP_ADDRESS, asked, texts)
                 : !sOtherKey.empty() ? ReadDirectory(sOtherKey, CADUserConfig::ID_SID_OR_MASTER_ACCOUNT_SID, asked, texts)
                                      : ReadDirectory(sUser, KEY_ACCOUNT_NAME, asked, texts);
    if (hr >= 0 && !sUser.empty()) {
        for (const std::string& sName : asked)
            if (texts.find(sName) == texts.end()) m_adUserConfigCache.AddAbsent("ADUserConfig", sUser, sSessionId, sName);
        for (const auto& [sName, sText] : texts)
            if (!SameNoCase(sName, sAttribute)) m_adUserConfigCache.AddItem("ADUserConfig", sUser, sText, sSessionId, sName);
    }
    const auto found = texts.find(sAttribute);
    if (hr >= 0 && found == texts.end()) hr = E_ADS_PROPERTY_NOT_FOUND;
    if (hr < 0) {
        Trace(
            "[CSWGeneralSettings::GetADProperty] Getting property %s for user %s from AD failed. Session %s  Mailbox "
            "%s hr: 0x%x",
            sAttribute.c_str(), sUser.c_str(), sSessionId.c_str(), sMailbox.c_str(), static_cast<unsigned>(hr));
        // Most users have no culture, and mail and the principal name are second choices.
        const bool bOptional = SameNoCase(sAttribute, "mail") || SameNoCase(sAttribute, "userPrincipalName");
        if (sAttribute != "msExchUserCulture" && !(bOptional && hr == E_ADS_PROPERTY_NOT_FOUND)) {
            Trace("CSWGeneralSettings::GetADProperty failed to get %s for sUser %s sSession %s Mailbox %s",
                  sAttribute.c_str(), sUser.c_str(), sSessionId.c_str(), sMailbox.c_str());
            m_eventLog.ReportErrorf(static_cast<DWORD>(hr), EVENTLOG_ERROR_TYPE,
                                    "CSWGeneralSettings::GetADProperty failed to get %s for sUser %s sSession %s "
                                    "Mailbox %s",
                                    sAttribute.c_str(), sUser.c_str(), sSessionId.c_str(), sMailbox.c_str());
        }
        return hr;
    }
    sValue = found->second;
    Trace("[CSWGeneralSettings::GetADProperty] Get property from AD successfull, Value: %s.! Add to cache.",
          sValue.c_str());
    if (!sUser.empty() && m_adUserConfigCache.AddItem("ADUserConfig", sUser, sValue, sSessionId, sAttribute) < 0) {
        Trace("CSWGeneralSettings::GetADProperty failed to add Item to cache Prop %s for sUser %s, val %s, Session %s",
              sAttribute.c_str(), sUser.c_str(), sValue.c_str(), sSessionId.c_str());
        m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE,
                                "CSWGeneralSettings::GetADProperty failed to add Item to cache Prop %s for sUser %s, "
                                "val %s, Session %s",
                                sAttribute.c_str(), sUser.c_str(), sValue.c_str(), sSessionId.c_str());
    }
    return S_OK;
}

HRESULT CSWGeneralSettings::GetSharedADProperty(const std::string& sKey, DWORD dwKeyType,
                                                const std::string& sAttribute, std::string& sValue) {
    if (sKey.empty() || sAttribute.empty()) {
        Trace("[CSWGeneralSettings::GetSharedADProperty] Invalid parameters: id: %s, property: %s ", sKey.c_str(),
              sAttribute.c_str());
        return E_INVALIDARG;
    }
    if (sAttribute != "displayName" && sAttribute != "legacyExchangeDN") {
        Trace("[CSWGeneralSettings::GetSharedADProperty] ERROR!: Property: %s forbidden to be shared",
              sAttribute.c_str());
        return E_INVALIDARG;
    }
    HRESULT hr = S_OK;
    if (m_recipientSmtpCache.GetItem("RecipientSmtp", sKey, sValue, {}, sAttribute) == S_OK) {
        Trace("[CSWGeneralSettings::GetSharedADProperty] Get property from cache successfull, Value: %s !",
              sValue.c_str());
    } else {
        Trace("[CSWGeneralSettings::DetectRecipientPrimarSmtpAddress] Warning!: Get property from cache FAILED, query "
              "AD");
        hr = ReadDirectory(sKey, dwKeyType, sAttribute, sValue);
        if (hr < 0) {
            Trace(
                "[CSWGeneralSettings::GetSharedADProperty] Getting property %s for user key %s from AD failed.  hr: "
                "0x%x",
                sAttribute.c_str(), sKey.c_str(), static_cast<unsigned>(hr));
            m_eventLog.ReportErrorf(static_cast<DWORD>(hr), EVENTLOG_ERROR_TYPE,
                                    "CSWGeneralSettings::GetSharedADProperty failed to get %s for user key %s",
                                    sAttribute.c_str(), sKey.c_str());
        } else {
            Trace("[CSWGeneralSettings::GetSharedADProperty] Get property from AD successfull, Value: %s.! Add to "
                  "cache.",
                  sValue.c_str());
            if (m_recipientSmtpCache.AddItem("RecipientSmtp", sKey, sValue, {}, sAttribute) < 0) {
                Trace("CSWGeneralSettings::GetSharedADProperty failed to add Item to cache Prop %s for user key %s, "
                      "val %s",
                      sAttribute.c_str(), sKey.c_str(), sValue.c_str());
                m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE,
                                        "CSWGeneralSettings::GetSharedADProperty failed to add Item to cache Prop %s "
                                        "for user key %s, val %s",
                                        sAttribute.c_str(), sKey.c_str(), sValue.c_str());
            }
        }
    }
    Trace("[CSWGeneralSettings::GetSharedADProperty] returned hr: 0x%x, value: %s", static_cast<unsigned>(hr),
          sValue.c_str());
    return hr;
}

namespace {

// The entry of the proxy addresses that begins with "SMTP:" in capitals.
std::string PrimarySmtpAddress(std::string_view sProxyAddresses) {
    for (size_t nStart = 0; nStart <= sProxyAddresses.size();) {
        size_t nEnd = sProxyAddresses.find(';', nStart);
        if (nEnd == std::string_view::npos) nEnd = sProxyAddresses.size();
        const std::string_view sEntry = sProxyAddresses.substr(nStart, nEnd - nStart);
        if (sEntry.size() > 5 && sEntry.substr(0, 5) == "SMTP:") return std::string(sEntry.substr(5));
        nStart = nEnd + 1;
    }
    return {};
}

}  // namespace

HRESULT CSWGeneralSettings::DetectPrimarSmtpAddress(const std::string& sUser, const std::string& sCookieHeader,
                                                    std::string& sSmtp, const std::string& sMailbox,
                                                    const std::string& sOtherKey) {
    std::string sAddresses;
    const HRESULT hr = GetADProperty(sUser, sCookieHeader, "proxyAddresses", sAddresses, sMailbox, sOtherKey);
    if (hr >= 0) sSmtp = PrimarySmtpAddress(sAddresses);
    Trace("CSWGeneralSettings::DetectPrimarSmtpAddress() returned hr: 0x%x, SMTP: %s", static_cast<unsigned>(hr),
          sSmtp.c_str());
    return hr;
}

HRESULT CSWGeneralSettings::GetExchangeIdentity(const std::string& sUser, const std::string& sCookieHeader,
                                                CExchangeIdentity& identity) {
    std::string sValue;
    HRESULT hr = DetectPrimarSmtpAddress(sUser, sCookieHeader, sValue, {}, {});
    if (!sValue.empty()) {
        identity = {IMPERSONATE_SMTP_ADDRESS, sValue};
        return S_OK;
    }
    static constexpr std::pair<const char*, long> NEXT_CHOICES[] = {{"mail", IMPERSONATE_SMTP_ADDRESS},
                                                                    {"userPrincipalName", IMPERSONATE_PRINCIPAL_NAME}};
    for (const auto& [pszAttribute, nKind] : NEXT_CHOICES) {
        if (hr != E_ADS_PROPERTY_NOT_FOUND && hr < 0) return hr;  // the directory did not answer: try again later
        hr = GetADProperty(sUser, sCookieHeader, pszAttribute, sValue, {}, {});
        if (hr >= 0 && !sValue.empty()) {
            identity = {nKind, sValue};
            return S_OK;
        }
    }
    Trace("[CSWGeneralSettings::GetExchangeIdentity] user %s has no primary SMTP address, mail or user principal "
          "name; Exchange is not asked for this user",
          sUser.c_str());
    return hr < 0 ? hr : E_ADS_PROPERTY_NOT_FOUND;
}
