#include "components/kx_exchange_access_component.h"

#include <charconv>
#include <climits>

#include "base/win_errors.h"
#include "platform/utf.h"

namespace {

// A negative HRESULT stays; S_FALSE (an EWS error response) is a false flag.
HRESULT Outcome(HRESULT hr, VARIANT_BOOL& bSuccess) {
    if (hr < 0) return hr;
    bSuccess = hr == S_OK ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

}  // namespace

HRESULT CKXExchangeAccessComponent::Invalid(const std::string& sWhy) {
    m_sError = sWhy;
    return E_INVALIDARG;
}

HRESULT CKXExchangeAccessComponent::GetErrorInfo(std::u16string& sText) {
    sText = Utf8ToUtf16(m_sError.empty() ? m_client.LastError().sText : m_sError);
    return S_OK;
}

HRESULT CKXExchangeAccessComponent::EnableTracing() {
    m_client.EnableTracing();
    return S_OK;
}

HRESULT CKXExchangeAccessComponent::InitConnection(long nConnectionType, const std::u16string& sUrl,
                                                   const std::u16string& sCookie, const std::u16string& sUser,
                                                   const std::u16string& sPassword, const std::u16string& sDomain) {
    m_sError.clear();
    CEwsCredentials credentials = sUser.empty() ? m_serviceCredentials
                                                : CEwsCredentials{Utf16ToUtf8(sUser), Utf16ToUtf8(sPassword),
                                                                  Utf16ToUtf8(sDomain)};
    m_client.Note("InitConnection type " + std::to_string(nConnectionType) + (sCookie.empty() ? "" : " cookie ***"));
    return m_client.Connect(Utf16ToUtf8(sUrl), std::move(credentials)) ? S_OK : m_client.LastError().hr;
}

HRESULT CKXExchangeAccessComponent::SetServerVersion(long nVersion) {
    m_client.SetServerVersion(nVersion);
    return S_OK;
}

HRESULT CKXExchangeAccessComponent::Impersonate(long nKind, const std::u16string& sName) {
    m_sError.clear();
    return m_client.ImpersonateAs(nKind, Utf16ToUtf8(sName)) ? S_OK
                                                             : Invalid("Impersonate needs a kind of name and a name");
}

HRESULT CKXExchangeAccessComponent::SetMailbox(const std::u16string& sMailbox) {
    m_sError.clear();
    if (sMailbox.empty()) return Invalid("SetMailbox needs a mailbox");
    m_client.SetMailbox(Utf16ToUtf8(sMailbox));
    return S_OK;
}

HRESULT CKXExchangeAccessComponent::GetMeetingReminderItem(const std::u16string& sItemId, VARIANT_BOOL& bReminderSet,
                                                           long& nMinutesBeforeStart, VARIANT_BOOL& bSuccess) {
    m_sError.clear();
    bool bSet = false;
    long nMinutes = 0;
    const HRESULT hr = Outcome(m_client.GetReminder(Utf16ToUtf8(sItemId), bSet, nMinutes), bSuccess);
    if (hr == S_OK && bSuccess == VARIANT_TRUE) {
        bReminderSet = bSet ? VARIANT_TRUE : VARIANT_FALSE;
        nMinutesBeforeStart = nMinutes;
    }
    return hr;
}

// The change key is not sent: the update overwrites whatever version the
// item has, so the callers' fixed text cannot make it fail as stale.
HRESULT CKXExchangeAccessComponent::SetMeetingReminderItem(const std::u16string& sItemId, const std::u16string&,
                                                           VARIANT_BOOL bReminderSet,
                                                           const std::u16string& sMinutesBeforeStart,
                                                           VARIANT_BOOL& bSuccess) {
    m_sError.clear();
    const std::string sMinutes = Utf16ToUtf8(sMinutesBeforeStart);
    long nMinutes = -1;
    const auto [pEnd, error] = std::from_chars(sMinutes.data(), sMinutes.data() + sMinutes.size(), nMinutes);
    if (error != std::errc() || pEnd != sMinutes.data() + sMinutes.size() || nMinutes < 0 || nMinutes > INT_MAX)
        return Invalid("the reminder minutes <" + sMinutes + "> are not a number of minutes");
    return Outcome(m_client.SetReminder(Utf16ToUtf8(sItemId), bReminderSet != VARIANT_FALSE, nMinutes), bSuccess);
}

HRESULT CKXExchangeAccessComponent::ConvertIdOwaToEws(const std::u16string& sOwaId, const std::u16string& sMailbox,
                                                      std::vector<std::u16string>& ewsIds, VARIANT_BOOL& bSuccess) {
    m_sError.clear();
    std::vector<std::string> ids;
    const HRESULT hr = Outcome(m_client.ConvertId(Utf16ToUtf8(sOwaId), Utf16ToUtf8(sMailbox), ids), bSuccess);
    if (hr == S_OK && bSuccess == VARIANT_TRUE) {
        ewsIds.clear();
        for (const std::string& sId : ids) ewsIds.push_back(Utf8ToUtf16(sId));
    }
    return hr;
}

HRESULT CKXExchangeAccessComponent::GetOwaUserConfiguration(const std::u16string& sConfigName, long nFolder,
                                                            UserConfigValues& values, VARIANT_BOOL& bSuccess) {
    m_sError.clear();
    const char* pszFolder = DistinguishedFolderName(nFolder);
    if (pszFolder == nullptr) return Invalid("no distinguished folder has the number " + std::to_string(nFolder));
    std::vector<std::pair<std::string, std::string>> entries;
    const HRESULT hr = Outcome(m_client.GetUserConfiguration(Utf16ToUtf8(sConfigName), pszFolder, entries), bSuccess);
    if (hr == S_OK && bSuccess == VARIANT_TRUE) {
        values.clear();
        for (const auto& [sKey, sValue] : entries) values.emplace_back(Utf8ToUtf16(sKey), Utf8ToUtf16(sValue));
    }
    return hr;
}

HRESULT CKXExchangeAccessComponent::GetTraceData(std::u16string& sText) {
    sText = Utf8ToUtf16(m_client.TakeTrace());
    return S_OK;
}
