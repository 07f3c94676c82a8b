#include "base/sync.h"

void CCritSec::Lock() {
    m_mutex.lock();
    ++m_nDepth;
    m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    locked.store(1, std::memory_order_release);
}

// Only the owning thread can release; a nested Lock needs its own Unlock.
void CCritSec::Unlock() {
    if (!locked.load(std::memory_order_acquire)) return;
    if (m_owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) return;
    if (--m_nDepth == 0) {
        m_owner.store(std::thread::id(), std::memory_order_relaxed);
        locked.store(0, std::memory_order_release);
    }
    m_mutex.unlock();
}

BOOL CCritSec::TryLock() {
    if (locked.load(std::memory_order_acquire)) return 0;
    if (m_mutex.try_lock()) {
        ++m_nDepth;
        m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
        locked.store(1, std::memory_order_release);
        return 1;
    }
    return 0;
}

// A spin count tunes how long Windows spins before it waits; the mutex here
// needs no initialisation, so Init only records it.
DWORD CCritSec::Init(int nSpinCount) {
    m_nSpinCount = nSpinCount < 1 ? 0 : nSpinCount;
    return 0;
}

DWORD CCritSec::Init() { return Init(0); }

DWORD CCritSec::Delete() { return 0; }
