// A bounded load on loopback, in one run: wrk asking for the 150 KB basic
// calendar view through nginx proxying it bare, through nginx with
// sub_filter making five replacements (the peer a user would pick), and
// through nginx with the module; in alternating rounds, reported as ratios.
// Beside them, from the same run: the worker's page notification under the
// load (the module's own histogram) against the same notification warm in
// this process, nginx's CPU per request with the module less without it,
// and the four non-page notifications' share of a request.
//
//   kx_nginx_load_bench [ignored benchmark options]
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "host/host_request.h"
#include "host/worker_module.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/slapd_directory.h"
#include "tests/support/test_servers.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* TARGET = "/owa/?ae=Folder&t=IPF.Appointment";
constexpr const char* USER = "EXAMPLE\\ana.lima";
constexpr int ROUNDS = 2;

std::string ReadFile(const std::string& sPath) {
    std::ifstream file(sPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// An nginx of its own in the foreground (one process), stopped on destruction.
class Nginx {
public:
    // sMain: directives of the main context (load_module); sHttp: the http block's.
    Nginx(const std::string& sFolder, const std::string& sMain, const std::string& sHttp) {
        fs::create_directories(sFolder + "/temp");
        std::ofstream(sFolder + "/nginx.conf") << sMain << "daemon off; master_process off; worker_processes 1;\n"
                                               << "error_log " << sFolder << "/error.log warn; pid " << sFolder
                                               << "/nginx.pid;\nevents { worker_connections 1024; }\n"
                                               << "http { access_log off; client_body_temp_path " << sFolder
                                               << "/temp; proxy_temp_path " << sFolder << "/temp;\n"
                                               << sHttp << "\n}\n";
        m_pid = Spawn({"/usr/sbin/nginx", "-p", sFolder, "-c", sFolder + "/nginx.conf", "-e", sFolder + "/error.log"},
                      sFolder + "/stdout.log");
    }
    ~Nginx() {
        kill(m_pid, SIGQUIT);
        waitpid(m_pid, nullptr, 0);
    }
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;
    // User and system CPU time of the process so far, in seconds.
    double CpuSeconds() const {
        std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
        std::string sText((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(sText.substr(sText.rfind(')') + 2));
        std::string sField;
        double dTicks = 0;
        for (int n = 3; n <= 15 && fields >> sField; ++n)
            if (n == 14 || n == 15) dTicks += std::stod(sField);
        return dTicks / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

private:
    pid_t m_pid = -1;
};

struct Load {
    double dRequestsPerSecond = 0;
    double dP99Ms = 0;
    double dCpuPerRequestUs = 0;
};

// wrk's p99 line ("99%    1.23ms") in milliseconds.
double Milliseconds(const std::string& sValue) {
    const double d = std::atof(sValue.c_str());
    if (sValue.find("us") != std::string::npos) return d / 1000;
    if (sValue.find("ms") != std::string::npos) return d;
    return d * 1000;
}

// Four connections on one wrk thread for two seconds.
Load Measure(const Nginx& front, int nPort) {
    const double dCpuBefore = front.CpuSeconds();
    const std::string sCommand = "wrk -t1 -c4 -d2s --latency -H 'X-Remote-User: EXAMPLE\\ana.lima' "
                                 "-H 'Cookie: UserContext=0f3c9a6d2b5e; sessionid=1' -H 'Accept-Language: en-US' "
                                 "-H 'User-Agent: Mozilla/5.0 (X11; Linux x86_64)' 'http://127.0.0.1:" +
                                 std::to_string(nPort) + TARGET + "' 2>&1";
    FILE* pPipe = popen(sCommand.c_str(), "r");
    Load load;
    double dRequests = 0;
    char szLine[512];
    while (pPipe != nullptr && std::fgets(szLine, sizeof(szLine), pPipe) != nullptr) {
        std::istringstream line(szLine);
        std::string sFirst, sSecond;
        line >> sFirst >> sSecond;
        if (sFirst == "Requests/sec:") load.dRequestsPerSecond = std::atof(sSecond.c_str());
        if (sFirst == "99%") load.dP99Ms = Milliseconds(sSecond);
        if (sSecond == "requests") dRequests = std::atof(sFirst.c_str());
    }
    if (pPipe != nullptr) pclose(pPipe);
    if (dRequests > 0) load.dCpuPerRequestUs = (front.CpuSeconds() - dCpuBefore) * 1e6 / dRequests;
    return load;
}

// The same request through the worker in this process, warm, in
// microseconds: the whole request, its page notification and the four others.
struct Warm {
    double dWholeUs = 0, dPageUs = 0, dNonPageUs = 0;
};
Warm WarmRequest(const std::string& sWorker, const std::string& sPage) {
    Warm warm;
    // The allocator as the module sets it in nginx's worker processes.
    mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    kxhost::WorkerModule worker(sWorker);
    HTTP_FILTER_VERSION version{};
    if (!worker.IsLoaded() || !worker.GetFilterVersion(&version)) return warm;
    kxhost::RequestSpec spec;
    spec.sUrl = TARGET;
    spec.headers = {{"X-Remote-User", USER}, {"Cookie", "UserContext=0f3c9a6d2b5e; sessionid=1"},
                    {"Accept-Language", "en-US"}, {"User-Agent", "Mozilla/5.0 (X11; Linux x86_64)"}};
    spec.serverVariables = {{"LOCAL_ADDR", "127.0.0.1"}, {"QV_USERNAME", USER}, {"HEADER_QV_CSMPREFIX", "kx-2.0-1"}};
    spec.sUser = USER;
    spec.nSubscriptionType = 4;
    spec.sRoot = "http://127.0.0.1";
    spec.sBody = sPage;
    kxhost::HostServices services;
    constexpr int REQUESTS = 300;
    for (int n = 0; n < REQUESTS + 20; ++n) {
        kxhost::HostRequest request(services, spec);
        double dPage = 0;
        const Clock::time_point start = Clock::now();
        for (DWORD dwNotification : {SF_NOTIFY_PREPROC_HEADERS, SF_NOTIFY_AUTH_COMPLETE, SF_NOTIFY_SEND_RESPONSE,
                                     SF_NOTIFY_SEND_RAW_DATA, SF_NOTIFY_END_OF_REQUEST}) {
            const Clock::time_point before = Clock::now();
            request.Notify(worker.FilterProc(), dwNotification);
            if (dwNotification == SF_NOTIFY_SEND_RAW_DATA)
                dPage = std::chrono::duration<double, std::micro>(Clock::now() - before).count();
        }
        const double dTotal = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        if (n < 20) continue;  // warming up
        warm.dWholeUs += dTotal / REQUESTS;
        warm.dPageUs += dPage / REQUESTS;
        warm.dNonPageUs += (dTotal - dPage) / REQUESTS;
    }
    worker.TerminateFilter(0);
    return warm;
}

// One sample of a Prometheus text answer; 0 when it is missing.
double Sample(const std::string& sText, const std::string& sName) {
    const size_t nAt = sText.find("\n" + sName + " ");
    return nAt == std::string::npos ? 0 : std::atof(sText.c_str() + nAt + sName.size() + 2);
}

void Print(const char* pszName, const Load& load) {
    std::printf("  %-30s %8.0f requests/s   p99 %6.2f ms   front CPU %6.1f us/request\n", pszName,
                load.dRequestsPerSecond, load.dP99Ms, load.dCpuPerRequestUs);
}

const char* Verdict(bool bMet) { return bMet ? "met" : "NOT met"; }

}  // namespace

int main() {
    CSlapdDirectory directory;  // the users' directory, given to nginx's workers
    CFakeEwsServer exchange;    // the worker's Exchange
    exchange.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"}};
    char szFolder[] = "/tmp/kx-nginx-load-XXXXXX";
    if (mkdtemp(szFolder) == nullptr) return 1;
    const std::string sFolder = szFolder;
    fs::permissions(sFolder, fs::perms(0755));

    // The product as staged, with the fake EWS for its Exchange.
    fs::copy(KX_STAGE "/Quorvane", sFolder + "/Quorvane", fs::copy_options::recursive);
    const std::string sSettings = sFolder + "/Quorvane/Kalyxa/Settings/SWSettings.xml";
    std::string sText = ReadFile(sSettings);
    const size_t nAt = sText.find("<ITEM ID=\"38\"");
    sText.replace(nAt, sText.find("/>", nAt) + 2 - nAt, "<ITEM ID=\"38\" DESCR=\"EWS\" VALUE=\"" + exchange.Url() + "\"/>");
    std::ofstream(sSettings) << sText;
    const std::string sWorker = sFolder + "/Quorvane/Kalyxa/bin/KX_ServiceWorker.so";
    fs::create_directories(sFolder + "/www/owa");
    const std::string sPage = ReadFile(KX_CALENDAR_PAGE);
    std::ofstream(sFolder + "/www/owa/index.html") << sPage;

    const int nUpstream = FreeLoopbackPort();
    const Nginx upstream(sFolder + "/upstream", "",
                         "server { listen 127.0.0.1:" + std::to_string(nUpstream) + "; root " + sFolder +
                             "/www; default_type text/html; charset utf-8; location / { index index.html; } }");
    const int nBare = FreeLoopbackPort(), nSub = FreeLoopbackPort(), nModule = FreeLoopbackPort();
    std::string sReplacements;
    for (const char* pszPair : {"'</head>' '<script src=\"/qv/kx.js\"></script></head>'",
                                "'<td nowrap><a id=\"lnkHdrtoday\"' '<td><a id=\"qvdayview\">Day</a><td nowrap><a id=\"lnkHdrtoday\"'",
                                "'class=\"fld sl\"' 'class=\"fld sl\" data-qv=\"1\"'",
                                "'<table class=\"mnth\"' '<div id=\"qvsearch\"></div><table class=\"mnth\"'",
                                "'</body>' '<div id=\"lnkMngDgs\"></div></body>'"})
        sReplacements += "sub_filter " + std::string(pszPair) + "; ";
    const std::string sProxy = "proxy_pass http://owa; proxy_http_version 1.1; proxy_set_header Connection \"\"; "
                               "proxy_set_header Accept-Encoding \"\";";
    fs::create_directories(sFolder + "/front/store");
    if (geteuid() == 0) std::system(("chown nobody '" + sFolder + "/front/store'").c_str());
    const std::string sHttp =
        "upstream owa { server 127.0.0.1:" + std::to_string(nUpstream) + "; keepalive 16; }\n"
        "kalyxa_worker " + sWorker + "; kalyxa_user_store " + sFolder + "/front/store/user-properties.sqlite;\n"
        "server { listen 127.0.0.1:" + std::to_string(nBare) + "; location / { " + sProxy + " } }\n"
        "server { listen 127.0.0.1:" + std::to_string(nSub) + "; location / { " + sProxy + " " + sReplacements +
        "sub_filter_once off; } }\n"
        "server { listen 127.0.0.1:" + std::to_string(nModule) + "; kalyxa_user $http_x_remote_user; "
        "location / { kalyxa on; kalyxa_type 4; " + sProxy + " } location = /kalyxa-status { kalyxa_status; } }";
    const Nginx front(sFolder + "/front",
                      "load_module " KX_NGINX_MODULE ";\nenv LDAPURI=" + directory.Uri() + ";\nenv QV_GC_URI=" +
                          directory.Uri() + ";\n",
                      sHttp);
    for (int n = 0; n < 200 && !(Accepts(nUpstream) && Accepts(nModule)); ++n)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (!Accepts(nModule)) {
        std::printf("nginx did not start; see %s/front/error.log\n%s\n", sFolder.c_str(),
                    ReadFile(sFolder + "/front/error.log").c_str());
        return 1;
    }

    // The module's answer must be the changed page, or its figures mean nothing.
    httplib::Client probe("127.0.0.1", nModule);
    const httplib::Result changed = probe.Get(TARGET, {{"X-Remote-User", USER},
                                                      {"Cookie", "UserContext=0f3c9a6d2b5e; sessionid=1"},
                                                      {"Accept-Language", "en-US"},
                                                      {"User-Agent", "Mozilla/5.0 (X11; Linux x86_64)"}});
    if (!changed || changed->body.find("id=\"qvdayview\"") == std::string::npos) {
        std::printf("the module did not change the page; see %s/front/error.log\n", sFolder.c_str());
        return 1;
    }
    std::printf("Load on loopback (wrk, 4 connections, 2 s each, %d alternating rounds), the %zu-byte basic calendar "
                "view:\n",
                ROUNDS, sPage.size());
    Load bare, sub, module;
    for (int nRound = 0; nRound < ROUNDS; ++nRound) {
        for (const auto& [nPort, pTotal] : {std::pair{nBare, &bare}, {nSub, &sub}, {nModule, &module}}) {
            const Load load = Measure(front, nPort);
            pTotal->dRequestsPerSecond += load.dRequestsPerSecond / ROUNDS;
            pTotal->dP99Ms += load.dP99Ms / ROUNDS;
            pTotal->dCpuPerRequestUs += load.dCpuPerRequestUs / ROUNDS;
        }
    }
    Print("nginx, bare proxy", bare);
    Print("nginx, sub_filter x5 (peer)", sub);
    Print("nginx, the module", module);
    // What the module did with the pages of the load, by its own counters.
    std::string sStatus;
    if (const httplib::Result status = probe.Get("/kalyxa-status")) sStatus = "\n" + status->body;
    const double dPages = Sample(sStatus, "kalyxa_page_seconds_count");
    const double dPageUnderLoadUs = dPages > 0 ? Sample(sStatus, "kalyxa_page_seconds_sum") * 1e6 / dPages : 0;
    std::printf("  pages the module changed: %.0f of %.0f\n", Sample(sStatus, "kalyxa_pages_changed_total"), dPages);
    const Warm warm = WarmRequest(sWorker, sPage);
    std::printf("  the worker's page notification: %.1f us under the load, %.1f us warm in one process; the whole request "
                "warm %.1f us, of which the four non-page notifications %.2f us\n",
                dPageUnderLoadUs, warm.dPageUs, warm.dWholeUs, warm.dNonPageUs);
    std::printf("  nginx's CPU per request with the module less without it: %.1f us\n",
                module.dCpuPerRequestUs - bare.dCpuPerRequestUs);

    const double dToBare = module.dRequestsPerSecond / bare.dRequestsPerSecond;
    const double dToSub = module.dRequestsPerSecond / sub.dRequestsPerSecond;
    std::printf("Ratios (same run):\n");
    std::printf("  module / bare, throughput      %.3f  (goal >= 0.85: %s)\n", dToBare, Verdict(dToBare >= 0.85));
    std::printf("  module / sub_filter, throughput %.3f  (goal >= 2: %s)\n", dToSub, Verdict(dToSub >= 2));
    std::printf("  sub_filter / bare, throughput  %.3f\n", sub.dRequestsPerSecond / bare.dRequestsPerSecond);
    std::printf("  module / bare, p99 latency     %.3f\n", module.dP99Ms / bare.dP99Ms);
    std::printf("  page notification, under the load / warm  %.3f  (goal <= 1.5: %s)\n", dPageUnderLoadUs / warm.dPageUs,
                Verdict(dPageUnderLoadUs <= 1.5 * warm.dPageUs));
    std::printf("  non-page notifications / the whole request, warm  %.4f  (goal <= 0.02: %s)\n",
                warm.dNonPageUs / warm.dWholeUs, Verdict(warm.dNonPageUs <= 0.02 * warm.dWholeUs));
    const std::string sErrors = ReadFile(sFolder + "/front/error.log");
    if (!sErrors.empty()) std::printf("front error log:\n%s", sErrors.c_str());
    std::error_code error;
    fs::remove_all(sFolder, error);
    return module.dRequestsPerSecond > 0 && dPages > 0 ? 0 : 1;
}
