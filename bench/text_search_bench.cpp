// The parser's case-insensitive search against memchr and memmem (which are
// case-sensitive) on a 150 KB page, for 1-, 4- and 20-byte patterns found
// only at the very end.
#include <benchmark/benchmark.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/text_search.h"
#include "bench/support/ratio_reporter.h"

namespace {

const std::string& Page() {
    static const std::string sPage = [] {
        std::ifstream file(KX_SAMPLE_PAGE, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        std::string sPage;
        while (sPage.size() < 150 * 1024) sPage += text.str();
        return sPage + "~<KbD id=\"lnkQvSearchButton01\">";
    }();
    return sPage;
}

constexpr const char* PATTERNS[] = {"~", "<kbd", "id=\"lnkqvsearchbutto"};
constexpr const char* EXACT[] = {"~", "<KbD", "id=\"lnkQvSearchButto"};

void BM_FindNoCase(benchmark::State& state) {
    const std::string& sPage = Page();
    const std::string_view pattern = PATTERNS[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(FindNoCase(sPage.data(), 0, sPage.size(), pattern));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sPage.size()));
}

void BM_FindLastNoCase(benchmark::State& state) {
    // From the end backwards to the pattern placed at the start of the page.
    const std::string sPage = std::string(EXACT[state.range(0)]) + Page().substr(0, Page().size() - 40);
    const std::string_view pattern = PATTERNS[state.range(0)];
    for (auto _ : state)
        benchmark::DoNotOptimize(FindLastNoCase(sPage.data(), sPage.size() - 1, 0, sPage.size(), pattern));
}

void BM_Memchr(benchmark::State& state) {
    const std::string& sPage = Page();
    for (auto _ : state) benchmark::DoNotOptimize(memchr(sPage.data(), '~', sPage.size()));
}

void BM_Memmem(benchmark::State& state) {
    const std::string& sPage = Page();
    const std::string_view pattern = EXACT[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(memmem(sPage.data(), sPage.size(), pattern.data(), pattern.size()));
}

BENCHMARK(BM_Memchr);
BENCHMARK(BM_Memmem)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_FindNoCase)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_FindLastNoCase)->Arg(0)->Arg(1)->Arg(2);

}  // namespace

int main(int argc, char** argv) { return RunWithRatios(argc, argv, {"BM_Memchr"}); }
