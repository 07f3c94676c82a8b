// The reference host as a reverse proxy in front of a small OWA look-alike
// on loopback, with the built worker and the users' properties in SQLite or
// Redis: what the browser gets, what OWA is asked, what is kept.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "host/demo_owa.h"
#include "host/proxy_server.h"
#include "host/user_store.h"
#include "tests/integration/worker_fixture.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/html_tree.h"
#include "tests/support/redis_server.h"

namespace {

std::string ReadPage(const std::string& sName) {
    std::ifstream file(std::string(KX_TEST_DATA) + "/" + sName, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// OWA as far as these tests need it: the calendar and the item editor, an
// image, the product's handler pages; it keeps every request it got.
class FakeOwa {
public:
    FakeOwa() {
        m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            {
                const std::lock_guard<std::mutex> guard(m_lock);
                m_requests.push_back(request);
            }
            if (request.path.rfind("/owa/X-Kalyxa/", 0) == 0) {
                response.set_content("handler " + request.path + " root " + request.get_header_value("x-qvkxroot"),
                                     "text/plain");
            } else if (request.path.size() > 4 && request.path.substr(request.path.size() - 4) == ".gif") {
                response.set_content(std::string("GIF89a\x01\x00\x01\x00\x00\xff", 12), "image/gif");
            } else if (request.get_param_value("ae") == "Item") {
                response.set_content(ReadPage("basic-calendar-item-editor.html"), "text/html; charset=utf-8");
            } else {
                response.set_content(ReadPage("basic-calendar-week.html"), "text/html; charset=utf-8");
            }
        });
        m_nPort = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~FakeOwa() {
        m_server.stop();
        m_thread.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort); }
    httplib::Request Last() {
        const std::lock_guard<std::mutex> guard(m_lock);
        return m_requests.empty() ? httplib::Request() : m_requests.back();
    }
    size_t Count() {
        const std::lock_guard<std::mutex> guard(m_lock);
        return m_requests.size();
    }

private:
    httplib::Server m_server;
    int m_nPort = 0;
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<httplib::Request> m_requests;
};

// A proxy on a free loopback port, serving until it goes.
class RunningProxy {
public:
    RunningProxy(PFN_HTTP_FILTER_PROC pfnFilterProc, kxhost::UserStore* pStore, const std::string& sUpstream,
                 size_t cbMaxPage = 4 * 1024 * 1024)
        : m_proxy(pfnFilterProc, kxhost::RequestRules::Defaults(), pStore, Options(sUpstream, cbMaxPage)) {
        m_nPort = m_proxy.Bind("127.0.0.1", 0);
        m_thread = std::thread([this] { m_proxy.Serve(); });
    }
    ~RunningProxy() {
        m_proxy.Stop();
        m_thread.join();
    }
    int Port() const { return m_nPort; }
    // Ana's GET through the proxy.
    httplib::Result Get(const std::string& sTarget) {
        httplib::Client client("127.0.0.1", m_nPort);
        client.set_read_timeout(20, 0);
        return client.Get(sTarget.c_str(), {{"X-Remote-User", "EXAMPLE\\ana.lima"},
                                            {"Cookie", "UserContext=c0ffee; sessionid=s1"},
                                            {"Accept-Language", "en-US"},
                                            {"Accept-Encoding", "gzip"}});
    }

private:
    static kxhost::ProxyOptions Options(const std::string& sUpstream, size_t cbMaxPage) {
        kxhost::ProxyOptions options;
        options.sUpstream = sUpstream;
        options.cbMaxPage = cbMaxPage;
        options.nUpstreamSeconds = 5;
        options.sClientFolder = KX_CLIENT_FOLDER;
        return options;
    }
    kxhost::ProxyServer m_proxy;
    int m_nPort = 0;
    std::thread m_thread;
};

class Proxy : public ::testing::Test {
protected:
    void SetUp() override {
        m_ews.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"}};
        m_spProduct = std::make_unique<TemporaryProduct>(true, std::map<int, std::string>{{38, m_ews.Url()}});
        m_spWorker = StartWorker(*m_spProduct);
        m_sStorePath = m_spProduct->ProductFolder() + "user-properties.sqlite";
        std::string sError;
        m_spStore = kxhost::OpenUserStore(m_sStorePath, sError);
        ASSERT_TRUE(m_spStore) << sError;
        m_spProxy = std::make_unique<RunningProxy>(m_spWorker->FilterProc(), m_spStore.get(), m_owa.Url());
    }
    void TearDown() override { m_spProxy.reset(); }

    CFakeEwsServer m_ews;
    FakeOwa m_owa;
    std::unique_ptr<TemporaryProduct> m_spProduct;
    std::unique_ptr<kxhost::WorkerModule> m_spWorker;
    std::string m_sStorePath;
    std::unique_ptr<kxhost::UserStore> m_spStore;
    std::unique_ptr<RunningProxy> m_spProxy;
};

TEST_F(Proxy, TheCalendarComesBackWithTheProductsButtons) {
    const httplib::Result result = m_spProxy->Get("/owa/?ae=Folder&t=IPF.Appointment");
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("X-QVProduct"), "6");
    EXPECT_EQ(result->get_header_value("Content-Encoding"), "gzip") << "compressed again for the browser";
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
    const CHtmlTree tree(result->body);
    for (const char* pszId : {"qvdayview", "qvweekview", "qvcalsearch", "lnkMngDgs"})
        EXPECT_NE(tree.ById(pszId), nullptr) << pszId;
    EXPECT_EQ(m_owa.Last().get_header_value("Accept-Encoding"), "") << "OWA is asked for an uncompressed page";
    EXPECT_EQ(m_owa.Last().get_header_value("X-Forwarded-For"), "127.0.0.1");
}

TEST_F(Proxy, AChosenViewIsKeptAndShownNextTime) {
    ASSERT_TRUE(m_spProxy->Get("/owa/?ae=Folder&t=IPF.Appointment&a=QvView3"));
    std::map<DWORD, std::string> values;
    ASSERT_TRUE(m_spStore->Load("EXAMPLE\\ana.lima", values));
    EXPECT_EQ(values[0x8602], "3");
    ASSERT_TRUE(m_spProxy->Get("/owa/?ae=Folder&t=IPF.Appointment"));
    EXPECT_EQ(m_owa.Last().target, "/owa/?ae=Folder&t=IPF.Appointment&a=QvView3") << "rewritten before OWA sees it";

    // Another proxy on the same file: the choice is there too.
    RunningProxy second(m_spWorker->FilterProc(), m_spStore.get(), m_owa.Url());
    ASSERT_TRUE(second.Get("/owa/?ae=Folder&t=IPF.Appointment"));
    EXPECT_EQ(m_owa.Last().target, "/owa/?ae=Folder&t=IPF.Appointment&a=QvView3");
}

TEST_F(Proxy, TwoProxiesOnOneRedisShareTheChosenView) {
    CRedisServer redis;
    std::string sError;
    const std::unique_ptr<kxhost::UserStore> spFirstStore = kxhost::OpenUserStore(redis.Uri(), sError);
    const std::unique_ptr<kxhost::UserStore> spSecondStore = kxhost::OpenUserStore(redis.Uri(), sError);
    ASSERT_TRUE(spFirstStore && spSecondStore) << sError;
    RunningProxy first(m_spWorker->FilterProc(), spFirstStore.get(), m_owa.Url());
    RunningProxy second(m_spWorker->FilterProc(), spSecondStore.get(), m_owa.Url());
    ASSERT_TRUE(first.Get("/owa/?ae=Folder&t=IPF.Appointment&a=QvView4"));
    ASSERT_TRUE(second.Get("/owa/?ae=Folder&t=IPF.Appointment"));
    EXPECT_EQ(m_owa.Last().target, "/owa/?ae=Folder&t=IPF.Appointment&a=QvView4");
    redis.Kill();
    const httplib::Result result = second.Get("/owa/?ae=Folder&t=IPF.Appointment");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200) << "a store that is down costs the view, not the page";
    EXPECT_EQ(m_owa.Last().target, "/owa/?ae=Folder&t=IPF.Appointment");
}

TEST_F(Proxy, APageOverTheBoundPassesThroughUnedited) {
    RunningProxy bounded(m_spWorker->FilterProc(), m_spStore.get(), m_owa.Url(), 1024);
    const httplib::Result result = bounded.Get("/owa/?ae=Folder&t=IPF.Appointment");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body, ReadPage("basic-calendar-week.html"));
}

TEST_F(Proxy, OwnCommandsGoToTheirHandlerPages) {
    const httplib::Result result = m_spProxy->Get("/owa/?qvkxcmd=mngdgs&x=1");
    ASSERT_TRUE(result);
    EXPECT_EQ(m_owa.Last().target, "/owa/X-Kalyxa/MngDgs.srf?qvkxcmd=mngdgs&x=1");
    EXPECT_NE(m_owa.Last().get_header_value("x-qvkxroot"), "");
    EXPECT_EQ(result->body.rfind("handler /owa/X-Kalyxa/MngDgs.srf", 0), 0u) << result->body;
}

TEST_F(Proxy, OtherAnswersPassThroughUnchanged) {
    const httplib::Result result = m_spProxy->Get("/owa/14.3.123.4/themes/base/dv.gif");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, std::string("GIF89a\x01\x00\x01\x00\x00\xff", 12));
    EXPECT_EQ(result->get_header_value("Content-Type"), "image/gif");
}

TEST_F(Proxy, ARedirectRequestBecomesA302) {
    const httplib::Result result = m_spProxy->Get("/owa/?ae=Item&t=IPM.Appointment&qvkxdgi=rb&id=AB12");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 302);
    EXPECT_EQ(result->get_header_value("X-QVProduct"), "6");
    EXPECT_NE(result->get_header_value("Location").find("/owa/?ae=Folder&t=IPF.Appointment&id=AB12"),
              std::string::npos);
}

TEST_F(Proxy, TheProductsFilesComeFromTheProxyUnderTheScriptFolder) {
    const httplib::Result script = m_spProxy->Get("/owa/QVScripts/Kalyxa/2.0/kx-2.0-1/qv_kxutil.js");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->status, 200);
    EXPECT_NE(script->body.find("qvkx_OpnMngDgs"), std::string::npos);
    EXPECT_EQ(script->get_header_value("Content-Type"), "application/javascript; charset=utf-8");
    const httplib::Result image = m_spProxy->Get("/ecp/QVScripts/Kalyxa/2.0/kx-2.0-1/qv_kx-cal-day.gif");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->body.rfind("GIF89a", 0), 0u);
    for (const char* pszTarget : {"/owa/QVScripts/Kalyxa/2.0/kx-2.0-1/..%2f..%2fetc%2fpasswd",
                                  "/owa/QVScripts/Kalyxa/2.0/../../../etc/passwd", "/owa/QVScripts/Kalyxa/2.0/.hidden",
                                  "/owa/QVScripts/Kalyxa/2.0/missing.js"}) {
        const httplib::Result refused = m_spProxy->Get(pszTarget);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 404) << pszTarget;
    }
    const size_t nBefore = m_owa.Count();
    ASSERT_TRUE(m_spProxy->Get("/owa/14.3.123.4/scripts/premium/kx-2.0-1/cdayvw.js"));
    EXPECT_EQ(m_owa.Count(), nBefore + 1);
    EXPECT_EQ(m_owa.Last().target, "/owa/14.3.123.4/scripts/premium/cdayvw.js") << "OWA's own, without the folder";
}

TEST_F(Proxy, AnUpstreamThatIsDownGivesABadGateway) {
    RunningProxy nowhere(m_spWorker->FilterProc(), m_spStore.get(), "http://127.0.0.1:1");
    const httplib::Result result = nowhere.Get("/owa/?ae=Folder&t=IPF.Appointment");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 502);
}

// Sends raw bytes to the port and reads what comes back until the peer
// closes or 2 s pass.
std::string RawExchange(int nPort, const std::string& sRequest) {
    const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval timeout{2, 0};
    setsockopt(nSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    std::string sResponse;
    if (connect(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        for (size_t nSent = 0; nSent < sRequest.size();) {
            const ssize_t n = send(nSocket, sRequest.data() + nSent, sRequest.size() - nSent, MSG_NOSIGNAL);
            if (n <= 0) break;
            nSent += static_cast<size_t>(n);
        }
        char buffer[4096];
        for (ssize_t n; (n = recv(nSocket, buffer, sizeof(buffer), 0)) > 0;) sResponse.append(buffer, static_cast<size_t>(n));
    }
    close(nSocket);
    return sResponse;
}

TEST_F(Proxy, MalformedRequestsGetAnHttpErrorAndNothingReachesOwa) {
    const size_t nBefore = m_owa.Count();
    const std::string sHuge(1024 * 1024, 'a');
    for (const std::string& sRequest :
         {"GET /owa/?ae=Folder HTTP/1.1\r\nHost: x\r\nX-Big: " + sHuge + "\r\n\r\n",
          std::string("GET /owa/\rX HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
          std::string("GET /owa/ HTTP/1.1\r\nHost: x\r\nX-A: 1\r2\r\nConnection: close\r\n\r\n"),
          std::string("POST /owa/ HTTP/1.1\r\nHost: x\r\nConnection: close\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "zz\r\nabc\r\n0\r\n\r\n")}) {
        const std::string sResponse = RawExchange(m_spProxy->Port(), sRequest);
        EXPECT_TRUE(sResponse.empty() || sResponse.rfind("HTTP/1.1 4", 0) == 0) << sRequest.substr(0, 40) << " -> " << sResponse.substr(0, 80);
    }
    EXPECT_EQ(m_owa.Count(), nBefore);
    EXPECT_TRUE(m_spProxy->Get("/owa/?ae=Folder&t=IPF.Appointment")) << "and the proxy still serves";
}

// gzip of sText, as a server that compresses whatever was asked sends it.
std::string Gzipped(const std::string& sText) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string sOut(deflateBound(&stream, sText.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(sText.data()));
    stream.avail_in = static_cast<uInt>(sText.size());
    stream.next_out = reinterpret_cast<Bytef*>(sOut.data());
    stream.avail_out = static_cast<uInt>(sOut.size());
    deflate(&stream, Z_FINISH);
    sOut.resize(stream.total_out);
    deflateEnd(&stream);
    return sOut;
}

// An OWA that compresses its page although the proxy asked for none: the
// worker still gets the page as text.
TEST_F(Proxy, ACompressedPageIsReadAsText) {
    httplib::Server owa;
    owa.Get(".*", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Encoding", "gzip");
        response.set_content(Gzipped(ReadPage("basic-calendar-week.html")), "text/html; charset=utf-8");
    });
    const int nPort = owa.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { owa.listen_after_bind(); });
    {
        RunningProxy proxy(m_spWorker->FilterProc(), m_spStore.get(), "http://127.0.0.1:" + std::to_string(nPort));
        httplib::Client client("127.0.0.1", proxy.Port());
        const httplib::Result result = client.Get("/owa/?ae=Folder&t=IPF.Appointment", {{"X-Remote-User", "EXAMPLE\\ana.lima"}});
        ASSERT_TRUE(result);
        EXPECT_EQ(result->get_header_value("Content-Encoding"), "") << "the browser asked for no compression";
        EXPECT_NE(result->body.find("id=\"qvdayview\""), std::string::npos);
    }
    owa.stop();
    serving.join();
}

// An OWA that closes the connection in the middle of its answer.
TEST_F(Proxy, AnUpstreamThatClosesEarlyGivesABadGateway) {
    const int nListener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof(address);
    ASSERT_EQ(bind(nListener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(nListener, 4), 0);
    getsockname(nListener, reinterpret_cast<sockaddr*>(&address), &nLength);
    std::thread owa([nListener] {
        const int nClient = accept(nListener, nullptr, nullptr);
        char buffer[4096];
        if (recv(nClient, buffer, sizeof(buffer), 0) > 0) {
            const std::string sPart = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5000\r\n\r\n<html><he";
            send(nClient, sPart.data(), sPart.size(), MSG_NOSIGNAL);
        }
        close(nClient);
    });
    RunningProxy proxy(m_spWorker->FilterProc(), m_spStore.get(), "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    const httplib::Result result = proxy.Get("/owa/?ae=Folder&t=IPF.Appointment");
    owa.join();
    close(nListener);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 502);
}

// A client that sends half a request and stops is dropped after the client timeout.
TEST_F(Proxy, ASlowClientCostsABoundedWait) {
    kxhost::ProxyOptions options;
    options.sUpstream = m_owa.Url();
    options.nClientSeconds = 1;
    kxhost::ProxyServer proxy(m_spWorker->FilterProc(), kxhost::RequestRules::Defaults(), m_spStore.get(), options);
    const int nPort = proxy.Bind("127.0.0.1", 0);
    std::thread proxying([&] { proxy.Serve(); });
    const size_t nBefore = m_owa.Count();
    // RawExchange waits at most 2 s for each read: an answer at all is one within the bound.
    const std::string sResponse = RawExchange(nPort, "GET /owa/?ae=Folder HTTP/1.1\r\nHost: x\r\nX-Half: ");
    EXPECT_EQ(sResponse.rfind("HTTP/1.1 400", 0), 0u) << sResponse.substr(0, 40);
    EXPECT_EQ(m_owa.Count(), nBefore);
    proxy.Stop();
    proxying.join();
}

TEST_F(Proxy, AnUpstreamThatHangsCostsABoundedWait) {
    httplib::Server silent;
    silent.Get(".*", [](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        response.set_content("late", "text/plain");
    });
    const int nPort = silent.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { silent.listen_after_bind(); });
    kxhost::ProxyOptions options;
    options.sUpstream = "http://127.0.0.1:" + std::to_string(nPort);
    options.nUpstreamSeconds = 1;
    kxhost::ProxyServer proxy(m_spWorker->FilterProc(), kxhost::RequestRules::Defaults(), m_spStore.get(), options);
    const int nProxyPort = proxy.Bind("127.0.0.1", 0);
    std::thread proxying([&] { proxy.Serve(); });
    const auto start = std::chrono::steady_clock::now();
    const std::string sResponse = RawExchange(nProxyPort, "GET /owa/?ae=Folder HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(sResponse.rfind("HTTP/1.1 502", 0), 0u) << sResponse.substr(0, 80);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    proxy.Stop();
    proxying.join();
    silent.stop();
    serving.join();
}

// The demo: the proxy in front of the OWA look-alike. A view chosen with the
// product's button is what the next plain calendar request shows.
TEST_F(Proxy, TheDemosCalendarRemembersTheChosenView) {
    kxhost::DemoOwa owa(KX_DEMO_PAGES);
    ASSERT_GT(owa.Start(), 0);
    RunningProxy demo(m_spWorker->FilterProc(), m_spStore.get(), owa.Url());
    const auto view = [&](const std::string& sTarget) {
        const httplib::Result result = demo.Get(sTarget);
        if (!result) return std::string("(no answer)");
        const CHtmlTree tree(result->body);
        return CHtmlTree::Text(tree.ById("divView"));
    };
    const httplib::Result first = demo.Get("/owa/?ae=Folder&t=IPF.Appointment");
    ASSERT_TRUE(first);
    const CHtmlTree tree(first->body);
    // What the week button runs: OWA's nv(gtFrmActn() + getDtURL(...) + "&a=QvView2").
    EXPECT_EQ(CHtmlTree::Attribute(tree.ById("qvweekview"), "onclick"), "return qvkx_OnClkChngView(2);");
    EXPECT_EQ(view("/owa/?ae=Folder&t=IPF.Appointment&yr=2026&mn=12&dy=7&a=QvView2"), "Week view");
    EXPECT_EQ(view("/owa/?ae=Folder&t=IPF.Appointment"), "Week view") << "rewritten to the stored view";
    EXPECT_EQ(view("/owa/?ae=Folder&t=IPF.Appointment&a=QvView4"), "Month view");
    EXPECT_EQ(view("/owa/?ae=Folder&t=IPF.Appointment"), "Month view");
    const httplib::Result handler = demo.Get("/owa/?qvkxcmd=mngcds");
    ASSERT_TRUE(handler);
    EXPECT_NE(handler->body.find("<h1>MngCds.srf</h1>"), std::string::npos) << handler->body;
}

// OWA over TLS: the proxy verifies the server's certificate against the
// given authority and refuses one it cannot verify.
TEST_F(Proxy, AnHttpsUpstreamIsVerified) {
    const std::string sFolder = m_spProduct->ProductFolder();
    const std::string sKey = sFolder + "owa.key", sCertificate = sFolder + "owa.crt";
    const std::string sCommand = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                                 "-addext subjectAltName=IP:127.0.0.1 -keyout '" + sKey + "' -out '" + sCertificate +
                                 "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(sCommand.c_str()), 0);
    httplib::SSLServer owa(sCertificate.c_str(), sKey.c_str());
    owa.Get(".*", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(ReadPage("basic-calendar-week.html"), "text/html; charset=utf-8");
    });
    const int nPort = owa.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { owa.listen_after_bind(); });
    const std::string sUpstream = "https://127.0.0.1:" + std::to_string(nPort);
    for (const bool bTrusted : {true, false}) {
        kxhost::ProxyOptions options;
        options.sUpstream = sUpstream;
        options.sCaFile = bTrusted ? sCertificate : sFolder + "missing.crt";
        options.sDefaultUser = "EXAMPLE\\ana.lima";
        kxhost::ProxyServer proxy(m_spWorker->FilterProc(), kxhost::RequestRules::Defaults(), m_spStore.get(), options);
        const int nProxyPort = proxy.Bind("127.0.0.1", 0);
        std::thread proxying([&] { proxy.Serve(); });
        httplib::Client client("127.0.0.1", nProxyPort);
        const httplib::Result result = client.Get("/owa/?ae=Folder&t=IPF.Appointment");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, bTrusted ? 200 : 502);
        if (bTrusted) {
            EXPECT_NE(result->body.find("id=\"qvdayview\""), std::string::npos);
        }
        proxy.Stop();
        proxying.join();
    }
    owa.stop();
    serving.join();
}

TEST(UserStores, RedisIsSharedAndADownStoreFailsTheCall) {
    CRedisServer redis;
    std::string sError;
    const std::unique_ptr<kxhost::UserStore> spFirst = kxhost::OpenUserStore(redis.Uri(), sError);
    const std::unique_ptr<kxhost::UserStore> spSecond = kxhost::OpenUserStore(redis.Uri() + "/0", sError);
    ASSERT_TRUE(spFirst && spSecond) << sError;
    ASSERT_TRUE(spFirst->Save("ana.lima", 0x8602, "3"));
    std::map<DWORD, std::string> values;
    ASSERT_TRUE(spSecond->Load("ana.lima", values));
    EXPECT_EQ(values[0x8602], "3");
    redis.Kill();
    EXPECT_FALSE(spSecond->Load("ana.lima", values));
    EXPECT_FALSE(spFirst->Save("ana.lima", 0x8602, "4"));
    EXPECT_FALSE(kxhost::OpenUserStore("redis://:pw@/0", sError)) << "no host";
    EXPECT_FALSE(kxhost::OpenUserStore("redis://host:99999", sError)) << "no port";
}

TEST(UserStores, SqliteKeepsValuesAcrossOpens) {
    char szFolder[] = "/tmp/kx-store-XXXXXX";
    ASSERT_NE(mkdtemp(szFolder), nullptr);
    const std::string sPath = std::string(szFolder) + "/store.sqlite";
    std::string sError;
    {
        const std::unique_ptr<kxhost::UserStore> spStore = kxhost::OpenUserStore(sPath, sError);
        ASSERT_TRUE(spStore) << sError;
        ASSERT_TRUE(spStore->Save("ana.lima", 0x8602, "2"));
        ASSERT_TRUE(spStore->Save("ana.lima", 0x8602, "4"));
        ASSERT_TRUE(spStore->Save("bo'b; DROP TABLE user_property;--", 0x8601, std::string("a\0b", 3)));
    }
    const std::unique_ptr<kxhost::UserStore> spStore = kxhost::OpenUserStore(sPath, sError);
    std::map<DWORD, std::string> values;
    ASSERT_TRUE(spStore->Load("ana.lima", values));
    EXPECT_EQ(values, (std::map<DWORD, std::string>{{0x8602, "4"}}));
    values.clear();
    ASSERT_TRUE(spStore->Load("bo'b; DROP TABLE user_property;--", values));
    EXPECT_EQ(values[0x8601], std::string("a\0b", 3));
    EXPECT_FALSE(kxhost::OpenUserStore(std::string(szFolder) + "/missing/store.sqlite", sError));
    std::filesystem::remove_all(szFolder);
}

}  // namespace
