#include "base_thread.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "dbg_output.h"

// One started pthread, shared by the object (until it joins) and by the thread itself.
struct ThreadRun {
    CBaseThread* owner = nullptr;
    pthread_t thread{};
    // Start gate: the thread publishes its kernel id, then waits until the creator has stored the
    // handle and id (so that "thread create success" names the real id and an auto-detach at the
    // end always finds the handle).
    std::atomic<uint32_t> tid{0};
    std::atomic<bool> go{false};
    // Set only by the thread itself when its own body stopped it: it has been detached and the
    // object may already run another thread or be gone, so the wrapper touches it no more.
    std::atomic<bool> released{false};
};

namespace {

thread_local ThreadRun* tlsOwnRun = nullptr;

// Live handles and their kernel ids. Never destroyed: threads may still be stopped while the
// process's static objects are being torn down.
struct HandleRegistry {
    std::mutex mutex;
    std::unordered_map<ThreadHandle, uint32_t> tids;
    std::atomic<ThreadHandle> next{1};
};

HandleRegistry& Registry() {
    static HandleRegistry* registry = new HandleRegistry();
    return *registry;
}

ThreadHandle RegisterHandle(uint32_t tid) {
    HandleRegistry& registry = Registry();
    const ThreadHandle handle = registry.next.fetch_add(1);
    std::lock_guard<std::mutex> guard(registry.mutex);
    try {
        registry.tids[handle] = tid;
    } catch (...) {
        // Without an entry only the CPU-time query cannot find the thread.
    }
    return handle;
}

void UnregisterHandle(ThreadHandle handle) {
    if (handle == 0) return;
    HandleRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    registry.tids.erase(handle);
}

// Length of `text` cut to at most maxBytes without splitting a UTF-8 sequence.
size_t CutUtf8(const char* text, size_t maxBytes) {
    size_t length = strnlen(text, maxBytes + 1);
    if (length <= maxBytes) return length;
    length = maxBytes;
    for (int back = 0; back < 3 && length > 0; ++back) {
        if ((static_cast<unsigned char>(text[length]) & 0xC0) != 0x80) break;
        --length;
    }
    return length;
}

size_t StackBytes(int stackSize) {
    const long pageSize = sysconf(_SC_PAGESIZE);
    const size_t page = pageSize > 0 ? static_cast<size_t>(pageSize) : 4096;
    size_t bytes = std::max(static_cast<size_t>(stackSize), static_cast<size_t>(PTHREAD_STACK_MIN));
    return (bytes + page - 1) / page * page;
}

}  // namespace

uint32_t ThreadIdFromHandle(ThreadHandle handle) {
    if (handle == 0) return 0;
    HandleRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    const auto found = registry.tids.find(handle);
    return found == registry.tids.end() ? 0 : found->second;
}

CBaseThread::CBaseThread() : m_runGate(nullptr, 1) {}

CBaseThread::~CBaseThread() {
    StopThread();
}

void* CBaseThread::ThreadEntry(void* arg) {
    auto* handOver = static_cast<std::shared_ptr<ThreadRun>*>(arg);
    const std::shared_ptr<ThreadRun> run = std::move(*handOver);
    delete handOver;
    tlsOwnRun = run.get();
    run->tid.store(static_cast<uint32_t>(gettid()));
    run->tid.notify_all();
    run->go.wait(false);
    run->owner->WrapThreadFunc(*run);
    tlsOwnRun = nullptr;
    return nullptr;
}

int CBaseThread::WrapThreadFunc(ThreadRun& run) {
    const uint32_t tid = run.tid.load();
    char kernelName[kMaxKernelThreadNameBytes + 1] = {};
    memcpy(kernelName, m_name, CutUtf8(m_name, kMaxKernelThreadNameBytes));
    pthread_setname_np(pthread_self(), kernelName);

    m_runGate.Wait();
    DbgOutputA(kDbgLevelInfo, "thread information, name=%s, tid=%u(0x%08x)\r\n", m_name, tid, tid);
    int again = 0;
    if (m_body != nullptr && m_needExit.load() == 0) again = m_body->ThreadLoop(m_param);
    while (again != 0) {
        if (run.released.load()) return 0;
        m_runGate.Wait();  // a paused thread blocks here
        if (m_needExit.load() != 0) break;
        again = m_body->ThreadLoop(m_param);
    }
    if (run.released.load()) return 0;

    m_exited.store(1);
    DbgOutputA(kDbgLevelInfo, "thread exit, name=%s, tid=%u(0x%08x)\r\n", m_name, tid, tid);
    if (m_autoDetach.load() != 0) {
        // The pthread itself stays joinable: the next start, stop or the destructor reaps it, so
        // nothing can free the object while this thread still touches it.
        const ThreadHandle handle = m_handle.exchange(0);
        if (handle != 0) {
            UnregisterHandle(handle);
            DbgOutputA(kDbgLevelInfo, "thread auto detach exit over, name=%s, tid=%u(0x%08x)\r\n",
                       m_name, tid, tid);
        }
        m_threadId.store(0);
    }
    return 0;
}

bool CBaseThread::IsOwnThread() const {
    return tlsOwnRun != nullptr && tlsOwnRun->owner == this && !tlsOwnRun->released.load();
}

void CBaseThread::ReapThread() {
    if (m_run == nullptr) return;
    const std::shared_ptr<ThreadRun> run = std::move(m_run);
    if (pthread_equal(run->thread, pthread_self())) {
        run->released.store(true);
        pthread_detach(run->thread);
        return;
    }
    pthread_join(run->thread, nullptr);
}

void CBaseThread::StopFromOwnThread() {
    m_needExit.store(1);
    // A thread that is joining this one holds the lock; it finishes the stop once the body's
    // current call has returned. Any other holder leaves the lock at once.
    while (m_lock.TryLock() == 0) {
        if (m_joining.load() != 0) return;
        sched_yield();
    }
    m_runGate.Set();
    const uint32_t tid = m_threadId.load();
    UnregisterHandle(m_handle.exchange(0));
    ReapThread();
    m_threadId.store(0);
    m_exited.store(1);
    DbgOutputA(kDbgLevelInfo,
               "thread stopped by its own body, released without waiting, name=%s, "
               "tid=%u(0x%08x)\r\n",
               m_name, tid, tid);
    m_lock.Unlock();
}

int CBaseThread::StartThread(const char* name, IThreadFuncInterface* body, uint64_t param,
                             int priority, int stackSize, int autoDetach) {
    (void)priority;  // accepted for compatibility; threads run at the default priority
    if (m_handle.load() != 0 && m_exited.load() == 0) return 1;
    CAutoBaseLock guard(&m_lock);
    if (m_handle.load() != 0 && m_exited.load() == 0) return 1;

    // A thread whose body has ended (or was released by auto-detach) is reaped first.
    if (m_run != nullptr) {
        m_joining.store(1);
        m_needExit.store(1);
        m_runGate.Set();
        ReapThread();
        m_joining.store(0);
    }
    UnregisterHandle(m_handle.exchange(0));
    m_threadId.store(0);

    const size_t nameLength = name != nullptr ? CutUtf8(name, kMaxThreadNameChars) : 0;
    memcpy(m_name, name != nullptr ? name : "", nameLength);
    m_name[nameLength] = '\0';

    std::shared_ptr<ThreadRun> run;
    try {
        run = std::make_shared<ThreadRun>();
    } catch (...) {
    }
    auto* handOver = run != nullptr ? new (std::nothrow) std::shared_ptr<ThreadRun>(run) : nullptr;

    m_autoDetach.store(autoDetach != 0 ? 1 : 0);
    m_body = body;
    m_param = param;
    m_needExit.store(0);
    m_exited.store(0);
    m_runGate.Set();

    int rc = ENOMEM;
    if (handOver != nullptr) {
        run->owner = this;
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        if (stackSize > 0) {
            const int stackRc = pthread_attr_setstacksize(&attr, StackBytes(stackSize));
            if (stackRc != 0) {
                DbgOutputA(kDbgLevelWarning,
                           "thread %s: stack size %d refused (%s), using the default\r\n", m_name,
                           stackSize, strerror(stackRc));
            }
        }
        rc = pthread_create(&run->thread, &attr, &CBaseThread::ThreadEntry, handOver);
        pthread_attr_destroy(&attr);
    }
    if (rc != 0) {
        delete handOver;
        m_exited.store(1);
        DbgOutputA(kDbgLevelInfo, "thread create failed, thread name=%s\r\n",
                   name != nullptr ? name : "unknown");
        DbgOutputA(kDbgLevelError, "thread %s: cannot create a thread (stack size %d): %s\r\n",
                   m_name, stackSize, strerror(rc));
        return 0;
    }

    run->tid.wait(0);
    const uint32_t tid = run->tid.load();
    const ThreadHandle handle = RegisterHandle(tid);
    m_threadId.store(tid);
    m_handle.store(handle);
    m_run = run;
    DbgOutputA(kDbgLevelInfo,
               "thread create success, thread handle=0x%016" PRIxPTR ", id=%u, name=%s\r\n", handle,
               tid, m_name);
    run->go.store(true);
    run->go.notify_all();
    return 1;
}

void CBaseThread::StopThread() {
    if (IsOwnThread()) {
        StopFromOwnThread();
        return;
    }
    CAutoBaseLock guard(&m_lock);
    m_joining.store(1);
    m_needExit.store(1);
    m_runGate.Set();
    const ThreadHandle handle = m_handle.load();
    const uint32_t tid = m_threadId.load();
    if (handle != 0) {
        DbgOutputA(kDbgLevelInfo, "prepare exit thread..., name=%s, tid=%u(0x%08x)\r\n", m_name,
                   tid, tid);
    }
    ReapThread();
    UnregisterHandle(m_handle.exchange(0));
    if (handle != 0) {
        DbgOutputA(kDbgLevelInfo, "thread exit over, name=%s, tid=%u(0x%08x)\r\n", m_name, tid,
                   tid);
    }
    m_threadId.store(0);
    m_exited.store(1);
    m_joining.store(0);
}

void CBaseThread::StopThreadImmediate() {
    if (IsOwnThread()) {
        StopFromOwnThread();
        return;
    }
    CAutoBaseLock guard(&m_lock);
    m_joining.store(1);
    m_needExit.store(1);
    m_runGate.Set();
    ReapThread();
    UnregisterHandle(m_handle.exchange(0));
    m_threadId.store(0);
    m_exited.store(1);
    m_joining.store(0);
}

void CBaseThread::PauseThread() {
    m_runGate.Reset();
}

void CBaseThread::ResumeThread() {
    m_runGate.Set();
}

int CBaseThread::IsThreadExit() {
    return m_exited.load() != 0 ? 1 : 0;
}

int CBaseThread::IsThreadNeedExit() {
    return m_needExit.load();
}

ThreadHandle CBaseThread::GetThreadHandle() {
    return m_handle.load();
}

uint32_t CBaseThread::GetThreadId() {
    return m_threadId.load();
}

const char* CBaseThread::GetThreadName() {
    return m_name;
}
