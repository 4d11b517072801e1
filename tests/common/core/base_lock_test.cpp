#include "core/base_lock.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <thread>

namespace {

// TryLock from a thread that does not hold the lock.
int TryLockFromOtherThread(CBaseLock& lock) {
    int taken = -1;
    std::thread([&] {
        taken = lock.TryLock();
        if (taken != 0) lock.Unlock();
    }).join();
    return taken;
}

TEST(BaseLock, HolderMayLockAgainAndMustUnlockAsOften) {
    CBaseLock lock;
    lock.Lock();
    EXPECT_NE(lock.TryLock(), 0);  // re-entry by the holder
    lock.Lock();
    EXPECT_EQ(TryLockFromOtherThread(lock), 0);
    lock.Unlock();
    lock.Unlock();
    EXPECT_EQ(TryLockFromOtherThread(lock), 0);  // still held once
    lock.Unlock();
    EXPECT_NE(TryLockFromOtherThread(lock), 0);
}

TEST(BaseLock, GetCsIsTheMutexTheLockUses) {
    CBaseLock lock;
    pthread_mutex_t* cs = lock.GetCS();
    ASSERT_NE(cs, nullptr);
    EXPECT_EQ(cs, lock.GetCS());
    ASSERT_EQ(pthread_mutex_lock(cs), 0);
    EXPECT_EQ(TryLockFromOtherThread(lock), 0);
    ASSERT_EQ(pthread_mutex_unlock(cs), 0);
    EXPECT_NE(TryLockFromOtherThread(lock), 0);
}

TEST(BaseLock, KeepsCountersExactUnderContention) {
    constexpr int kIncrements = 200000;
    CBaseLock lock;
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < kIncrements; ++i) {
            CAutoBaseLock guard(&lock);
            ++counter;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 2L * kIncrements);
}

TEST(AutoBaseLock, HoldsTheLockForItsScope) {
    CBaseLock lock;
    {
        CAutoBaseLock guard(&lock);
        EXPECT_EQ(TryLockFromOtherThread(lock), 0);
        {
            CAutoBaseLock nested(&lock);
            EXPECT_EQ(TryLockFromOtherThread(lock), 0);
        }
        EXPECT_EQ(TryLockFromOtherThread(lock), 0);
    }
    EXPECT_NE(TryLockFromOtherThread(lock), 0);
}

TEST(AutoBaseLock, AcceptsNullLock) {
    CAutoBaseLock guard(nullptr);
    SUCCEED();
}

}  // namespace
