// The OWA virtual directory of this Exchange server, read once from the
// configuration partition of the directory.
#ifndef KX_DIRECTORY_OWA_AD_CONFIG_H
#define KX_DIRECTORY_OWA_AD_CONFIG_H

#include <memory>
#include <string>
#include <vector>

#include "directory/ad_prop.h"

class IDirectorySearch;

class COWAADConfig {
public:
    COWAADConfig();
    virtual ~COWAADConfig() = default;
    COWAADConfig(const COWAADConfig&) = delete;
    COWAADConfig& operator=(const COWAADConfig&) = delete;

    // Finds the organisation, this server's OWA virtual directory under it
    // and reads its attributes; an attribute that is missing keeps its
    // default. An empty domain controller means the directory's default.
    HRESULT ReadProperties(const std::u16string& sSecondName, const std::u16string& sDomainController);

    std::u16string m_sServerName;  // set by the caller before reading
    std::u16string m_sSecondName;
    std::u16string m_sConfigurationNamingContext;
    std::u16string m_sOrganizationCN;
    std::u16string m_sSearchBase;
    std::u16string m_sOWAVirtualDirectoryDN;
    std::vector<std::shared_ptr<ADProp>> m_properties;  // in reading order

    int32_t m_nUserContextTimeOut = 0;
    int32_t m_nVersion = 0;
    int32_t m_nVirtualDirectoryType = 0;
    int32_t m_nUseISO99519 = 0;
    int32_t m_nUseGB18030 = 0;
    int32_t m_nTranscodingFlag = 0;
    CNoCaseStringList m_lstTranscodingMimesTypes;
    CNoCaseStringList m_lstTranscodingFileTypes;
    CNoCaseStringList m_lstRemoteDocumentsInternalDomainSuffixList;
    CNoCaseStringList m_lstRemoteDocumentsBlockedServers;
    CNoCaseStringList m_lstRemoteDocumentsAllowedServers;
    int32_t m_nRemoteDocumentsActionForUnknownServers = 0;
    int32_t m_nRedirectToOptimalOWAServer = 0;
    int32_t m_nOutputCharSet = 0;
    int32_t m_nNotificationInterval = 0;
    CNoCaseString m_csMaxTranscodableDocumentSize;
    int32_t m_nLogonFormat = 0;
    int32_t m_nLogonAndErrorLanguage = 0;
    int32_t m_nGZipLevel = 0;
    CNoCaseStringList m_lstForceSaveMimeTypes;
    CNoCaseStringList m_lstForceSaveFileTypes;
    int32_t m_nFilterWebBeacons = 0;
    int32_t m_nFileAccessControlOnPublicComputers = 0;
    int32_t m_nFileAccessControlOnPrivateComputers = 0;
    int32_t m_nExchangeProxyDestination = 0;
    std::string m_sDefaultTheme;
    int32_t m_nDefaultClientLanguage = 0;
    int32_t m_nAuthCleanUpLevel = 0;
    CNoCaseStringList m_lstBlockedMIMETypes;
    CNoCaseStringList m_lstAllowedMimeTypes;
    CNoCaseStringList m_lstBlockedFileTypes;
    CNoCaseStringList m_lstAllowedFileTypes;
    int32_t m_nActionForUnknownFileAndMIMETypes = 0;
    int32_t m_nMailboxFolderSet = 0;
    int32_t m_nInternalAuthenticationMethods = 0;
    CNoCaseString m_csInternalHostName;
    CNoCaseString m_csExternalHostName;

private:
    template <class T>
    void AddReader(const char* pszName, DWORD dwReadKind, T* pDestination) {
        m_properties.push_back(std::make_shared<TReadADProp<T>>(pszName, dwReadKind, pDestination));
    }
    HRESULT Read(const std::u16string& sDomainController);
    // Searches sPath for sFilter and keeps sColumn's value of the last row;
    // trace lines begin with pszStep.
    static HRESULT FindLastValue(const char* pszStep, const std::u16string& sPath, const std::u16string& sFilter,
                                 const std::vector<std::u16string>& attributes, const std::u16string& sColumn,
                                 std::u16string& sValue);
    // Reads every attribute into its field; the result of the last one.
    HRESULT ReadAttributes(IADs& owaObject);
};

// The directory's extended error text for hr: its last error and provider,
// when hr is a Win32 error; empty otherwise.
std::string ExtendedErrorText(HRESULT hr);

#endif  // KX_DIRECTORY_OWA_AD_CONFIG_H
