#include <gtest/gtest.h>
#include <hiredis/hiredis.h>

#include <chrono>
#include <thread>

#include "base/win_errors.h"
#include "components/memory_cache_store.h"
#include "components/redis_cache_store.h"
#include "tests/support/redis_server.h"

namespace {

const HRESULT HR_MISS = HResultFromWin32(ERROR_NOT_FOUND);

int64_t g_nNow = 0;
int64_t TestClock() { return g_nNow; }

TEST(MemoryCache, ItemsExpireAfterTheLifetimeFromTheirLastAdd) {
    g_nNow = 1'000'000;
    CMemoryCacheStore store(&TestClock);
    ASSERT_EQ(store.CreateCache("c", 10, 1), S_OK);
    ASSERT_EQ(store.Add("c", "k", "v1"), S_OK);
    g_nNow += 50'000;
    ASSERT_EQ(store.Add("c", "k", "v2"), S_OK);  // a new add starts the lifetime again
    g_nNow += 50'000;
    std::string sValue;
    EXPECT_EQ(store.Get("c", "k", sValue), S_OK);
    EXPECT_EQ(sValue, "v2");
    g_nNow += 10'000;
    EXPECT_EQ(store.Get("c", "k", sValue), HR_MISS);
}

TEST(MemoryCache, AFullCacheDropsTheLeastRecentlyUsedItem) {
    CMemoryCacheStore store(&TestClock);
    ASSERT_EQ(store.CreateCache("c", 3, 60), S_OK);
    for (const char* pszKey : {"a", "b", "c"}) ASSERT_EQ(store.Add("c", pszKey, pszKey), S_OK);
    std::string sValue;
    ASSERT_EQ(store.Get("c", "a", sValue), S_OK);  // a is now the most recently used
    ASSERT_EQ(store.Add("c", "d", "d"), S_OK);     // b goes
    EXPECT_EQ(store.Get("c", "b", sValue), HR_MISS);
    for (const char* pszKey : {"a", "c", "d"}) EXPECT_EQ(store.Get("c", pszKey, sValue), S_OK) << pszKey;
    ASSERT_EQ(store.CreateCache("c", 1, 60), S_OK);  // a smaller bound keeps the most recent
    EXPECT_EQ(store.Get("c", "d", sValue), S_OK);
    EXPECT_EQ(store.Get("c", "a", sValue), HR_MISS);
}

TEST(MemoryCache, CachesAreSeparateAndUnknownOnesMiss) {
    CMemoryCacheStore store;
    ASSERT_EQ(store.CreateCache("one", 10, 60), S_OK);
    ASSERT_EQ(store.CreateCache("two", 10, 60), S_OK);
    ASSERT_EQ(store.Add("one", "k", "1"), S_OK);
    std::string sValue;
    EXPECT_EQ(store.Get("two", "k", sValue), HR_MISS);
    EXPECT_EQ(store.Add("none", "k", "1"), HR_MISS);
    EXPECT_EQ(store.CreateCache("bad", 0, 60), E_INVALIDARG);
    for (int n = 0; n < 30; ++n) ASSERT_EQ(store.CreateCache("extra" + std::to_string(n), 1, 1), S_OK);
    EXPECT_EQ(store.CreateCache("one", 5, 60), S_OK) << "an existing cache takes new bounds";
    EXPECT_EQ(store.CreateCache("one more", 5, 60), E_OUTOFMEMORY) << "at most 32 caches";
}

TEST(MemoryCache, ConcurrentAddsAndGetsKeepTheBound) {
    CMemoryCacheStore store;
    ASSERT_EQ(store.CreateCache("c", 50, 60), S_OK);
    auto work = [&](int nThread) {
        std::string sValue;
        for (int n = 0; n < 2000; ++n) {
            const std::string sKey = std::to_string((n * 7 + nThread) % 120);
            store.Add("c", sKey, sKey);
            if (store.Get("c", sKey, sValue) == S_OK) {
                EXPECT_EQ(sValue, sKey);
            }
        }
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    int nPresent = 0;
    std::string sValue;
    for (int n = 0; n < 120; ++n) nPresent += store.Get("c", std::to_string(n), sValue) == S_OK;
    EXPECT_LE(nPresent, 50);
}

TEST(RedisAddress, TheFormsOfTheAddress) {
    CRedisAddress address;
    ASSERT_TRUE(CRedisAddress::Parse("redis://cache.example:6380/2", address));
    EXPECT_EQ(address.sHost, "cache.example");
    EXPECT_EQ(address.nPort, 6380);
    EXPECT_EQ(address.nDatabase, 2);
    ASSERT_TRUE(CRedisAddress::Parse("redis://:secret@127.0.0.1", address));
    EXPECT_EQ(address.sPassword, "secret");
    EXPECT_EQ(address.nPort, 6379);
    ASSERT_TRUE(CRedisAddress::Parse("redis://kx:p@ss@host:1/0", address));
    EXPECT_EQ(address.sUser, "kx");
    EXPECT_EQ(address.sPassword, "p@ss");
    for (const char* pszBad : {"", "http://host", "redis://", "redis://host:0", "redis://host:99999",
                               "redis://host:port", "redis://host/x", "redis://host/-1", "redis://user@host"})
        EXPECT_FALSE(CRedisAddress::Parse(pszBad, address)) << pszBad;
}

class RedisCache : public ::testing::Test {
protected:
    CRedisServer m_server;
    CRedisAddress Address() const {
        CRedisAddress address;
        CRedisAddress::Parse(m_server.Uri(), address);
        return address;
    }
    // A direct look at the server, apart from the stores.
    long long Integer(const std::string& sCommand) {
        redisContext* pContext = redisConnect("127.0.0.1", m_server.Port());
        auto* pReply = static_cast<redisReply*>(redisCommand(pContext, sCommand.c_str()));
        const long long nValue = pReply != nullptr && pReply->type == REDIS_REPLY_INTEGER ? pReply->integer : -99;
        freeReplyObject(pReply);
        redisFree(pContext);
        return nValue;
    }
};

TEST_F(RedisCache, TwoWorkersShareItemsAndSeeEachOthersChanges) {
    CRedisCacheStore first(Address()), second(Address());
    ASSERT_EQ(first.CreateCache("HiddenMessage", 100, 60), S_OK);
    ASSERT_EQ(second.CreateCache("HiddenMessage", 100, 60), S_OK);
    ASSERT_EQ(first.Add("HiddenMessage", "alice", "<SETTINGS><a>1</a></SETTINGS>"), S_OK);
    std::string sValue;
    ASSERT_EQ(second.Get("HiddenMessage", "alice", sValue), S_OK);
    EXPECT_EQ(sValue, "<SETTINGS><a>1</a></SETTINGS>");
    ASSERT_EQ(second.Add("HiddenMessage", "alice", "<SETTINGS></SETTINGS>"), S_OK);  // an invalidation
    ASSERT_EQ(first.Get("HiddenMessage", "alice", sValue), S_OK);
    EXPECT_EQ(sValue, "<SETTINGS></SETTINGS>");
    EXPECT_EQ(first.Get("HiddenMessage", "bob", sValue), HR_MISS);
    const std::string sBinary("k\0\xff y", 5);
    ASSERT_EQ(first.Add("HiddenMessage", sBinary, sBinary), S_OK);
    ASSERT_EQ(second.Get("HiddenMessage", sBinary, sValue), S_OK);
    EXPECT_EQ(sValue, sBinary);
}

TEST_F(RedisCache, LifetimeIsKeyExpiryAndTheBoundDropsTheLeastRecentlyUsed) {
    CRedisCacheStore store(Address());
    ASSERT_EQ(store.CreateCache("c", 3, 2), S_OK);
    for (const char* pszKey : {"a", "b", "c"}) {
        ASSERT_EQ(store.Add("c", pszKey, pszKey), S_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));  // distinct use times
    }
    std::string sValue;
    ASSERT_EQ(store.Get("c", "a", sValue), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    ASSERT_EQ(store.Add("c", "d", "d"), S_OK);
    EXPECT_EQ(store.Get("c", "b", sValue), HR_MISS);
    for (const char* pszKey : {"a", "c", "d"}) EXPECT_EQ(store.Get("c", pszKey, sValue), S_OK) << pszKey;
    EXPECT_EQ(Integer("DBSIZE"), 4);  // three items and the index
    // The lifetime is the item key's expiry (two minutes).
    const long long nTtl = Integer("TTL kx:1:c:i:a");
    EXPECT_GT(nTtl, 100);
    EXPECT_LE(nTtl, 120);
    ASSERT_EQ(store.CreateCache("c", 1, 2), S_OK);  // a smaller bound applies at the next add
    ASSERT_EQ(store.Add("c", "e", "e"), S_OK);
    EXPECT_EQ(store.Get("c", "e", sValue), S_OK);
    EXPECT_EQ(Integer("DBSIZE"), 2);
}

TEST_F(RedisCache, AnOutageCostsABoundedWaitAndGivesMisses) {
    CRedisCacheStore store(Address(), 200);
    ASSERT_EQ(store.CreateCache("c", 10, 60), S_OK);
    ASSERT_EQ(store.Add("c", "k", "v"), S_OK);
    m_server.Pause();
    std::string sValue;
    auto start = std::chrono::steady_clock::now();
    EXPECT_LT(store.Get("c", "k", sValue), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    start = std::chrono::steady_clock::now();
    for (int n = 0; n < 20; ++n) EXPECT_LT(store.Get("c", "k", sValue), 0);  // the back-off answers at once
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    m_server.Resume();
    m_server.Kill();
    std::this_thread::sleep_for(std::chrono::milliseconds(CRedisCacheStore::BACKOFF_MS + 100));
    start = std::chrono::steady_clock::now();
    EXPECT_LT(store.Add("c", "k", "v"), 0);
    EXPECT_LT(store.Get("c", "k", sValue), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
