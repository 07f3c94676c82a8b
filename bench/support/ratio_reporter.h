// A console reporter that also prints every benchmark's time as a ratio to
// one baseline benchmark of the same run.
#ifndef KX_BENCH_RATIO_REPORTER_H
#define KX_BENCH_RATIO_REPORTER_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::string sBaseline) : m_sBaseline(std::move(sBaseline)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration) m_times.emplace_back(run.benchmark_name(), run.GetAdjustedRealTime());
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        double dBaseline = 0;
        for (const auto& [sName, dTime] : m_times)
            if (sName == m_sBaseline) dBaseline = dTime;
        if (dBaseline <= 0) return;
        std::printf("\nRatio to %s (same run):\n", m_sBaseline.c_str());
        for (const auto& [sName, dTime] : m_times) std::printf("  %-40s %8.2fx\n", sName.c_str(), dTime / dBaseline);
    }

private:
    std::string m_sBaseline;
    std::vector<std::pair<std::string, double>> m_times;
};

// main() for a benchmark program reporting ratios to sBaseline.
inline int RunWithRatios(int argc, char** argv, const char* pszBaseline) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(pszBaseline);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

#endif  // KX_BENCH_RATIO_REPORTER_H
