// Process-wide objects built once, on first use, in static storage and
// destroyed when the library is unloaded (or at process exit).
#ifndef KX_BASE_SINGLETON_H
#define KX_BASE_SINGLETON_H

#include <atomic>
#include <new>

#include "base/sync.h"

// Static storage for one T; a separate template so that CSingleton<T> can be
// a base of T while T is still incomplete.
template <class T>
struct CSingletonStorage {
    alignas(T) static inline unsigned char s_bytes[sizeof(T)];
};

// Derive T from CSingleton<T> and befriend it; T::GetInstance() then returns
// the one instance.
template <class T>
class CSingleton {
public:
    // After the first call the instance is found without the lock.
    static T* GetInstance() {
        if (T* pInstance = s_pInstance.load(std::memory_order_acquire)) return pInstance;
        CCritSecLock guard(s_lock);
        if (s_pInstance.load(std::memory_order_relaxed) == nullptr) {
            s_dwPublications.fetch_add(1, std::memory_order_relaxed);
            if (!s_bConstructed) {
                s_bConstructed = true;
                try {
                    ::new (static_cast<void*>(CSingletonStorage<T>::s_bytes)) T();
                } catch (...) {
                    s_bConstructed = false;
                    throw;
                }
                // A function-local static registers its destructor with this
                // library: it runs when the library is unloaded (or at exit),
                // on every runtime. std::atexit would run it at process exit
                // only under some runtimes, after the library is gone.
                static CDestroyAtUnload s_destroyAtUnload;
            }
            s_pInstance.store(std::launder(reinterpret_cast<T*>(CSingletonStorage<T>::s_bytes)),
                              std::memory_order_release);
        }
        return s_pInstance.load(std::memory_order_relaxed);
    }

    // How often an instance was published (once per process).
    static DWORD Publications() { return s_dwPublications.load(std::memory_order_relaxed); }

protected:
    CSingleton() = default;

private:
    struct CDestroyAtUnload {
        ~CDestroyAtUnload() { Destroy(); }
    };

    static void Destroy() {
        CCritSecLock guard(s_lock);
        if (!s_bConstructed) return;
        std::launder(reinterpret_cast<T*>(CSingletonStorage<T>::s_bytes))->~T();
        s_bConstructed = false;
        s_pInstance.store(nullptr, std::memory_order_release);
    }

    static inline CCritSec s_lock;
    static inline std::atomic<T*> s_pInstance{nullptr};
    static inline bool s_bConstructed = false;
    static inline std::atomic<DWORD> s_dwPublications{0};
};

#endif  // KX_BASE_SINGLETON_H
