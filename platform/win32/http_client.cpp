#include "platform/http_client.h"

// clang-format off
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>
// clang-format on

#include <chrono>
#include <vector>

#include "platform/file_io.h"
#include "wide.h"

namespace {

constexpr int MAX_RESENDS = 3;

class CInternetHandle {
public:
    explicit CInternetHandle(HINTERNET hHandle = nullptr) : m_hHandle(hHandle) {}
    ~CInternetHandle() { Reset(); }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;
    HINTERNET Get() const { return m_hHandle; }
    void Reset(HINTERNET hHandle = nullptr) {
        if (m_hHandle != nullptr) WinHttpCloseHandle(m_hHandle);
        m_hHandle = hHandle;
    }

private:
    HINTERNET m_hHandle;
};

// The certificates of a PEM file, the only roots a server's chain may end in.
class CTrustedRoots {
public:
    explicit CTrustedRoots(const std::string& sCaFile) {
        m_hStore = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
        std::string sText;
        ReadRegularFile(sCaFile, 4 * 1024 * 1024, sText);
        const std::string sBegin = "-----BEGIN CERTIFICATE-----";
        const std::string sEnd = "-----END CERTIFICATE-----";
        for (size_t nAt = sText.find(sBegin); m_hStore != nullptr && nAt != std::string::npos;
             nAt = sText.find(sBegin, nAt + 1)) {
            const size_t nStop = sText.find(sEnd, nAt);
            if (nStop == std::string::npos) break;
            const std::string sPem = sText.substr(nAt, nStop + sEnd.size() - nAt);
            DWORD cbDer = 0;
            if (!CryptStringToBinaryA(sPem.c_str(), static_cast<DWORD>(sPem.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                      &cbDer, nullptr, nullptr))
                continue;
            std::vector<BYTE> der(cbDer);
            if (CryptStringToBinaryA(sPem.c_str(), static_cast<DWORD>(sPem.size()), CRYPT_STRING_BASE64HEADER,
                                     der.data(), &cbDer, nullptr, nullptr) &&
                CertAddEncodedCertificateToStore(m_hStore, X509_ASN_ENCODING, der.data(), cbDer,
                                                 CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
                ++m_nCount;
        }
    }
    ~CTrustedRoots() {
        if (m_hStore != nullptr) CertCloseStore(m_hStore, 0);
    }
    CTrustedRoots(const CTrustedRoots&) = delete;
    CTrustedRoots& operator=(const CTrustedRoots&) = delete;
    bool Empty() const { return m_nCount == 0; }

    // The chain is built with the file's certificates at hand; it must be
    // sound but for its root being unknown to the system, and that root must
    // be one of the file's.
    bool Trusts(PCCERT_CONTEXT pServer) const {
        HCERTSTORE hAtHand = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
        if (hAtHand == nullptr) return false;
        CertAddStoreToCollection(hAtHand, m_hStore, 0, 0);
        CertAddStoreToCollection(hAtHand, pServer->hCertStore, 0, 0);
        CERT_CHAIN_PARA para{};
        para.cbSize = sizeof(para);
        PCCERT_CHAIN_CONTEXT pChain = nullptr;
        bool bTrusted = false;
        if (CertGetCertificateChain(nullptr, pServer, nullptr, hAtHand, &para, 0, nullptr, &pChain)) {
            const DWORD dwErrors =
                pChain->TrustStatus.dwErrorStatus & ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
            if (dwErrors == CERT_TRUST_NO_ERROR && pChain->cChain > 0 && pChain->rgpChain[0]->cElement > 0) {
                const CERT_SIMPLE_CHAIN* pSimple = pChain->rgpChain[0];
                PCCERT_CONTEXT pRoot = pSimple->rgpElement[pSimple->cElement - 1]->pCertContext;
                PCCERT_CONTEXT pFound =
                    CertFindCertificateInStore(m_hStore, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, pRoot, nullptr);
                bTrusted = pFound != nullptr;
                if (pFound != nullptr) CertFreeCertificateContext(pFound);
            }
            CertFreeCertificateChain(pChain);
        }
        CertCloseStore(hAtHand, 0);
        return bTrusted;
    }

private:
    HCERTSTORE m_hStore = nullptr;
    int m_nCount = 0;
};

// Whether the server of the request's connection has a certificate that
// chains to the CA file's roots.
bool ServerTrusted(HINTERNET hRequest, const CTrustedRoots& roots) {
    PCCERT_CONTEXT pServer = nullptr;
    DWORD cbServer = sizeof(pServer);
    if (!WinHttpQueryOption(hRequest, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &pServer, &cbServer) || pServer == nullptr)
        return false;
    const bool bTrusted = roots.Trusts(pServer);
    CertFreeCertificateContext(pServer);
    return bTrusted;
}

std::string WinHttpErrorText(DWORD dwError) {
    switch (dwError) {
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return "the server could not be reached";
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return "the server's name could not be resolved";
        case ERROR_WINHTTP_SECURE_FAILURE:
            return "the server's certificate or name could not be verified";
        case ERROR_WINHTTP_CONNECTION_ERROR:
            return "the connection was reset";
        case ERROR_WINHTTP_INVALID_URL:
        case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
            return "the address is not an http or https URL";
        default:
            return "WinHTTP error " + std::to_string(dwError);
    }
}

// A call that failed with dwError: timed out (wine passes the socket's own
// code on), or no connection and why.
CHttpAnswer& Unanswered(CHttpAnswer& answer, DWORD dwError) {
    answer.sBody.clear();
    if (dwError == ERROR_WINHTTP_TIMEOUT || dwError == WSAETIMEDOUT)
        answer.outcome = HttpOutcome::TIMED_OUT;
    else
        answer.sError = WinHttpErrorText(dwError);
    return answer;
}

std::wstring QueryHeader(HINTERNET hRequest, DWORD dwInfo) {
    DWORD cbText = 0;
    WinHttpQueryHeaders(hRequest, dwInfo, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &cbText, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || cbText == 0) return {};
    std::wstring sText(cbText / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(hRequest, dwInfo, WINHTTP_HEADER_NAME_BY_INDEX, sText.data(), &cbText,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    sText.resize(cbText / sizeof(wchar_t));
    return sText;
}

// The strongest scheme both sides have; 0 for none.
DWORD ChooseScheme(HINTERNET hRequest, bool bWithUser) {
    DWORD dwSupported = 0, dwFirst = 0, dwTarget = 0;
    if (!WinHttpQueryAuthSchemes(hRequest, &dwSupported, &dwFirst, &dwTarget)) return 0;
    const DWORD dwUsable = bWithUser
                               ? WINHTTP_AUTH_SCHEME_NEGOTIATE | WINHTTP_AUTH_SCHEME_NTLM | WINHTTP_AUTH_SCHEME_BASIC
                               : WINHTTP_AUTH_SCHEME_NEGOTIATE;
    for (DWORD dwScheme : {WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM, WINHTTP_AUTH_SCHEME_BASIC})
        if ((dwSupported & dwUsable & dwScheme) != 0) return dwScheme;
    return 0;
}

}  // namespace

struct CHttpClient::CNative {
    CInternetHandle session;
    CInternetHandle connection;
    std::wstring sHost;
    INTERNET_PORT nPort = 0;
};

CHttpClient::CHttpClient() : m_pNative(std::make_unique<CNative>()) {}

CHttpClient::~CHttpClient() = default;

CHttpAnswer CHttpClient::Post(const std::string& sUrl, const std::string& sContentType, const std::string& sBody,
                              const std::string& sUser, const std::string& sPassword, const CHttpLimits& limits) {
    CHttpAnswer answer;
    const std::wstring sWideUrl = Widen(sUrl);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(sWideUrl.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        answer.sError = WinHttpErrorText(ERROR_WINHTTP_INVALID_URL);
        return answer;
    }
    const bool bSecure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::wstring sHost(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring sPath(parts.lpszUrlPath, parts.dwUrlPathLength);
    sPath.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    CNative& native = *m_pNative;
    if (native.session.Get() == nullptr)
        native.session.Reset(WinHttpOpen(L"Kalyxa", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0));
    if (native.session.Get() == nullptr) {
        answer.sError = WinHttpErrorText(GetLastError());
        return answer;
    }
    if (native.connection.Get() == nullptr || native.sHost != sHost || native.nPort != parts.nPort) {
        native.connection.Reset(WinHttpConnect(native.session.Get(), sHost.c_str(), parts.nPort, 0));
        native.sHost = sHost;
        native.nPort = parts.nPort;
    }
    if (native.connection.Get() == nullptr) {
        answer.sError = WinHttpErrorText(GetLastError());
        return answer;
    }
    CInternetHandle request(WinHttpOpenRequest(native.connection.Get(), L"POST", sPath.c_str(), nullptr,
                                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                               bSecure ? WINHTTP_FLAG_SECURE : 0));
    if (request.Get() == nullptr) {
        answer.sError = WinHttpErrorText(GetLastError());
        return answer;
    }
    // Each step waits at most the whole call's time; the answer's body is
    // read against the deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.nTimeoutMs);
    int nConnect = static_cast<int>(limits.nConnectTimeoutMs), nTotal = static_cast<int>(limits.nTimeoutMs);
    WinHttpSetTimeouts(request.Get(), nConnect, nConnect, nTotal, nTotal);
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &nTotal, sizeof(nTotal));
    DWORD dwOption = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &dwOption, sizeof(dwOption));
    dwOption = sUser.empty() ? WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW : WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &dwOption, sizeof(dwOption));

    std::unique_ptr<CTrustedRoots> spRoots;
    if (bSecure && !limits.sCaFile.empty()) {
        spRoots = std::make_unique<CTrustedRoots>(limits.sCaFile);
        if (spRoots->Empty()) {
            answer.sError = "no certificate could be read from " + limits.sCaFile;
            return answer;
        }
        // WinHTTP checks the name and the dates; the chain is checked
        // against the file once the connection is up, before the body goes.
        dwOption = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
        WinHttpSetOption(request.Get(), WINHTTP_OPTION_SECURITY_FLAGS, &dwOption, sizeof(dwOption));
    }

    const std::wstring sHeaders = L"Content-Type: " + Widen(sContentType) + L"\r\n";
    const std::wstring sWideUser = Widen(sUser), sWidePassword = Widen(sPassword);
    const DWORD cbBody = static_cast<DWORD>(sBody.size());
    bool bAuthenticated = false;
    int nResends = 0;
    for (;;) {
        // The headers first (they carry no credentials before a challenge), the body once the server is trusted.
        if (!WinHttpSendRequest(request.Get(), sHeaders.c_str(), static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0,
                                cbBody, 0))
            return Unanswered(answer, GetLastError());
        if (spRoots != nullptr && !ServerTrusted(request.Get(), *spRoots)) {
            answer.sError = "the server's certificate does not chain to " + limits.sCaFile;
            return answer;
        }
        DWORD cbWritten = 0;
        if ((cbBody > 0 && !WinHttpWriteData(request.Get(), sBody.data(), cbBody, &cbWritten)) ||
            !WinHttpReceiveResponse(request.Get(), nullptr)) {
            // A written body is sent again by us, not by WinHTTP: a leg of
            // NTLM or Negotiate, or a kept connection the server had closed.
            const DWORD dwError = GetLastError();
            if (dwError == ERROR_WINHTTP_RESEND_REQUEST && ++nResends <= MAX_RESENDS) continue;
            return Unanswered(answer, dwError);
        }
        DWORD dwStatus = 0, cbStatus = sizeof(dwStatus);
        WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &dwStatus, &cbStatus, WINHTTP_NO_HEADER_INDEX);
        answer.nStatus = static_cast<long>(dwStatus);
        if (dwStatus != 401 || bAuthenticated) break;
        const DWORD dwScheme = ChooseScheme(request.Get(), !sUser.empty());
        if (dwScheme == 0) break;
        if (!WinHttpSetCredentials(request.Get(), WINHTTP_AUTH_TARGET_SERVER, dwScheme,
                                   sUser.empty() ? nullptr : sWideUser.c_str(),
                                   sUser.empty() ? nullptr : sWidePassword.c_str(), nullptr))
            break;
        bAuthenticated = true;
    }
    if (answer.nStatus >= 300 && answer.nStatus < 400) {
        const std::wstring sLocation = QueryHeader(request.Get(), WINHTTP_QUERY_LOCATION);
        answer.sLocation = Narrow(sLocation.c_str(), sLocation.size());
    }
    // What has come is read at once; a body that trickles is cut at the deadline.
    for (;;) {
        DWORD cbAvailable = 0;
        if (!WinHttpQueryDataAvailable(request.Get(), &cbAvailable)) return Unanswered(answer, GetLastError());
        if (cbAvailable == 0) break;
        const size_t cbHave = answer.sBody.size();
        if (cbHave + cbAvailable > limits.cbMaxAnswer) {
            answer.sBody.clear();
            answer.outcome = HttpOutcome::TOO_LARGE;
            return answer;
        }
        answer.sBody.resize(cbHave + cbAvailable);
        DWORD cbRead = 0;
        if (!WinHttpReadData(request.Get(), answer.sBody.data() + cbHave, cbAvailable, &cbRead))
            return Unanswered(answer, GetLastError());
        answer.sBody.resize(cbHave + cbRead);
        if (std::chrono::steady_clock::now() > deadline) return Unanswered(answer, ERROR_WINHTTP_TIMEOUT);
    }
    answer.outcome = HttpOutcome::ANSWERED;
    return answer;
}
