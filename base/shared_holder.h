// A reference-counted holder in the three-word form shared with the host:
// object, separately allocated 32-bit use count, one-byte ownership tag.
// Copies increment the count atomically; the last release destroys the
// object through Deleter and frees the count and the tag.
#ifndef KX_BASE_SHARED_HOLDER_H
#define KX_BASE_SHARED_HOLDER_H

#include <atomic>
#include <memory>
#include <utility>

#include "kx/host_abi.h"

template <class T, class Deleter = std::default_delete<T>>
class CSharedHolder {
public:
    CSharedHolder() = default;

    // Takes ownership of pObject (count 1). When the count or the tag cannot
    // be allocated the object is destroyed and std::bad_alloc propagates.
    explicit CSharedHolder(T* pObject) {
        if (pObject == nullptr) return;
        std::unique_ptr<T, Deleter> owner(pObject);
        auto pCount = std::make_unique<int32_t>(1);
        auto pTag = std::make_unique<uint8_t>(1);
        m_slot.pObject = owner.release();
        m_slot.pUseCount = pCount.release();
        m_slot.pTag = pTag.release();
    }

    CSharedHolder(const CSharedHolder& other) : m_slot(other.m_slot) { AddRef(); }
    CSharedHolder(CSharedHolder&& other) noexcept : m_slot(std::exchange(other.m_slot, KxSharedSlot{})) {}
    CSharedHolder& operator=(CSharedHolder other) noexcept {
        std::swap(m_slot, other.m_slot);
        return *this;
    }
    ~CSharedHolder() { Release(); }

    T* Get() const { return static_cast<T*>(m_slot.pObject); }
    T* operator->() const { return Get(); }
    T& operator*() const { return *Get(); }
    explicit operator bool() const { return m_slot.pObject != nullptr; }
    int32_t UseCount() const {
        return m_slot.pUseCount == nullptr ? 0 : std::atomic_ref<int32_t>(*m_slot.pUseCount).load();
    }

    // Hands the three words to a raw slot (a list node, say) without
    // changing the count; Adopt takes them back.
    KxSharedSlot Detach() { return std::exchange(m_slot, KxSharedSlot{}); }
    static CSharedHolder Adopt(const KxSharedSlot& slot) {
        CSharedHolder holder;
        holder.m_slot = slot;
        return holder;
    }

    void Release() {
        if (m_slot.pUseCount != nullptr &&
            std::atomic_ref<int32_t>(*m_slot.pUseCount).fetch_sub(1, std::memory_order_acq_rel) == 1) {
            Deleter()(static_cast<T*>(m_slot.pObject));
            delete m_slot.pUseCount;
            delete m_slot.pTag;
        }
        m_slot = KxSharedSlot{};
    }

private:
    void AddRef() {
        if (m_slot.pUseCount != nullptr)
            std::atomic_ref<int32_t>(*m_slot.pUseCount).fetch_add(1, std::memory_order_relaxed);
    }

    KxSharedSlot m_slot{};
};

#endif  // KX_BASE_SHARED_HOLDER_H
