#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/singleton.h"
#include "base/sync.h"

namespace {

TEST(CritSec, UnlockOfANeverLockedSectionDoesNothing) {
    CCritSec lock;
    lock.Unlock();
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_TRUE(lock.TryLock());
    lock.Unlock();
}

TEST(CritSec, TryLockFailsWhileHeldEvenForTheHolder) {
    CCritSec lock;
    lock.Lock();
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_EQ(lock.TryLock(), 0) << "the flag is per object, not per thread";
    lock.Unlock();
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_NE(lock.TryLock(), 0);
    lock.Unlock();
}

TEST(CritSec, ConcurrentTryLockReturnsAtOnceWhileAnotherThreadHolds) {
    CCritSec lock;
    std::promise<void> held, release;
    std::thread holder([&] {
        lock.Lock();
        held.set_value();
        release.get_future().wait();
        lock.Unlock();
    });
    held.get_future().wait();
    EXPECT_EQ(lock.TryLock(), 0);  // a waiting TryLock would never return: the holder waits for us
    lock.Unlock();  // not the owner: must not release the holder's lock
    EXPECT_TRUE(lock.IsLocked());
    release.set_value();
    holder.join();
    EXPECT_FALSE(lock.IsLocked());
}

TEST(CritSec, NestedLockNeedsAsManyUnlocks) {
    CCritSec lock;
    lock.Lock();
    lock.Lock();
    lock.Unlock();
    EXPECT_TRUE(lock.IsLocked());
    lock.Unlock();
    EXPECT_FALSE(lock.IsLocked());
    std::thread other([&] {
        EXPECT_NE(lock.TryLock(), 0);
        lock.Unlock();
    });
    other.join();
}

TEST(CritSec, SpinCountBelowOneInitialisesPlainly) {
    CCritSec lock;
    EXPECT_EQ(lock.Init(0), 0u);
    EXPECT_EQ(lock.SpinCount(), 0);
    EXPECT_EQ(lock.Init(-5), 0u);
    EXPECT_EQ(lock.SpinCount(), 0);
    EXPECT_EQ(lock.Init(4000), 0u);
    EXPECT_EQ(lock.SpinCount(), 4000);
    EXPECT_EQ(lock.Delete(), 0u);
}

std::atomic<int> g_nConstructions{0};

class Counted : public CSingleton<Counted> {
    friend class CSingleton<Counted>;
    Counted() {
        ++g_nConstructions;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // widen the race
    }

public:
    int m_nValue = 42;
};

TEST(Singleton, ConcurrentFirstUseConstructsOnce) {
    constexpr int THREADS = 16;
    std::atomic<bool> go{false};
    std::vector<Counted*> seen(THREADS);
    std::vector<std::thread> threads;
    for (int n = 0; n < THREADS; ++n)
        threads.emplace_back([&, n] {
            while (!go.load()) std::this_thread::yield();
            seen[n] = Counted::GetInstance();
        });
    go = true;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(std::set<Counted*>(seen.begin(), seen.end()).size(), 1u);
    EXPECT_EQ(g_nConstructions.load(), 1);
    EXPECT_EQ(Counted::Publications(), 1u);
    EXPECT_EQ(seen[0]->m_nValue, 42);
}

int g_nAttempts = 0;

class FailsOnce : public CSingleton<FailsOnce> {
    friend class CSingleton<FailsOnce>;
    FailsOnce() {
        if (++g_nAttempts == 1) throw std::runtime_error("first construction fails");
    }
};

TEST(Singleton, FailedConstructionIsRetriedOnTheNextCall) {
    EXPECT_THROW(FailsOnce::GetInstance(), std::runtime_error);
    FailsOnce* pInstance = FailsOnce::GetInstance();  // the lock was released
    EXPECT_NE(pInstance, nullptr);
    EXPECT_EQ(FailsOnce::GetInstance(), pInstance);
    EXPECT_EQ(g_nAttempts, 2);
}

}  // namespace
