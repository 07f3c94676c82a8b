// The Exchange-access component of the product's pages, over the EWS client.
// An EWS error response is a success HRESULT with a false flag; transport
// failures, SOAP faults and malformed answers are negative HRESULTs.
#ifndef KX_COMPONENTS_KX_EXCHANGE_ACCESS_COMPONENT_H
#define KX_COMPONENTS_KX_EXCHANGE_ACCESS_COMPONENT_H

#include "components/ews_client.h"
#include "platform/component_interfaces.h"

class CKXExchangeAccessComponent : public IKXExchangeAccess {
public:
    // serviceCredentials are used when InitConnection names no user.
    CKXExchangeAccessComponent(CEwsTransportOptions options, CEwsCredentials serviceCredentials)
        : m_client(std::move(options)), m_serviceCredentials(std::move(serviceCredentials)) {}

    HRESULT GetErrorInfo(std::u16string& sText) override;
    HRESULT EnableTracing() override;
    HRESULT InitConnection(long nConnectionType, const std::u16string& sUrl, const std::u16string& sCookie,
                           const std::u16string& sUser, const std::u16string& sPassword,
                           const std::u16string& sDomain) override;
    HRESULT SetServerVersion(long nVersion) override;
    HRESULT Impersonate(long nKind, const std::u16string& sName) override;
    HRESULT SetMailbox(const std::u16string& sMailbox) override;
    HRESULT GetMeetingReminderItem(const std::u16string& sItemId, VARIANT_BOOL& bReminderSet,
                                   long& nMinutesBeforeStart, VARIANT_BOOL& bSuccess) override;
    HRESULT SetMeetingReminderItem(const std::u16string& sItemId, const std::u16string& sChangeKey,
                                   VARIANT_BOOL bReminderSet, const std::u16string& sMinutesBeforeStart,
                                   VARIANT_BOOL& bSuccess) override;
    HRESULT ConvertIdOwaToEws(const std::u16string& sOwaId, const std::u16string& sMailbox,
                              std::vector<std::u16string>& ewsIds, VARIANT_BOOL& bSuccess) override;
    HRESULT GetOwaUserConfiguration(const std::u16string& sConfigName, long nFolder, UserConfigValues& values,
                                    VARIANT_BOOL& bSuccess) override;
    HRESULT GetTraceData(std::u16string& sText) override;

private:
    HRESULT Invalid(const std::string& sWhy);

    CEwsClient m_client;
    CEwsCredentials m_serviceCredentials;
    std::string m_sError;
};

#endif  // KX_COMPONENTS_KX_EXCHANGE_ACCESS_COMPONENT_H
