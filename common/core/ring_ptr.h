// CRingPtr: a fixed-capacity ring queue of 64-bit values (usually pointers). It holds at most
// capacity - 1 values: one slot always stays free, and an empty ring has read index = write index.
// A stored 0 cannot be told from "empty" by Peek and Get, so users store nonzero values.
//
// Not guarded: one thread at a time, or under the user's own CBaseLock.
#pragma once

#include <cstdint>
#include "core/common_api.h"

class ORBO_COMMON_API CRingPtr {
public:
    // No storage, capacity 0, indices -1.
    CRingPtr();
    virtual ~CRingPtr();

    CRingPtr(const CRingPtr&) = delete;
    CRingPtr& operator=(const CRingPtr&) = delete;

    // Frees any storage and allocates capacity slots, starting the ring as Reset does, so that
    // the full test works from the first Add. Returns 1, or 0 (with an error line, capacity 0)
    // for a negative capacity or a failed allocation.
    int Init(int capacity);
    // Frees the storage; capacity 0, indices -1.
    void Free();
    // Both indices 0 and every slot 0.
    void Reset();

    // 0 when stored; 1 when the capacity is below 1; 2 when full.
    int Add(uint64_t value);
    // The oldest value without removing it; 0 when empty.
    uint64_t Peek() const;
    // Removes and returns the oldest value; 0 when empty.
    uint64_t Get();
    // Number of values waiting.
    int GetAvailSize() const;
    // The capacity.
    int GetCapabilityize() const { return m_capacity; }

private:
    bool IsEmpty() const { return m_capacity < 1 || m_readIndex == m_writeIndex; }

    uint64_t* m_slots = nullptr;
    int m_capacity = 0;
    int m_readIndex = -1;
    int m_writeIndex = -1;
};
