// The worker's threads and the host's signals.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "tests/integration/worker_fixture.h"

namespace {

// The ids of this process's threads.
std::set<std::string> Threads() {
    std::set<std::string> threads;
    DIR* pTasks = opendir("/proc/self/task");
    while (const dirent* pEntry = pTasks ? readdir(pTasks) : nullptr)
        if (pEntry->d_name[0] != '.') threads.insert(pEntry->d_name);
    if (pTasks) closedir(pTasks);
    return threads;
}

// The signals a thread blocks, as the kernel reports them.
unsigned long long BlockedSignals(const std::string& sThread) {
    std::ifstream status("/proc/self/task/" + sThread + "/status");
    for (std::string sLine; std::getline(status, sLine);)
        if (sLine.rfind("SigBlk:", 0) == 0) return std::stoull(sLine.substr(7), nullptr, 16);
    return 0;
}

// A web server stops and reloads by signals: none may land on our threads.
TEST(WorkerLibrary, ThreadsItStartsBlockTheHostsSignals) {
    TemporaryProduct product(/*bWithSettingsFolder=*/true);
    const std::set<std::string> before = Threads();
    kxhost::WorkerModule worker(product.WorkerCopy());
    ASSERT_TRUE(worker.IsLoaded()) << worker.Error();
    HTTP_FILTER_VERSION version{};
    ASSERT_TRUE(worker.GetFilterVersion(&version));
    // A thread starts with every signal blocked and takes its creator's mask
    // a moment later.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    size_t nStarted = 0;
    for (const std::string& sThread : Threads()) {
        if (before.count(sThread) != 0) continue;
        ++nStarted;
        const unsigned long long nBlocked = BlockedSignals(sThread);
        for (int nSignal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGCHLD, SIGWINCH, SIGALRM, SIGIO})
            EXPECT_NE(nBlocked & (1ULL << (nSignal - 1)), 0u) << "thread " << sThread << ", signal " << nSignal;
    }
    EXPECT_GE(nStarted, 1u) << "the folder monitor runs";
    EXPECT_TRUE(worker.TerminateFilter(0));
}

}  // namespace
