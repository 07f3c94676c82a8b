// The service-worker layer of the settings object: the trace log, the
// Exchange Web Services address, the four service-worker caches, users'
// directory attributes and their stored calendar properties.
#ifndef KX_SETTINGS_SW_GENERAL_SETTINGS_H
#define KX_SETTINGS_SW_GENERAL_SETTINGS_H

#include <string>
#include <vector>

#include "diagnostics/event_log.h"
#include "settings/general_settings.h"
#include "settings/handle_sw_settings.h"
#include "settings/qv_cache.h"
#include "settings/resource.h"
#include "settings/user_property_definition.h"

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

    const std::vector<CUserPropertyDefinition>& UserPropertyDefinitions() const { return m_userProperties; }
    CQVCache& CommonFolderIdCache() { return m_commonFolderIdCache; }

protected:
    // The four caches in order, stopping at the first failure.
    bool InitializeCaches();

    std::vector<CUserPropertyDefinition> m_userProperties;
    std::string m_hiddenMessageCacheName = "HiddenMessage";
    CQVCache m_hiddenMessageCache{m_eventLog};
    CQVCache m_adUserConfigCache{m_eventLog};
    CQVCache m_commonFolderIdCache{m_eventLog};
    CQVCache m_recipientSmtpCache{m_eventLog};

private:
    bool InitializeCache(CQVCache& cache, const char* pszName, int nItemsId, int nLifetimeId);
    bool InitializeCommonFolderIdCache();
    bool InitializeRecipientSmtpCache();
    // One attribute of the user found by the key (a kind of CADUserConfig::SetFilter).
    HRESULT ReadDirectory(const std::string& sKey, DWORD dwKeyType, const std::string& sAttribute,
                          std::string& sValue);
};

#endif  // KX_SETTINGS_SW_GENERAL_SETTINGS_H
