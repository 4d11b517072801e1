#include "base_lock.h"

#include <cstring>

#include "dbg_output.h"

CBaseLock::CBaseLock() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    const int rc = pthread_mutex_init(&m_cs, &attr);
    pthread_mutexattr_destroy(&attr);
    if (rc != 0) {
        DbgOutputA(kDbgLevelError, "Lock(%p) Construct: cannot create mutex: %s\r\n",
                   static_cast<void*>(this), strerror(rc));
    }
}

CBaseLock::~CBaseLock() {
    pthread_mutex_destroy(&m_cs);
}

void CBaseLock::Lock() {
    pthread_mutex_lock(&m_cs);
}

int CBaseLock::TryLock() {
    return pthread_mutex_trylock(&m_cs) == 0 ? 1 : 0;
}

void CBaseLock::Unlock() {
    pthread_mutex_unlock(&m_cs);
}

pthread_mutex_t* CBaseLock::GetCS() {
    return &m_cs;
}

CAutoBaseLock::CAutoBaseLock(CBaseLock* lock) : m_lock(lock) {
    if (m_lock != nullptr) m_lock->Lock();
}

CAutoBaseLock::~CAutoBaseLock() {
    if (m_lock != nullptr) m_lock->Unlock();
}
