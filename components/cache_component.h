// The cache component: every instance works on the one store it is given,
// which outlives the instances (the wrapper makes one per call). An item's
// key is the (key, session, property name) triple.
#ifndef KX_COMPONENTS_CACHE_COMPONENT_H
#define KX_COMPONENTS_CACHE_COMPONENT_H

#include <memory>

#include "components/cache_store.h"
#include "platform/component_interfaces.h"

class CCacheComponent : public IQVCacheComponent {
public:
    explicit CCacheComponent(std::shared_ptr<ICacheStore> spStore) : m_spStore(std::move(spStore)) {}

    HRESULT Initialize() override;
    HRESULT CreateCache(const std::u16string& sCacheName, long nMaxItems, long nLifetimeMinutes) override;
    HRESULT AddItem(const std::u16string& sCacheName, const std::u16string& sKey, const std::u16string& sData,
                    const std::u16string& sSession, const std::u16string& sPropertyName) override;
    HRESULT GetItem(const std::u16string& sCacheName, const std::u16string& sKey, std::u16string& sData,
                    const std::u16string& sSession, const std::u16string& sPropertyName) override;

private:
    std::shared_ptr<ICacheStore> m_spStore;
};

#endif  // KX_COMPONENTS_CACHE_COMPONENT_H
