// The service-worker layer of the settings object: the trace log, the
// Exchange Web Services address, the four service-worker caches, users'
// directory attributes and their stored calendar properties.
#ifndef KX_SETTINGS_SW_GENERAL_SETTINGS_H
#define KX_SETTINGS_SW_GENERAL_SETTINGS_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "diagnostics/event_log.h"
#include "directory/ad_user_config.h"
#include "settings/general_settings.h"
#include "settings/handle_sw_settings.h"
#include "settings/page_char_set.h"
#include "settings/qv_cache.h"
#include "settings/resource.h"
#include "settings/user_property_definition.h"

// The texts of one cache's start: a missing items or lifetime setting
// (formats that may take the setting id), no wrapper, no cache.
struct CCacheTexts {
    const char* pszItemsDefault;
    const char* pszLifetimeDefault;
    const char* pszNotInstantiated;
    const char* pszCreateFailed;
};

// How Exchange knows a user: an IMPERSONATE_ kind of name and the name.
struct CExchangeIdentity {
    long nKind = 0;
    std::string sName;
};

class CSWGeneralSettings : public CGeneralSettings<CHandleSWSettings, CResource, CEventLog> {
public:
    BOOL Init(const char* pszProductName, const char* pszModuleName, const char* pszResourceModuleName,
              const char* pszRegistryKey, int nLevelsUp) override;
    void InitLog(const std::string& sModuleName, int nCriteria) override { InitTrace(*this, sModuleName.c_str(), nCriteria); }
    // The product layer adds the user-property definitions.
    void InitUserConfigIds() override {}
    // Setting 38, when set, is the EWS address; else each request's own server is used.
    bool InitEWSUrl() override;

    // The EWS address of setting 38 as last read; empty when it is not set.
    std::string EwsUrl() const;
    // Setting 37, the first value handed to the Exchange-access components (1 when missing).
    int ExchangeAccessVersion();

    // The session of the cookie text (UserContext, else sessionid, else the
    // user name); false for an empty user.
    bool GetSessionId(const std::string& sUser, const std::string& sCookieHeader, std::string& sSessionId);
    // "domain\user", "user@domain" and "domain/user" become "user"; false
    // when the name is empty or ends with its separator.
    bool ExtractUserName(std::string& sUser);
    HRESULT GetADProperty(const std::string& sUser, const std::string& sCookieHeader, const std::string& sAttribute,
                          std::string& sValue, const std::string& sMailbox, const std::string& sOtherKey);
    // Only "displayName" and "legacyExchangeDN" of any recipient.
    HRESULT GetSharedADProperty(const std::string& sKey, DWORD dwKeyType, const std::string& sAttribute,
                                std::string& sValue);
    HRESULT DetectPrimarSmtpAddress(const std::string& sUser, const std::string& sCookieHeader, std::string& sSmtp,
                                    const std::string& sMailbox, const std::string& sOtherKey);
    // The user's primary SMTP address, else mail, else the user principal
    // name: the name the service acts as the user by. A failure says why
    // and no Exchange call should be made for the user.
    HRESULT GetExchangeIdentity(const std::string& sUser, const std::string& sCookieHeader,
                                CExchangeIdentity& identity);

    bool GetUserProp(const std::string& sUser, DWORD dwPropertyId, std::string& sValue, const std::string& sEwsUrl,
                     const std::string& sSessionId, bool bInvalidate, const std::string& sMailbox, bool bRequestAll);
    void InvalidateUserProp(const std::string& sUser, DWORD dwPropertyId, const std::string& sSessionId);
    bool GetUserProperties(std::vector<CUserPropertyDefinition>& definitions, const std::string& sUser,
                           const std::string& sEwsUrl, const std::string& sMailbox);
    void BuildXMLProperties(std::string& sXml, const std::vector<CUserPropertyDefinition>& definitions);
    bool FindPropertyInXML(const std::string& sXml, std::vector<CUserPropertyDefinition>& definitions,
                           DWORD dwPropertyId);
    bool RemovePropertyFromXML(std::string& sXml, const std::vector<CUserPropertyDefinition>& definitions,
                               DWORD dwPropertyId);

    // The string resId of the resource module in langId, in the page's
    // character set; false when it is missing or cannot be converted.
    bool GetResource(uint32_t resId, std::string& sText, LANGID langId, const std::string& sCharSet) const;
    // Each id's string (UTF-8 when bUtf8); false when any is missing, the others are still given.
    bool GetResources(const std::vector<uint32_t>& ids, std::map<uint32_t, std::string>& texts, bool bUtf8,
                      LANGID langId, const std::string& sCharSet) const;
    // The user's language: the directory's culture, else the browser's list;
    // English when neither names a language of the resource module. Always true.
    bool DetectUserLanguage(const std::string& sUser, const std::string& sCookieHeader,
                            const std::string& sBrowserLanguages, std::string& sLanguage, LANGID& langId,
                            const std::string& sMailbox, const std::string& sOtherKey);
    void ResolveLanguage(const std::string& sList, std::string& sLanguage, LANGID& langId) const;
    // The code of the first browser-map tag that begins a piece of the
    // ";"-separated list ("en" otherwise); false when none matched.
    bool MatchLanguage(const std::string& sList, std::string& sLanguage) const;

    const std::vector<CUserPropertyDefinition>& UserPropertyDefinitions() const { return m_userProperties; }
    CQVCache& CommonFolderIdCache() { return m_commonFolderIdCache; }

protected:
    // Items and lifetime of the "HiddenMessage" cache and of the product cache.
    static constexpr int SETTING_CACHE_ITEMS = 16;
    static constexpr int SETTING_CACHE_LIFETIME = 17;

    // The four caches in order, stopping at the first failure.
    bool InitializeCaches();
    // Makes the cache with the bounds of the two settings (3000 items and 60
    // minutes when missing); false, with its text, when it cannot be made.
    bool InitializeCache(CQVCache& cache, const char* pszName, int nItemsId, int nLifetimeId,
                         const CCacheTexts& texts);

    CPageCharSet m_pageCharSets;
    std::vector<CUserPropertyDefinition> m_userProperties;
    std::string m_hiddenMessageCacheName = "HiddenMessage";
    CQVCache m_hiddenMessageCache{m_eventLog};
    CQVCache m_adUserConfigCache{m_eventLog};
    CQVCache m_commonFolderIdCache{m_eventLog};
    CQVCache m_recipientSmtpCache{m_eventLog};

private:
    bool InitializeCommonFolderIdCache();
    bool InitializeRecipientSmtpCache();
    // A look-up of the user found by the key (a kind of CADUserConfig::SetFilter).
    void PrepareLookup(CADUserConfig& lookup, const std::string& sKey, DWORD dwKeyType);
    // Attributes of that user.
    HRESULT ReadDirectory(const std::string& sKey, DWORD dwKeyType, const std::vector<std::string>& attributes,
                          CUserAttributeTexts& texts);
    HRESULT ReadDirectory(const std::string& sKey, DWORD dwKeyType, const std::string& sAttribute,
                          std::string& sValue);
};

#endif  // KX_SETTINGS_SW_GENERAL_SETTINGS_H
