#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "base/shared_holder.h"

namespace {

struct Tracked {
    explicit Tracked(std::atomic<int>& nDestroyed) : m_nDestroyed(nDestroyed) {}
    ~Tracked() { ++m_nDestroyed; }
    std::atomic<int>& m_nDestroyed;
};

TEST(SharedHolder, LastReleaseDestroysTheObject) {
    std::atomic<int> nDestroyed{0};
    CSharedHolder<Tracked> first(new Tracked(nDestroyed));
    {
        CSharedHolder<Tracked> second = first;
        EXPECT_EQ(first.UseCount(), 2);
        CSharedHolder<Tracked> third = std::move(second);
        EXPECT_EQ(first.UseCount(), 2);
        EXPECT_FALSE(second);
    }
    EXPECT_EQ(nDestroyed.load(), 0);
    first.Release();
    EXPECT_EQ(nDestroyed.load(), 1);
    first.Release();  // a second release of an empty holder does nothing
    EXPECT_EQ(nDestroyed.load(), 1);
}

TEST(SharedHolder, DetachedSlotKeepsTheObjectUntilAdopted) {
    std::atomic<int> nDestroyed{0};
    KxSharedSlot slot;
    {
        CSharedHolder<Tracked> holder(new Tracked(nDestroyed));
        slot = holder.Detach();
    }
    EXPECT_EQ(nDestroyed.load(), 0);
    EXPECT_EQ(*slot.pUseCount, 1);
    EXPECT_NE(slot.pTag, nullptr);
    CSharedHolder<Tracked>::Adopt(slot).Release();
    EXPECT_EQ(nDestroyed.load(), 1);
}

TEST(SharedHolder, ConcurrentCopiesDestroyExactlyOnce) {
    std::atomic<int> nDestroyed{0};
    for (int nRound = 0; nRound < 50; ++nRound) {
        CSharedHolder<Tracked> shared(new Tracked(nDestroyed));
        std::vector<std::thread> threads;
        for (int n = 0; n < 4; ++n)
            threads.emplace_back([copy = shared]() mutable {
                for (int i = 0; i < 200; ++i) {
                    CSharedHolder<Tracked> local = copy;
                    local.Release();
                }
            });
        shared.Release();
        for (auto& thread : threads) thread.join();
    }
    EXPECT_EQ(nDestroyed.load(), 50);
}

}  // namespace
