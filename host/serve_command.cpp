#include "host/serve_command.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "host/proxy_server.h"
#include "host/user_store.h"
#include "host/worker_module.h"

namespace kxhost {

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: kx-host serve --upstream URL [--listen HOST:PORT] [--worker PATH] [--rules FILE]\n"
                 "                     [--user-store PATH|redis://...] [--user-header NAME] [--ca-file PATH]\n"
                 "                     [--max-page-kb N] [--script-prefix NAME] [--client DIR]\n");
    return 2;
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
        else if (sName == "--max-page-kb") options.cbMaxPage = std::strtoul(sValue.c_str(), nullptr, 10) * 1024;
        else return Usage();
    }
    const size_t nColon = sListen.rfind(':');
    if (options.sUpstream.empty() || nColon == std::string::npos) return Usage();

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
    ProxyServer proxy(worker.FilterProc(), std::move(rules), spStore.get(), options);
    const int nPort = proxy.Bind(sListen.substr(0, nColon), std::atoi(sListen.c_str() + nColon + 1));
    if (nPort < 0) {
        std::fprintf(stderr, "cannot listen on %s\n", sListen.c_str());
        worker.TerminateFilter(0);
        return 1;
    }
    std::printf("kx-host: serving http://%s:%d/ in front of %s\n", sListen.substr(0, nColon).c_str(), nPort,
                options.sUpstream.c_str());
    std::fflush(stdout);
    std::thread stopper([&] {
        int nSignal = 0;
        sigwait(&signals, &nSignal);
        proxy.Stop();
    });
    const bool bServed = proxy.Serve();
    if (stopper.joinable()) {
        pthread_kill(stopper.native_handle(), SIGTERM);
        stopper.join();
    }
    worker.TerminateFilter(0);
    return bServed ? 0 : 1;
}

}  // namespace kxhost
