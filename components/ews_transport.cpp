#include "components/ews_transport.h"

#include <curl/curl.h>

#include <mutex>

#include "base/win_errors.h"
#include "platform/signal_mask.h"

namespace {

struct CAnswerSink {
    std::string* pText;
    size_t cbMax;
    bool bTooLarge = false;
};

size_t Collect(char* pData, size_t cbSize, size_t nCount, void* pContext) {
    auto* pSink = static_cast<CAnswerSink*>(pContext);
    const size_t cbData = cbSize * nCount;
    if (pSink->pText->size() + cbData > pSink->cbMax) {
        pSink->bTooLarge = true;
        return 0;  // aborts the transfer
    }
    pSink->pText->append(pData, cbData);
    return cbData;
}

HRESULT Fail(HRESULT hr, std::string sText, CEwsError& error) {
    error = {hr, std::move(sText)};
    return hr;
}

}  // namespace

CEwsTransport::CEwsTransport() {
    static std::once_flag s_globalInit;
    std::call_once(s_globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_pCurl = curl_easy_init();
}

CEwsTransport::~CEwsTransport() { curl_easy_cleanup(static_cast<CURL*>(m_pCurl)); }

HRESULT CEwsTransport::Post(const std::string& sUrl, const std::string& sBody, const CEwsCredentials& credentials,
                            const CEwsTransportOptions& options, std::string& sAnswer, CEwsError& error) {
    CURL* pCurl = static_cast<CURL*>(m_pCurl);
    if (pCurl == nullptr) return Fail(E_OUTOFMEMORY, "libcurl could not start", error);
    curl_easy_reset(pCurl);
    std::string sText;
    CAnswerSink sink{&sText, options.cbMaxAnswer};
    curl_slist* pHeaders = curl_slist_append(nullptr, "Content-Type: text/xml; charset=utf-8");
    pHeaders = curl_slist_append(pHeaders, "Expect:");
    const std::string sUser =
        credentials.sUser.empty() ? "" : (credentials.sDomain.empty() ? "" : credentials.sDomain + "\\") + credentials.sUser;

    curl_easy_setopt(pCurl, CURLOPT_URL, sUrl.c_str());
    curl_easy_setopt(pCurl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(pCurl, CURLOPT_POST, 1L);
    curl_easy_setopt(pCurl, CURLOPT_POSTFIELDS, sBody.data());
    curl_easy_setopt(pCurl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(sBody.size()));
    curl_easy_setopt(pCurl, CURLOPT_HTTPHEADER, pHeaders);
    curl_easy_setopt(pCurl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(pCurl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(pCurl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.sCaFile.empty()) curl_easy_setopt(pCurl, CURLOPT_CAINFO, options.sCaFile.c_str());
    curl_easy_setopt(pCurl, CURLOPT_CONNECTTIMEOUT_MS, options.nConnectTimeoutMs);
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT_MS, options.nTimeoutMs);
    curl_easy_setopt(pCurl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.cbMaxAnswer));
    curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &sink);
    if (sUser.empty()) {
        curl_easy_setopt(pCurl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_NEGOTIATE));
        curl_easy_setopt(pCurl, CURLOPT_USERPWD, ":");
    } else {
        curl_easy_setopt(pCurl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_NTLM | CURLAUTH_NEGOTIATE));
        curl_easy_setopt(pCurl, CURLOPT_USERNAME, sUser.c_str());
        curl_easy_setopt(pCurl, CURLOPT_PASSWORD, credentials.sPassword.c_str());
    }
    CURLcode result;
    {
        const CAllSignalsBlocked blocked;  // the resolver's thread is started inside
        result = curl_easy_perform(pCurl);
    }
    curl_slist_free_all(pHeaders);
    curl_easy_setopt(pCurl, CURLOPT_PASSWORD, "");

    if (sink.bTooLarge || result == CURLE_FILESIZE_EXCEEDED)
        return Fail(HResultFromWin32(ERROR_FILE_TOO_LARGE),
                    "the answer of " + sUrl + " is larger than " + std::to_string(options.cbMaxAnswer) + " bytes",
                    error);
    if (result == CURLE_OPERATION_TIMEDOUT)
        return Fail(HResultFromWin32(ERROR_TIMEOUT), sUrl + " did not answer in time", error);
    if (result != CURLE_OK)
        return Fail(HResultFromWin32(ERROR_CONNECTION_REFUSED),
                    sUrl + ": " + curl_easy_strerror(result), error);
    long nStatus = 0;
    curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &nStatus);
    if (nStatus >= 300 && nStatus < 400) {
        const char* pszLocation = nullptr;
        curl_easy_getinfo(pCurl, CURLINFO_REDIRECT_URL, &pszLocation);
        return Fail(HResultFromWin32(ERROR_ACCESS_DENIED),
                    "redirect from " + sUrl + " to " + (pszLocation ? pszLocation : "(nowhere)") + " refused", error);
    }
    if (nStatus == 401 || nStatus == 403)
        return Fail(HResultFromWin32(ERROR_ACCESS_DENIED),
                    sUrl + " refused the credentials (HTTP " + std::to_string(nStatus) + ")", error);
    if (nStatus != 200 && nStatus != 500)
        return Fail(E_FAIL, sUrl + " answered HTTP " + std::to_string(nStatus), error);
    if (nStatus == 500 && sText.find("Fault") == std::string::npos)
        return Fail(E_FAIL, sUrl + " answered HTTP 500", error);
    sAnswer = std::move(sText);
    return S_OK;
}
