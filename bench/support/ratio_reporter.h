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
    explicit RatioReporter(std::vector<std::string> baselines) : m_baselines(std::move(baselines)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)  // in seconds, whatever unit the case reports in
                m_times.emplace_back(run.benchmark_name(),
                                     run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit));
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const std::string& sBaseline : m_baselines) {
            double dBaseline = 0;
            for (const auto& [sName, dTime] : m_times)
                if (sName == sBaseline) dBaseline = dTime;
            if (dBaseline <= 0) continue;
            std::printf("\nRatio to %s (same run):\n", sBaseline.c_str());
            for (const auto& [sName, dTime] : m_times) std::printf("  %-44s %10.3fx\n", sName.c_str(), dTime / dBaseline);
        }
    }

private:
    std::vector<std::string> m_baselines;
    std::vector<std::pair<std::string, double>> m_times;
};

// main() for a benchmark program reporting ratios to each baseline.
inline int RunWithRatios(int argc, char** argv, std::vector<std::string> baselines) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::move(baselines));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

#endif  // KX_BENCH_RATIO_REPORTER_H
