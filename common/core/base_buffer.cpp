#include "base_buffer.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "byte_order.h"
#include "dbg_output.h"
#include "ptr_ctrl.h"
#include "size_limits.h"

CBaseBuffer::CBaseBuffer() = default;

CBaseBuffer::CBaseBuffer(const CBaseBuffer* other, int bind) {
    if (other == nullptr) return;
    if (bind != 0) {
        BindBuffer(other);
    } else {
        SetBuffer(other);
    }
}

CBaseBuffer::~CBaseBuffer() {
    Delete();
}

CBaseBuffer::CBaseBuffer(CBaseBuffer&& other) noexcept
    : m_bytes(std::exchange(other.m_bytes, nullptr)),
      m_bufSize(std::exchange(other.m_bufSize, 0)),
      m_availSize(std::exchange(other.m_availSize, 0)),
      m_bound(std::exchange(other.m_bound, 0)) {}

CBaseBuffer& CBaseBuffer::operator=(CBaseBuffer&& other) noexcept {
    if (this != &other) {
        Delete();
        m_bytes = std::exchange(other.m_bytes, nullptr);
        m_bufSize = std::exchange(other.m_bufSize, 0);
        m_availSize = std::exchange(other.m_availSize, 0);
        m_bound = std::exchange(other.m_bound, 0);
    }
    return *this;
}

void CBaseBuffer::Delete() {
    if (m_bound == 0) std::free(m_bytes);
    m_bytes = nullptr;
    m_bufSize = 0;
    m_availSize = 0;
    m_bound = 0;
}

bool CBaseBuffer::IsInsideBlock(const void* bytes) const {
    if (m_bytes == nullptr || bytes == nullptr) return false;
    auto address = reinterpret_cast<uintptr_t>(bytes);
    auto start = reinterpret_cast<uintptr_t>(m_bytes);
    return address >= start && address < start + m_bufSize;
}

uint8_t* CBaseBuffer::NewBlockWithAvail(uint32_t newSize, const char* operation) const {
    auto* block = static_cast<uint8_t*>(std::malloc(newSize == 0 ? 1 : newSize));
    if (block == nullptr) {
        DbgOutputA(kDbgLevelError,
                   "CBaseBuffer::%s: allocating %u bytes failed, buffer unchanged\r\n", operation,
                   newSize);
        return nullptr;
    }
    if (m_availSize > 0) std::memcpy(block, m_bytes, m_availSize);
    return block;
}

void CBaseBuffer::AdoptBlock(uint8_t* block, uint32_t size) {
    if (m_bound == 0) std::free(m_bytes);
    m_bytes = block;
    m_bufSize = size;
    m_bound = 0;
}

int CBaseBuffer::SetBufferSize(uint32_t size) {
    if (m_bufSize >= size) return 1;
    uint8_t* block = NewBlockWithAvail(size, "SetBufferSize");
    if (block == nullptr) return 0;
    AdoptBlock(block, size);
    return 1;
}

int CBaseBuffer::BindBuffer(const void* bytes, uint32_t size) {
    if (bytes != nullptr && bytes == m_bytes && m_bound != 0) {
        // Already bound here: only the sizes change.
        m_bufSize = size;
        m_availSize = size;
        return 1;
    }
    if (m_bound == 0 && IsInsideBlock(bytes)) {
        DbgOutputA(kDbgLevelError,
                   "CBaseBuffer::BindBuffer: the memory lies inside the buffer's own block, which "
                   "binding would free; refused\r\n");
        return 0;
    }
    Delete();
    m_bytes = static_cast<uint8_t*>(const_cast<void*>(bytes));
    m_bufSize = bytes == nullptr ? 0 : size;
    m_availSize = m_bufSize;
    m_bound = 1;
    return 1;
}

int CBaseBuffer::BindBuffer(const CBaseBuffer* other) {
    if (other == nullptr || other == this) return 1;
    return BindBuffer(other->m_bytes, other->m_availSize);
}

int CBaseBuffer::SetBuffer(const void* bytes, uint32_t size) {
    if (bytes == nullptr) return 1;
    if (m_bufSize < size) {
        // The source may be the old block itself: copy before it is freed.
        auto* block = static_cast<uint8_t*>(std::malloc(size));
        if (block == nullptr) {
            DbgOutputA(kDbgLevelError,
                       "CBaseBuffer::SetBuffer: allocating %u bytes failed, buffer unchanged\r\n",
                       size);
            return 0;
        }
        std::memcpy(block, bytes, size);
        AdoptBlock(block, size);
    } else if (bytes != m_bytes && size > 0) {
        std::memmove(m_bytes, bytes, size);
    }
    m_availSize = size;
    return 1;
}

int CBaseBuffer::SetBuffer(const CBaseBuffer* other) {
    if (other == nullptr) return 1;
    return SetBuffer(other->m_bytes, other->m_availSize);
}

int CBaseBuffer::AppendBuffer(const void* bytes, uint32_t size) {
    if (bytes == nullptr || size == 0) return 1;
    const uint64_t needed = static_cast<uint64_t>(m_availSize) + size;
    if (needed > kMaxBufferBytes) {
        DbgOutputA(kDbgLevelError,
                   "CBaseBuffer::AppendBuffer: %u available + %u new bytes exceed the 32-bit size "
                   "limit, refused\r\n",
                   m_availSize, size);
        return 0;
    }
    if (needed <= m_bufSize) {
        uint8_t* freeStart = m_bytes + m_availSize;
        if (bytes != freeStart) std::memmove(freeStart, bytes, size);
    } else {
        uint8_t* block = NewBlockWithAvail(static_cast<uint32_t>(needed), "AppendBuffer");
        if (block == nullptr) return 0;
        // The source may lie inside the old block, which is still allocated here.
        std::memcpy(block + m_availSize, bytes, size);
        AdoptBlock(block, static_cast<uint32_t>(needed));
    }
    m_availSize = static_cast<uint32_t>(needed);
    return 1;
}

int CBaseBuffer::AppendBuffer(const CBaseBuffer* other) {
    if (other == nullptr) return 1;
    return AppendBuffer(other->m_bytes, other->m_availSize);
}

int CBaseBuffer::AppendByte(uint8_t value) {
    return AppendBuffer(&value, 1);
}

int CBaseBuffer::AppendUint16(uint16_t value) {
    uint8_t bytes[2];
    WriteLe16(bytes, value);
    return AppendBuffer(bytes, sizeof(bytes));
}

int CBaseBuffer::AppendUint32(uint32_t value) {
    uint8_t bytes[4];
    WriteLe32(bytes, value);
    return AppendBuffer(bytes, sizeof(bytes));
}

void CBaseBuffer::MemSetBuffer(uint8_t value) {
    if (m_bytes != nullptr && m_bufSize > 0) std::memset(m_bytes, value, m_bufSize);
}

void CBaseBuffer::MemSetBuffer(uint8_t value, uint32_t offset, uint32_t count) {
    if (m_bytes == nullptr || offset >= m_bufSize) return;
    const uint32_t room = m_bufSize - offset;
    std::memset(m_bytes + offset, value, count < room ? count : room);
}

uint32_t CBaseBuffer::SetAvailSize(uint32_t size) {
    m_availSize = size < m_bufSize ? size : m_bufSize;
    return m_availSize;
}

uint64_t GetBufferListLength(CPtrCtrl* list) {
    if (list == nullptr) return 0;
    uint64_t total = 0;
    const int count = list->GetCount();
    for (int i = 0; i < count; ++i) {
        const auto* buffer = static_cast<const CBaseBuffer*>(list->GetAt(i));
        if (buffer != nullptr) total += buffer->GetAvailSize();
    }
    return total;
}
