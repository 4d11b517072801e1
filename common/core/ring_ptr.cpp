#include "ring_ptr.h"

#include <cstdlib>
#include <cstring>

#include "dbg_output.h"

CRingPtr::CRingPtr() = default;

CRingPtr::~CRingPtr() {
    Free();
}

int CRingPtr::Init(int capacity) {
    Free();
    if (capacity < 0) {
        DbgOutputA(kDbgLevelError, "CRingPtr::Init: negative capacity %d refused\r\n", capacity);
        return 0;
    }
    if (capacity > 0) {
        m_slots =
            static_cast<uint64_t*>(std::calloc(static_cast<size_t>(capacity), sizeof(uint64_t)));
        if (m_slots == nullptr) {
            DbgOutputA(kDbgLevelError, "CRingPtr::Init: allocating %d slots failed\r\n", capacity);
            return 0;
        }
        m_capacity = capacity;
    }
    // With indices -1 the full test could not fire before the first Get and a full ring would
    // overwrite its oldest value: start as Reset does.
    Reset();
    return 1;
}

void CRingPtr::Free() {
    std::free(m_slots);
    m_slots = nullptr;
    m_capacity = 0;
    m_readIndex = -1;
    m_writeIndex = -1;
}

void CRingPtr::Reset() {
    m_readIndex = 0;
    m_writeIndex = 0;
    if (m_slots != nullptr) {
        std::memset(m_slots, 0, static_cast<size_t>(m_capacity) * sizeof(uint64_t));
    }
}

int CRingPtr::Add(uint64_t value) {
    if (m_capacity < 1) return 1;
    const int next = (m_writeIndex + 1) % m_capacity;
    if (next == m_readIndex) return 2;
    m_writeIndex = next;
    m_slots[m_writeIndex] = value;
    return 0;
}

uint64_t CRingPtr::Peek() const {
    if (IsEmpty()) return 0;
    return m_slots[(m_readIndex + 1) % m_capacity];
}

uint64_t CRingPtr::Get() {
    if (IsEmpty()) return 0;
    m_readIndex = (m_readIndex + 1) % m_capacity;
    return m_slots[m_readIndex];
}

int CRingPtr::GetAvailSize() const {
    if (m_capacity < 1) return 0;
    return (m_writeIndex + m_capacity - m_readIndex) % m_capacity;
}
