// The older Exchange-access component: a mailbox's custom properties, kept
// as string extended properties of its calendar folder.
#ifndef KX_COMPONENTS_EXCHANGE_ACCESS_COMPONENT_H
#define KX_COMPONENTS_EXCHANGE_ACCESS_COMPONENT_H

#include "components/ews_client.h"
#include "platform/component_interfaces.h"

class CExchangeAccessComponent : public IExchangeAccess {
public:
    // The return codes of Initialize.
    enum : long { RC_OK = 0, RC_NO_MAILBOX = 1 };

    CExchangeAccessComponent(CEwsTransportOptions options, CEwsCredentials serviceCredentials)
        : m_client(std::move(options)), m_serviceCredentials(std::move(serviceCredentials)) {}

    HRESULT GetErrorInfo(std::u16string& sText) override;
    // Without a password the service account asks for the mailbox (as the
    // user Impersonate names); with one, the mailbox's user signs in.
    HRESULT Initialize(long nVersion, long nConnectionType, const std::u16string& sUrl,
                       const std::u16string& sMailbox, const std::u16string& sPassword,
                       const std::u16string& sDomain, long& nReturnCode) override;
    HRESULT Impersonate(long nKind, const std::u16string& sName) override;
    HRESULT GetCustomProperties(std::vector<CustomProperty>& properties, long& nFailed) override;

private:
    CEwsClient m_client;
    CEwsCredentials m_serviceCredentials;
    std::string m_sError;
};

#endif  // KX_COMPONENTS_EXCHANGE_ACCESS_COMPONENT_H
