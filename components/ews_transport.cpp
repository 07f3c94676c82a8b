#include "components/ews_transport.h"

#include "base/win_errors.h"

namespace {

HRESULT Fail(HRESULT hr, std::string sText, CEwsError& error) {
    error = {hr, std::move(sText)};
    return hr;
}

}  // namespace

HRESULT CEwsTransport::Post(const std::string& sUrl, const std::string& sBody, const CEwsCredentials& credentials,
                            const CEwsTransportOptions& options, std::string& sAnswer, CEwsError& error) {
    const std::string sUser =
        credentials.sUser.empty() ? "" : (credentials.sDomain.empty() ? "" : credentials.sDomain + "\\") + credentials.sUser;
    CHttpAnswer answer = m_client.Post(sUrl, "text/xml; charset=utf-8", sBody, sUser, credentials.sPassword, options);
    switch (answer.outcome) {
        case HttpOutcome::TOO_LARGE:
            return Fail(HResultFromWin32(ERROR_FILE_TOO_LARGE),
                        "the answer of " + sUrl + " is larger than " + std::to_string(options.cbMaxAnswer) + " bytes",
                        error);
        case HttpOutcome::TIMED_OUT:
            return Fail(HResultFromWin32(ERROR_TIMEOUT), sUrl + " did not answer in time", error);
        case HttpOutcome::NO_CONNECTION:
            return Fail(HResultFromWin32(ERROR_CONNECTION_REFUSED), sUrl + ": " + answer.sError, error);
        case HttpOutcome::ANSWERED:
            break;
    }
    const long nStatus = answer.nStatus;
    if (nStatus >= 300 && nStatus < 400)
        return Fail(
            HResultFromWin32(ERROR_ACCESS_DENIED),
            "redirect from " + sUrl + " to " + (answer.sLocation.empty() ? "(nowhere)" : answer.sLocation) + " refused",
            error);
    if (nStatus == 401 || nStatus == 403)
        return Fail(HResultFromWin32(ERROR_ACCESS_DENIED),
                    sUrl + " refused the credentials (HTTP " + std::to_string(nStatus) + ")", error);
    if (nStatus != 200 && nStatus != 500)
        return Fail(E_FAIL, sUrl + " answered HTTP " + std::to_string(nStatus), error);
    if (nStatus == 500 && answer.sBody.find("Fault") == std::string::npos)
        return Fail(E_FAIL, sUrl + " answered HTTP 500", error);
    sAnswer = std::move(answer.sBody);
    return S_OK;
}
