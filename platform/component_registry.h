// The stand-in for CoCreateInstance: a process-wide table from class id to
// factory. Real components register themselves when the worker starts;
// tests register fakes.
#ifndef KX_PLATFORM_COMPONENT_REGISTRY_H
#define KX_PLATFORM_COMPONENT_REGISTRY_H

#include <functional>
#include <memory>
#include <string_view>

#include "kx/win_types.h"

// What every component derives from; its interfaces are found by cast.
class IComponent {
public:
    virtual ~IComponent() = default;
};

using ComponentFactory = std::function<std::shared_ptr<IComponent>()>;

// Registers (or, with an empty factory, removes) the factory of a class id.
void RegisterComponent(std::string_view sClassId, ComponentFactory factory);

// A new instance of the class: 0x80040154 when the class is not registered,
// 0x8007000E when the factory runs out of memory, 0x80004005 when it
// fails otherwise.
HRESULT CreateComponent(std::string_view sClassId, std::shared_ptr<IComponent>& spInstance);

// A new instance asked for one interface: 0x80004002 when it lacks it.
template <class TInterface>
HRESULT CoCreateInstance(std::string_view sClassId, std::shared_ptr<TInterface>& spInterface) {
    std::shared_ptr<IComponent> spInstance;
    const HRESULT hr = CreateComponent(sClassId, spInstance);
    if (hr < 0) return hr;
    spInterface = std::dynamic_pointer_cast<TInterface>(spInstance);
    return spInterface ? 0 : static_cast<HRESULT>(0x80004002);
}

#endif  // KX_PLATFORM_COMPONENT_REGISTRY_H
