// One trace line: off, into the shared section, into the file; against a
// plain snprintf into a stack buffer as the floor.
#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <filesystem>

#include "bench/support/ratio_reporter.h"
#include "diagnostics/trace.h"
#include "tests/support/fake_trace_settings.h"

namespace {

const char* const FORMAT = "[CNotifications::NotifySendRawData] finished.  Win32 RC=%d.  Control Message=<%s>";

std::string g_sFolder;
std::string g_sName;

void StartLog(int nMode) {
    FakeTraceSettings settings;
    settings.m_numbers = {{SETTING_TRACE_SWITCH, 1}, {SETTING_LOG_MODE, nMode}, {SETTING_LOG_SIZE_KB, 10240}};
    settings.m_strings = {{SETTING_LOG_FOLDER, g_sFolder}, {SETTING_PRODUCT_LOG_NAME, g_sName}};
    settings.m_sCommonFiles = KX_COMMON_FILES;
    InitTrace(settings, "KX_ServiceWorker.dll", -1);
}

void BM_SnprintfFloor(benchmark::State& state) {
    char szBuffer[4097];
    for (auto _ : state) {
        std::snprintf(szBuffer, sizeof(szBuffer), FORMAT, 0, "None");
        benchmark::DoNotOptimize(szBuffer);
    }
}

void BM_TraceOff(benchmark::State& state) {
    SetTraceLevel(0);
    for (auto _ : state) Trace(FORMAT, 0, "None");
}

void BM_TraceSharedSection(benchmark::State& state) {
    StartLog(1);
    for (auto _ : state) Trace(FORMAT, 0, "None");
    FlushTrace(true);
    SetTraceLevel(0);
}

void BM_TraceFile(benchmark::State& state) {
    StartLog(2);
    for (auto _ : state) Trace(FORMAT, 0, "None");
    FlushTrace(true);
    SetTraceLevel(0);
}

BENCHMARK(BM_SnprintfFloor);
BENCHMARK(BM_TraceOff);
BENCHMARK(BM_TraceSharedSection);
BENCHMARK(BM_TraceFile);

}  // namespace

int main(int argc, char** argv) {
    char szTemplate[] = "/tmp/kx-bench-XXXXXX";
    g_sFolder = mkdtemp(szTemplate);
    g_sName = "kxbench-" + std::to_string(getpid()) + ".log";
    const int nResult = RunWithRatios(argc, argv, {"BM_SnprintfFloor"});
    shm_unlink(("/Global." + g_sName + "." + std::to_string(geteuid())).c_str());
    std::filesystem::remove_all(g_sFolder);
    return nResult;
}
