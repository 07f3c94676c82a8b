#include "host/proxy_server.h"

#include <httplib.h>
#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "host/host_request.h"
#include "host/host_services.h"
#include "host/host_text.h"
#include "host/raw_response.h"

namespace kxhost {

namespace {

constexpr const char* HOP_BY_HOP[] = {"Connection", "Keep-Alive", "Proxy-Authenticate", "Proxy-Authorization",
                                      "TE", "Trailer", "Transfer-Encoding", "Upgrade"};

bool IsHopByHop(std::string_view sName) {
    for (const char* pszName : HOP_BY_HOP)
        if (SameNoCase(sName, pszName)) return true;
    return false;
}

// CR, LF, NUL and the other controls but tab: what must never reach a
// header line or a request line upstream.
bool HasControls(std::string_view sText) {
    for (const char ch : sText)
        if ((static_cast<unsigned char>(ch) < 0x20 && ch != '\t') || ch == 0x7F) return true;
    return false;
}

// What the HTTP library adds to a request's headers about the connection.
bool IsPseudoHeader(std::string_view sName) {
    for (const char* pszName : {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"})
        if (SameNoCase(sName, pszName)) return true;
    return false;
}

// "Name:" as the worker names headers, without the colon.
std::string HeaderName(std::string sName) {
    if (!sName.empty() && sName.back() == ':') sName.pop_back();
    return sName;
}

// The user name of a Basic authorization header; empty when there is none.
std::string BasicUser(const std::string& sAuthorization) {
    if (!StartsWithNoCase(sAuthorization, "Basic ")) return "";
    static constexpr std::string_view DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string sDecoded;
    unsigned nBits = 0, nCount = 0;
    for (size_t n = 6; n < sAuthorization.size() && sAuthorization[n] != '='; ++n) {
        const size_t nDigit = DIGITS.find(sAuthorization[n]);
        if (nDigit == std::string_view::npos) return "";
        nBits = (nBits << 6) | static_cast<unsigned>(nDigit);
        if ((nCount += 6) >= 8) {
            nCount -= 8;
            sDecoded += static_cast<char>((nBits >> nCount) & 0xFF);
        }
    }
    return sDecoded.substr(0, sDecoded.find(':'));
}

// The target without the cached-script folder: browsers ask for
// "…/<prefix>/file" so that a new prefix makes them fetch files again.
std::string WithoutScriptPrefix(const std::string& sTarget, const std::string& sPrefix) {
    const std::string sSegment = "/" + sPrefix + "/";
    const size_t nPathEnd = sTarget.find('?');
    const size_t nAt = sPrefix.empty() ? std::string::npos : sTarget.find(sSegment);
    if (nAt == std::string::npos || nAt >= nPathEnd) return sTarget;
    return sTarget.substr(0, nAt + 1) + sTarget.substr(nAt + sSegment.size());
}

}  // namespace

ProxyServer::ProxyServer(PFN_HTTP_FILTER_PROC pfnFilterProc, RequestRules rules, UserStore* pStore,
                         ProxyOptions options)
    : m_pfnFilterProc(pfnFilterProc),
      m_rules(std::move(rules)),
      m_pStore(pStore),
      m_options(std::move(options)),
      m_spServer(std::make_unique<httplib::Server>()) {
    // Pages pass through as several buffers of their size each. Kept in the
    // allocator's arenas instead of being mapped and unmapped per request
    // (a fresh mapping costs a page fault for every 4 KB written).
    mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    const size_t nScheme = m_options.sUpstream.find("://");
    const size_t nAuthority = nScheme == std::string::npos ? 0 : nScheme + 3;
    m_bUpstreamHttps = StartsWithNoCase(m_options.sUpstream, "https://");
    m_sUpstreamAuthority = m_options.sUpstream.substr(nAuthority, m_options.sUpstream.find('/', nAuthority) - nAuthority);
    m_spServer->set_read_timeout(m_options.nClientSeconds, 0);
    m_spServer->set_write_timeout(m_options.nClientSeconds, 0);
    m_spServer->set_keep_alive_timeout(m_options.nClientSeconds);
    m_spServer->set_payload_max_length(16 * 1024 * 1024);
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    };
    for (const char* pszPattern : {".*"}) {
        m_spServer->Get(pszPattern, handler);
        m_spServer->Post(pszPattern, handler);
        m_spServer->Put(pszPattern, handler);
        m_spServer->Delete(pszPattern, handler);
        m_spServer->Patch(pszPattern, handler);
        m_spServer->Options(pszPattern, handler);
    }
}

ProxyServer::~ProxyServer() = default;

int ProxyServer::Bind(const std::string& sHost, int nPort) {
    if (nPort == 0) return m_spServer->bind_to_any_port(sHost.c_str());
    return m_spServer->bind_to_port(sHost.c_str(), nPort) ? nPort : -1;
}

bool ProxyServer::Serve() { return m_spServer->listen_after_bind(); }

void ProxyServer::Stop() { m_spServer->stop(); }

bool ProxyServer::ServeClientFile(const std::string& sPath, httplib::Response& response) const {
    static constexpr std::string_view FOLDER = "/QVScripts/Kalyxa/2.0/";
    const size_t nApp = sPath.find('/', 1);
    if (nApp == std::string::npos || !StartsWithNoCase(std::string_view(sPath).substr(nApp), FOLDER)) return false;
    const std::string sName = sPath.substr(nApp + FOLDER.size());
    const bool bPlainName = !sName.empty() && sName[0] != '.' &&
                            sName.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") ==
                                std::string::npos;
    std::ifstream file(m_options.sClientFolder + "/" + sName, std::ios::binary);
    if (!bPlainName || m_options.sClientFolder.empty() || !file) {
        response.status = 404;
        response.set_content("No such file.\n", "text/plain");
        return true;
    }
    std::ostringstream content;
    content << file.rdbuf();
    const bool bScript = sName.size() > 3 && sName.compare(sName.size() - 3, 3, ".js") == 0;
    response.set_header("Cache-Control", "public, max-age=31536000");
    response.set_content(content.str(), bScript ? "application/javascript; charset=utf-8" : "image/gif");
    return true;
}

std::unique_ptr<httplib::Client> ProxyServer::TakeClient() {
    {
        const std::lock_guard<std::mutex> guard(m_clientsLock);
        if (!m_idleClients.empty()) {
            std::unique_ptr<httplib::Client> spClient = std::move(m_idleClients.back());
            m_idleClients.pop_back();
            return spClient;
        }
    }
    auto spClient = std::make_unique<httplib::Client>(m_options.sUpstream);
    spClient->set_keep_alive(true);
    spClient->set_connection_timeout(5, 0);
    spClient->set_read_timeout(m_options.nUpstreamSeconds, 0);
    spClient->set_write_timeout(m_options.nUpstreamSeconds, 0);
    spClient->set_follow_location(false);
    spClient->enable_server_certificate_verification(true);
    if (!m_options.sCaFile.empty()) spClient->set_ca_cert_path(m_options.sCaFile.c_str());
    return spClient;
}

void ProxyServer::ReturnClient(std::unique_ptr<httplib::Client> spClient) {
    const std::lock_guard<std::mutex> guard(m_clientsLock);
    if (m_idleClients.size() < 16) m_idleClients.push_back(std::move(spClient));
}

void ProxyServer::Handle(const httplib::Request& request, httplib::Response& response) {
    bool bClean = !HasControls(request.target);
    for (const auto& [sName, sValue] : request.headers) bClean = bClean && !HasControls(sName) && !HasControls(sValue);
    if (!bClean) {
        response.status = 400;
        response.set_content("Control characters in the request line or a header.\n", "text/plain");
        return;
    }
    const std::string sTarget = WithoutScriptPrefix(request.target, m_options.sScriptPrefix);
    if (ServeClientFile(sTarget.substr(0, sTarget.find('?')), response)) return;
    RequestSpec spec;
    spec.sMethod = request.method;
    spec.sUrl = sTarget;
    spec.headers.clear();
    for (const auto& [sName, sValue] : request.headers)
        if (!IsHopByHop(sName) && !IsPseudoHeader(sName) && !SameNoCase(sName, "Accept-Encoding"))
            spec.headers.emplace_back(sName, sValue);
    std::string sUser = request.get_header_value(m_options.sUserHeader.c_str());
    if (sUser.empty()) sUser = BasicUser(request.get_header_value("Authorization"));
    if (sUser.empty()) sUser = m_options.sDefaultUser;
    spec.sUser = sUser;
    // The worker takes itself to run on the Exchange server: its "local"
    // address is the upstream's, where it finds Exchange Web Services.
    spec.serverVariables = {{"REMOTE_ADDR", request.remote_addr},
                            {"LOCAL_ADDR", m_sUpstreamAuthority},
                            {"SERVER_PORT", std::to_string(request.local_port)},
                            {"HTTPS", m_bUpstreamHttps ? "on" : "off"},
                            {"REQUEST_METHOD", request.method},
                            {"HEADER_QV_CSMPREFIX", m_options.sScriptPrefix}};
    if (!sUser.empty()) {
        spec.serverVariables["QV_USERNAME"] = sUser;
        spec.serverVariables["LOGON_USER"] = sUser;
    }
    spec.nSubscriptionType = m_rules.Classify(sTarget);
    const std::string sScheme = request.get_header_value("X-Forwarded-Proto");
    spec.sRoot = (sScheme == "https" ? "https://" : "http://") + request.get_header_value("Host");
    spec.sIntRoot = spec.sRoot;
    spec.sResponseHead.clear();

    HostServices services;
    services.m_pUserStore = m_pStore;
    HostRequest hostRequest(services, std::move(spec));
    hostRequest.Notify(m_pfnFilterProc, SF_NOTIFY_PREPROC_HEADERS);
    hostRequest.Notify(m_pfnFilterProc, SF_NOTIFY_AUTH_COMPLETE);

    // Upstream: the URL as the worker left it, the browser's headers with
    // those the worker set or added, asking for an uncompressed answer.
    httplib::Headers upstreamHeaders;
    for (const auto& [sName, sValue] : hostRequest.Spec().headers)
        if (!SameNoCase(sName, "Host") && !SameNoCase(sName, "Content-Length")) upstreamHeaders.emplace(sName, sValue);
    for (const HeaderAction& action : hostRequest.HeaderActions()) {
        const std::string sName = HeaderName(action.sName);
        if (action.dwNotification == SF_NOTIFY_SEND_RESPONSE || SameNoCase(sName, "URL")) continue;
        if (action.sAction == "set") upstreamHeaders.erase(sName);
        upstreamHeaders.emplace(sName, action.sValue);
    }
    upstreamHeaders.emplace("X-Forwarded-For", request.remote_addr);
    upstreamHeaders.emplace("X-Forwarded-Host", request.get_header_value("Host"));
    std::unique_ptr<httplib::Client> spClient = TakeClient();
    httplib::Request upstreamRequest;
    upstreamRequest.method = request.method;
    upstreamRequest.path = hostRequest.Spec().sUrl;
    upstreamRequest.headers = std::move(upstreamHeaders);
    upstreamRequest.body = request.body;
    httplib::Result result = spClient->send(upstreamRequest);
    if (!result) {
        hostRequest.Notify(m_pfnFilterProc, SF_NOTIFY_END_OF_REQUEST);
        response.status = 502;
        response.set_content("The OWA server did not answer: " + httplib::to_string(result.error()) + "\n",
                             "text/plain");
        return;
    }
    ReturnClient(std::move(spClient));  // a failed one is dropped with its connection
    httplib::Response& upstream = *result;
    const std::string sType = upstream.get_header_value("Content-Type");
    const bool bHtml = upstream.status == 200 && sType.find("text/html") != std::string::npos;
    const bool bPage = bHtml && upstream.body.size() <= m_options.cbMaxPage;
    if (bHtml && !bPage)
        std::fprintf(stderr, "kx-host: %s: a page of %zu bytes is over the bound; sent unedited\n",
                     hostRequest.Spec().sUrl.c_str(), upstream.body.size());
    std::string sHead = "HTTP/1.1 " + std::to_string(upstream.status) + " " + upstream.reason + "\r\n";
    for (const auto& [sName, sValue] : upstream.headers)
        if (!IsHopByHop(sName) && !SameNoCase(sName, "Content-Length") && !SameNoCase(sName, "Content-Encoding"))
            sHead.append(sName).append(": ").append(sValue).append("\r\n");
    sHead.append("\r\n");
    if (bPage) {
        hostRequest.SetResponse(static_cast<DWORD>(upstream.status), std::move(sHead), std::move(upstream.body));
    } else {
        hostRequest.SetResponse(static_cast<DWORD>(upstream.status), std::string(), std::string());
    }
    hostRequest.Notify(m_pfnFilterProc, SF_NOTIFY_SEND_RESPONSE);
    if (bPage) hostRequest.Notify(m_pfnFilterProc, SF_NOTIFY_SEND_RAW_DATA);
    hostRequest.Notify(m_pfnFilterProc, SF_NOTIFY_END_OF_REQUEST);

    RawResponse sent;
    const std::string& sSent = hostRequest.SentResponse();
    const bool bFromWorker = bPage && ParseRawResponse(sSent, sent);
    if (bPage && !bFromWorker) {
        response.status = 502;
        response.set_content("The page could not be read back after the worker's changes.\n", "text/plain");
        return;
    }
    const auto& headers = bFromWorker ? sent.headers : std::vector<std::pair<std::string, std::string>>(
                                                           upstream.headers.begin(), upstream.headers.end());
    response.status = bFromWorker ? sent.nStatus : upstream.status;
    std::string sContentType = "application/octet-stream";
    for (const auto& [sName, sValue] : headers) {
        if (SameNoCase(sName, "Content-Type")) {
            sContentType = sValue;
        } else if (!IsHopByHop(sName) && !SameNoCase(sName, "Content-Length") &&
                   !SameNoCase(sName, "Content-Encoding")) {
            response.headers.emplace(sName, sValue);
        }
    }
    for (const HeaderAction& action : hostRequest.HeaderActions())
        if (action.dwNotification == SF_NOTIFY_SEND_RESPONSE) response.headers.emplace(HeaderName(action.sName), action.sValue);
    // The body moves rather than being copied: pages are large.
    if (bFromWorker)
        response.body.assign(sSent, sent.nBody);
    else
        response.body = std::move(upstream.body);
    response.set_header("Content-Type", sContentType);
}

}  // namespace kxhost
