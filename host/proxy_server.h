// The host as a reverse proxy in front of an OWA server: each request goes
// through the worker's notifications as IIS would call them, URL rewrites
// and control messages are honoured, buffered HTML answers get the worker's
// edits or its replacement, and everything else passes through unchanged.
#ifndef KX_HOST_PROXY_SERVER_H
#define KX_HOST_PROXY_SERVER_H

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/request_rules.h"
#include "kx/host_abi.h"

namespace httplib {
class Client;
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace kxhost {

class UserStore;

struct ProxyOptions {
    std::string sUpstream;                    // "http://owa.example.test" or "https://…:port"
    std::string sCaFile;                      // trusted certificates for an https upstream; empty: the system's
    std::string sUserHeader = "X-Remote-User";  // who the user is, as the authenticating front end says
    std::string sDefaultUser;                 // who a request without that header is (the demo's user)
    size_t cbMaxPage = 4 * 1024 * 1024;       // larger HTML answers pass through unedited
    int nUpstreamSeconds = 30;                // for one upstream exchange
    int nClientSeconds = 10;                  // for a client to send its request or take the answer
    // The folder the product's scripts are served under (HEADER_QV_CSMPREFIX):
    // a new one when they change, so that browsers fetch them again.
    std::string sScriptPrefix = "kx-2.0-1";
    // The product's client files, served under "/<app>/QVScripts/Kalyxa/2.0/".
    std::string sClientFolder;
};

class ProxyServer {
public:
    // pfnFilterProc: the loaded worker's HttpFilterProc; pStore keeps the
    // users' properties and outlives the proxy.
    ProxyServer(PFN_HTTP_FILTER_PROC pfnFilterProc, RequestRules rules, UserStore* pStore, ProxyOptions options);
    ~ProxyServer();
    ProxyServer(const ProxyServer&) = delete;
    ProxyServer& operator=(const ProxyServer&) = delete;

    // Binds sHost:nPort (0: any free port); the port, or -1.
    int Bind(const std::string& sHost, int nPort);
    // Serves until Stop; false when it could not.
    bool Serve();
    void Stop();

private:
    // Answers a request for one of the product's client files; false when it is not one.
    bool ServeClientFile(const std::string& sPath, httplib::Response& response) const;
    void Handle(const httplib::Request& request, httplib::Response& response);
    // A kept-alive connection to the upstream, or a new one.
    std::unique_ptr<httplib::Client> TakeClient();
    void ReturnClient(std::unique_ptr<httplib::Client> spClient);

    PFN_HTTP_FILTER_PROC m_pfnFilterProc;
    RequestRules m_rules;
    UserStore* m_pStore;
    ProxyOptions m_options;
    std::string m_sUpstreamAuthority;  // "host[:port]"
    bool m_bUpstreamHttps = false;
    std::unique_ptr<httplib::Server> m_spServer;
    std::mutex m_clientsLock;
    std::vector<std::unique_ptr<httplib::Client>> m_idleClients;
};

}  // namespace kxhost

#endif  // KX_HOST_PROXY_SERVER_H
