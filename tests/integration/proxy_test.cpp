// The reference host as a reverse proxy in front of a small OWA look-alike
// on loopback, with the built worker and the users' properties in SQLite or
// Redis: what the browser gets, what OWA is asked, what is kept.
#include <gtest/gtest.h>

#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

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
    RunningProxy(PFN_HTTP_FILTER_PROC pfnFilterProc, kxhost::UserStore* pStore, const std::string& sUpstream)
        : m_proxy(pfnFilterProc, DefaultRules(), pStore, Options(sUpstream)) {
        m_nPort = m_proxy.Bind("127.0.0.1", 0);
        m_thread = std::thread([this] { m_proxy.Serve(); });
    }
    ~RunningProxy() {
        m_proxy.Stop();
        m_thread.join();
    }
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
    static kxhost::RequestRules DefaultRules() {
        kxhost::RequestRules rules;
        std::string sError;
        rules.Parse(kxhost::RequestRules::DefaultText(), sError);
        return rules;
    }
    static kxhost::ProxyOptions Options(const std::string& sUpstream) {
        kxhost::ProxyOptions options;
        options.sUpstream = sUpstream;
        options.nUpstreamSeconds = 5;
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

TEST_F(Proxy, AnUpstreamThatIsDownGivesABadGateway) {
    RunningProxy nowhere(m_spWorker->FilterProc(), m_spStore.get(), "http://127.0.0.1:1");
    const httplib::Result result = nowhere.Get("/owa/?ae=Folder&t=IPF.Appointment");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 502);
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
