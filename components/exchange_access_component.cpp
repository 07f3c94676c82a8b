#include "components/exchange_access_component.h"

#include "base/win_errors.h"
#include "platform/utf.h"

HRESULT CExchangeAccessComponent::GetErrorInfo(std::u16string& sText) {
    sText = Utf8ToUtf16(m_sError.empty() ? m_client.LastError().sText : m_sError);
    return S_OK;
}

HRESULT CExchangeAccessComponent::Initialize(long nVersion, long, const std::u16string& sUrl,
                                             const std::u16string& sMailbox, const std::u16string& sPassword,
                                             const std::u16string& sDomain, long& nReturnCode) {
    m_sError.clear();
    if (sMailbox.empty()) {
        m_sError = "no mailbox to open";
        nReturnCode = RC_NO_MAILBOX;
        return S_OK;
    }
    const std::string sMailboxText = Utf16ToUtf8(sMailbox);
    CEwsCredentials credentials = m_serviceCredentials;
    if (!sPassword.empty())
        credentials = {sMailboxText, Utf16ToUtf8(sPassword), Utf16ToUtf8(sDomain)};
    else
        m_client.SetMailbox(sMailboxText);
    m_client.SetServerVersion(nVersion);
    if (!m_client.Connect(Utf16ToUtf8(sUrl), std::move(credentials))) return m_client.LastError().hr;
    nReturnCode = RC_OK;
    return S_OK;
}

HRESULT CExchangeAccessComponent::Impersonate(long nKind, const std::u16string& sName) {
    m_sError.clear();
    if (m_client.ImpersonateAs(nKind, Utf16ToUtf8(sName))) return S_OK;
    m_sError = "Impersonate needs a kind of name and a name";
    return E_INVALIDARG;
}

HRESULT CExchangeAccessComponent::GetCustomProperties(std::vector<CustomProperty>& properties, long& nFailed) {
    m_sError.clear();
    std::vector<CEwsExtendedProperty> asked;
    for (const CustomProperty& property : properties)
        asked.push_back({Utf16ToUtf8(property.sPropertySetGuid), Utf16ToUtf8(property.sName), {}, false});
    const HRESULT hr = m_client.GetFolderProperties("calendar", asked);
    if (hr < 0) return hr;
    if (hr != S_OK) return E_FAIL;  // an EWS error response; LastError names it
    nFailed = 0;
    for (size_t n = 0; n < properties.size(); ++n) {
        properties[n].bFound = asked[n].bFound ? VARIANT_TRUE : VARIANT_FALSE;
        if (asked[n].bFound)
            properties[n].sValue = Utf8ToUtf16(asked[n].sValue);
        else
            ++nFailed;
    }
    return S_OK;
}
