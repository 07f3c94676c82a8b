#include "directory/owa_ad_config.h"

#include "diagnostics/trace.h"
#include "platform/impersonation.h"
#include "platform/utf.h"

std::string ExtendedErrorText(HRESULT hr) {
    if (!IsWin32Facility(hr)) return "";
    DWORD dwError = 0;
    std::u16string sText, sProvider;
    if (ADsGetLastError(&dwError, sText, sProvider) != S_OK) return "";
    return Utf16ToUtf8(sText) + " " + Utf16ToUtf8(sProvider);
}

COWAADConfig::COWAADConfig() {
    AddReader("msExchOWAUserContextTimeOut", ADProp::READ_NUMBER, &m_nUserContextTimeOut);
    AddReader("msExchOWAVersion", ADProp::READ_NUMBER, &m_nVersion);
    AddReader("msExchOWAVirtualDirectoryType", ADProp::READ_NUMBER, &m_nVirtualDirectoryType);
    AddReader("msExchOWAUseISO99519", ADProp::READ_NUMBER, &m_nUseISO99519);
    AddReader("msExchOWAUseGB18030", ADProp::READ_NUMBER, &m_nUseGB18030);
    AddReader("msExchOWATranscodingFlag", ADProp::READ_NUMBER, &m_nTranscodingFlag);
    AddReader("msExchOWATranscodingMimesTypes", ADProp::READ_LIST, &m_lstTranscodingMimesTypes);
    AddReader("msExchOWATranscodingFileTypes", ADProp::READ_LIST, &m_lstTranscodingFileTypes);
    AddReader("msExchOWARemoteDocumentsInternalDomainSuffixList", ADProp::READ_LIST,
              &m_lstRemoteDocumentsInternalDomainSuffixList);
    AddReader("msExchOWARemoteDocumentsBlockedServers", ADProp::READ_LIST, &m_lstRemoteDocumentsBlockedServers);
    AddReader("msExchOWARemoteDocumentsAllowedServers", ADProp::READ_LIST, &m_lstRemoteDocumentsAllowedServers);
    AddReader("msExchOWARemoteDocumentsActionForUnknownServers", ADProp::READ_NUMBER,
              &m_nRemoteDocumentsActionForUnknownServers);
    AddReader("msExchOWARedirectToOptimalOWAServer", ADProp::READ_NUMBER, &m_nRedirectToOptimalOWAServer);
    AddReader("msExchOWAOutputCharSet", ADProp::READ_NUMBER, &m_nOutputCharSet);
    AddReader("msExchOWANotificationInterval", ADProp::READ_NUMBER, &m_nNotificationInterval);
    AddReader("msExchOWAMaxTranscodableDocumentSize", ADProp::READ_TEXT, &m_csMaxTranscodableDocumentSize);
    AddReader("msExchOWALogonFormat", ADProp::READ_NUMBER, &m_nLogonFormat);
    AddReader("msExchOWALogonAndErrorLanguage", ADProp::READ_NUMBER, &m_nLogonAndErrorLanguage);
    AddReader("msExchOWAGZipLevel", ADProp::READ_NUMBER, &m_nGZipLevel);
    AddReader("msExchOWAForceSaveMimeTypes", ADProp::READ_LIST, &m_lstForceSaveMimeTypes);
    AddReader("msExchOWAForceSaveFileTypes", ADProp::READ_LIST, &m_lstForceSaveFileTypes);
    AddReader("msExchOWAFilterWebBeacons", ADProp::READ_NUMBER, &m_nFilterWebBeacons);
    AddReader("msExchOWAFileAccessControlOnPublicComputers", ADProp::READ_NUMBER,
              &m_nFileAccessControlOnPublicComputers);
    AddReader("msExchOWAFileAccessControlOnPrivateComputers", ADProp::READ_NUMBER,
              &m_nFileAccessControlOnPrivateComputers);
    AddReader("msExchOWAExchangeProxyDestination", ADProp::READ_NUMBER, &m_nExchangeProxyDestination);
    AddReader("msExchOWADefaultTheme", ADProp::READ_TEXT, &m_sDefaultTheme);
    AddReader("msExchOWADefaultClientLanguage", ADProp::READ_NUMBER, &m_nDefaultClientLanguage);
    AddReader("msExchOWAAuthCleanUpLevel", ADProp::READ_NUMBER, &m_nAuthCleanUpLevel);
    AddReader("msExchOWABlockedMIMETypes", ADProp::READ_LIST, &m_lstBlockedMIMETypes);
    AddReader("msExchOWAAllowedMimeTypes", ADProp::READ_LIST, &m_lstAllowedMimeTypes);
    AddReader("msExchOWABlockedFileTypes", ADProp::READ_LIST, &m_lstBlockedFileTypes);
    AddReader("msExchOWAAllowedFileTypes", ADProp::READ_LIST, &m_lstAllowedFileTypes);
    AddReader("msExchOWAActionForUnknownFileAndMIMETypes", ADProp::READ_NUMBER, &m_nActionForUnknownFileAndMIMETypes);
    AddReader("msExchMailboxFolderSet", ADProp::READ_NUMBER, &m_nMailboxFolderSet);
    AddReader("msExchInternalAuthenticationMethods", ADProp::READ_NUMBER, &m_nInternalAuthenticationMethods);
    AddReader("msExchInternalHostName", ADProp::READ_TEXT, &m_csInternalHostName);
    AddReader("msExchExternalHostName", ADProp::READ_TEXT, &m_csExternalHostName);
}

HRESULT COWAADConfig::ReadProperties(const std::u16string& sSecondName, const std::u16string& sDomainController) {
    m_sSecondName = sSecondName;
    CRevertToSelf processIdentity;  // the read runs as the process; the caller's identity comes back at the end
    return Read(sDomainController);
}

HRESULT COWAADConfig::Read(const std::u16string& sDomainController) {
    const std::u16string sRootDse =
        sDomainController.empty() ? u"LDAP://rootDSE" : u"LDAP://" + sDomainController + u"/rootDSE";
    const std::u16string sServerPrefix = sDomainController.empty() ? u"LDAP://" : u"LDAP://" + sDomainController + u"/";
    std::unique_ptr<IADs> spRootDse;
    HRESULT hr = ADsGetObject(sRootDse, spRootDse);
    if (hr != S_OK) {
        Trace("[COWAADConfig::ReadProperties] Could not get rootDSE 0x%x %s", static_cast<unsigned>(hr),
              ExtendedErrorText(hr).c_str());
        return hr;
    }
    CAdsVariant context;
    hr = spRootDse->Get(u"configurationNamingContext", context);
    if (hr == S_OK && !std::holds_alternative<std::u16string>(context)) hr = DISP_E_TYPEMISMATCH;
    if (hr != S_OK) {
        Trace("[COWAADConfig::ReadProperties] Could not get configurationNamingContext property on rootDSE 0x%x %s",
              static_cast<unsigned>(hr), ExtendedErrorText(hr).c_str());
        return hr;
    }
    m_sConfigurationNamingContext = std::get<std::u16string>(context);

    hr = FindLastValue("GetExchangeOrganizationCN", sServerPrefix + EscapePathDn(m_sConfigurationNamingContext),
                       u"(objectCategory=msExchOrganizationContainer)", {u"cn", u"distinguishedName"}, u"cn",
                       m_sOrganizationCN);
    if (hr != S_OK) {
        Trace("[COWAADConfig::ReadProperties] GetExchangeOrganizationCN failed 0x%x %s %s", static_cast<unsigned>(hr),
              Utf16ToUtf8(m_sConfigurationNamingContext).c_str(), ExtendedErrorText(hr).c_str());
        return hr;
    }
    Trace("[COWAADConfig::ReadProperties] GetExchangeOrganizationCN succeeded.  CN is <%s>",
          Utf16ToUtf8(m_sOrganizationCN).c_str());

    // Names read from the directory become RDN values: escaped, so that a ","
    // or "+" in them cannot change the search base.
    m_sSearchBase = u"CN=HTTP,CN=Protocols,CN=" + EscapeDnValue(m_sServerName) +
                    u",CN=Servers,CN=Exchange Administrative Group (FYDIBOHF23SPDLT),CN=Administrative Groups,CN=" +
                    EscapeDnValue(m_sOrganizationCN) + u",CN=Microsoft Exchange,CN=Services," +
                    m_sConfigurationNamingContext;
    hr = FindLastValue("GetOWAWebSiteCN", sServerPrefix + EscapePathDn(m_sSearchBase),
                       u"(&(objectClass=msExchOWAVirtualDirectory)(cn=owa*))", {u"distinguishedName"},
                       u"distinguishedName", m_sOWAVirtualDirectoryDN);
    if (hr != S_OK) {
        Trace("[COWAADConfig::ReadProperties] GetOWAWebSiteCN failed 0x%x %s %s", static_cast<unsigned>(hr),
              Utf16ToUtf8(m_sSearchBase).c_str(), ExtendedErrorText(hr).c_str());
        return hr;
    }
    Trace("[COWAADConfig::ReadProperties] GetOWAWebSiteCN succeeded.  OWA Path is <%s>",
          Utf16ToUtf8(m_sOWAVirtualDirectoryDN).c_str());

    std::unique_ptr<IADs> spOwa;
    hr = ADsGetObject(sServerPrefix + EscapePathDn(m_sOWAVirtualDirectoryDN), spOwa);
    if (hr != S_OK) {
        const std::string sDn = Utf16ToUtf8(m_sOWAVirtualDirectoryDN);
        Trace("[COWAADConfig::ReadProperties] Unable to open OWA Web Site object <%s>", sDn.c_str());
        Trace("[COWAADConfig::ReadProperties] Unable to open OWA Web Site object 0x%x %s %s",
              static_cast<unsigned>(hr), sDn.c_str(), ExtendedErrorText(hr).c_str());
        return hr;
    }
    return ReadAttributes(*spOwa);
}

HRESULT COWAADConfig::ReadAttributes(IADs& owaObject) {
    HRESULT hr = S_OK;
    for (const std::shared_ptr<ADProp>& spProperty : m_properties) {
        const std::u16string sName = Utf8ToUtf16(spProperty->Name());
        CAdsVariant value;
        hr = spProperty->ReadKind() == ADProp::READ_LIST ? owaObject.GetEx(sName, value) : owaObject.Get(sName, value);
        if (hr == E_ADS_PROPERTY_NOT_FOUND) {
            Trace(" Read OWAProperty %s not found %s", spProperty->Name().c_str(), ExtendedErrorText(hr).c_str());
        } else if (hr != S_OK) {
            Trace(" Read OWAProperty failed %s %s", spProperty->Name().c_str(), ExtendedErrorText(hr).c_str());
        } else if ((hr = spProperty->SetFromValue(value)) != S_OK) {
            Trace("Read content from OWA prop failed %s %s", spProperty->Name().c_str(), ExtendedErrorText(hr).c_str());
        }
    }
    return hr;
}

HRESULT COWAADConfig::FindLastValue(const char* pszStep, const std::u16string& sPath, const std::u16string& sFilter,
                                    const std::vector<std::u16string>& attributes, const std::u16string& sColumn,
                                    std::u16string& sValue) {
    const std::string sNarrowPath = Utf16ToUtf8(sPath);
    std::unique_ptr<IDirectorySearch> spSearch;
    HRESULT hr = ADsGetObject(sPath, spSearch);
    if (hr != S_OK) {
        Trace("%s Get ADObject IID_IDirectorySearch configurationContext failed %s, HR=0x%x %s", pszStep,
              sNarrowPath.c_str(), static_cast<unsigned>(hr), ExtendedErrorText(hr).c_str());
        return hr;
    }
    const ADS_SEARCHPREF_INFO scope{ADS_SEARCHPREF_SEARCH_SCOPE, ADS_SCOPE_SUBTREE};
    if ((hr = spSearch->SetSearchPreference(&scope, 1)) != S_OK) {
        Trace("%s SetSearchPreference failed %s, HR=0x%x %s", pszStep, sNarrowPath.c_str(), static_cast<unsigned>(hr),
              ExtendedErrorText(hr).c_str());
        return hr;
    }
    ADS_SEARCH_HANDLE hSearch = nullptr;
    if ((hr = spSearch->ExecuteSearch(sFilter, attributes, &hSearch)) != S_OK) {
        Trace("%s ExecuteSearch failed %s, HR=0x%x %s", pszStep, sNarrowPath.c_str(), static_cast<unsigned>(hr),
              ExtendedErrorText(hr).c_str());
        return hr;
    }
    if (hSearch == nullptr) {
        Trace("%s ExecuteSearch goty an empty handle", pszStep);
        return E_INVALIDARG;
    }
    Trace("%s ExecuteSearch got a handle", pszStep);
    bool bFound = false;
    while ((hr = spSearch->GetNextRow(hSearch)) == S_OK) {
        ADS_SEARCH_COLUMN column;
        if ((hr = spSearch->GetColumn(hSearch, sColumn, &column)) != S_OK) {
            Trace("%s failed to get hr:0x%x %s", pszStep, static_cast<unsigned>(hr), ExtendedErrorText(hr).c_str());
            break;
        }
        if (!column.values.empty()) {
            sValue = column.values.front().sText;
            bFound = true;
        }
        spSearch->FreeColumn(&column);
    }
    spSearch->CloseSearchHandle(hSearch);
    if (hr == S_ADS_NOMORE_ROWS) hr = S_OK;
    // No object found is a failure too: the next step would run on an empty name.
    if (hr == S_OK && !bFound) {
        hr = E_FAIL;
        Trace("%s failed to get hr:0x%x ", pszStep, static_cast<unsigned>(hr));
    }
    return hr;
}
