// The per-page cost of localization: the basic calendar view's eleven
// strings in French as UTF-8, against one memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <vector>

#include "bench/support/ratio_reporter.h"
#include "settings/sw_general_settings.h"

namespace {

const std::vector<uint32_t> IDS = {1320, 1321, 1322, 1323, 1324, 1326, 1325, 1327, 1105, 1110, 1111};
constexpr LANGID FRENCH = 1036;

class Settings : public CSWGeneralSettings {
public:
    Settings() { m_resource.LoadModule(KX_RESOURCE_MODULE, nullptr); }
    bool InitTroubleEndRequestUrls() override { return true; }
    bool InitHandlerVirDir() override { return true; }
};

Settings& TheSettings() {
    static Settings s_settings;
    return s_settings;
}

void BM_MemcpyFloor(benchmark::State& state) {
    std::map<uint32_t, std::string> texts;
    TheSettings().GetResources(IDS, texts, true, FRENCH, "");
    std::string sAll;
    for (const auto& [nId, sText] : texts) sAll += sText;
    std::vector<char> copy(sAll.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), sAll.data(), sAll.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
}

void BM_GetResourcesFrenchUtf8(benchmark::State& state) {
    for (auto _ : state) {
        std::map<uint32_t, std::string> texts;
        if (!TheSettings().GetResources(IDS, texts, true, FRENCH, "")) {
            state.SkipWithError("a string is missing");
            break;
        }
        benchmark::DoNotOptimize(texts);
    }
}

void BM_GetResourcesFrenchLatin1(benchmark::State& state) {
    for (auto _ : state) {
        std::map<uint32_t, std::string> texts;
        TheSettings().GetResources(IDS, texts, false, FRENCH, "iso-8859-1");
        benchmark::DoNotOptimize(texts);
    }
}

BENCHMARK(BM_MemcpyFloor);
BENCHMARK(BM_GetResourcesFrenchUtf8);
BENCHMARK(BM_GetResourcesFrenchLatin1);

}  // namespace

int main(int argc, char** argv) { return RunWithRatios(argc, argv, {"BM_MemcpyFloor"}); }
