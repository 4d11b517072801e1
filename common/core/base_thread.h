// The thread wrapper every worker of the system is built on.
//
// CBaseThread runs a body (IThreadFuncInterface) on a pthread: ThreadLoop(param) is called again
// and again until it returns 0 or the thread is stopped. Between calls the wrapper passes a run
// gate, so PauseThread() holds the thread before its next call (never inside one). Stopping is
// cooperative: StopThread() sets the need-exit flag, opens the gate and joins. There is no forced
// termination on this platform: StopThreadImmediate() does the same without logging, so it
// returns once the body's current call has returned. A body that runs long inside one call checks
// IsThreadNeedExit() itself (typically with a timed CBaseEvent wait as its pace).
//
// Every start and stop is logged at level 2. Priorities are accepted and ignored. The stack size
// is rounded up to the platform minimum and the page size (0 = default). The stored name keeps
// up to 127 bytes; the kernel's thread name (ps, gdb) gets the first 15, both cut at a UTF-8
// character boundary.
//
// The thread handle is an opaque number issued per started thread, never 0 and never reused in
// the process (so a stale handle can never name another thread); ThreadIdFromHandle() maps a live
// handle to its kernel thread id. The id is the kernel thread id (gettid()), known before the
// start is reported.
//
// Start, stop and immediate stop are serialised by the object's lock; the wrapper never takes it.
// A body may stop its own thread (StopThread/StopThreadImmediate or the destructor called from
// the body): the thread is then detached instead of joined, the object becomes Idle at once, the
// current call finishes and the wrapper touches the object no more.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "base_event.h"
#include "base_lock.h"
#include "core/common_api.h"
#include "size_limits.h"

// An opaque thread handle; 0 = none.
using ThreadHandle = uintptr_t;

// The kernel thread id of the live thread behind a handle issued by CBaseThread; 0 when the
// handle is unknown or already released. Any thread.
ORBO_COMMON_API uint32_t ThreadIdFromHandle(ThreadHandle handle);

class ORBO_COMMON_API IThreadFuncInterface {
public:
    virtual ~IThreadFuncInterface() = default;
    // One step of the thread's work on the worker thread: nonzero to be called again, 0 to end.
    virtual int ThreadLoop(uint64_t param) = 0;
};

struct ThreadRun;

class ORBO_COMMON_API CBaseThread {
public:
    // Idle: exited 1, no handle, id 0, name empty, run gate not signalled.
    CBaseThread();
    // Stops the thread (StopThread).
    virtual ~CBaseThread();
    CBaseThread(const CBaseThread&) = delete;
    CBaseThread& operator=(const CBaseThread&) = delete;

    // Starts a thread named `name` (null = empty) running body->ThreadLoop(param). Returns 1 on
    // success and also when a thread is already running (which keeps its body and param); 0 when
    // the thread cannot be created (the object stays Idle). A thread whose body has ended is
    // joined first, then a fresh one is started. `priority` is ignored; `stackSize` in bytes
    // (0 = default); with `autoDetach` nonzero the handle and id are released when the body ends.
    int StartThread(const char* name, IThreadFuncInterface* body, uint64_t param, int priority,
                    int stackSize, int autoDetach);
    // Asks the body to end, wakes a paused thread and waits without limit for the thread to end.
    void StopThread();
    // Like StopThread without log lines: the body is never called again once this returns (it
    // still waits for a call in progress, since a thread cannot be killed here).
    void StopThreadImmediate();
    // Holds the thread before its next ThreadLoop call; the call in progress runs on.
    void PauseThread();
    void ResumeThread();

    // 1 when no thread runs (fresh, ended or stopped), else 0.
    int IsThreadExit();
    // 1 once a stop was requested; a body that runs long polls it.
    int IsThreadNeedExit();
    ThreadHandle GetThreadHandle();
    uint32_t GetThreadId();
    const char* GetThreadName();

private:
    friend struct ThreadRun;
    static void* ThreadEntry(void* arg);
    // The worker's loop around the body; returns 0 (the thread's exit code).
    int WrapThreadFunc(ThreadRun& run);
    // On the worker itself: release the thread instead of joining it.
    void StopFromOwnThread();
    // Joins (or, on its own thread, detaches) the pthread of the last start. Lock held.
    void ReapThread();
    bool IsOwnThread() const;

    CBaseLock m_lock;
    std::atomic<int> m_needExit{0};
    IThreadFuncInterface* m_body = nullptr;
    uint64_t m_param = 0;
    CBaseEvent m_runGate;
    std::atomic<int> m_exited{1};
    std::atomic<int> m_autoDetach{0};
    std::atomic<ThreadHandle> m_handle{0};
    std::atomic<uint32_t> m_threadId{0};
    char m_name[kMaxThreadNameChars + 1] = {};
    // The pthread of the last start until it is joined; guarded by m_lock.
    std::shared_ptr<ThreadRun> m_run;
    // 1 while a stopper holds the lock and joins the thread (lets the body stop itself safely).
    std::atomic<int> m_joining{0};
};
