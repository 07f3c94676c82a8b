// An Exchange Web Services client: the operations the components need,
// each one SOAP exchange, with the last failure's text kept and, when
// tracing, the exchanges kept for the caller's log.
#ifndef KX_COMPONENTS_EWS_CLIENT_H
#define KX_COMPONENTS_EWS_CLIENT_H

#include <string>
#include <utility>
#include <vector>

#include "components/ews_calendar_soap.h"
#include "components/ews_soap.h"
#include "components/ews_transport.h"

class CEwsClient {
public:
    explicit CEwsClient(CEwsTransportOptions options) : m_options(std::move(options)) {}

    // False (E_INVALIDARG in LastError) for an address that is not http(s).
    bool Connect(const std::string& sUrl, CEwsCredentials credentials);
    // 4 writes requests for Exchange 2007 SP1, anything else for 2010.
    void SetServerVersion(long nVersion);
    // Asks for the folders of another user's mailbox.
    void SetMailbox(const std::string& sMailbox) { m_header.sMailbox = sMailbox; }
    void EnableTracing() { m_bTracing = true; }
    // The exchanges kept since the last call.
    std::string TakeTrace() { return std::exchange(m_sTrace, {}); }
    const CEwsError& LastError() const { return m_lastError; }

    // S_OK, S_FALSE when Exchange answered with an error code, or a
    // negative HRESULT (LastError says why).
    HRESULT GetReminder(const std::string& sItemId, bool& bReminderSet, long& nMinutes);
    HRESULT SetReminder(const std::string& sItemId, bool bReminderSet, long nMinutes);
    HRESULT ConvertId(const std::string& sOwaId, const std::string& sMailbox, std::vector<std::string>& ids);
    HRESULT GetUserConfiguration(const std::string& sName, const char* pszFolder,
                                 std::vector<std::pair<std::string, std::string>>& values);
    HRESULT GetFolderProperties(const char* pszFolder, std::vector<CEwsExtendedProperty>& properties);
    HRESULT SetFolderProperties(const char* pszFolder, const std::vector<CEwsExtendedProperty>& properties);
    // Every calendar item carrying the marker, page by page.
    HRESULT FindMarkedItems(const CEwsExtendedProperty& marker, std::vector<CEwsMarkedItem>& items);
    HRESULT CreateHolidayItems(const CEwsExtendedProperty& marker, const std::string& sCategory,
                               const std::string& sTimeZone, const std::vector<CEwsHolidayItem>& items);
    HRESULT DeleteItems(const std::vector<std::string>& ids);

    // Adds a line to the kept exchanges when tracing.
    void Note(const std::string& sLine);
    // Acts as that user, named as the component interfaces' kind says
    // (IMPERSONATE_...): Exchange checks the user's rights, not the
    // account's. False, and no change, for another kind or an empty name.
    bool ImpersonateAs(long nKind, const std::string& sName);

private:
    template <class TRead>
    HRESULT Exchange(const char* pszOperation, bool bBuilt, const std::string& sBody, TRead read);

    CEwsTransportOptions m_options;
    CEwsTransport m_transport;
    std::string m_sUrl;
    CEwsCredentials m_credentials;
    CEwsHeader m_header{"Exchange2010", {}, CEwsUserName::SMTP_ADDRESS, {}};
    bool m_bTracing = false;
    std::string m_sTrace;
    CEwsError m_lastError;
};

#endif  // KX_COMPONENTS_EWS_CLIENT_H
