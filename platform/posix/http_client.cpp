#include "platform/http_client.h"

#include <curl/curl.h>

#include <mutex>

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

}  // namespace

struct CHttpClient::CNative {
    CURL* pCurl = nullptr;
};

CHttpClient::CHttpClient() : m_pNative(std::make_unique<CNative>()) {
    static std::once_flag s_globalInit;
    std::call_once(s_globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_pNative->pCurl = curl_easy_init();
}

CHttpClient::~CHttpClient() { curl_easy_cleanup(m_pNative->pCurl); }

CHttpAnswer CHttpClient::Post(const std::string& sUrl, const std::string& sContentType, const std::string& sBody,
                              const std::string& sUser, const std::string& sPassword, const CHttpLimits& limits) {
    CHttpAnswer answer;
    CURL* pCurl = m_pNative->pCurl;
    if (pCurl == nullptr) {
        answer.sError = "libcurl could not start";
        return answer;
    }
    curl_easy_reset(pCurl);
    CAnswerSink sink{&answer.sBody, limits.cbMaxAnswer};
    const std::string sContentHeader = "Content-Type: " + sContentType;
    curl_slist* pHeaders = curl_slist_append(nullptr, sContentHeader.c_str());
    pHeaders = curl_slist_append(pHeaders, "Expect:");

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
    if (!limits.sCaFile.empty()) curl_easy_setopt(pCurl, CURLOPT_CAINFO, limits.sCaFile.c_str());
    curl_easy_setopt(pCurl, CURLOPT_CONNECTTIMEOUT_MS, limits.nConnectTimeoutMs);
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT_MS, limits.nTimeoutMs);
    curl_easy_setopt(pCurl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.cbMaxAnswer));
    curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &sink);
    if (sUser.empty()) {
        curl_easy_setopt(pCurl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_NEGOTIATE));
        curl_easy_setopt(pCurl, CURLOPT_USERPWD, ":");
    } else {
        curl_easy_setopt(pCurl, CURLOPT_HTTPAUTH,
                         static_cast<long>(CURLAUTH_BASIC | CURLAUTH_NTLM | CURLAUTH_NEGOTIATE));
        curl_easy_setopt(pCurl, CURLOPT_USERNAME, sUser.c_str());
        curl_easy_setopt(pCurl, CURLOPT_PASSWORD, sPassword.c_str());
    }
    CURLcode result;
    {
        const CAllSignalsBlocked blocked;  // the resolver's thread is started inside
        result = curl_easy_perform(pCurl);
    }
    curl_slist_free_all(pHeaders);
    curl_easy_setopt(pCurl, CURLOPT_PASSWORD, "");

    if (sink.bTooLarge || result == CURLE_FILESIZE_EXCEEDED) {
        answer.outcome = HttpOutcome::TOO_LARGE;
    } else if (result == CURLE_OPERATION_TIMEDOUT) {
        answer.outcome = HttpOutcome::TIMED_OUT;
    } else if (result != CURLE_OK) {
        answer.sError = curl_easy_strerror(result);
    } else {
        answer.outcome = HttpOutcome::ANSWERED;
        curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &answer.nStatus);
        const char* pszLocation = nullptr;
        if (curl_easy_getinfo(pCurl, CURLINFO_REDIRECT_URL, &pszLocation) == CURLE_OK && pszLocation != nullptr)
            answer.sLocation = pszLocation;
    }
    return answer;
}
