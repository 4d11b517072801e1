// The device's stream queue: received stream bytes wait here, in order, between the link's reader
// thread and the caller's fetches.
//
// Bytes are kept only while delivery is on (Start); Stop turns it off and drops what waits. The
// queue is bounded: when the reader falls behind, the oldest bytes are dropped to make room, with
// a log line (at most one a second, with the count dropped meanwhile).
//
// Fetch lends out the oldest waiting bytes as one block (at most kMaxFetchBlockBytes) or waits up
// to its limit; the block stays valid until it is committed (or the queue is destroyed), whatever
// Stop or Close do meanwhile. Cancel makes the waiting fetch - or the next one when none waits -
// return 0 at once. Abort releases every fetch waiting at that moment with 0 (the link closed or
// vanished); fetches started later wait as usual (a caller's loop does not spin on a dead link).
//
// Thread-safe: one internal lock, never held while a caller waits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/base_buffer.h"
#include "core/base_event.h"
#include "core/base_lock.h"
#include "core/ring_buffer.h"

// Most bytes waiting for a fetch before the oldest are dropped (minutes of reports).
constexpr int kStreamQueueBytes = 1 << 20;
// Most bytes one fetch lends out.
constexpr uint32_t kMaxFetchBlockBytes = 64 * 1024;
// Drop lines are written at most this often.
constexpr uint64_t kStreamDropLogIntervalMs = 1000;

class StreamQueue {
public:
    StreamQueue();
    ~StreamQueue();
    StreamQueue(const StreamQueue&) = delete;
    StreamQueue& operator=(const StreamQueue&) = delete;

    // Delivery on (Start) or off (Stop, which also drops what waits). A pending cancel stays.
    void SetDelivery(bool on);
    bool IsDelivering() const;
    // Drops what waits.
    void Clear();

    // Reader thread: queues received stream bytes when delivery is on, dropping the oldest
    // waiting bytes when they do not fit; otherwise discards them.
    void Push(const uint8_t* bytes, size_t count);

    // Lends out the oldest waiting bytes (at most kMaxFetchBlockBytes): true with data and length
    // set. False (data null, length 0) when the limit passed, a cancel was pending or came, or an
    // Abort came while waiting.
    bool Fetch(uint8_t*& data, int32_t& length, uint32_t timeoutMs);
    // Takes back a block lent by Fetch. False when the pointer is not a lent block.
    bool Commit(const uint8_t* data);

    // Releases the waiting fetch, or the next one when none waits (the cancel stays pending
    // until a fetch consumes it).
    void Cancel();
    // Releases the fetches waiting now (they return false); later ones wait as usual.
    void Abort();

    // Bytes waiting, and bytes dropped because the reader fell behind (since construction).
    int WaitingBytes() const;
    uint64_t DroppedBytes() const;
    // Blocks lent and not yet committed.
    size_t LentBlocks() const;
    // Fetches waiting now.
    int WaitingFetches() const;

private:
    void DropOldest(int count);

    mutable CBaseLock m_lock;
    CBaseEvent m_wake;  // auto reset: data, cancel or abort
    CRingBuffer m_ring;
    bool m_delivering = false;
    bool m_cancelPending = false;
    int m_waiters = 0;
    uint64_t m_abortSerial = 0;
    uint64_t m_droppedTotal = 0;
    uint64_t m_droppedSinceLog = 0;
    uint64_t m_lastDropLogMs = 0;
    bool m_dropLogged = false;
    std::vector<std::unique_ptr<CBaseBuffer>> m_lent;
    std::unique_ptr<CBaseBuffer> m_spare;  // one committed block kept for the next fetch
};
