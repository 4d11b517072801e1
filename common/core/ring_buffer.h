// CRingBuffer: a fixed-capacity ring queue of bytes. Bytes are added behind the waiting ones and
// read in order, wrapping at the end of the storage; an addition is stored whole or not at all.
//
// Not guarded: one thread at a time, or under the user's own CBaseLock.
#pragma once

#include <cstdint>
#include "core/common_api.h"

class CBaseBuffer;

class ORBO_COMMON_API CRingBuffer {
public:
    // No storage; capacity, used and read position 0.
    CRingBuffer();
    virtual ~CRingBuffer();

    CRingBuffer(const CRingBuffer&) = delete;
    CRingBuffer& operator=(const CRingBuffer&) = delete;

    // Frees any storage and allocates capacity bytes; used and read position 0. Returns 1, or 0
    // (with an error line, capacity 0) for a negative capacity or a failed allocation.
    int Init(int capacity);
    // Frees the storage; capacity, used and read position 0.
    void Free();
    // Drops the waiting bytes.
    void Reset();

    // Stores count bytes behind the waiting ones. Returns 0 when stored, and also when nothing
    // was given (null bytes or count <= 0); 1 when count exceeds the capacity; 2 when count
    // exceeds the free room (capacity - used).
    int Add(const void* bytes, int count);
    // Moves min(count, used) waiting bytes, in order, to destination; returns how many. 0 when
    // count <= 0, destination is null or nothing waits.
    int Read(void* destination, int count);
    // Moves all waiting bytes into the buffer (grown to hold them), from its start, and sets its
    // available size to their count; returns the count. 0 for a null buffer or when nothing
    // waits. Should the buffer fail to grow, only what fits its block is moved.
    int Read(CBaseBuffer* buffer);

    // Bytes waiting to be read.
    int GetAvailSize() const { return m_used; }
    // The capacity.
    int GetBufferSize() const { return m_capacity; }

private:
    uint8_t* m_bytes = nullptr;
    int m_capacity = 0;
    int m_used = 0;
    int m_readPos = 0;
};
