// One calendar request's four non-page notifications (pre-process headers,
// authentication-complete, send-response, end of request) through
// HttpFilterProc with warm caches, against the send-raw-data path of the
// same request; and the four from two threads against one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "bench/support/ratio_reporter.h"
#include "host/host_request.h"
#include "host/worker_module.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/slapd_directory.h"

namespace {

kxhost::WorkerModule* g_pWorker = nullptr;
CFakeEwsServer* g_pEws = nullptr;
std::string g_sPage;

kxhost::RequestSpec CalendarRequest() {
    kxhost::RequestSpec spec;
    spec.sUrl = "/owa/?ae=Folder&t=IPF.Appointment&a=QvView2";
    spec.sUser = "ana.lima";
    spec.nSubscriptionType = 4;
    spec.headers.emplace_back("Cookie", "UserContext=0f3c9a6d2b5e4c1a8d7e6f5a4b3c2d1e; sessionid=1");
    // The fake server's "127.0.0.1:<port>": the request's own server is the EWS address.
    const std::string sUrl = g_pEws->Url();
    const std::string_view sAuthority = std::string_view(sUrl).substr(7);
    spec.serverVariables["LOCAL_ADDR"] = std::string(sAuthority.substr(0, sAuthority.find('/')));
    spec.serverVariables["QV_USERNAME"] = "EXAMPLE\\ana.lima";
    spec.sBody = g_sPage;
    return spec;
}

constexpr int REQUESTS_PER_BATCH = 2000;

// A connection's record, used again request after request as the host uses
// it: pre-processing starts each request afresh and the end of the request
// frees what it made.
class CConnection {
public:
    CConnection() : m_request(m_services, Spec()) {}
    void FourNotifications() {
        for (DWORD dwNotification : {SF_NOTIFY_PREPROC_HEADERS, SF_NOTIFY_AUTH_COMPLETE, SF_NOTIFY_SEND_RESPONSE,
                                     SF_NOTIFY_END_OF_REQUEST})
            benchmark::DoNotOptimize(m_request.Notify(g_pWorker->FilterProc(), dwNotification));
    }

private:
    kxhost::RequestSpec Spec() {
        m_services.m_userProperties["ana.lima"].insert_or_assign(0x8602, std::string("2"));
        kxhost::RequestSpec spec = CalendarRequest();
        spec.sBody = "<html><body>none of these notifications reads the page</body></html>";
        return spec;
    }
    kxhost::HostServices m_services;
    kxhost::HostRequest m_request;
};

void FourNotifications(int nRequests) {
    CConnection connection;
    for (int n = 0; n < nRequests; ++n) connection.FourNotifications();
}

void BM_SendRawData(benchmark::State& state) {
    kxhost::HostServices services;
    services.m_userProperties["ana.lima"].insert_or_assign(0x8602, std::string("2"));
    kxhost::HostRequest request(services, CalendarRequest());
    for (DWORD dwNotification : {SF_NOTIFY_PREPROC_HEADERS, SF_NOTIFY_AUTH_COMPLETE, SF_NOTIFY_SEND_RESPONSE})
        request.Notify(g_pWorker->FilterProc(), dwNotification);
    for (auto _ : state) benchmark::DoNotOptimize(request.Notify(g_pWorker->FilterProc(), SF_NOTIFY_SEND_RAW_DATA));
    request.Notify(g_pWorker->FilterProc(), SF_NOTIFY_END_OF_REQUEST);
}

// One request's four notifications, on a connection made before the timing.
void BM_FourNotifications(benchmark::State& state) {
    CConnection connection;
    for (auto _ : state) connection.FourNotifications();
}

// A batch of requests on one thread, and the same batch shared by two: the
// ratio of their times is the inverse of the speed-up.
void BM_BatchOneThread(benchmark::State& state) {
    for (auto _ : state) FourNotifications(REQUESTS_PER_BATCH);
}

void BM_BatchTwoThreads(benchmark::State& state) {
    for (auto _ : state) {
        std::thread other(FourNotifications, REQUESTS_PER_BATCH / 2);
        FourNotifications(REQUESTS_PER_BATCH / 2);
        other.join();
    }
}

BENCHMARK(BM_SendRawData)->UseRealTime();
BENCHMARK(BM_FourNotifications)->UseRealTime();
BENCHMARK(BM_BatchOneThread)->UseRealTime();
BENCHMARK(BM_BatchTwoThreads)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    std::ifstream page(KX_CALENDAR_PAGE);
    std::stringstream text;
    text << page.rdbuf();
    g_sPage = text.str();
    CSlapdDirectory directory;
    directory.ServeThisProcess();
    CFakeEwsServer ews;
    ews.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"}};
    g_pEws = &ews;
    kxhost::WorkerModule worker(KX_WORKER_PATH);
    HTTP_FILTER_VERSION version{};
    if (!worker.IsLoaded() || !worker.GetFilterVersion(&version)) return 1;
    g_pWorker = &worker;
    const int nResult = RunWithRatios(argc, argv, {"BM_SendRawData/real_time", "BM_BatchOneThread/real_time"});
    std::printf("EWS calls: %d\n", ews.Requests("GetUserConfiguration"));
    worker.TerminateFilter(0);
    return nResult;
}
