#include "stream_queue.h"

#include <algorithm>

#include "core/dbg_output.h"
#include "core/mono_clock.h"

namespace {

// Dropping reads the oldest bytes out in pieces of this size.
constexpr int kDropChunkBytes = 4096;

}  // namespace

StreamQueue::StreamQueue() {
    m_ring.Init(kStreamQueueBytes);
}

StreamQueue::~StreamQueue() = default;

void StreamQueue::SetDelivery(bool on) {
    CAutoBaseLock guard(&m_lock);
    m_delivering = on;
    if (!on) m_ring.Reset();
}

bool StreamQueue::IsDelivering() const {
    CAutoBaseLock guard(&m_lock);
    return m_delivering;
}

void StreamQueue::Clear() {
    CAutoBaseLock guard(&m_lock);
    m_ring.Reset();
}

void StreamQueue::DropOldest(int count) {
    uint8_t scratch[kDropChunkBytes];
    int left = count;
    while (left > 0) {
        const int got = m_ring.Read(scratch, std::min(left, kDropChunkBytes));
        if (got <= 0) break;
        left -= got;
    }
    const uint64_t dropped = static_cast<uint64_t>(count - left);
    m_droppedTotal += dropped;
    m_droppedSinceLog += dropped;
    const uint64_t now = MonoTimeMs();
    if (!m_dropLogged || now - m_lastDropLogMs >= kStreamDropLogIntervalMs) {
        DbgOutputA(kDbgLevelWarning,
                   "Radar stream queue full (%d bytes): dropped the %llu oldest bytes, the "
                   "reader falls behind\r\n",
                   m_ring.GetBufferSize(), static_cast<unsigned long long>(m_droppedSinceLog));
        m_droppedSinceLog = 0;
        m_lastDropLogMs = now;
        m_dropLogged = true;
    }
}

void StreamQueue::Push(const uint8_t* bytes, size_t count) {
    if (bytes == nullptr || count == 0) return;
    CAutoBaseLock guard(&m_lock);
    if (!m_delivering) return;
    const size_t capacity = static_cast<size_t>(m_ring.GetBufferSize());
    if (capacity == 0) return;
    if (count > capacity) {
        // Only the newest bytes can be kept: what waits and the head of this piece go.
        DropOldest(m_ring.GetAvailSize());
        const size_t skipped = count - capacity;
        m_droppedTotal += skipped;
        m_droppedSinceLog += skipped;
        bytes += skipped;
        count = capacity;
    }
    const size_t room = capacity - static_cast<size_t>(m_ring.GetAvailSize());
    if (count > room) DropOldest(static_cast<int>(count - room));
    m_ring.Add(bytes, static_cast<int>(count));
    m_wake.Set();
}

bool StreamQueue::Fetch(uint8_t*& data, int32_t& length, uint32_t timeoutMs) {
    data = nullptr;
    length = 0;
    const uint64_t deadline = MonoDeadlineMs(timeoutMs);
    CAutoBaseLock guard(&m_lock);
    const uint64_t abortSerial = m_abortSerial;
    for (;;) {
        if (m_cancelPending) {
            m_cancelPending = false;
            return false;
        }
        if (m_abortSerial != abortSerial) return false;
        if (m_ring.GetAvailSize() > 0) break;
        const uint64_t now = MonoTimeMs();
        if (now >= deadline) return false;
        m_waiters++;
        m_lock.Unlock();
        m_wake.Wait(deadline - now);
        m_lock.Lock();
        m_waiters--;
        // An abort concerns every waiter: pass the wake-up on.
        if (m_abortSerial != abortSerial && m_waiters > 0) m_wake.Set();
    }

    const uint32_t count =
        std::min(static_cast<uint32_t>(m_ring.GetAvailSize()), kMaxFetchBlockBytes);
    std::unique_ptr<CBaseBuffer> block = m_spare ? std::move(m_spare) : nullptr;
    if (!block) block = std::make_unique<CBaseBuffer>();
    if (!block->SetBufferSize(count)) {
        DbgOutputA(kDbgLevelError, "Radar stream fetch: no memory for a block of %u bytes\r\n",
                   count);
        return false;
    }
    const int got = m_ring.Read(block->GetBuffer(), static_cast<int>(count));
    block->SetAvailSize(static_cast<uint32_t>(got));
    data = block->GetBuffer();
    length = got;
    m_lent.push_back(std::move(block));
    // Bytes left for another waiting fetch.
    if (m_ring.GetAvailSize() > 0 && m_waiters > 0) m_wake.Set();
    return true;
}

bool StreamQueue::Commit(const uint8_t* data) {
    if (data == nullptr) return false;
    CAutoBaseLock guard(&m_lock);
    auto it = std::find_if(m_lent.begin(), m_lent.end(),
                           [data](const auto& block) { return block->GetBuffer() == data; });
    if (it == m_lent.end()) return false;
    if (!m_spare) m_spare = std::move(*it);
    m_lent.erase(it);
    return true;
}

void StreamQueue::Cancel() {
    CAutoBaseLock guard(&m_lock);
    m_cancelPending = true;
    m_wake.Set();
}

void StreamQueue::Abort() {
    CAutoBaseLock guard(&m_lock);
    m_abortSerial++;
    if (m_waiters > 0) m_wake.Set();
}

int StreamQueue::WaitingBytes() const {
    CAutoBaseLock guard(&m_lock);
    return m_ring.GetAvailSize();
}

uint64_t StreamQueue::DroppedBytes() const {
    CAutoBaseLock guard(&m_lock);
    return m_droppedTotal;
}

size_t StreamQueue::LentBlocks() const {
    CAutoBaseLock guard(&m_lock);
    return m_lent.size();
}

int StreamQueue::WaitingFetches() const {
    CAutoBaseLock guard(&m_lock);
    return m_waiters;
}
