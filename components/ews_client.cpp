#include "components/ews_client.h"

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "platform/component_interfaces.h"

namespace {
constexpr size_t MAX_TRACED_BODY = 16 * 1024;

std::string Traced(const std::string& sBody) {
    return sBody.size() <= MAX_TRACED_BODY ? sBody
                                           : sBody.substr(0, MAX_TRACED_BODY) + "... (" +
                                                 std::to_string(sBody.size()) + " bytes)";
}
}  // namespace

bool CEwsClient::Connect(const std::string& sUrl, CEwsCredentials credentials) {
    if (!StartsWithNoCase(sUrl, "https://") && !StartsWithNoCase(sUrl, "http://")) {
        m_lastError = {E_INVALIDARG, "the EWS address <" + sUrl + "> is not an http(s) address"};
        return false;
    }
    m_sUrl = sUrl;
    m_credentials = std::move(credentials);
    Note("connect " + sUrl + " as " + (m_credentials.sUser.empty() ? "(Negotiate)" : m_credentials.sUser) +
         (m_credentials.sPassword.empty() ? "" : " password ***"));
    return true;
}

void CEwsClient::SetServerVersion(long nVersion) {
    m_header.sServerVersion = nVersion == 4 ? "Exchange2007_SP1" : "Exchange2010";
}

void CEwsClient::Note(const std::string& sLine) {
    if (m_bTracing) m_sTrace += sLine + "\n";
}

template <class TRead>
HRESULT CEwsClient::Exchange(const char* pszOperation, bool bBuilt, const std::string& sBody, TRead read) {
    if (!bBuilt) return m_lastError.hr;
    if (m_sUrl.empty()) {
        m_lastError = {E_UNEXPECTED, "no connection: InitConnection did not succeed"};
        return E_UNEXPECTED;
    }
    Note(std::string("--> ") + pszOperation + " " + m_sUrl + "\n" + Traced(sBody));
    std::string sAnswer;
    HRESULT hr = m_transport.Post(m_sUrl, sBody, m_credentials, m_options, sAnswer, m_lastError);
    if (hr >= 0) {
        Note("<-- " + Traced(sAnswer));
        hr = read(sAnswer);
    }
    if (hr != S_OK) Note("<-- failed: " + m_lastError.sText);
    return hr;
}

HRESULT CEwsClient::GetReminder(const std::string& sItemId, bool& bReminderSet, long& nMinutes) {
    std::string sBody;
    const bool bBuilt = BuildGetReminder(m_header, sItemId, sBody, m_lastError);
    return Exchange("GetItem", bBuilt, sBody, [&](const std::string& sAnswer) {
        return ReadGetReminder(sAnswer, bReminderSet, nMinutes, m_lastError);
    });
}

HRESULT CEwsClient::SetReminder(const std::string& sItemId, bool bReminderSet, long nMinutes) {
    std::string sBody;
    const bool bBuilt = BuildSetReminder(m_header, sItemId, bReminderSet, nMinutes, sBody, m_lastError);
    return Exchange("UpdateItem", bBuilt, sBody,
                    [&](const std::string& sAnswer) { return ReadUpdateItem(sAnswer, m_lastError); });
}

HRESULT CEwsClient::ConvertId(const std::string& sOwaId, const std::string& sMailbox, std::vector<std::string>& ids) {
    std::string sBody;
    const bool bBuilt = BuildConvertId(m_header, sOwaId, sMailbox, sBody, m_lastError);
    return Exchange("ConvertId", bBuilt, sBody,
                    [&](const std::string& sAnswer) { return ReadConvertId(sAnswer, ids, m_lastError); });
}

HRESULT CEwsClient::GetUserConfiguration(const std::string& sName, const char* pszFolder,
                                         std::vector<std::pair<std::string, std::string>>& values) {
    std::string sBody;
    const bool bBuilt = BuildGetUserConfiguration(m_header, sName, pszFolder, sBody, m_lastError);
    return Exchange("GetUserConfiguration", bBuilt, sBody, [&](const std::string& sAnswer) {
        return ReadGetUserConfiguration(sAnswer, values, m_lastError);
    });
}

HRESULT CEwsClient::GetFolderProperties(const char* pszFolder, std::vector<CEwsExtendedProperty>& properties) {
    std::string sBody;
    const bool bBuilt = BuildGetFolderProperties(m_header, pszFolder, properties, sBody, m_lastError);
    return Exchange("GetFolder", bBuilt, sBody, [&](const std::string& sAnswer) {
        return ReadGetFolderProperties(sAnswer, properties, m_lastError);
    });
}

HRESULT CEwsClient::SetFolderProperties(const char* pszFolder, const std::vector<CEwsExtendedProperty>& properties) {
    std::string sBody;
    const bool bBuilt = BuildSetFolderProperties(m_header, pszFolder, properties, sBody, m_lastError);
    return Exchange("UpdateFolder", bBuilt, sBody,
                    [&](const std::string& sAnswer) { return ReadUpdateFolder(sAnswer, m_lastError); });
}

HRESULT CEwsClient::FindMarkedItems(const CEwsExtendedProperty& marker, std::vector<CEwsMarkedItem>& items) {
    constexpr long PAGE = 500;
    constexpr size_t MAX_ITEMS = 200000;  // a calendar that never ends its pages
    std::vector<CEwsMarkedItem> found;
    for (bool bLast = false; !bLast;) {
        if (found.size() > MAX_ITEMS) {
            m_lastError = {E_FAIL, "more than " + std::to_string(MAX_ITEMS) + " marked items"};
            return E_FAIL;
        }
        std::string sBody;
        const bool bBuilt =
            BuildFindMarkedItems(m_header, marker, static_cast<long>(found.size()), PAGE, sBody, m_lastError);
        const size_t nBefore = found.size();
        const HRESULT hr = Exchange("FindItem", bBuilt, sBody, [&](const std::string& sAnswer) {
            return ReadFindMarkedItems(sAnswer, found, bLast, m_lastError);
        });
        if (hr != S_OK) return hr;
        if (found.size() == nBefore) break;  // an empty page ends it whatever it says
    }
    items = std::move(found);
    return S_OK;
}

HRESULT CEwsClient::CreateHolidayItems(const CEwsExtendedProperty& marker, const std::string& sCategory,
                                       const std::string& sTimeZone, const std::vector<CEwsHolidayItem>& items) {
    std::string sBody;
    const bool bBuilt = BuildCreateHolidayItems(m_header, marker, sCategory, sTimeZone, items, sBody, m_lastError);
    return Exchange("CreateItem", bBuilt, sBody,
                    [&](const std::string& sAnswer) { return ReadCreateItems(sAnswer, m_lastError); });
}

HRESULT CEwsClient::DeleteItems(const std::vector<std::string>& ids) {
    std::string sBody;
    const bool bBuilt = BuildDeleteItems(m_header, ids, sBody, m_lastError);
    return Exchange("DeleteItem", bBuilt, sBody,
                    [&](const std::string& sAnswer) { return ReadDeleteItems(sAnswer, m_lastError); });
}

bool CEwsClient::ImpersonateAs(long nKind, const std::string& sName) {
    if (sName.empty() || (nKind != IMPERSONATE_SMTP_ADDRESS && nKind != IMPERSONATE_PRINCIPAL_NAME)) return false;
    m_header.impersonatedAs =
        nKind == IMPERSONATE_SMTP_ADDRESS ? CEwsUserName::SMTP_ADDRESS : CEwsUserName::PRINCIPAL_NAME;
    m_header.sImpersonated = sName;
    return true;
}
