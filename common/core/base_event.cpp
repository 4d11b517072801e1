#include "base_event.h"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <new>

#include "dbg_output.h"
#include "mono_clock.h"

namespace {

constexpr uint64_t kNoDeadline = UINT64_MAX;

uint64_t DeadlineFromMs(uint64_t milliseconds) {
    return milliseconds == kEventWaitForever ? kNoDeadline : MonoDeadlineMs(milliseconds);
}

timespec MonotonicTimespec(uint64_t ms) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>((ms % 1000) * 1000000);
    return ts;
}

// Condition variables measure their time-outs on the monotonic clock, like every wait here.
bool InitMonotonicCond(pthread_cond_t* cond) {
    pthread_condattr_t attr;
    if (pthread_condattr_init(&attr) != 0) return false;
    int rc = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    if (rc == 0) rc = pthread_cond_init(cond, &attr);
    pthread_condattr_destroy(&attr);
    return rc == 0;
}

// One wait step on `cond` (mutex held); false once the deadline has passed.
bool CondWaitUntil(pthread_cond_t* cond, pthread_mutex_t* mutex, uint64_t deadlineMs) {
    if (deadlineMs == kNoDeadline) {
        pthread_cond_wait(cond, mutex);
        return true;
    }
    const timespec ts = MonotonicTimespec(deadlineMs);
    return pthread_cond_timedwait(cond, mutex, &ts) != ETIMEDOUT;
}

// A mutex and a monotonic condition variable, initialised together.
struct WaitPoint {
    pthread_mutex_t mutex;
    pthread_cond_t cond;
    bool ready = false;

    WaitPoint() {
        if (pthread_mutex_init(&mutex, nullptr) != 0) return;
        if (!InitMonotonicCond(&cond)) {
            pthread_mutex_destroy(&mutex);
            return;
        }
        ready = true;
    }
    ~WaitPoint() {
        if (!ready) return;
        pthread_cond_destroy(&cond);
        pthread_mutex_destroy(&mutex);
    }
    WaitPoint(const WaitPoint&) = delete;
    WaitPoint& operator=(const WaitPoint&) = delete;
};

// One thread inside WaitMultiEvent. Every event it waits on holds a link to it and notifies it
// on Set, so the waiter sleeps until something changes instead of polling.
struct MultiWaiter {
    WaitPoint point;
    bool notified = false;  // guarded by point.mutex

    void Notify() {
        pthread_mutex_lock(&point.mutex);
        notified = true;
        pthread_cond_signal(&point.cond);
        pthread_mutex_unlock(&point.mutex);
    }
};

// A registration of a MultiWaiter in one event's list (intrusive, so Set never allocates).
struct MultiWaitLink {
    MultiWaiter* waiter = nullptr;
    MultiWaitLink* prev = nullptr;
    MultiWaitLink* next = nullptr;
};

}  // namespace

// The event object proper. Lock order: an event's mutex before a MultiWaiter's mutex; several
// event mutexes only in ascending address order.
struct BaseEventState {
    WaitPoint point;
    bool manualReset = false;
    bool signalled = false;                 // guarded by point.mutex
    MultiWaitLink* multiWaiters = nullptr;  // guarded by point.mutex

    // Consumes the signal when present (an auto-reset event returns to not signalled). Mutex held.
    bool TakeLocked() {
        if (!signalled) return false;
        if (!manualReset) signalled = false;
        return true;
    }

    void AddWaiter(MultiWaitLink& link) {
        pthread_mutex_lock(&point.mutex);
        link.prev = nullptr;
        link.next = multiWaiters;
        if (multiWaiters != nullptr) multiWaiters->prev = &link;
        multiWaiters = &link;
        pthread_mutex_unlock(&point.mutex);
    }

    void RemoveWaiter(MultiWaitLink& link) {
        pthread_mutex_lock(&point.mutex);
        if (link.prev != nullptr) {
            link.prev->next = link.next;
        } else {
            multiWaiters = link.next;
        }
        if (link.next != nullptr) link.next->prev = link.prev;
        pthread_mutex_unlock(&point.mutex);
    }
};

CBaseEvent::CBaseEvent(CBaseLock* lock, int manualReset)
    : m_lock(lock), m_sharedLock(lock != nullptr ? 1 : 0) {
    if (m_lock == nullptr) m_lock = new (std::nothrow) CBaseLock();
    std::unique_ptr<BaseEventState> state(new (std::nothrow) BaseEventState());
    if (state == nullptr || !state->point.ready || m_lock == nullptr) {
        DbgOutputA(kDbgLevelError, "Event(%p) Construct: cannot create event (condition)\r\n",
                   static_cast<void*>(this));
        return;
    }
    state->manualReset = manualReset != 0;
    m_event = std::move(state);
}

CBaseEvent::~CBaseEvent() {
    m_event.reset();
    if (m_sharedLock == 0) delete m_lock;
}

void CBaseEvent::Set() {
    CAutoBaseLock guard(m_lock);
    if (m_event == nullptr) return;
    BaseEventState& e = *m_event;
    pthread_mutex_lock(&e.point.mutex);
    e.signalled = true;
    if (e.manualReset) {
        pthread_cond_broadcast(&e.point.cond);
    } else {
        pthread_cond_signal(&e.point.cond);
    }
    for (MultiWaitLink* link = e.multiWaiters; link != nullptr; link = link->next) {
        link->waiter->Notify();
    }
    pthread_mutex_unlock(&e.point.mutex);
}

void CBaseEvent::Reset() {
    CAutoBaseLock guard(m_lock);
    if (m_event == nullptr) return;
    pthread_mutex_lock(&m_event->point.mutex);
    m_event->signalled = false;
    pthread_mutex_unlock(&m_event->point.mutex);
}

void CBaseEvent::EnterWait() {
    CAutoBaseLock guard(m_lock);
    m_waiting.fetch_add(1);
}

void CBaseEvent::LeaveWait() {
    CAutoBaseLock guard(m_lock);
    m_waiting.fetch_sub(1);
}

int CBaseEvent::WaitForDeadline(uint64_t deadlineMs) {
    if (m_event == nullptr) return 0;
    EnterWait();
    BaseEventState& e = *m_event;
    pthread_mutex_lock(&e.point.mutex);
    bool inTime = true;
    while (!e.signalled && inTime)
        inTime = CondWaitUntil(&e.point.cond, &e.point.mutex, deadlineMs);
    const bool taken = e.TakeLocked();
    pthread_mutex_unlock(&e.point.mutex);
    LeaveWait();
    return taken ? 1 : 0;
}

int CBaseEvent::Wait() {
    return WaitForDeadline(kNoDeadline);
}

int CBaseEvent::WaitUS(uint64_t microseconds) {
    if (microseconds == kEventWaitForever) return Wait();
    return WaitForDeadline(DeadlineFromMs(microseconds / 1000));
}

int CBaseEvent::Wait(uint64_t milliseconds) {
    return WaitForDeadline(DeadlineFromMs(milliseconds));
}

int CBaseEvent::IsWaiting() {
    return m_waiting.load() > 0 ? 1 : 0;
}

namespace {

// Wait for any: consumes the lowest-index signalled event; its index, or -1.
int TakeAny(BaseEventState* const states[], uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        pthread_mutex_lock(&states[i]->point.mutex);
        const bool taken = states[i]->TakeLocked();
        pthread_mutex_unlock(&states[i]->point.mutex);
        if (taken) return static_cast<int>(i);
    }
    return -1;
}

// Wait for all: with every event's mutex held (ascending addresses, distinct), consumes all of
// them when all are signalled and none otherwise.
bool TakeAll(BaseEventState* const ordered[], uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) pthread_mutex_lock(&ordered[i]->point.mutex);
    bool all = true;
    for (uint32_t i = 0; i < count && all; ++i) all = ordered[i]->signalled;
    if (all) {
        for (uint32_t i = 0; i < count; ++i) ordered[i]->TakeLocked();
    }
    for (uint32_t i = count; i > 0; --i) pthread_mutex_unlock(&ordered[i - 1]->point.mutex);
    return all;
}

}  // namespace

uint32_t WaitMultiEvent(uint32_t count, CBaseEvent* const events[], int waitAll,
                        uint32_t milliseconds) {
    if (count == 0 || count > kMaxMultiWaitEvents || events == nullptr) {
        DbgOutputA(kDbgLevelError, "WaitMultiEvent: invalid event count %u (1 to %u)\r\n", count,
                   kMaxMultiWaitEvents);
        return kMultiWaitFailed;
    }
    BaseEventState* states[kMaxMultiWaitEvents];
    BaseEventState* ordered[kMaxMultiWaitEvents];
    for (uint32_t i = 0; i < count; ++i) {
        if (events[i] == nullptr || events[i]->m_event == nullptr) {
            DbgOutputA(kDbgLevelError, "WaitMultiEvent: event %u is null or unusable\r\n", i);
            return kMultiWaitFailed;
        }
        states[i] = events[i]->m_event.get();
        ordered[i] = states[i];
    }
    std::sort(ordered, ordered + count);
    if (waitAll != 0 && std::adjacent_find(ordered, ordered + count) != ordered + count) {
        DbgOutputA(kDbgLevelError, "WaitMultiEvent: the same event twice in a wait for all\r\n");
        return kMultiWaitFailed;
    }
    MultiWaiter waiter;
    if (!waiter.point.ready) {
        DbgOutputA(kDbgLevelError, "WaitMultiEvent: cannot create the wait condition\r\n");
        return kMultiWaitFailed;
    }
    const uint64_t deadline =
        milliseconds == kMultiWaitForever ? kNoDeadline : MonoDeadlineMs(milliseconds);

    MultiWaitLink links[kMaxMultiWaitEvents];
    for (uint32_t i = 0; i < count; ++i) {
        events[i]->EnterWait();
        links[i].waiter = &waiter;
        states[i]->AddWaiter(links[i]);
    }

    uint32_t result = kMultiWaitTimeout;
    for (;;) {
        // Clear the notification before looking, so a Set after the look is never missed.
        pthread_mutex_lock(&waiter.point.mutex);
        waiter.notified = false;
        pthread_mutex_unlock(&waiter.point.mutex);

        if (waitAll != 0) {
            if (TakeAll(ordered, count)) {
                result = 0;
                break;
            }
        } else {
            const int index = TakeAny(states, count);
            if (index >= 0) {
                result = static_cast<uint32_t>(index);
                break;
            }
        }

        pthread_mutex_lock(&waiter.point.mutex);
        bool inTime = true;
        while (!waiter.notified && inTime) {
            inTime = CondWaitUntil(&waiter.point.cond, &waiter.point.mutex, deadline);
        }
        const bool notified = waiter.notified;
        pthread_mutex_unlock(&waiter.point.mutex);
        if (!notified) break;
    }

    for (uint32_t i = 0; i < count; ++i) {
        states[i]->RemoveWaiter(links[i]);
        events[i]->LeaveWait();
    }
    return result;
}
