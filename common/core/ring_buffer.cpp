#include "ring_buffer.h"

#include <cstdlib>
#include <cstring>

#include "base_buffer.h"
#include "dbg_output.h"

CRingBuffer::CRingBuffer() = default;

CRingBuffer::~CRingBuffer() {
    Free();
}

int CRingBuffer::Init(int capacity) {
    Free();
    if (capacity < 0) {
        DbgOutputA(kDbgLevelError, "CRingBuffer::Init: negative capacity %d refused\r\n", capacity);
        return 0;
    }
    if (capacity == 0) return 1;
    m_bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(capacity)));
    if (m_bytes == nullptr) {
        DbgOutputA(kDbgLevelError, "CRingBuffer::Init: allocating %d bytes failed\r\n", capacity);
        return 0;
    }
    m_capacity = capacity;
    return 1;
}

void CRingBuffer::Free() {
    std::free(m_bytes);
    m_bytes = nullptr;
    m_capacity = 0;
    m_used = 0;
    m_readPos = 0;
}

void CRingBuffer::Reset() {
    m_used = 0;
    m_readPos = 0;
}

int CRingBuffer::Add(const void* bytes, int count) {
    if (bytes == nullptr || count <= 0) return 0;
    if (count > m_capacity) return 1;
    if (count > m_capacity - m_used) return 2;
    const auto* source = static_cast<const uint8_t*>(bytes);
    // m_readPos + m_used < 2 * capacity, so one subtraction wraps it.
    int writePos = m_readPos + m_used;
    if (writePos >= m_capacity) writePos -= m_capacity;
    const int firstPart = count < m_capacity - writePos ? count : m_capacity - writePos;
    std::memcpy(m_bytes + writePos, source, static_cast<size_t>(firstPart));
    if (count > firstPart) {
        std::memcpy(m_bytes, source + firstPart, static_cast<size_t>(count - firstPart));
    }
    m_used += count;
    return 0;
}

int CRingBuffer::Read(void* destination, int count) {
    if (destination == nullptr || count <= 0 || m_used == 0) return 0;
    const int n = count < m_used ? count : m_used;
    auto* target = static_cast<uint8_t*>(destination);
    const int firstPart = n < m_capacity - m_readPos ? n : m_capacity - m_readPos;
    std::memcpy(target, m_bytes + m_readPos, static_cast<size_t>(firstPart));
    if (n > firstPart) std::memcpy(target + firstPart, m_bytes, static_cast<size_t>(n - firstPart));
    m_readPos += n;
    if (m_readPos >= m_capacity) m_readPos -= m_capacity;
    m_used -= n;
    return n;
}

int CRingBuffer::Read(CBaseBuffer* buffer) {
    if (buffer == nullptr || m_used == 0) return 0;
    buffer->SetBufferSize(static_cast<uint32_t>(m_used));
    const uint32_t room = buffer->GetBufSize();
    const int n = room < static_cast<uint32_t>(m_used) ? static_cast<int>(room) : m_used;
    const int moved = Read(buffer->GetBuffer(), n);
    buffer->SetAvailSize(static_cast<uint32_t>(moved));
    return moved;
}
