// HTTP POSTs of SOAP bodies to an Exchange Web Services address: Basic,
// NTLM or Negotiate as the server asks, TLS verified, bounded in time and
// size, redirects refused. One object keeps its connection between calls
// (NTLM authenticates a connection).
#ifndef KX_COMPONENTS_EWS_TRANSPORT_H
#define KX_COMPONENTS_EWS_TRANSPORT_H

#include <string>

#include "components/ews_soap.h"
#include "platform/http_client.h"

using CEwsTransportOptions = CHttpLimits;

// Who the requests authenticate as; no user means Negotiate with the
// process's Kerberos credential.
struct CEwsCredentials {
    std::string sUser;
    std::string sPassword;
    std::string sDomain;
};

class CEwsTransport {
public:
    // The answer's body for HTTP 200, and for 500 (SOAP faults come with
    // it). Otherwise a negative HRESULT and error names the cause: 0x800705B4
    // timed out, 0x80070005 refused credentials or a redirect, 0x800700DF an
    // answer over the bound, 0x800704C9 no connection (or TLS failure),
    // 0x80004005 another HTTP status.
    HRESULT Post(const std::string& sUrl, const std::string& sBody, const CEwsCredentials& credentials,
                 const CEwsTransportOptions& options, std::string& sAnswer, CEwsError& error);

private:
    CHttpClient m_client;
};

#endif  // KX_COMPONENTS_EWS_TRANSPORT_H
