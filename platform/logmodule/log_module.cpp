// LogModule: the logging library. Hands out named locks that serialise
// writers across processes: a robust, process-shared mutex in a POSIX
// shared-memory object per name. A robust mutex needs no system call when
// free, and a holder that dies releases it (the next owner marks it
// consistent) instead of blocking every other writer for good.
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "kx/log_module.h"
#include "platform/private_files.h"

#define KX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr uint32_t SEGMENT_READY = 0x51564C4B;  // "QVLK"

struct LockSegment {
    std::atomic<uint32_t> dwState;
    pthread_mutex_t mutex;
};

class CSharedLogLock final : public ILogLock {
public:
    CSharedLogLock(std::string sName, LockSegment* pSegment) : m_sName(std::move(sName)), m_pSegment(pSegment) {}
    const char* Name() const override { return m_sName.c_str(); }
    void Lock() override {
        if (pthread_mutex_lock(&m_pSegment->mutex) == EOWNERDEAD) pthread_mutex_consistent(&m_pSegment->mutex);
    }
    void Unlock() override { pthread_mutex_unlock(&m_pSegment->mutex); }

private:
    std::string m_sName;
    LockSegment* m_pSegment;
};

bool InitialiseSegment(LockSegment* pSegment) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) return false;
    const bool bDone = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
                       pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
                       pthread_mutex_init(&pSegment->mutex, &attributes) == 0;
    pthread_mutexattr_destroy(&attributes);
    if (bDone) pSegment->dwState.store(SEGMENT_READY, std::memory_order_release);
    return bDone;
}

// The creator initialises the mutex; others wait briefly for it to be ready.
bool WaitUntilReady(const LockSegment* pSegment) {
    for (int nTry = 0; nTry < 1000; ++nTry) {
        if (pSegment->dwState.load(std::memory_order_acquire) == SEGMENT_READY) return true;
        const timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
    return false;
}

// The locks live until the process ends: writers may still log from static
// destructors that run after this library's own would have.
ILogLock* LockFor(const std::string& sName) {
    static auto* pMutex = new std::mutex();
    static auto* pLocks = new std::map<std::string, std::unique_ptr<CSharedLogLock>>();
    std::lock_guard<std::mutex> guard(*pMutex);
    auto& locks = *pLocks;
    auto it = locks.find(sName);
    if (it != locks.end()) return it->second.get();

    SharedMapping mapping =
        OpenSharedMemory(SharedMemoryName("QuorvaneLogLock." + sName), sizeof(LockSegment), sizeof(LockSegment));
    if (mapping.pView == nullptr) return nullptr;
    if (mapping.cbView < sizeof(LockSegment)) {
        UnmapSharedMemory(mapping);
        return nullptr;
    }
    auto* pSegment = static_cast<LockSegment*>(mapping.pView);
    if (mapping.bCreated) {
        new (pSegment) LockSegment{};
        if (!InitialiseSegment(pSegment)) return nullptr;
    } else if (!WaitUntilReady(pSegment)) {
        UnmapSharedMemory(mapping);
        return nullptr;
    }
    auto pLock = std::make_unique<CSharedLogLock>(sName, pSegment);
    ILogLock* pResult = pLock.get();
    locks.emplace(sName, std::move(pLock));
    return pResult;
}

}  // namespace

KX_EXPORT void GetProductCS(const char* pszName, ILogLock** ppLock, int /*bCreate*/) {
    if (ppLock == nullptr) return;
    *ppLock = nullptr;
    if (pszName == nullptr || *pszName == '\0') return;
    try {
        *ppLock = LockFor(pszName);
    } catch (...) {
        *ppLock = nullptr;
    }
}

KX_EXPORT void GetGeneralCS(ILogLock** ppLock, int bCreate) { GetProductCS("QVCommonLog", ppLock, bCreate); }
