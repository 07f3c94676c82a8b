// Locks: the abstract CSync and the critical section CCritSec.
#ifndef KX_BASE_SYNC_H
#define KX_BASE_SYNC_H

#include <atomic>
#include <mutex>
#include <thread>

#include "kx/win_types.h"

class CSync {
public:
    virtual ~CSync() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual BOOL TryLock() = 0;
    virtual BOOL IsLocked() const { return locked.load(std::memory_order_acquire); }
    virtual DWORD Init(int nSpinCount) = 0;
    virtual DWORD Init() = 0;
    virtual DWORD Delete() = 0;

protected:
    // One flag for the object, not per thread: TryLock fails while any
    // thread, the caller included, holds the lock.
    std::atomic<BOOL> locked{0};
};

class CCritSec : public CSync {
public:
    CCritSec() = default;
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;

    void Lock() override;
    void Unlock() override;
    BOOL TryLock() override;
    DWORD Init(int nSpinCount) override;
    DWORD Init() override;
    DWORD Delete() override;

    // The spin count given to the last Init (0 for a plain one).
    int SpinCount() const { return m_nSpinCount; }

private:
    std::recursive_mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
    int m_nDepth = 0;  // nested Lock calls of the owner; guarded by m_mutex
    int m_nSpinCount = 0;
};

// Holds a CCritSec for a scope.
class CCritSecLock {
public:
    explicit CCritSecLock(CSync& lock) : m_lock(lock) { m_lock.Lock(); }
    ~CCritSecLock() { m_lock.Unlock(); }
    CCritSecLock(const CCritSecLock&) = delete;
    CCritSecLock& operator=(const CCritSecLock&) = delete;

private:
    CSync& m_lock;
};

#endif  // KX_BASE_SYNC_H
