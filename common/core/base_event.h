// An event a thread can wait on, with the semantics of a classic platform event object (not a
// bare condition variable), and a wait on several events at once.
//
// Set() leaves the event signalled until a wait consumes it: an auto-reset event releases exactly
// one waiter and returns to not signalled; a manual-reset event lets every waiter, present and
// future, pass until Reset(). Waits use the 64-bit monotonic clock; time-outs that do not fit
// saturate to "very long" instead of wrapping to a short wait.
//
// The CBaseLock (shared or owned) brackets Set/Reset and the waiting-count bookkeeping; it is
// never held while a thread is blocked, so handing a shared lock in never makes a wait hold it.
// Any number of threads may wait on one event; any thread may Set/Reset it. The event must not be
// destroyed while a thread waits on it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "base_lock.h"
#include "core/common_api.h"

// No limit for WaitUS() / Wait(milliseconds).
constexpr uint64_t kEventWaitForever = UINT64_MAX;

// WaitMultiEvent: no limit, and its results besides an index.
constexpr uint32_t kMultiWaitForever = 0xFFFFFFFFu;
constexpr uint32_t kMultiWaitTimeout = 0x102;  // 258
constexpr uint32_t kMultiWaitFailed = 0xFFFFFFFFu;
// Most events one WaitMultiEvent call accepts; more is a failure.
constexpr uint32_t kMaxMultiWaitEvents = 64;

struct BaseEventState;
class CBaseEvent;

// Waits on `count` events at once: for any one (waitAll 0) or for all of them together (waitAll
// nonzero), at most `milliseconds` (kMultiWaitForever = no limit). Returns the index of the
// signalled event (the lowest when several are; with waitAll, 0 means all were signalled and were
// consumed together), kMultiWaitTimeout on time-out, kMultiWaitFailed on failure: count 0 or
// above kMaxMultiWaitEvents, a null or unusable event, or the same event twice with waitAll.
// Auto-reset events are consumed only by the wait that returns them; a waitAll that times out
// consumes nothing. Every event's waiting count is raised for the duration of the call.
ORBO_COMMON_API uint32_t WaitMultiEvent(uint32_t count, CBaseEvent* const events[], int waitAll,
                                        uint32_t milliseconds);

class ORBO_COMMON_API CBaseEvent {
public:
    // Creates the event not signalled (manual reset when manualReset is nonzero). With a lock
    // given, the event uses it and never deletes it; with null it creates and owns one. If the
    // event cannot be created an error line is written and the object stays usable: Set/Reset do
    // nothing and every wait fails at once (returns 0).
    explicit CBaseEvent(CBaseLock* lock = nullptr, int manualReset = 0);
    virtual ~CBaseEvent();
    CBaseEvent(const CBaseEvent&) = delete;
    CBaseEvent& operator=(const CBaseEvent&) = delete;

    // Signals the event.
    void Set();
    // Makes the event not signalled.
    void Reset();

    // Waits without limit until the event is signalled: 1, or 0 when the event is unusable.
    int Wait();
    // Waits at most microseconds/1000 milliseconds (so below 1000 it only polls);
    // kEventWaitForever behaves as Wait(). 1 when signalled, 0 on time-out or failure.
    int WaitUS(uint64_t microseconds);
    // Waits at most `milliseconds`; kEventWaitForever behaves as Wait(). 1 / 0 as WaitUS.
    int Wait(uint64_t milliseconds);

    // 1 while at least one thread is inside a wait on this event, else 0.
    int IsWaiting();

private:
    friend uint32_t WaitMultiEvent(uint32_t, CBaseEvent* const[], int, uint32_t);

    int WaitForDeadline(uint64_t deadlineMs);  // UINT64_MAX = no limit
    void EnterWait();
    void LeaveWait();

    // Threads inside a wait (a count, so that one waiter leaving does not hide another).
    std::atomic<int> m_waiting{0};
    std::unique_ptr<BaseEventState> m_event;  // null when the event could not be created
    CBaseLock* m_lock;
    int m_sharedLock;
};
