#include "components/memory_cache_store.h"
#include "components/shared_cache_store.h"
#include "diagnostics/trace.h"

std::shared_ptr<ICacheStore> MakeCacheStore(const std::string& sUri) {
    if (!sUri.empty())
        Trace("[RegisterComponents] this build has no Redis client; the cache at <%s> is not used and stays in-process",
              sUri.c_str());
    return std::make_shared<CMemoryCacheStore>();
}
