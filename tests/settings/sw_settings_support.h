// A service-worker settings object for tests, with a directory and cache
// store of the test's own and the components registered against them.
#ifndef KX_TESTS_SW_SETTINGS_SUPPORT_H
#define KX_TESTS_SW_SETTINGS_SUPPORT_H

#include <map>
#include <memory>
#include <string>

#include "base/win_errors.h"
#include "components/cache_component.h"
#include "components/exchange_access_component.h"
#include "components/kx_exchange_access_component.h"
#include "components/memory_cache_store.h"
#include "settings/sw_general_settings.h"

class TestSWSettings : public CSWGeneralSettings {
public:
    TestSWSettings() { m_eventLog.Register("Kalyxa test"); }
    bool InitTroubleEndRequestUrls() override { return true; }
    bool InitHandlerVirDir() override { return true; }
    using CSWGeneralSettings::InitializeCaches;
    void Define(DWORD dwPropertyId, const std::string& sName, const std::string& sDefault) {
        m_userProperties.push_back({1, 0, dwPropertyId, sDefault, "{11111111-2222-3333-4444-555555555555}", sName, 0});
    }
};

// Registers the cache component over the store, and both Exchange-access
// components with short timeouts; unregisters them again.
class ComponentsForTest {
public:
    explicit ComponentsForTest(std::shared_ptr<ICacheStore> spStore) {
        RegisterComponent(CLSID_QVCache, [spStore] { return std::make_shared<CCacheComponent>(spStore); });
        CEwsTransportOptions options;
        options.nConnectTimeoutMs = 1000;
        options.nTimeoutMs = 1000;
        RegisterComponent(CLSID_KXExchangeAccess, [options] {
            return std::make_shared<CKXExchangeAccessComponent>(options, CEwsCredentials{});
        });
        RegisterComponent(CLSID_ExchangeAccess, [options] {
            return std::make_shared<CExchangeAccessComponent>(options, CEwsCredentials{});
        });
    }
    ~ComponentsForTest() {
        for (std::string_view sClassId : {CLSID_QVCache, CLSID_KXExchangeAccess, CLSID_ExchangeAccess})
            RegisterComponent(sClassId, nullptr);
    }
    ComponentsForTest(const ComponentsForTest&) = delete;
    ComponentsForTest& operator=(const ComponentsForTest&) = delete;
};

#endif  // KX_TESTS_SW_SETTINGS_SUPPORT_H
