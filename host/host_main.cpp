// kx-host: the reference host on the command line.
//
//   kx-host demo [--worker PATH] [--page PATH] [--url URL] [--language TAGS] [--out PATH]
//   kx-host render [the demo's options] [--method M] [--header "Name: value"]... [--cookie TEXT]
//                  [--subscription N] [--user NAME]
//   kx-host demo-owa [--listen HOST:PORT]
//
// demo loads the worker, asks for its filter version, sends one request
// through all five notifications and prints what the worker answered and the
// response as it would leave (or writes the response to --out); render does
// the same for a request described on the command line. demo-owa serves a
// small OWA look-alike for the demo in a browser, behind nginx with the
// module (scripts/demo.sh --serve).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/demo_owa.h"
#include "host/host_request.h"
#include "host/stop_request.h"
#include "host/worker_module.h"

namespace {

const char* NotificationName(DWORD dwNotification) {
    switch (dwNotification) {
        case SF_NOTIFY_PREPROC_HEADERS: return "SF_NOTIFY_PREPROC_HEADERS";
        case SF_NOTIFY_AUTH_COMPLETE: return "SF_NOTIFY_AUTH_COMPLETE";
        case SF_NOTIFY_SEND_RESPONSE: return "SF_NOTIFY_SEND_RESPONSE";
        case SF_NOTIFY_SEND_RAW_DATA: return "SF_NOTIFY_SEND_RAW_DATA";
        case SF_NOTIFY_END_OF_REQUEST: return "SF_NOTIFY_END_OF_REQUEST";
        default: return "?";
    }
}

const char* ControlName(DWORD dwControl) {
    static const char* const names[] = {"None", "Ignore", "Handled/Redirected", "Replace", "Completed"};
    return dwControl < 5 ? names[dwControl] : "Unknown";
}

bool ReadFile(const std::string& sPath, std::string& sText) {
    std::ifstream file(sPath, std::ios::binary);
    if (!file) return false;
    std::ostringstream text;
    text << file.rdbuf();
    sText = text.str();
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: kx-host demo [--worker PATH] [--page PATH] [--url URL] [--language TAGS] [--out PATH]\n"

                 "       kx-host render [--page PATH] [--url URL] [--method M] [--header 'Name: value']...\n"
                 "                      [--cookie TEXT] [--subscription N] [--user NAME] [--language TAGS] [--out PATH]\n"
                 "       kx-host demo-owa [--listen HOST:PORT]\n");
    return 2;
}

struct DemoOptions {
    std::string sWorker = KX_DEFAULT_WORKER;
    std::string sPage = KX_DEFAULT_PAGE;
    std::string sUrl = "/owa/?ae=Folder&t=IPF.Appointment";
    std::string sLanguages = "en-US,en;q=0.8";
    std::string sOut;
    // The request; the defaults are the demo's.
    std::string sMethod = "GET";
    std::vector<std::pair<std::string, std::string>> extraHeaders;
    std::string sCookie = "UserContext=0f3c9a6d2b5e4c1a8d7e6f5a4b3c2d1e; sessionid=1";
    int nSubscriptionType = 4;  // an OWA page
    std::string sUser = "EXAMPLE\\ana.lima";
};

int RunDemo(const DemoOptions& options) {
    const std::string& sWorker = options.sWorker;
    const std::string& sPage = options.sPage;
    kxhost::RequestSpec spec;
    if (!ReadFile(sPage, spec.sBody)) {
        std::fprintf(stderr, "cannot read page %s\n", sPage.c_str());
        return 1;
    }
    kxhost::WorkerModule worker(sWorker);
    std::printf("Worker: %s\n", sWorker.c_str());
    if (!worker.IsLoaded()) {
        std::fprintf(stderr, "cannot load the worker: %s\n", worker.Error().c_str());
        return 1;
    }
    HTTP_FILTER_VERSION version{};
    const BOOL bVersion = worker.GetFilterVersion(&version);
    std::printf("GetFilterVersion: %s  filter version 0x%08X  flags 0x%08X  description \"%s\"\n",
                bVersion ? "TRUE" : "FALSE", static_cast<unsigned>(version.dwFilterVersion),
                static_cast<unsigned>(version.dwFlags), version.lpszFilterDesc);
    if (!bVersion) return 1;

    kxhost::HostServices services;
    spec.sMethod = options.sMethod;
    spec.sUrl = options.sUrl;
    spec.sUser = options.sUser;
    spec.headers = {{"Host", "mail.example.test"},
                    {"User-Agent", "Mozilla/5.0 (X11; Linux x86_64)"},
                    {"Accept-Language", options.sLanguages}};
    if (!options.sCookie.empty()) spec.headers.emplace_back("Cookie", options.sCookie);
    spec.headers.insert(spec.headers.end(), options.extraHeaders.begin(), options.extraHeaders.end());
    // What a production host passes: the user it identified and the folder
    // under which it serves the product's scripts for browsers to cache.
    spec.serverVariables = {{"LOCAL_ADDR", "127.0.0.1"}, {"HTTPS", "on"}, {"HEADER_QV_CSMPREFIX", "c0a1f-20261206"}};
    if (!options.sUser.empty()) {
        spec.serverVariables["LOGON_USER"] = options.sUser;
        spec.serverVariables["QV_USERNAME"] = options.sUser;
    }
    spec.sRoot = "https://mail.example.test";
    spec.nSubscriptionType = options.nSubscriptionType;
    services.m_userProperties[spec.sUser][0x8602] = "2";  // the user chose the work-week view
    kxhost::HostRequest request(services, spec);
    std::printf("Request: %s %s (%zu-byte page)\n", spec.sMethod.c_str(), spec.sUrl.c_str(), spec.sBody.size());
    for (DWORD dwNotification : {SF_NOTIFY_PREPROC_HEADERS, SF_NOTIFY_AUTH_COMPLETE, SF_NOTIFY_SEND_RESPONSE,
                                 SF_NOTIFY_SEND_RAW_DATA, SF_NOTIFY_END_OF_REQUEST}) {
        const DWORD dwResult = request.Notify(worker.FilterProc(), dwNotification);
        const DWORD dwControl = request.Context()->m_dwControlMessage;
        std::printf("  %-26s returned %u, control message %u (%s)\n", NotificationName(dwNotification),
                    static_cast<unsigned>(dwResult), static_cast<unsigned>(dwControl), ControlName(dwControl));
    }
    std::printf("Routing: the request URL after authentication-complete is %s\n", request.Spec().sUrl.c_str());
    std::printf("Headers the worker set or added:\n");
    if (request.HeaderActions().empty()) std::printf("  (none)\n");
    for (const kxhost::HeaderAction& action : request.HeaderActions())
        std::printf("  %-26s %s %s %s\n", NotificationName(action.dwNotification), action.sAction.c_str(),
                    action.sName.c_str(), action.sValue.c_str());
    std::printf("Instructions submitted: %d time(s)%s%s\n", services.m_nSubmitCalls,
                request.SubmitError().empty() ? "" : ", refused: ", request.SubmitError().c_str());
    if (options.sOut.empty()) {
        std::printf("Response as sent (%zu bytes):\n%s\n", request.SentResponse().size(),
                    request.SentResponse().c_str());
    } else {
        std::ofstream out(options.sOut, std::ios::binary);
        out << request.SentResponse();
        if (!out.flush()) {
            std::fprintf(stderr, "cannot write %s\n", options.sOut.c_str());
            return 1;
        }
        std::printf("Response as sent (%zu bytes) written to %s\n", request.SentResponse().size(),
                    options.sOut.c_str());
    }
    std::printf("TerminateFilter: %s\n", worker.TerminateFilter(0) ? "TRUE" : "FALSE");
    return 0;
}

// The OWA look-alike until it is asked to stop; it says where it listens.
int RunDemoOwa(int argc, char** argv) {
    std::string sListen = "127.0.0.1:0";
    if (argc == 4 && std::strcmp(argv[2], "--listen") == 0) sListen = argv[3];
    else if (argc != 2) return Usage();
    const size_t nColon = sListen.rfind(':');
    if (nColon == std::string::npos) return Usage();
    kxhost::StopRequest stop;
    kxhost::DemoOwa owa(KX_DEMO_PAGES);
    if (owa.Start(sListen.substr(0, nColon), std::atoi(sListen.c_str() + nColon + 1)) < 0) {
        std::fprintf(stderr, "cannot listen on %s\n", sListen.c_str());
        return 1;
    }
    std::printf("kx-host: the OWA look-alike at %s/\n", owa.Url().c_str());
    std::fflush(stdout);
    stop.Wait();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "demo-owa") == 0) return RunDemoOwa(argc, argv);
    const bool bRender = argc >= 2 && std::strcmp(argv[1], "render") == 0;
    if (argc < 2 || (!bRender && std::strcmp(argv[1], "demo") != 0)) return Usage();
    DemoOptions options;
    for (int n = 2; n < argc; n += 2) {
        const std::string sName = argv[n];
        if (n + 1 >= argc) return Usage();
        const std::string sValue = argv[n + 1];
        if (sName == "--worker") options.sWorker = sValue;
        else if (sName == "--page") options.sPage = sValue;
        else if (sName == "--url") options.sUrl = sValue;
        else if (sName == "--language") options.sLanguages = sValue;
        else if (sName == "--out") options.sOut = sValue;
        else if (sName == "--method" && bRender) options.sMethod = sValue;
        else if (sName == "--cookie" && bRender) options.sCookie = sValue;
        else if (sName == "--user" && bRender) options.sUser = sValue;
        else if (sName == "--subscription" && bRender) options.nSubscriptionType = std::atoi(sValue.c_str());
        else if (sName == "--header" && bRender && sValue.find(':') != std::string::npos) {
            const size_t nColon = sValue.find(':');
            const size_t nValue = sValue.find_first_not_of(' ', nColon + 1);
            options.extraHeaders.emplace_back(sValue.substr(0, nColon),
                                              nValue == std::string::npos ? std::string() : sValue.substr(nValue));
        } else {
            return Usage();
        }
    }
    return RunDemo(options);
}
