// A console reporter that also prints every benchmark's time as a ratio to
// one baseline benchmark of the same run, and, for a benchmark run at
// doubling sizes ("Name/N"), each size's time as a ratio to the size before:
// about 2 is linear, and above MAX_DOUBLING_GROWTH is marked.
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
        bool bHeading = false;
        for (size_t n = 1; n < m_times.size(); ++n) {
            const std::string& sName = m_times[n].first;
            const std::string& sPrevious = m_times[n - 1].first;
            const size_t nSlash = sName.find('/');
            if (nSlash == std::string::npos || sPrevious.compare(0, nSlash + 1, sName, 0, nSlash + 1) != 0) continue;
            if (!bHeading) std::printf("\nGrowth when the size doubles (linear: about 2):\n");
            bHeading = true;
            const double dGrowth = m_times[n].second / m_times[n - 1].second;
            std::printf("  %-44s %10.2fx%s\n", sName.c_str(), dGrowth,
                        dGrowth > MAX_DOUBLING_GROWTH ? "  NOT LINEAR" : "");
        }
    }

    static constexpr double MAX_DOUBLING_GROWTH = 2.3;

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
