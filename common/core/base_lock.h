// The library's re-entrant lock and its scoped guard.
//
// CBaseLock wraps a recursive pthread mutex: the thread that holds it may lock it again and must
// unlock it as often. Any thread may use it; it must not be destroyed while held.
#pragma once

#include <pthread.h>
#include "core/common_api.h"

class ORBO_COMMON_API CBaseLock {
public:
    CBaseLock();
    virtual ~CBaseLock();
    CBaseLock(const CBaseLock&) = delete;
    CBaseLock& operator=(const CBaseLock&) = delete;

    // Blocks until the calling thread holds the lock.
    void Lock();
    // Takes the lock without blocking: nonzero when taken (also when the caller already holds
    // it), 0 when another thread holds it.
    int TryLock();
    // Releases one level of the calling thread's hold.
    void Unlock();
    // The address of the recursive pthread mutex itself, for code that must hand it on.
    pthread_mutex_t* GetCS();

private:
    pthread_mutex_t m_cs;
};

// Holds a CBaseLock for the lifetime of the guard. A null lock is accepted and does nothing.
class ORBO_COMMON_API CAutoBaseLock {
public:
    explicit CAutoBaseLock(CBaseLock* lock);
    virtual ~CAutoBaseLock();
    CAutoBaseLock(const CAutoBaseLock&) = delete;
    CAutoBaseLock& operator=(const CAutoBaseLock&) = delete;

private:
    CBaseLock* m_lock;
};
