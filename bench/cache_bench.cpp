// A cache hit through the cache wrapper (a component instance per call, as
// the worker makes it): in-process from one and two threads, and in Redis;
// against a bare locked hash-map look-up as the floor.
#include <benchmark/benchmark.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "bench/support/ratio_reporter.h"
#include "components/cache_component.h"
#include "components/memory_cache_store.h"
#include "components/redis_cache_store.h"
#include "diagnostics/event_log.h"
#include "settings/qv_cache.h"
#include "tests/support/redis_server.h"

namespace {

const std::string KEY = "alice";
const std::string SESSION = "UserContext-5f2b4c1d9e8a7b6c";
const std::string XML = "<SETTINGS><View Type>week</View Type><Reminder On>1</Reminder On></SETTINGS>";

CEventLog g_eventLog;

// A wrapper over a cache component registered on the store, with one item.
std::unique_ptr<CQVCache> CacheOver(std::shared_ptr<ICacheStore> spStore) {
    RegisterComponent(CLSID_QVCache, [spStore] { return std::make_shared<CCacheComponent>(spStore); });
    auto spCache = std::make_unique<CQVCache>(g_eventLog);
    if (spCache->Init() < 0 || spCache->CreateCache("HiddenMessage", 3000, 60) < 0 ||
        spCache->AddItem("HiddenMessage", KEY, XML, SESSION) < 0)
        return nullptr;
    return spCache;
}

void Hits(benchmark::State& state, CQVCache& cache) {
    std::string sValue;
    for (auto _ : state) {
        if (cache.GetItem("HiddenMessage", KEY, sValue, SESSION) != 0) {
            state.SkipWithError("miss");
            break;
        }
        benchmark::DoNotOptimize(sValue);
    }
}

void BM_LockedMapFloor(benchmark::State& state) {
    static std::mutex s_lock;
    static const std::unordered_map<std::string, std::string> s_map{{KEY + SESSION, XML}};
    std::string sValue;
    for (auto _ : state) {
        const std::lock_guard<std::mutex> guard(s_lock);
        sValue = s_map.at(KEY + SESSION);
        benchmark::DoNotOptimize(sValue);
    }
}

std::unique_ptr<CQVCache> g_spMemoryCache;

void BM_InProcessHitOneThread(benchmark::State& state) { Hits(state, *g_spMemoryCache); }
void BM_InProcessHitTwoThreads(benchmark::State& state) { Hits(state, *g_spMemoryCache); }

void BM_RedisHit(benchmark::State& state) {
    std::unique_ptr<CRedisServer> spServer;
    try {
        spServer = std::make_unique<CRedisServer>();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return;
    }
    CRedisAddress address;
    CRedisAddress::Parse(spServer->Uri(), address);
    auto spCache = CacheOver(std::make_shared<CRedisCacheStore>(address));
    if (!spCache) {
        state.SkipWithError("no Redis cache");
        return;
    }
    Hits(state, *spCache);
    CacheOver(std::make_shared<CMemoryCacheStore>());  // back to the in-process store
}

BENCHMARK(BM_LockedMapFloor)->UseRealTime();
BENCHMARK(BM_InProcessHitOneThread)->Threads(1)->UseRealTime();
BENCHMARK(BM_InProcessHitTwoThreads)->Threads(2)->UseRealTime();
BENCHMARK(BM_RedisHit)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    g_spMemoryCache = CacheOver(std::make_shared<CMemoryCacheStore>());
    if (!g_spMemoryCache) return 1;
    return RunWithRatios(argc, argv, {"BM_LockedMapFloor/real_time", "BM_InProcessHitOneThread/real_time/threads:1"});
}
