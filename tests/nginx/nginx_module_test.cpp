// The worker inside the nginx package's binary, through the module, in
// front of a fake OWA on loopback: what the browser gets, what OWA is
// asked, what is kept, and what the module never lets through.
#include <gtest/gtest.h>
#include <httplib.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "host/demo_owa.h"
#include "host/host_request.h"
#include "host/user_store.h"
#include "tests/integration/worker_fixture.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/fake_owa.h"
#include "tests/support/html_tree.h"
#include "tests/support/nginx_server.h"
#include "tests/support/redis_server.h"
#include "tests/support/slapd_directory.h"
#include "tests/support/temporary_folder.h"
#include "tests/support/test_servers.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* const ANA = "EXAMPLE\\ana.lima";

// The locations a deployment would have, in front of OWA at {OWA}: the
// user from the authenticating front's header.
const char* const SITE = R"(
  include {SAMPLES}/kalyxa-types.conf;
  server {
    listen 127.0.0.1:{PORT};
    kalyxa_user $http_x_remote_user;
    location /owa/ev.owa {
      kalyxa on;
      kalyxa_type 2;
      proxy_pass {OWA};
    }
    location /owa/ {
      kalyxa on;
      kalyxa_type $kalyxa_owa_type;
      proxy_pass {OWA};
    }
    location /bounded/ {
      kalyxa on;
      kalyxa_type 4;
      kalyxa_max_page 1k;
      proxy_pass {OWA}/owa/;
    }
    location = /kalyxa-status {
      kalyxa_status;
    }
    location /anonymous/ {
      kalyxa on;
      kalyxa_type 4;
      kalyxa_user "";
      proxy_pass {OWA}/owa/;
    }
  }
)";

std::string Replaced(std::string sText, const std::string& sFrom, const std::string& sTo) {
    for (size_t nAt = sText.find(sFrom); nAt != std::string::npos; nAt = sText.find(sFrom, nAt + sTo.size()))
        sText.replace(nAt, sFrom.size(), sTo);
    return sText;
}

// The value of one sample of a Prometheus text answer; -1 when it is missing.
long long Sample(const std::string& sText, const std::string& sName) {
    const size_t nAt = sText.find("\n" + sName + " ");
    return nAt == std::string::npos ? -1 : std::stoll(sText.substr(nAt + sName.size() + 2));
}

// A comment, or "name{label="value"} number" as Prometheus reads a sample.
bool IsPrometheusLine(const std::string& sLine) {
    if (sLine.rfind("# HELP kalyxa_", 0) == 0 || sLine.rfind("# TYPE kalyxa_", 0) == 0) return true;
    size_t n = sLine.find_first_not_of("abcdefghijklmnopqrstuvwxyz_");
    if (sLine.rfind("kalyxa_", 0) != 0 || n == std::string::npos) return false;
    if (sLine[n] == '{') {
        const size_t nEquals = sLine.find("=\"", n);
        const size_t nClose = sLine.find("\"} ", n);
        if (nEquals == std::string::npos || nClose == std::string::npos || nEquals > nClose ||
            sLine.find_first_not_of("abcdefghijklmnopqrstuvwxyz", n + 1) != nEquals)
            return false;
        n = nClose + 2;
    }
    if (sLine[n] != ' ' || n + 1 == sLine.size()) return false;
    const std::string sValue = sLine.substr(n + 1);
    return sValue.find_first_not_of("0123456789.") == std::string::npos && std::count(sValue.begin(), sValue.end(), '.') <= 1;
}

// Occurrences of the text in a log.
int Count(const std::string& sLog, const std::string& sText) {
    int nCount = 0;
    for (size_t nAt = sLog.find(sText); nAt != std::string::npos; nAt = sLog.find(sText, nAt + 1)) ++nCount;
    return nCount;
}

class NginxModule : public ::testing::Test {
protected:
    void SetUp() override {
        m_ews.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"}};
        fs::create_directories(LogFolder());
        fs::create_directories(StoreFolder());
        m_spProduct = std::make_unique<TemporaryProduct>(
            true, std::map<int, std::string>{{38, m_ews.Url()}, {14, "1"}, {12, "2"}, {39, LogFolder()}});
        ShareWithNginxWorkers();
        m_spNginx = std::make_unique<CNginxServer>(m_spProduct->WorkerCopy(), StorePath(), Site());
        ASSERT_TRUE(m_spNginx->Running());
    }

    // nginx started as root runs its workers as nobody (unless it is one
    // process): the product is theirs to read, the logs and the user store
    // theirs to write.
    void ShareWithNginxWorkers() {
        const fs::path root = fs::path(m_spProduct->ProductFolder()).parent_path().parent_path().parent_path();
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
            fs::permissions(entry.path(), entry.is_directory() ? fs::perms(0755) : fs::perms(0644));
        fs::permissions(root, fs::perms(0755));
        fs::permissions(m_spProduct->WorkerCopy(), fs::perms(0755));
        fs::permissions(m_scratch.string(), fs::perms(0755));
        if (geteuid() != 0 || CNginxServer::SingleProcess()) return;
        const passwd* pNobody = getpwnam("nobody");
        ASSERT_NE(pNobody, nullptr);
        for (const std::string& sFolder : {LogFolder(), StoreFolder()})
            ASSERT_EQ(chown(sFolder.c_str(), pNobody->pw_uid, pNobody->pw_gid), 0) << sFolder;
    }
    // The test's site in front of the fake OWA.
    std::string Site() const { return Replaced(Replaced(SITE, "{OWA}", m_owa.Url()), "{SAMPLES}", KX_NGINX_SAMPLES); }
    std::string LogFolder() const { return m_scratch.string() + "/Logs"; }
    std::string StoreFolder() const { return m_scratch.string() + "/Store"; }
    std::string StorePath() const { return StoreFolder() + "/user-properties.sqlite"; }

    httplib::Result Get(const std::string& sTarget, httplib::Headers headers = {}) {
        httplib::Client client("127.0.0.1", m_spNginx->Port());
        client.set_read_timeout(20, 0);
        headers.emplace("X-Remote-User", ANA);
        headers.emplace("Cookie", "UserContext=c0ffee; sessionid=s1");
        headers.emplace("Accept-Language", "en-US");
        return client.Get(sTarget.c_str(), headers);
    }

    std::string StoredView(const std::string& sUser) {
        std::string sError;
        const std::unique_ptr<kxhost::UserStore> spStore = kxhost::OpenUserStore(StorePath(), sError);
        std::map<DWORD, std::string> values;
        EXPECT_TRUE(spStore && spStore->Load(sUser, values)) << sError;
        return values[0x8602];
    }

    // How often the trace log holds the text, once nginx has stopped (its
    // workers stop the worker, which writes the lines it keeps back).
    int TraceCount(const std::string& sText) {
        EXPECT_EQ(m_spNginx->Stop(), 0);
        std::ifstream file(LogFolder() + "/QuorvaneLogs/Kalyxa.log", std::ios::binary);
        const std::string sLog((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            return Count(sLog, sText);
    }

    CFakeEwsServer m_ews;
    CFakeOwa m_owa;
    TemporaryFolder m_scratch;  // the logs and the user store
    std::unique_ptr<TemporaryProduct> m_spProduct;
    std::unique_ptr<CNginxServer> m_spNginx;
};

constexpr const char* END_OF_REQUEST = "[CNotifications::NotifyEndOfRequest] finished.";

TEST_F(NginxModule, TheCalendarComesBackAsTheEmbeddedHostChangesIt) {
    const std::string sPage = ReadTestPage("basic-calendar-week.html");
    const std::string sRequest = std::string("GET /owa/?ae=Folder&t=IPF.Appointment HTTP/1.1\r\n") +
                                 "Host: mail.example.test\r\nUser-Agent: Mozilla/5.0 (X11; Linux x86_64)\r\n"
                                 "Accept-Language: en-US\r\nCookie: UserContext=c0ffee; sessionid=s1\r\n"
                                 "X-Remote-User: " + ANA + "\r\nConnection: close\r\n\r\n";
    const std::string sResponse = RawExchange(m_spNginx->Port(), sRequest, 20);
    const size_t nBody = sResponse.find("\r\n\r\n") + 4;
    ASSERT_EQ(sResponse.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << sResponse.substr(0, 200);
    const std::string sHead = sResponse.substr(0, nBody);
    const std::string sBody = sResponse.substr(nBody);
    EXPECT_NE(sHead.find("\r\nX-QVProduct: 6\r\n"), std::string::npos) << sHead;
    EXPECT_NE(sHead.find("\r\nContent-Length: " + std::to_string(sBody.size()) + "\r\n"), std::string::npos) << sHead;
    EXPECT_EQ(sHead.find("ETag"), std::string::npos) << sHead;

    // The same request through the embedded host's records, in process.
    kxhost::RequestSpec spec;
    spec.sUrl = "/owa/?ae=Folder&t=IPF.Appointment";
    spec.headers = {{"Host", "mail.example.test"},
                    {"User-Agent", "Mozilla/5.0 (X11; Linux x86_64)"},
                    {"Accept-Language", "en-US"},
                    {"Cookie", "UserContext=c0ffee; sessionid=s1"},
                    {"X-Remote-User", ANA},
                    {"Connection", "close"}};
    spec.serverVariables = {{"REMOTE_ADDR", "127.0.0.1"}, {"LOCAL_ADDR", "127.0.0.1"},
                            {"SERVER_PORT", std::to_string(m_spNginx->Port())}, {"HTTPS", "off"},
                            {"HEADER_QV_CSMPREFIX", "kx-2.0-1"}, {"QV_USERNAME", ANA}, {"LOGON_USER", ANA}};
    spec.sUser = ANA;
    spec.nSubscriptionType = 4;
    spec.sRoot = spec.sIntRoot = "http://mail.example.test";
    spec.sResponseHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n";
    spec.sBody = sPage;
    const std::unique_ptr<kxhost::WorkerModule> spWorker = StartWorker(*m_spProduct);
    kxhost::HostServices services;
    kxhost::HostRequest request(services, spec);
    for (DWORD dwNotification : {SF_NOTIFY_PREPROC_HEADERS, SF_NOTIFY_AUTH_COMPLETE, SF_NOTIFY_SEND_RESPONSE,
                                 SF_NOTIFY_SEND_RAW_DATA, SF_NOTIFY_END_OF_REQUEST})
        request.Notify(spWorker->FilterProc(), dwNotification);
    const std::string& sExpected = request.SentResponse();
    ASSERT_NE(sExpected.find("qvweekview"), std::string::npos);
    EXPECT_TRUE(sBody == sExpected.substr(sExpected.find("\r\n\r\n") + 4)) << "the body differs from the embedded host's";
    const CHtmlTree tree(sBody);
    for (const char* pszId : {"qvdayview", "qvweekview", "qvcalsearch", "lnkMngDgs"})
        EXPECT_NE(tree.ById(pszId), nullptr) << pszId;
    spWorker->TerminateFilter(0);
}

TEST_F(NginxModule, AChosenViewIsKeptAndShownNextTime) {
    ASSERT_TRUE(Get("/owa/?ae=Folder&t=IPF.Appointment&a=QvView3"));
    EXPECT_EQ(StoredView(ANA), "3");
    const httplib::Result result = Get("/owa/?ae=Folder&t=IPF.Appointment");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(m_owa.Last().target, "/owa/?ae=Folder&t=IPF.Appointment&a=QvView3") << "rewritten before OWA sees it";
}

TEST_F(NginxModule, TheUserIsOnlyWhoTheOperatorSays) {
    // /anonymous/ names no user: a browser's X-Remote-User is no one's.
    ASSERT_TRUE(Get("/anonymous/?ae=Folder&t=IPF.Appointment&a=QvView4"));
    EXPECT_EQ(StoredView(ANA), "");
    EXPECT_EQ(StoredView(""), "") << "nor is it kept for everyone without a name";
    ASSERT_TRUE(Get("/anonymous/?ae=Folder&t=IPF.Appointment"));
    EXPECT_EQ(m_owa.Last().target, "/owa/?ae=Folder&t=IPF.Appointment");
}

// The user nginx names is the worker's user: the page speaks jdoe's
// directory culture (fr-CA) over the browser's English.
TEST_F(NginxModule, TheNamedUsersLanguageComesFromTheDirectory) {
    CSlapdDirectory directory;
    CNginxServer nginx(m_spProduct->WorkerCopy(), StorePath(), Site(), 1,
                       "env LDAPURI=" + directory.Uri() + ";\nenv QV_GC_URI=" + directory.Uri() + ";");
    ASSERT_TRUE(nginx.Running());
    httplib::Client client("127.0.0.1", nginx.Port());
    const httplib::Result result = client.Get("/owa/?ae=Folder&t=IPF.Appointment",
                                              {{"X-Remote-User", "KALYXA\\jdoe"},
                                               {"Cookie", "UserContext=c0ffee"},
                                               {"Accept-Language", "en-US"}});
    ASSERT_TRUE(result);
    const CHtmlTree tree(result->body);
    EXPECT_EQ(CHtmlTree::Text(tree.ById("qvdayview")), " Jour");
}

TEST_F(NginxModule, OwnCommandsGoToTheirHandlerPagesWithTheWorkersHeadersOnly) {
    const httplib::Result result =
        Get("/owa/?qvkxcmd=mngdgs&x=1", {{"x-qvkxroot", "https://evil.example"}, {"X-QVLgExDN", "forged"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body.rfind("handler /owa/X-Kalyxa/MngDgs.srf", 0), 0u) << result->body;
    const httplib::Request upstream = m_owa.Last();
    EXPECT_EQ(upstream.target, "/owa/X-Kalyxa/MngDgs.srf?qvkxcmd=mngdgs&x=1");
    std::string sHeaders;
    for (const auto& [sName, sValue] : upstream.headers) sHeaders += sName + ": " + sValue + "\n";
    EXPECT_EQ(upstream.get_header_value_count("x-qvkxroot"), 1u) << sHeaders;
    EXPECT_EQ(upstream.get_header_value("x-qvkxroot").find("evil"), std::string::npos);
}

TEST_F(NginxModule, ARedirectReplacesThePageAndCarriesNoBrowserCookie) {
    const httplib::Result result =
        Get("/owa/?ae=Item&t=IPM.Appointment&qvkxdgi=rb&id=AB12", {{"Set-Cookie", "session=stolen"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 302);
    EXPECT_EQ(result->get_header_value("X-QVProduct"), "6");
    EXPECT_EQ(result->get_header_value("Location"), "http://127.0.0.1:" + std::to_string(m_spNginx->Port()) +
                                                        "/owa/?ae=Folder&t=IPF.Appointment&id=AB12");
    EXPECT_FALSE(result->has_header("Set-Cookie")) << result->get_header_value("Set-Cookie");
    EXPECT_NE(result->body.find("Object Moved"), std::string::npos);
}

TEST_F(NginxModule, AnswersThatAreNoPageForTheWorkerPassUnchanged) {
    const httplib::Result image = Get("/owa/14.3.123.4/themes/base/dv.gif");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->body, std::string("GIF89a\x01\x00\x01\x00\x00\xff", 12));

    const std::string sPage = ReadTestPage("basic-calendar-week.html");
    const httplib::Result bounded = Get("/bounded/?ae=Folder&t=IPF.Appointment");
    ASSERT_TRUE(bounded);
    EXPECT_TRUE(bounded->body == sPage) << "a page over kalyxa_max_page goes out as it came";

    httplib::Client client("127.0.0.1", m_spNginx->Port());
    client.set_decompress(false);
    const httplib::Result compressed = client.Get("/owa/?ae=Folder&t=IPF.Appointment&fake=gzip");
    ASSERT_TRUE(compressed);
    EXPECT_EQ(compressed->get_header_value("Content-Encoding"), "gzip");
    EXPECT_EQ(compressed->body.rfind("\x1f\x8b", 0), 0u) << "passed through compressed";
    EXPECT_NE(m_spNginx->ErrorLog().find("kalyxa: the page is compressed"), std::string::npos);
    EXPECT_NE(m_spNginx->ErrorLog().find("over kalyxa_max_page"), std::string::npos);
}

TEST_F(NginxModule, EveryRequestEndsOnceHoweverItEnds) {
    int nRequests = 0;
    for (const char* pszTarget : {"/owa/?ae=Folder&t=IPF.Appointment", "/owa/?qvkxcmd=mngdgs",
                                  "/owa/14.3.123.4/themes/base/dv.gif", "/bounded/?ae=Folder&t=IPF.Appointment"}) {
        ASSERT_TRUE(Get(pszTarget)) << pszTarget;
        ++nRequests;
    }
    // An upstream that closes in the middle of the page: no half page.
    const httplib::Result cut = Get("/owa/?ae=Folder&t=IPF.Appointment&fake=cut");
    ++nRequests;
    EXPECT_TRUE(!cut || cut->status == 502 || cut->body.empty()) << cut->status;
    // A client that goes away in the middle of a page that never ends.
    const std::string sCut = RawExchange(m_spNginx->Port(),
                                         "GET /owa/?ae=Folder&t=IPF.Appointment&fake=endless HTTP/1.1\r\n"
                                         "Host: x\r\nUser-Agent: Mozilla/5.0\r\nCookie: UserContext=c0ffee\r\n"
                                         "X-Remote-User: ana\r\n"
                                         "Connection: close\r\n\r\n",
                                         1);
    ++nRequests;
    EXPECT_EQ(sCut, "") << "a page is held until it is whole";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(TraceCount(END_OF_REQUEST), nRequests);
}

// Pages OWA holds open (as its notification long polls are) and clients
// that stop reading hold nobody else up.
TEST_F(NginxModule, HeldPagesAndSlowClientsStopNoOneElse) {
    // Four held pages: the fake OWA answers on eight threads.
    std::vector<std::thread> held;
    for (int n = 0; n < 4; ++n)
        held.emplace_back([this] {
            RawExchange(m_spNginx->Port(),
                        "GET /owa/?ae=Folder&t=IPF.Appointment&fake=endless HTTP/1.1\r\nHost: x\r\n"
                        "User-Agent: Mozilla/5.0\r\nCookie: UserContext=c0ffee\r\nX-Remote-User: ana\r\n\r\n",
                        3);
        });
    std::vector<int> silent;
    for (int n = 0; n < 8; ++n) silent.push_back(OpenIdleConnection(m_spNginx->Port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Clock::time_point start = Clock::now();
    const httplib::Result result = Get("/owa/?ae=Folder&t=IPF.Appointment");
    const double dSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_TRUE(result && result->get_header_value("X-QVProduct") == "6");
    EXPECT_LT(dSeconds, 2.0);
    for (int fd : silent) close(fd);
    for (std::thread& thread : held) thread.join();
}

TEST_F(NginxModule, AReloadUnderLoadLosesNoRequestAndStopsEachOldWorker) {
    if (CNginxServer::SingleProcess()) GTEST_SKIP() << "a reload needs the master process";
    m_spNginx.reset();
    m_spNginx = std::make_unique<CNginxServer>(m_spProduct->WorkerCopy(), StorePath(), Site(), /*nWorkerProcesses=*/2);
    std::atomic<int> nFailed{0}, nDone{0};
    std::vector<std::thread> clients;
    for (int nClient = 0; nClient < 2; ++nClient)
        clients.emplace_back([&] {
            for (int n = 0; n < 60; ++n, ++nDone) {
                const httplib::Result result = Get("/owa/?ae=Folder&t=IPF.Appointment");
                if (!result || result->status != 200 || result->get_header_value("X-QVProduct") != "6") ++nFailed;
            }
        });
    while (nDone < 30) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    m_spNginx->Signal(SIGHUP);
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(nFailed, 0);
    EXPECT_EQ(TraceCount(END_OF_REQUEST), 120) << "every request ended once, its lines written by the stops";
    const std::string sLog = m_spNginx->ErrorLog();
    EXPECT_EQ(Count(sLog, "kalyxa: worker " + m_spProduct->WorkerCopy() + " started"), 4) << "two, then two after the reload";
    EXPECT_EQ(Count(sLog, "kalyxa: worker stopped"), 4) << sLog;
}

TEST_F(NginxModule, TheStatusLocationCountsWhatTheWorkersDid) {
    for (const char* pszTarget : {"/owa/?ae=Folder&t=IPF.Appointment", "/owa/?ae=Folder&t=IPF.Appointment",
                                  "/owa/?qvkxcmd=mngdgs", "/owa/14.3.123.4/themes/base/dv.gif",
                                  "/bounded/?ae=Folder&t=IPF.Appointment", "/owa/?ae=Folder&t=IPF.Appointment&fake=gzip"})
        ASSERT_TRUE(Get(pszTarget)) << pszTarget;
    const httplib::Result status = Get("/kalyxa-status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->status, 200);
    EXPECT_EQ(status->get_header_value("Content-Type"), "text/plain; version=0.0.4");
    const std::string sText = "\n" + status->body;
    EXPECT_EQ(Sample(sText, "kalyxa_requests_total{type=\"4\"}"), 5) << sText;
    EXPECT_EQ(Sample(sText, "kalyxa_requests_total{type=\"6\"}"), 1);
    EXPECT_EQ(Sample(sText, "kalyxa_pages_changed_total"), 2);
    EXPECT_EQ(Sample(sText, "kalyxa_pages_unchanged_total{reason=\"ignored\"}"), 1) << "the handler page";
    EXPECT_EQ(Sample(sText, "kalyxa_pages_unchanged_total{reason=\"not_html\"}"), 1);
    EXPECT_EQ(Sample(sText, "kalyxa_pages_unchanged_total{reason=\"over_bound\"}"), 1);
    EXPECT_EQ(Sample(sText, "kalyxa_pages_unchanged_total{reason=\"compressed\"}"), 1);
    EXPECT_EQ(Sample(sText, "kalyxa_worker_exceptions_total"), 0);
    EXPECT_EQ(Sample(sText, "kalyxa_page_seconds_count"), 2);
    EXPECT_EQ(Sample(sText, "kalyxa_page_seconds_bucket{le=\"+Inf\"}"), 2);
    std::istringstream lines(status->body);
    for (std::string sLine; std::getline(lines, sLine);)
        EXPECT_TRUE(IsPrometheusLine(sLine)) << sLine;
}

// The demo's site (samples/nginx/demo-site.conf) in front of the OWA
// look-alike: a view chosen with the product's button is what the next
// plain calendar request shows, and the product's files come from nginx.
TEST_F(NginxModule, TheDemosCalendarRemembersTheChosenView) {
    kxhost::DemoOwa owa(KX_DEMO_PAGES);
    ASSERT_GT(owa.Start(), 0);
    std::ifstream file(std::string(KX_NGINX_SAMPLES) + "/demo-site.conf");
    const std::string sSite((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The client files where nginx's workers can read them, as staged.
    const std::string sClient = m_spProduct->ProductFolder() + "Client";
    fs::copy(KX_CLIENT_FOLDER, sClient, fs::copy_options::recursive);
    fs::permissions(sClient, fs::perms(0755));
    CNginxServer demo(m_spProduct->WorkerCopy(), StorePath(),
                      Replaced(Replaced(Replaced(Replaced(sSite, "{SAMPLES}", KX_NGINX_SAMPLES), "{LISTEN}",
                                                 "127.0.0.1:{PORT}"),
                                        "{CLIENT}", sClient),
                               "{OWA}", owa.Url()));
    ASSERT_TRUE(demo.Running());
    httplib::Client client("127.0.0.1", demo.Port());
    const auto view = [&](const std::string& sTarget) {
        const httplib::Result result = client.Get(sTarget.c_str(), {{"Cookie", "UserContext=c0ffee"}});
        if (!result) return std::string("(no answer)");
        const CHtmlTree tree(result->body);
        return CHtmlTree::Text(tree.ById("divView"));
    };
    const httplib::Result first = client.Get("/owa/?ae=Folder&t=IPF.Appointment", {{"Cookie", "UserContext=c0ffee"}});
    ASSERT_TRUE(first);
    const CHtmlTree tree(first->body);
    EXPECT_EQ(CHtmlTree::Attribute(tree.ById("qvweekview"), "onclick"), "return qvkx_OnClkChngView(2);");
    EXPECT_EQ(view("/owa/?ae=Folder&t=IPF.Appointment&yr=2026&mn=12&dy=7&a=QvView2"), "Week view");
    EXPECT_EQ(view("/owa/?ae=Folder&t=IPF.Appointment"), "Week view") << "rewritten to the stored view";
    const httplib::Result handler = client.Get("/owa/?qvkxcmd=mngcds", {{"Cookie", "UserContext=c0ffee"}});
    ASSERT_TRUE(handler);
    EXPECT_NE(handler->body.find("<h1>MngCds.srf</h1>"), std::string::npos) << handler->body;

    const httplib::Result owasScript = client.Get("/owa/14.3.123.4/scripts/premium/kx-2.0-1/cdayvw.js");
    ASSERT_TRUE(owasScript);
    EXPECT_EQ(owasScript->body, "// OWA's own cdayvw.js\n") << "asked of OWA without the cached-script folder";
    const httplib::Result script = client.Get("/owa/QVScripts/Kalyxa/2.0/kx-2.0-1/qv_kxutil.js");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->status, 200);
    EXPECT_EQ(script->get_header_value("Content-Type"), "application/javascript");
    EXPECT_NE(script->body.find("qvkx_OpnMngDgs"), std::string::npos);
    for (const char* pszTarget : {"/owa/QVScripts/Kalyxa/2.0/kx-2.0-1/..%2f..%2fetc%2fpasswd",
                                  "/owa/QVScripts/Kalyxa/2.0/../../../etc/passwd", "/owa/QVScripts/Kalyxa/2.0/missing.js"}) {
        const httplib::Result refused = client.Get(pszTarget);
        ASSERT_TRUE(refused);
        EXPECT_NE(refused->status, 200) << pszTarget;
        EXPECT_EQ(refused->body.find("root:"), std::string::npos) << pszTarget;
    }
}

// Several servers on one Redis: a view chosen through one is kept for the
// other; a store that is down costs the view, not the page.
TEST_F(NginxModule, TwoServersOnOneRedisShareTheChosenView) {
    CRedisServer redis;
    const std::string sSite = Site();
    CNginxServer first(m_spProduct->WorkerCopy(), redis.Uri(), sSite);
    CNginxServer second(m_spProduct->WorkerCopy(), redis.Uri(), sSite);
    ASSERT_TRUE(first.Running() && second.Running());
    const auto get = [&](const CNginxServer& server, const char* pszTarget) {
        httplib::Client client("127.0.0.1", server.Port());
        return client.Get(pszTarget, {{"X-Remote-User", ANA}, {"Cookie", "UserContext=c0ffee"}});
    };
    ASSERT_TRUE(get(first, "/owa/?ae=Folder&t=IPF.Appointment&a=QvView4"));
    ASSERT_TRUE(get(second, "/owa/?ae=Folder&t=IPF.Appointment"));
    EXPECT_EQ(m_owa.Last().target, "/owa/?ae=Folder&t=IPF.Appointment&a=QvView4");
    redis.Kill();
    const httplib::Result result = get(second, "/owa/?ae=Folder&t=IPF.Appointment");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("X-QVProduct"), "6");
    EXPECT_EQ(m_owa.Last().target, "/owa/?ae=Folder&t=IPF.Appointment");
}

// The deployment sample, with files of the test's own in place of the
// site's, is a configuration nginx takes.
TEST_F(NginxModule, TheDeploymentSampleIsAValidConfiguration) {
    const std::string sFolder = m_scratch.string();
    const std::string sCertificate = sFolder + "/site.pem", sKey = sFolder + "/site.key";
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=mail.example.test -keyout '" +
                           sKey + "' -out '" + sCertificate + "' >/dev/null 2>&1")
                              .c_str()),
              0);
    std::ifstream file(std::string(KX_NGINX_SAMPLES) + "/owa-site.conf");
    std::string sSite((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const auto& [sFrom, sTo] : std::vector<std::pair<std::string, std::string>>{
             {"/etc/ssl/certs/mail.example.test.pem", sCertificate},
             {"/etc/ssl/private/mail.example.test.key", sKey},
             {"/etc/ssl/certs/owa-ca.pem", sCertificate},
             {"/opt/quorvane/Quorvane/Kalyxa/Client", KX_CLIENT_FOLDER},
             {"server owa01.example.test:443", "server 127.0.0.1:9"},  // nginx resolves the names it is given
             {"https://signin.example.test/check", "http://127.0.0.1:9/check"},
             {"listen 443 ssl", "listen 127.0.0.1:" + std::to_string(FreeLoopbackPort()) + " ssl"}})
        sSite = Replaced(sSite, sFrom, sTo);
    std::ofstream(sFolder + "/owa-site.conf") << sSite;
    std::ofstream(sFolder + "/nginx.conf") << "load_module " << KX_NGINX_MODULE << ";\npid " << sFolder
                                          << "/nginx.pid;\nerror_log stderr;\nevents {}\nhttp {\n  kalyxa_worker "
                                          << m_spProduct->WorkerCopy() << ";\n  kalyxa_user_store " << StorePath()
                                          << ";\n  include " << KX_NGINX_SAMPLES << "/kalyxa-types.conf;\n  include "
                                          << sFolder << "/owa-site.conf;\n}\n";
    const std::string sPreload = CNginxServer::SingleProcess() ? "LD_PRELOAD='" KX_NGINX_PRELOAD
                                                                 "' LSAN_OPTIONS=suppressions=" KX_NGINX_LSAN_SUPPRESSIONS " "
                                                               : "";
    const std::string sCommand =
        sPreload + "/usr/sbin/nginx -t -q -p '" + sFolder + "' -c '" + sFolder + "/nginx.conf' 2>&1";
    EXPECT_EQ(std::system(sCommand.c_str()), 0) << sCommand;
}

}  // namespace
