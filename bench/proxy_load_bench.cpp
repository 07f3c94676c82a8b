// A bounded load test on loopback, in one run: requests per second and p99
// latency for the 150 KB basic calendar view through the proxy without the
// worker, through the proxy with the worker, and through nginx injecting one
// script tag with sub_filter (the peer); reported as ratios. Two references
// read the worker's ratio: the proxy with a filter that only burns a fixed
// CPU time per page (what that much CPU costs here), and the worker's own
// CPU per request under the load, measured in a run of its own.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/proxy_server.h"
#include "host/user_store.h"
#include "host/worker_module.h"
#include "tests/support/fake_ews_server.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int CLIENTS = 4;
constexpr auto DURATION = std::chrono::milliseconds(1500);
constexpr const char* TARGET = "/owa/?ae=Folder&t=IPF.Appointment";

struct Load {
    double dRequestsPerSecond = 0;
    double dP99Ms = 0;
    std::string sSample;  // one answer's body
};

// CLIENTS keep-alive clients asking for the calendar as fast as answers come, for DURATION.
Load Measure(int nPort) {
    std::vector<std::vector<double>> latencies(CLIENTS);
    std::vector<std::thread> clients;
    std::string sSample;
    httplib::Client warm("127.0.0.1", nPort);
    for (int n = 0; n < 20; ++n)
        if (const httplib::Result result = warm.Get(TARGET, {{"X-Remote-User", "EXAMPLE\\ana.lima"}})) sSample = result->body;
    const Clock::time_point start = Clock::now(), deadline = start + DURATION;
    for (int nClient = 0; nClient < CLIENTS; ++nClient)
        clients.emplace_back([&, nClient] {
            httplib::Client client("127.0.0.1", nPort);
            client.set_keep_alive(true);
            while (Clock::now() < deadline) {
                const Clock::time_point sent = Clock::now();
                if (!client.Get(TARGET, {{"X-Remote-User", "EXAMPLE\\ana.lima"}})) break;
                latencies[nClient].push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
            }
        });
    for (std::thread& client : clients) client.join();
    std::vector<double> all;
    for (const std::vector<double>& one : latencies) all.insert(all.end(), one.begin(), one.end());
    std::sort(all.begin(), all.end());
    const double dSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    Load load;
    load.dRequestsPerSecond = static_cast<double>(all.size()) / dSeconds;
    load.dP99Ms = all.empty() ? 0 : all[std::min(all.size() - 1, all.size() * 99 / 100)];
    load.sSample = sSample;
    return load;
}

DWORD NoWorker(CDLLContext*) { return 0; }

int64_t ThreadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The reference filter: BURN_NS of the thread's CPU time on every page, nothing else.
constexpr int64_t BURN_NS = 40000;
DWORD BurnOnPages(CDLLContext* pContext) {
    if (pContext->m_dwNotificationType != SF_NOTIFY_SEND_RAW_DATA) return 0;
    for (const int64_t nStart = ThreadCpuNs(); ThreadCpuNs() - nStart < BURN_NS;) {
    }
    return 0;
}

// The worker with its thread CPU time counted: every notification, and the pages alone.
PFN_HTTP_FILTER_PROC g_pfnWorker = nullptr;
std::atomic<int64_t> g_nWorkerNs{0}, g_nPageNs{0}, g_nPages{0};
DWORD MeasuredWorker(CDLLContext* pContext) {
    const int64_t nStart = ThreadCpuNs();
    const DWORD dwResult = g_pfnWorker(pContext);
    const int64_t nSpent = ThreadCpuNs() - nStart;
    g_nWorkerNs += nSpent;
    if (pContext->m_dwNotificationType == SF_NOTIFY_SEND_RAW_DATA) {
        g_nPageNs += nSpent;
        ++g_nPages;
    }
    return dwResult;
}

// A proxy on a free port, serving from a thread until it goes.
class Proxy {
public:
    Proxy(PFN_HTTP_FILTER_PROC pfnFilterProc, kxhost::UserStore* pStore, const std::string& sUpstream)
        : m_proxy(pfnFilterProc, kxhost::RequestRules::Defaults(), pStore, Options(sUpstream)) {
        m_nPort = m_proxy.Bind("127.0.0.1", 0);
        m_thread = std::thread([this] { m_proxy.Serve(); });
    }
    ~Proxy() {
        m_proxy.Stop();
        m_thread.join();
    }
    int Port() const { return m_nPort; }

private:
    static kxhost::ProxyOptions Options(const std::string& sUpstream) {
        kxhost::ProxyOptions options;
        options.sUpstream = sUpstream;
        return options;
    }
    kxhost::ProxyServer m_proxy;
    int m_nPort = -1;
    std::thread m_thread;
};

int FreePort() {
    const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof(address);
    bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    getsockname(nSocket, reinterpret_cast<sockaddr*>(&address), &nLength);
    close(nSocket);
    return ntohs(address.sin_port);
}

// nginx in front of the same upstream, injecting a script tag; stopped on destruction.
class Nginx {
public:
    Nginx(const std::string& sFolder, int nUpstreamPort) : m_nPort(FreePort()) {
        const std::string sConfig = sFolder + "/nginx.conf";
        std::ofstream(sConfig) << "daemon off; master_process off; worker_processes 1;\n"
                               << "error_log " << sFolder << "/error.log; pid " << sFolder << "/nginx.pid;\n"
                               << "events { worker_connections 256; }\n"
                               << "http { access_log off; client_body_temp_path " << sFolder << "; proxy_temp_path "
                               << sFolder << "; fastcgi_temp_path " << sFolder << "; uwsgi_temp_path " << sFolder
                               << "; scgi_temp_path " << sFolder << ";\n"
                               << "  upstream owa { server 127.0.0.1:" << nUpstreamPort << "; keepalive 8; }\n"
                               << "  server { listen 127.0.0.1:" << m_nPort << ";\n"
                               << "    location / { proxy_pass http://owa; proxy_http_version 1.1;\n"
                               << "      proxy_set_header Connection \"\"; proxy_set_header Accept-Encoding \"\";\n"
                               << "      sub_filter '</head>' '<script src=\"/kx.js\"></script></head>'; sub_filter_once on; } } }\n";
        m_pid = fork();
        if (m_pid == 0) {
            execlp("nginx", "nginx", "-c", sConfig.c_str(), "-p", sFolder.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int n = 0; n < 200 && !Answers(); ++n) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ~Nginx() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool Answers() const {
        httplib::Client client("127.0.0.1", m_nPort);
        return static_cast<bool>(client.Get("/"));
    }
    int Port() const { return m_nPort; }

private:
    int m_nPort;
    pid_t m_pid = -1;
};

std::string ReadFile(const char* pszPath) {
    std::ifstream file(pszPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void Print(const char* pszName, const Load& load) {
    std::printf("  %-28s %8.0f requests/s   p99 %6.2f ms\n", pszName, load.dRequestsPerSecond, load.dP99Ms);
}

}  // namespace

int main() {
    CFakeEwsServer exchange;  // OWA's pages and EWS on one server, as on an Exchange server
    exchange.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"}};
    exchange.m_pages["/owa/"] = ReadFile(KX_CALENDAR_PAGE);
    const std::string sUpstream = exchange.Url().substr(0, exchange.Url().find("/EWS/"));
    const int nUpstreamPort = std::atoi(sUpstream.c_str() + sUpstream.rfind(':') + 1);

    char szFolder[] = "/tmp/kx-load-XXXXXX";
    if (mkdtemp(szFolder) == nullptr) return 1;
    std::string sError;
    const std::unique_ptr<kxhost::UserStore> spStore =
        kxhost::OpenUserStore(std::string(szFolder) + "/user-properties.sqlite", sError);
    kxhost::WorkerModule worker(KX_WORKER_PATH);
    HTTP_FILTER_VERSION version{};
    if (!spStore || !worker.IsLoaded() || !worker.GetFilterVersion(&version)) {
        std::fprintf(stderr, "cannot start: %s %s\n", sError.c_str(), worker.Error().c_str());
        return 1;
    }

    std::printf("Load on loopback, %d clients for %.1f s each (the proxies in two alternating rounds), the %zu-byte "
                "basic calendar view:\n",
                CLIENTS, std::chrono::duration<double>(DURATION).count(), exchange.m_pages["/owa/"].size());
    // The two proxies take turns, so that a slow moment of the machine does
    // not fall on one of them only; each figure is the mean of its rounds.
    constexpr int ROUNDS = 2;
    Load bare, withWorker, burning, peer;
    for (int nRound = 0; nRound < ROUNDS; ++nRound) {
        for (const auto& [pfnFilterProc, pTotal] : {std::pair{&NoWorker, &bare}, {worker.FilterProc(), &withWorker},
                                                    {&BurnOnPages, &burning}}) {
            const Proxy proxy(pfnFilterProc, spStore.get(), sUpstream);
            const Load load = Measure(proxy.Port());
            pTotal->dRequestsPerSecond += load.dRequestsPerSecond / ROUNDS;
            pTotal->dP99Ms += load.dP99Ms / ROUNDS;
            pTotal->sSample = load.sSample;
        }
    }
    const bool bChanged = withWorker.sSample.find("id=\"qvdayview\"") != std::string::npos;
    Print("proxy without the worker", bare);
    Print("proxy with the worker", withWorker);
    std::printf("  proxy burning %3lld us per page %8.0f requests/s   p99 %6.2f ms   (reference)\n",
                static_cast<long long>(BURN_NS / 1000), burning.dRequestsPerSecond, burning.dP99Ms);
    {
        g_pfnWorker = worker.FilterProc();
        const Proxy proxy(&MeasuredWorker, spStore.get(), sUpstream);
        Measure(proxy.Port());
        if (g_nPages > 0)
            std::printf("  the worker's CPU per page under this load: %.1f us, of which the page notification %.1f us "
                        "(a run of its own, thread CPU clock)\n",
                        static_cast<double>(g_nWorkerNs) / 1000.0 / static_cast<double>(g_nPages),
                        static_cast<double>(g_nPageNs) / 1000.0 / static_cast<double>(g_nPages));
    }
    {
        const Nginx nginx(szFolder, nUpstreamPort);
        if (nginx.Answers()) {
            peer = Measure(nginx.Port());
            Print("nginx sub_filter (peer)", peer);
        } else {
            std::printf("  nginx did not start (is it installed?); the peer is left out\n");
        }
    }
    std::printf("Ratios (same run):\n");
    std::printf("  with / without the worker, throughput  %.3f  (goal >= 0.90)%s\n",
                withWorker.dRequestsPerSecond / bare.dRequestsPerSecond, bChanged ? "" : "  [pages NOT changed!]");
    std::printf("  %lld us of CPU per page / without the worker, throughput  %.3f  (what that CPU costs here)\n",
                static_cast<long long>(BURN_NS / 1000), burning.dRequestsPerSecond / bare.dRequestsPerSecond);
    if (peer.dRequestsPerSecond > 0)
        std::printf("  nginx / proxy with the worker, throughput  %.3f  (goal <= 2.0)%s\n",
                    peer.dRequestsPerSecond / withWorker.dRequestsPerSecond,
                    peer.sSample.find("/kx.js") != std::string::npos ? "" : "  [nginx did NOT inject!]");
    worker.TerminateFilter(0);
    std::filesystem::remove_all(szFolder);
    return bChanged ? 0 : 1;
}
