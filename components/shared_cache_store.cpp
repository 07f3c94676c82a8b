#include "components/shared_cache_store.h"

#include "components/memory_cache_store.h"
#include "components/redis_cache_store.h"
#include "diagnostics/trace.h"

std::shared_ptr<ICacheStore> MakeCacheStore(const std::string& sUri) {
    if (sUri.empty()) return std::make_shared<CMemoryCacheStore>();
    CRedisAddress address;
    if (!CRedisAddress::Parse(sUri, address)) {
        Trace("[RegisterComponents] the cache address <%s> is not redis://host:port/db; the cache stays in-process",
              sUri.c_str());
        return std::make_shared<CMemoryCacheStore>();
    }
    Trace("[RegisterComponents] the cache is in Redis at %s:%d, database %d", address.sHost.c_str(), address.nPort,
          address.nDatabase);
    return std::make_shared<CRedisCacheStore>(std::move(address));
}
