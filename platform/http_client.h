// POSTs over HTTP or HTTPS: libcurl on POSIX, WinHTTP on Windows. The
// server's certificate and name are always verified, redirects are reported
// and not followed, and one object keeps its connection between calls (NTLM
// authenticates a connection).
#ifndef KX_PLATFORM_HTTP_CLIENT_H
#define KX_PLATFORM_HTTP_CLIENT_H

#include <cstddef>
#include <memory>
#include <string>

struct CHttpLimits {
    std::string sCaFile;  // empty: the system's trusted certificates
    long nConnectTimeoutMs = 10000;
    long nTimeoutMs = 30000;
    size_t cbMaxAnswer = 4 * 1024 * 1024;
};

enum class HttpOutcome { ANSWERED, TIMED_OUT, TOO_LARGE, NO_CONNECTION };

struct CHttpAnswer {
    HttpOutcome outcome = HttpOutcome::NO_CONNECTION;
    long nStatus = 0;
    std::string sBody;
    std::string sLocation;  // of a redirect
    std::string sError;     // why there is no answer
};

class CHttpClient {
public:
    CHttpClient();
    ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // An empty user authenticates with Negotiate as the process; otherwise
    // ("DOMAIN\user" or "user") Basic, NTLM or Negotiate, as the server asks.
    CHttpAnswer Post(const std::string& sUrl, const std::string& sContentType, const std::string& sBody,
                     const std::string& sUser, const std::string& sPassword, const CHttpLimits& limits);

private:
    struct CNative;
    std::unique_ptr<CNative> m_pNative;
};

#endif  // KX_PLATFORM_HTTP_CLIENT_H
