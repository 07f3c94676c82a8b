#include "host/serve_command.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "host/demo_owa.h"
#include "host/proxy_server.h"
#include "host/user_store.h"
#include "host/worker_module.h"

namespace kxhost {

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: kx-host serve --upstream URL [--listen HOST:PORT] [--worker PATH] [--rules FILE]\n"
                 "                     [--user-store PATH|redis://...] [--user-header NAME] [--ca-file PATH]\n"
                 "                     [--max-page-kb N] [--script-prefix NAME] [--client DIR] [--client-seconds N]\n");
    return 2;
}

// Loads the worker and serves until SIGINT or SIGTERM; the exit code.
int ServeUntilStopped(const std::string& sWorker, const ProxyOptions& options, RequestRules rules, UserStore* pStore,
                      const std::string& sListen, const std::string& sFirstPage) {
    const size_t nColon = sListen.rfind(':');
    if (nColon == std::string::npos) return Usage();
    WorkerModule worker(sWorker);
    HTTP_FILTER_VERSION version{};
    if (!worker.IsLoaded() || !worker.GetFilterVersion(&version)) {
        std::fprintf(stderr, "cannot start the worker %s: %s\n", sWorker.c_str(), worker.Error().c_str());
        return 1;
    }
    // SIGINT and SIGTERM end the serving from a thread of their own.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ProxyServer proxy(worker.FilterProc(), std::move(rules), pStore, options);
    const std::string sHost = sListen.substr(0, nColon);
    const int nPort = proxy.Bind(sHost, std::atoi(sListen.c_str() + nColon + 1));
    if (nPort < 0) {
        std::fprintf(stderr, "cannot listen on %s\n", sListen.c_str());
        worker.TerminateFilter(0);
        return 1;
    }
    std::printf("kx-host: serving http://%s:%d/ in front of %s\n", sHost.c_str(), nPort, options.sUpstream.c_str());
    if (!sFirstPage.empty()) std::printf("Open http://%s:%d%s in a browser; Ctrl-C ends.\n", sHost.c_str(), nPort, sFirstPage.c_str());
    std::fflush(stdout);
    std::thread stopper([&] {
        int nSignal = 0;
        sigwait(&signals, &nSignal);
        proxy.Stop();
    });
    const bool bServed = proxy.Serve();
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    worker.TerminateFilter(0);
    return bServed ? 0 : 1;
}

}  // namespace

int RunServe(int argc, char** argv, const char* pszDefaultWorker, const char* pszDefaultClient) {
    ProxyOptions options;
    options.sClientFolder = pszDefaultClient;
    std::string sListen = "127.0.0.1:8080", sWorker = pszDefaultWorker, sRulesFile,
                sStore = "kx-user-properties.sqlite";
    for (int n = 1; n < argc; n += 2) {
        if (n + 1 >= argc) return Usage();
        const std::string sName = argv[n], sValue = argv[n + 1];
        if (sName == "--upstream") options.sUpstream = sValue;
        else if (sName == "--listen") sListen = sValue;
        else if (sName == "--worker") sWorker = sValue;
        else if (sName == "--rules") sRulesFile = sValue;
        else if (sName == "--user-store") sStore = sValue;
        else if (sName == "--user-header") options.sUserHeader = sValue;
        else if (sName == "--ca-file") options.sCaFile = sValue;
        else if (sName == "--script-prefix") options.sScriptPrefix = sValue;
        else if (sName == "--client") options.sClientFolder = sValue;
        else if (sName == "--client-seconds") options.nClientSeconds = std::atoi(sValue.c_str());
        else if (sName == "--max-page-kb") options.cbMaxPage = std::strtoul(sValue.c_str(), nullptr, 10) * 1024;
        else return Usage();
    }
    if (options.sUpstream.empty()) return Usage();

    RequestRules rules;
    std::string sRules = RequestRules::DefaultText(), sError;
    if (!sRulesFile.empty()) {
        std::ifstream file(sRulesFile);
        std::ostringstream text;
        text << file.rdbuf();
        if (!file) {
            std::fprintf(stderr, "cannot read the rules %s\n", sRulesFile.c_str());
            return 1;
        }
        sRules = text.str();
    }
    if (!rules.Parse(sRules, sError)) {
        std::fprintf(stderr, "rules %s: %s\n", sRulesFile.c_str(), sError.c_str());
        return 1;
    }
    const std::unique_ptr<UserStore> spStore = OpenUserStore(sStore, sError);
    if (!spStore) {
        std::fprintf(stderr, "%s\n", sError.c_str());
        return 1;
    }
    return ServeUntilStopped(sWorker, options, std::move(rules), spStore.get(), sListen, "");
}

int RunDemoServer(const std::string& sListen, const std::string& sWorker, const std::string& sClient,
                  const std::string& sPages) {
    DemoOwa owa(sPages);
    if (owa.Start() < 0) {
        std::fprintf(stderr, "cannot start the demo's OWA\n");
        return 1;
    }
    char szFolder[] = "/tmp/kx-demo-XXXXXX";
    std::string sError;
    const std::unique_ptr<UserStore> spStore =
        mkdtemp(szFolder) == nullptr ? nullptr : OpenUserStore(std::string(szFolder) + "/user-properties.sqlite", sError);
    if (!spStore) {
        std::fprintf(stderr, "cannot make the demo's user store: %s\n", sError.c_str());
        return 1;
    }
    ProxyOptions options;
    options.sUpstream = owa.Url();
    options.sClientFolder = sClient;
    options.sDefaultUser = "EXAMPLE\\ana.lima";
    return ServeUntilStopped(sWorker, options, RequestRules::Defaults(), spStore.get(), sListen,
                             "/owa/?ae=Folder&t=IPF.Appointment");
}

}  // namespace kxhost
