// Delayed message posting: a message is posted to a target after a delay, on the engine's own
// thread "DelayMsg", and can be asked about or withdrawn while it is pending.
//
// The library keeps one engine, gDelayPostMsgEngine, started when the library is loaded and
// stopped when it is unloaded; users only queue, query and withdraw messages. Posting goes
// through the message-target hooks (message_target.h): without hooks nothing is posted, and a
// message for a target that is gone is dropped silently.
//
// Due times are on the 64-bit monotonic millisecond clock (mono_clock.h), so no wrap of a 32-bit
// tick count can make a message fire early or late.
//
// Queue order: records are kept in the order they were queued. Each pass of the engine posts
// every record that is due, in queue order (two messages due in the same pass go out in the order
// they were queued, not in the order of their due times), then sleeps until the earliest due time
// or until a new message or Stop wakes it. The engine holds its (re-entrant) lock while it posts
// and calls callbacks, so a callback may queue or query; a record is taken out of the queue before
// its message is posted, so once posted it is no longer pending.
//
// Matching (HasDelayPostMsg, the removals): first and target window equal (not compared by
// RemoveAllDelayPostMsg), the message equal or kDelayMsgAny, and wParam / lParam equal to the
// values pointed to when pointers are given (a null pointer matches any value).
//
// Any thread may queue, query and withdraw. Withdrawal with purge also removes messages already
// posted to the target's queue, which the window layer may restrict to its own thread's windows;
// withdraw from the thread that owns the target. Start and Stop are for the library's load and
// unload (and tests with engines of their own); they must not run concurrently with each other.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "base_event.h"
#include "base_lock.h"
#include "base_thread.h"
#include "core/common_api.h"
#include "platform_types.h"
#include "ptr_list_ctrl.h"

// Matches any message in HasDelayPostMsg and the removals.
constexpr uint32_t kDelayMsgAny = 0xFFFFFFFFu;
// UpdateNextPostTime of an empty queue.
constexpr uint64_t kDelayMsgNoneDue = UINT64_MAX;
// The engine thread's stack.
constexpr int kDelayMsgStackBytes = 0x400000;

// Told on the engine thread, with the engine lock held, right after a message was posted (also
// when the target was gone and nothing was posted). The result is not used.
class ORBO_COMMON_API IDelayMSGPostCallback {
public:
    virtual ~IDelayMSGPostCallback() = default;
    virtual int OnDelayMsgPosted(HWND firstWindow, HWND targetWindow, uint32_t msg, uint64_t wParam,
                                 int64_t lParam, uint64_t userData) = 0;
};

struct DelayPostRecord;

class ORBO_COMMON_API CDelayPostMsgEngine : public IThreadFuncInterface {
public:
    // Stopped, with an empty queue.
    CDelayPostMsgEngine();
    // Stops the engine (as Stop).
    ~CDelayPostMsgEngine() override;
    CDelayPostMsgEngine(const CDelayPostMsgEngine&) = delete;
    CDelayPostMsgEngine& operator=(const CDelayPostMsgEngine&) = delete;

    // Queues `msg` for the target, due `delayMs` from now, and wakes the engine. Never replaces or
    // merges a pending record: to keep at most one, ask HasDelayPostMsg first. `callback` (may be
    // null, not owned) must stay valid until the message is posted or withdrawn. Messages queued
    // while the engine is stopped wait for the next Start (Stop discards them).
    void DelayPostMsg(uint32_t delayMs, HWND firstWindow, HWND targetWindow, uint32_t msg,
                      uint64_t wParam, int64_t lParam, IDelayMSGPostCallback* callback,
                      uint64_t userData);

    // 1 when a queued record matches, else 0.
    int HasDelayPostMsg(HWND firstWindow, HWND targetWindow, uint32_t msg, const uint64_t* wParam,
                        const int64_t* lParam);

    // Withdraws every matching record without posting it or calling its callback; with `purge`
    // nonzero, for each withdrawn record also removes the messages of its identifier already
    // queued for its target. Returns the number of records withdrawn.
    int RemoveDelayPostMsg(HWND firstWindow, HWND targetWindow, uint32_t msg,
                           const uint64_t* wParam, const int64_t* lParam, int purge);
    // As RemoveDelayPostMsg without comparing the windows.
    int RemoveAllDelayPostMsg(uint32_t msg, const uint64_t* wParam, const int64_t* lParam,
                              int purge);

    // Starts the thread "DelayMsg" (priority 0, kDelayMsgStackBytes, not detached). A running
    // engine is left as it is. 1 when the engine runs, 0 when the thread cannot be started.
    int Start();

    // Asks the loop to end, wakes it, waits until the thread has ended, then frees every record
    // still queued without posting it or calling its callback. Harmless when stopped. In a process
    // forked from the one that started the engine (where the thread does not exist) it only
    // discards the queue, and never waits.
    void Stop();

    // The engine loop on the engine thread (param ignored): passes until stopped; returns 0.
    int ThreadLoop(uint64_t param) override;

    // Waits up to `timeoutMs` until the engine thread has entered its loop (its start lines are
    // written by then). 1 when it has, 0 on time-out.
    int WaitUntilLooping(uint64_t timeoutMs);

    // The earliest due time in the queue (MonoTimeMs clock), kDelayMsgNoneDue when it is empty.
    uint64_t UpdateNextPostTime();

    // Number of queued records.
    int GetPendingCount();

private:
    // Posts every record that is due and was queued before the pass began. Lock held.
    void PostDueRecords();
    int RemoveMatching(bool compareWindows, HWND firstWindow, HWND targetWindow, uint32_t msg,
                       const uint64_t* wParam, const int64_t* lParam, int purge);
    void FreeAll();
    // In a process forked from the one that started the engine: drops the thread and the wake
    // event (whose thread exists only in the parent) for fresh ones; true when it did.
    bool AbandonInheritedThread();

    std::atomic<int> m_stop{1};
    CBaseLock m_lock;
    CBaseEvent m_looping{nullptr, 1};  // manual reset: set while the loop runs
    // The wake event (auto-reset, own lock) and the thread are held by pointer so that a forked
    // child, where the thread does not exist, can leave them alone: joining the thread or
    // destroying an event it was waiting on would wait forever there.
    std::unique_ptr<CBaseEvent> m_wake;
    std::unique_ptr<CBaseThread> m_thread;
    CPtrListCtrl m_queue;  // DelayPostRecord*, owned
    uint64_t m_nextSerial = 0;
    uint64_t m_passCount = 0;
    std::atomic<int> m_startPid{0};  // process that started the thread; 0 when not started
    bool m_lockAbandoned = false;    // a forked child found the lock held at the fork
    // A forked child's copies of the parent's thread and wake event: kept, never destroyed.
    CBaseThread* m_inheritedThread = nullptr;
    CBaseEvent* m_inheritedWake = nullptr;
};

// The library's engine.
extern ORBO_COMMON_API CDelayPostMsgEngine gDelayPostMsgEngine;
