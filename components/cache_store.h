// Where the cache component keeps its items: named caches, each with an
// item bound and a lifetime. Keys are made whole by the component.
#ifndef KX_COMPONENTS_CACHE_STORE_H
#define KX_COMPONENTS_CACHE_STORE_H

#include <string>

#include "kx/win_types.h"

class ICacheStore {
public:
    virtual ~ICacheStore() = default;
    // Creates the cache, or sets the bounds of the one of that name.
    virtual HRESULT CreateCache(const std::string& sName, long nMaxItems, long nLifetimeMinutes) = 0;
    // 0x80070490 when no cache has that name.
    virtual HRESULT Add(const std::string& sName, const std::string& sKey, const std::string& sData) = 0;
    // 0x80070490 on a miss (no such cache, item or an expired one).
    virtual HRESULT Get(const std::string& sName, const std::string& sKey, std::string& sData) = 0;
};

#endif  // KX_COMPONENTS_CACHE_STORE_H
