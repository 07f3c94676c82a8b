// The page path on the 150 KB basic calendar view: the whole send-raw-data
// notification through HttpFilterProc (form context, template detection,
// DOM queries, every edit, up to the submitted instruction list), against
// gumbo parsing the same page and one memchr pass over it (the floor); and
// the send-raw-data notifications that find the page is not one of ours.
// Ana has no culture in the directory and no reminders option in Exchange
// (most users); Alice has both: what Ana lacks is remembered, so her pages
// cost what Alice's do. Ana's page in Japanese costs what it costs in English.
//
//   kx_page_path_bench [benchmark options]
#include <benchmark/benchmark.h>
#include <gumbo.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "bench/support/ratio_reporter.h"
#include "host/host_request.h"
#include "host/worker_module.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/slapd_directory.h"

namespace {

// The replacement operator new below allocates with malloc on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// What operator new handed out, the worker's included: the program exports
// its operator new, which the loaded worker then binds to.
size_t g_nAllocations = 0;
size_t g_cbAllocated = 0;

}  // namespace

void* operator new(size_t cbSize) {
    void* p = std::malloc(cbSize == 0 ? 1 : cbSize);
    if (p == nullptr) throw std::bad_alloc();
    ++g_nAllocations;
    g_cbAllocated += cbSize;
    return p;
}
void* operator new(size_t cbSize, const std::nothrow_t&) noexcept {
    ++g_nAllocations;
    g_cbAllocated += cbSize;
    return std::malloc(cbSize == 0 ? 1 : cbSize);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

kxhost::WorkerModule* g_pWorker = nullptr;
std::string g_sPage;

std::string ReadFile(const char* pszPath) {
    std::ifstream file(pszPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A calendar request of the user as a production host passes it, with the given body.
kxhost::RequestSpec CalendarRequest(const std::string& sEwsUrl, const std::string& sUser, const std::string& sLanguages,
                                    std::string sBody) {
    kxhost::RequestSpec spec;
    spec.sUrl = "/owa/?ae=Folder&t=IPF.Appointment&a=QvView2";
    spec.sUser = sUser;
    spec.nSubscriptionType = 4;
    spec.headers.emplace_back("Accept-Language", sLanguages);
    spec.headers.emplace_back("Cookie", "UserContext=0f3c9a6d2b5e4c1a8d7e6f5a4b3c2d1e; sessionid=1");
    // The fake server's "127.0.0.1:<port>": the request's own server is the EWS address.
    const std::string sAuthority = sEwsUrl.substr(7, sEwsUrl.find('/', 7) - 7);
    spec.serverVariables["LOCAL_ADDR"] = sAuthority;
    spec.serverVariables["QV_USERNAME"] = "KALYXA\\" + sUser;
    spec.serverVariables["HEADER_QV_CSMPREFIX"] = "c0a1f-20261206";
    spec.sRoot = "https://mail.example.test";
    spec.sBody = std::move(sBody);
    return spec;
}

std::string g_sEwsUrl;

// Send-raw-data again and again on one request that went through the first
// three notifications; the host counts the submitted lists without applying
// them, so only the worker's side is measured.
void SendRawData(benchmark::State& state, const std::string& sBody, const char* pszContentType,
                 const std::string& sUser = "ana.lima", const std::string& sLanguages = "en-US,en;q=0.8") {
    kxhost::HostServices services;
    services.m_submitResult = 0;
    services.m_userProperties[sUser].insert_or_assign(0x8602, std::string("2"));
    kxhost::RequestSpec spec = CalendarRequest(g_sEwsUrl, sUser, sLanguages, sBody);
    spec.sResponseHead = std::string("HTTP/1.1 200 OK\r\nContent-Type: ") + pszContentType + "\r\n\r\n";
    kxhost::HostRequest request(services, spec);
    for (DWORD dwNotification : {SF_NOTIFY_PREPROC_HEADERS, SF_NOTIFY_AUTH_COMPLETE, SF_NOTIFY_SEND_RESPONSE})
        request.Notify(g_pWorker->FilterProc(), dwNotification);
    request.Notify(g_pWorker->FilterProc(), SF_NOTIFY_SEND_RAW_DATA);  // warms the caches
    const int nSubmitsBefore = services.m_nSubmitCalls;
    const size_t nAllocationsBefore = g_nAllocations;
    const size_t cbBefore = g_cbAllocated;
    for (auto _ : state) benchmark::DoNotOptimize(request.Notify(g_pWorker->FilterProc(), SF_NOTIFY_SEND_RAW_DATA));
    const auto nPages = static_cast<double>(state.iterations());
    state.counters["allocs_per_page"] = static_cast<double>(g_nAllocations - nAllocationsBefore) / nPages;
    state.counters["bytes_per_page"] = static_cast<double>(g_cbAllocated - cbBefore) / nPages;
    state.counters["lists_per_page"] = (services.m_nSubmitCalls - nSubmitsBefore) / nPages;
    request.Notify(g_pWorker->FilterProc(), SF_NOTIFY_END_OF_REQUEST);
}

void BM_PagePath(benchmark::State& state) { SendRawData(state, g_sPage, "text/html; charset=utf-8"); }

// The same page for a browser set to Japanese: the texts in Japanese.
void BM_PagePath_Japanese(benchmark::State& state) {
    SendRawData(state, g_sPage, "text/html; charset=utf-8", "ana.lima", "ja-JP,ja;q=0.9");
}

void BM_PagePath_UserWithCultureAndReminders(benchmark::State& state) {
    SendRawData(state, g_sPage, "text/html; charset=utf-8", "alice");
}

// A page of OWA that no modifier changes.
void BM_NotOurPage_UnknownTemplate(benchmark::State& state) {
    std::string sBody = g_sPage;
    const std::string sTemplate = "ASP.forms_basic_basiccalendarview_aspx";
    sBody.replace(sBody.find(sTemplate), sTemplate.size(), "ASP.forms_premium_readmessage_aspx");
    SendRawData(state, sBody, "text/html; charset=utf-8");
}

// A script file of the same size: no template comment at all.
void BM_NotOurPage_NotHtml(benchmark::State& state) {
    std::string sBody = "var g_aItems = [];\n";
    while (sBody.size() < g_sPage.size()) sBody += "g_aItems.push({id: 'RgAAAAB000zQ', s: 'Team sync > 10'});\n";
    SendRawData(state, sBody, "application/javascript");
}

void BM_GumboParse(benchmark::State& state) {
    for (auto _ : state) {
        GumboOutput* pOutput = gumbo_parse_with_options(&kGumboDefaultOptions, g_sPage.data(), g_sPage.size());
        benchmark::DoNotOptimize(pOutput);
        gumbo_destroy_output(&kGumboDefaultOptions, pOutput);
    }
}

// One pass over the page looking for a byte it does not hold.
void BM_MemchrFloor(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(std::memchr(g_sPage.data(), 1, g_sPage.size()));
}

BENCHMARK(BM_PagePath)->UseRealTime();
BENCHMARK(BM_PagePath_UserWithCultureAndReminders)->UseRealTime();
BENCHMARK(BM_PagePath_Japanese)->UseRealTime();
BENCHMARK(BM_GumboParse)->UseRealTime();
BENCHMARK(BM_MemchrFloor)->UseRealTime();
BENCHMARK(BM_NotOurPage_UnknownTemplate)->UseRealTime();
BENCHMARK(BM_NotOurPage_NotHtml)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    g_sPage = ReadFile(KX_CALENDAR_PAGE);
    CSlapdDirectory directory;
    directory.ServeThisProcess();
    directory.Modify("dn: CN=Alice Martin,CN=Users,DC=kalyxa,DC=test\nchangetype: modify\nadd: msExchUserCulture\n"
                     "msExchUserCulture: en-US\n");
    CFakeEwsServer ews;
    ews.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"}};
    ews.m_mailboxConfigurations["alice@kalyxa.test"]["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"},
                                                                           {"enablereminders", "false"}};
    g_sEwsUrl = ews.Url();
    kxhost::WorkerModule worker(KX_WORKER_PATH);
    HTTP_FILTER_VERSION version{};
    if (!worker.IsLoaded() || !worker.GetFilterVersion(&version)) {
        std::fprintf(stderr, "cannot start the worker %s\n", KX_WORKER_PATH);
        return 1;
    }
    g_pWorker = &worker;
    const int nResult = RunWithRatios(argc, argv, {"BM_GumboParse/real_time", "BM_MemchrFloor/real_time",
                                                   "BM_PagePath_UserWithCultureAndReminders/real_time",
                                                   "BM_PagePath/real_time"});
    std::printf("Exchange options calls: %d (one per user and session)\n", ews.Requests("GetUserConfiguration"));
    worker.TerminateFilter(0);
    return nResult;
}
