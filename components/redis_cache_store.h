// Named caches in Redis, shared by every worker process and front-end
// server that uses the same Redis: an item lives for the cache's lifetime
// from its last add (key expiry) and a full cache drops its least recently
// used items (a sorted index per cache). A Redis that is down or slow costs
// at most the timeout and answers a miss; after a failure, calls fail at
// once for a short back-off before the next connection attempt.
#ifndef KX_COMPONENTS_REDIS_CACHE_STORE_H
#define KX_COMPONENTS_REDIS_CACHE_STORE_H

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "components/cache_store.h"

struct redisContext;

// "redis://[[user]:password@]host[:port][/db]".
struct CRedisAddress {
    std::string sHost;
    int nPort = 6379;
    int nDatabase = 0;
    std::string sUser;
    std::string sPassword;

    // False for anything else than the form above.
    static bool Parse(const std::string& sUri, CRedisAddress& address);
};

class CRedisCacheStore : public ICacheStore {
public:
    static constexpr int DEFAULT_TIMEOUT_MS = 250;
    static constexpr int BACKOFF_MS = 2000;

    explicit CRedisCacheStore(CRedisAddress address, int nTimeoutMs = DEFAULT_TIMEOUT_MS);
    ~CRedisCacheStore() override;

    HRESULT CreateCache(const std::string& sName, long nMaxItems, long nLifetimeMinutes) override;
    HRESULT Add(const std::string& sName, const std::string& sKey, const std::string& sData) override;
    HRESULT Get(const std::string& sName, const std::string& sKey, std::string& sData) override;

private:
    struct CBounds {
        long nMaxItems;
        long nLifetimeSeconds;
    };
    struct CContextDeleter {
        void operator()(redisContext* pContext) const;
    };
    using ContextPtr = std::unique_ptr<redisContext, CContextDeleter>;

    bool FindBounds(const std::string& sName, CBounds& bounds);
    // An idle connection, or a new one; null (and the back-off starts) when
    // Redis cannot be reached.
    ContextPtr Acquire();
    void Release(ContextPtr spContext);
    void Failed();
    HRESULT Run(const char* pszScript, const std::string& sName, const std::string& sKey,
                const std::vector<std::string>& args, std::string* pResult);

    const CRedisAddress m_address;
    const int m_nTimeoutMs;
    std::atomic<int64_t> m_nRetryAt{0};
    std::mutex m_lock;
    std::vector<ContextPtr> m_idle;
    std::map<std::string, CBounds> m_bounds;
};

#endif  // KX_COMPONENTS_REDIS_CACHE_STORE_H
