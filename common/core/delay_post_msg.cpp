#include "delay_post_msg.h"

#include <unistd.h>

#include "dbg_output.h"
#include "message_target.h"
#include "mono_clock.h"

// One queued message; owned by the queue until posted or withdrawn.
struct DelayPostRecord {
    uint64_t dueMs;
    HWND firstWindow;
    HWND targetWindow;
    uint32_t msg;
    uint64_t wParam;
    int64_t lParam;
    IDelayMSGPostCallback* callback;
    uint64_t userData;
    uint64_t serial;         // queueing order; a pass visits only records older than itself
    uint64_t skippedInPass;  // the pass that found it not yet due
};

namespace {

constexpr const char* kThreadName = "DelayMsg";

bool Matches(const DelayPostRecord& record, bool compareWindows, HWND firstWindow,
             HWND targetWindow, uint32_t msg, const uint64_t* wParam, const int64_t* lParam) {
    if (compareWindows &&
        (record.firstWindow != firstWindow || record.targetWindow != targetWindow)) {
        return false;
    }
    if (msg != kDelayMsgAny && record.msg != msg) return false;
    if (wParam != nullptr && record.wParam != *wParam) return false;
    if (lParam != nullptr && record.lParam != *lParam) return false;
    return true;
}

}  // namespace

CDelayPostMsgEngine::CDelayPostMsgEngine()
    : m_wake(std::make_unique<CBaseEvent>(nullptr, 0)), m_thread(std::make_unique<CBaseThread>()) {}

CDelayPostMsgEngine::~CDelayPostMsgEngine() {
    Stop();
}

void CDelayPostMsgEngine::DelayPostMsg(uint32_t delayMs, HWND firstWindow, HWND targetWindow,
                                       uint32_t msg, uint64_t wParam, int64_t lParam,
                                       IDelayMSGPostCallback* callback, uint64_t userData) {
    {
        CAutoBaseLock guard(&m_lock);
        auto* record = new DelayPostRecord{MonoDeadlineMs(delayMs),
                                           firstWindow,
                                           targetWindow,
                                           msg,
                                           wParam,
                                           lParam,
                                           callback,
                                           userData,
                                           m_nextSerial++,
                                           0};
        m_queue.AddData(record, -1);
    }
    m_wake->Set();
}

int CDelayPostMsgEngine::HasDelayPostMsg(HWND firstWindow, HWND targetWindow, uint32_t msg,
                                         const uint64_t* wParam, const int64_t* lParam) {
    CAutoBaseLock guard(&m_lock);
    const int count = m_queue.GetCount();
    for (int i = 0; i < count; ++i) {
        const auto* record = static_cast<const DelayPostRecord*>(m_queue.GetAt(i));
        if (Matches(*record, true, firstWindow, targetWindow, msg, wParam, lParam)) return 1;
    }
    return 0;
}

int CDelayPostMsgEngine::RemoveDelayPostMsg(HWND firstWindow, HWND targetWindow, uint32_t msg,
                                            const uint64_t* wParam, const int64_t* lParam,
                                            int purge) {
    return RemoveMatching(true, firstWindow, targetWindow, msg, wParam, lParam, purge);
}

int CDelayPostMsgEngine::RemoveAllDelayPostMsg(uint32_t msg, const uint64_t* wParam,
                                               const int64_t* lParam, int purge) {
    return RemoveMatching(false, 0, 0, msg, wParam, lParam, purge);
}

int CDelayPostMsgEngine::RemoveMatching(bool compareWindows, HWND firstWindow, HWND targetWindow,
                                        uint32_t msg, const uint64_t* wParam, const int64_t* lParam,
                                        int purge) {
    CAutoBaseLock guard(&m_lock);
    int removed = 0;
    for (int i = 0; i < m_queue.GetCount();) {
        auto* record = static_cast<DelayPostRecord*>(m_queue.GetAt(i));
        if (!Matches(*record, compareWindows, firstWindow, targetWindow, msg, wParam, lParam)) {
            ++i;
            continue;
        }
        m_queue.DeleteAt(i, 1);
        if (purge) PurgeTargetMessages(record->targetWindow, record->msg);
        delete record;
        ++removed;
    }
    return removed;
}

bool CDelayPostMsgEngine::AbandonInheritedThread() {
    const int startPid = m_startPid.load();
    if (startPid == 0 || startPid == getpid()) return false;
    // A forked child: the engine thread lives only in the parent. Joining this copy of it, or
    // destroying the event it waited on, would wait forever, so both copies are left alone (never
    // destroyed) and fresh objects take their place.
    m_inheritedThread = m_thread.release();
    m_inheritedWake = m_wake.release();
    m_thread = std::make_unique<CBaseThread>();
    m_wake = std::make_unique<CBaseEvent>(nullptr, 0);
    m_startPid.store(0);
    return true;
}

int CDelayPostMsgEngine::Start() {
    AbandonInheritedThread();
    if (m_startPid.load() != 0 && !m_thread->IsThreadExit()) return 1;
    m_wake->Reset();
    m_stop.store(0);
    m_startPid.store(getpid());
    return m_thread->StartThread(kThreadName, this, 0, 0, kDelayMsgStackBytes, 0);
}

void CDelayPostMsgEngine::Stop() {
    m_stop.store(1);
    m_looping.Reset();
    if (AbandonInheritedThread()) {
        // The parent's engine thread may have held the lock at the fork: never wait for it.
        if (!m_lock.TryLock()) {
            m_lockAbandoned = true;
            return;
        }
        FreeAll();
        m_lock.Unlock();
        return;
    }
    if (m_startPid.exchange(0) != 0) {
        m_wake->Set();
        m_thread->StopThread();
    }
    if (m_lockAbandoned) return;
    CAutoBaseLock guard(&m_lock);
    FreeAll();
}

void CDelayPostMsgEngine::FreeAll() {
    while (!m_queue.IsEmpty()) delete static_cast<DelayPostRecord*>(m_queue.DeleteHead());
}

int CDelayPostMsgEngine::WaitUntilLooping(uint64_t timeoutMs) {
    return m_looping.Wait(timeoutMs);
}

int CDelayPostMsgEngine::ThreadLoop(uint64_t /*param*/) {
    m_looping.Set();
    while (m_stop.load() == 0) {
        {
            CAutoBaseLock guard(&m_lock);
            PostDueRecords();
        }
        const uint64_t now = MonoTimeMs();
        const uint64_t next = UpdateNextPostTime();
        if (next > now) m_wake->Wait(next == kDelayMsgNoneDue ? kEventWaitForever : next - now);
    }
    return 0;
}

void CDelayPostMsgEngine::PostDueRecords() {
    const uint64_t pass = ++m_passCount;
    const uint64_t firstNewSerial = m_nextSerial;
    // A callback may queue or withdraw records, so after each post the walk starts over; records
    // queued during the pass and records already found not due are not visited again.
    bool posted = true;
    while (posted) {
        posted = false;
        for (int i = 0; i < m_queue.GetCount(); ++i) {
            auto* record = static_cast<DelayPostRecord*>(m_queue.GetAt(i));
            if (record->serial >= firstNewSerial || record->skippedInPass == pass) continue;
            if (record->dueMs > MonoTimeMs()) {
                record->skippedInPass = pass;
                continue;
            }
            m_queue.DeleteAt(i, 1);
            PostTargetMessage(record->targetWindow, record->msg, record->wParam, record->lParam);
            if (record->callback != nullptr) {
                record->callback->OnDelayMsgPosted(record->firstWindow, record->targetWindow,
                                                   record->msg, record->wParam, record->lParam,
                                                   record->userData);
            }
            delete record;
            posted = true;
            break;
        }
    }
}

uint64_t CDelayPostMsgEngine::UpdateNextPostTime() {
    CAutoBaseLock guard(&m_lock);
    uint64_t earliest = kDelayMsgNoneDue;
    const int count = m_queue.GetCount();
    for (int i = 0; i < count; ++i) {
        const auto* record = static_cast<const DelayPostRecord*>(m_queue.GetAt(i));
        if (record->dueMs < earliest) earliest = record->dueMs;
    }
    return earliest;
}

int CDelayPostMsgEngine::GetPendingCount() {
    CAutoBaseLock guard(&m_lock);
    return m_queue.GetCount();
}
