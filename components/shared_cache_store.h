// The store behind every cache component: Redis, shared by every worker
// process, when an address is set; else in-process. A build without a Redis
// client keeps it in-process and says so once.
#ifndef KX_COMPONENTS_SHARED_CACHE_STORE_H
#define KX_COMPONENTS_SHARED_CACHE_STORE_H

#include <memory>
#include <string>

#include "components/cache_store.h"

// sUri: "redis://host:port/db"; empty: in-process.
std::shared_ptr<ICacheStore> MakeCacheStore(const std::string& sUri);

#endif  // KX_COMPONENTS_SHARED_CACHE_STORE_H
