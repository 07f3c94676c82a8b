// An immutable value replaced whole: readers take the current one and keep
// it for as long as they need it; a writer swaps in a new one. Readers never
// wait for a writer to build its value.
#ifndef KX_BASE_SNAPSHOT_H
#define KX_BASE_SNAPSHOT_H

#include <memory>
#include <mutex>

template <class T>
class CSnapshot {
public:
    std::shared_ptr<const T> Get() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_pValue;
    }
    void Set(std::shared_ptr<const T> pValue) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_pValue = std::move(pValue);
    }

private:
    mutable std::mutex m_mutex;  // guards the pointer only
    std::shared_ptr<const T> m_pValue = std::make_shared<const T>();
};

#endif  // KX_BASE_SNAPSHOT_H
