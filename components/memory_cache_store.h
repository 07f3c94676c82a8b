// Named caches in this process's memory: an item lives for the cache's
// lifetime from its last add, and a full cache drops its least recently
// used item.
#ifndef KX_COMPONENTS_MEMORY_CACHE_STORE_H
#define KX_COMPONENTS_MEMORY_CACHE_STORE_H

#include <array>
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "components/cache_store.h"

class CMemoryCacheStore : public ICacheStore {
public:
    // Milliseconds on a steady clock; tests give their own.
    using Clock = int64_t (*)();
    explicit CMemoryCacheStore(Clock pfnNow = SteadyMilliseconds) : m_pfnNow(pfnNow) {}

    HRESULT CreateCache(const std::string& sName, long nMaxItems, long nLifetimeMinutes) override;
    HRESULT Add(const std::string& sName, const std::string& sKey, const std::string& sData) override;
    HRESULT Get(const std::string& sName, const std::string& sKey, std::string& sData) override;

    static int64_t SteadyMilliseconds();

private:
    struct CItem {
        std::string sKey;
        std::string sData;
        int64_t nExpiresAt;
    };
    // Most recently used first.
    struct CNamedCache {
        std::mutex lock;
        size_t nMaxItems = 0;
        int64_t nLifetimeMs = 0;
        std::list<CItem> items;
        std::unordered_map<std::string, std::list<CItem>::iterator> index;
    };
    // Caches are found without a lock: they are published once, in order,
    // and never removed.
    struct CEntry {
        std::string sName;
        std::unique_ptr<CNamedCache> spCache;
    };
    static constexpr size_t MAX_CACHES = 32;
    CNamedCache* Find(const std::string& sName) const;

    Clock m_pfnNow;
    std::mutex m_cachesLock;  // creations
    std::array<CEntry, MAX_CACHES> m_caches;
    std::atomic<size_t> m_nCaches{0};
};

#endif  // KX_COMPONENTS_MEMORY_CACHE_STORE_H
