#include "platform/component_registry.h"

#include <map>
#include <mutex>
#include <shared_mutex>
#include <new>
#include <string>

#include "base/win_errors.h"

namespace {

struct CRegistry {
    std::shared_mutex lock;  // creations share it; registrations take it alone
    std::map<std::string, ComponentFactory, std::less<>> factories;
};

CRegistry& Registry() {
    static CRegistry registry;
    return registry;
}

}  // namespace

void RegisterComponent(std::string_view sClassId, ComponentFactory factory) {
    CRegistry& registry = Registry();
    const std::unique_lock<std::shared_mutex> guard(registry.lock);
    if (factory)
        registry.factories.insert_or_assign(std::string(sClassId), std::move(factory));
    else if (const auto it = registry.factories.find(sClassId); it != registry.factories.end())
        registry.factories.erase(it);
}

HRESULT CreateComponent(std::string_view sClassId, std::shared_ptr<IComponent>& spInstance) {
    CRegistry& registry = Registry();
    const std::shared_lock<std::shared_mutex> guard(registry.lock);  // the factory runs under it, uncopied
    const auto it = registry.factories.find(sClassId);
    if (it == registry.factories.end()) return REGDB_E_CLASSNOTREG;
    try {
        spInstance = it->second();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
    return spInstance ? S_OK : E_FAIL;
}
