// CBaseBuffer: a block of bytes with a buffer size and a count of valid ("available") bytes at its
// start. The block is either owned (freed by the buffer) or bound to memory that belongs to
// someone else (never freed, but the buffer may write into it).
//
// Growth is exact: whenever an operation needs a larger block it allocates exactly the size
// needed, copies the available bytes, frees the old block if it was owned and owns the new one
// from then on (a bound buffer that grows becomes an owned copy; the bound memory is left alone).
// Callers that append often reserve room first with SetBufferSize.
//
// Sizes are 32-bit: an operation whose result would not fit in 32 bits, or whose allocation
// fails, is refused with an error line and leaves the buffer unchanged; those operations return
// 1 when done and 0 when refused.
//
// Not guarded: one thread at a time, or under the caller's lock.
#pragma once

#include <cstdint>
#include "core/common_api.h"

class CPtrCtrl;

class ORBO_COMMON_API CBaseBuffer {
public:
    // Empty: no block, sizes 0, owned.
    CBaseBuffer();
    // bind nonzero: bound to other's block, buffer size and available size both equal to other's
    // available size. bind 0: an owned copy of other's available bytes. A null other: empty.
    CBaseBuffer(const CBaseBuffer* other, int bind);
    virtual ~CBaseBuffer();

    CBaseBuffer(const CBaseBuffer&) = delete;
    CBaseBuffer& operator=(const CBaseBuffer&) = delete;
    // Moving hands the block (owned or bound) over; the source is left empty.
    CBaseBuffer(CBaseBuffer&& other) noexcept;
    CBaseBuffer& operator=(CBaseBuffer&& other) noexcept;

    // Frees an owned block (forgets a bound one); sizes 0, owned.
    void Delete();

    // Grows only: when the buffer size is below size, allocates exactly size bytes, keeps the
    // available bytes and owns the block. Otherwise nothing.
    int SetBufferSize(uint32_t size);

    // Frees an owned block, then refers to the given memory: buffer size and available size both
    // become size, bound. A null pointer binds an empty block. Memory inside the buffer's own
    // owned block cannot be bound (it would be freed first): refused.
    int BindBuffer(const void* bytes, uint32_t size);
    // As above with other's block and its available size. Binding to itself changes nothing.
    int BindBuffer(const CBaseBuffer* other);

    // Makes the buffer hold exactly these bytes (available size = size). A null pointer does
    // nothing. The source may lie inside the buffer's own block (moving a tail to the start).
    int SetBuffer(const void* bytes, uint32_t size);
    int SetBuffer(const CBaseBuffer* other);

    // Appends bytes behind the available ones, growing to exactly available + size when they do
    // not fit. A null pointer or a size of 0 does nothing. When the source is exactly the first
    // free byte the bytes are only committed (a caller may write into the free space first). The
    // source may lie inside the buffer's own block.
    int AppendBuffer(const void* bytes, uint32_t size);
    int AppendBuffer(const CBaseBuffer* other);
    // Multi-byte values are appended least significant byte first.
    int AppendByte(uint8_t value);
    int AppendUint16(uint16_t value);
    int AppendUint32(uint32_t value);

    // Fills the whole block (buffer size bytes).
    void MemSetBuffer(uint8_t value);
    // Fills count bytes from offset, clipped at the end of the block; nothing when offset is not
    // below the buffer size.
    void MemSetBuffer(uint8_t value, uint32_t offset, uint32_t count);

    uint8_t* GetBuffer() const { return m_bytes; }
    uint32_t GetAvailSize() const { return m_availSize; }
    uint32_t GetBufSize() const { return m_bufSize; }
    // Sets the available size, clipped to the buffer size; returns the value stored.
    uint32_t SetAvailSize(uint32_t size);
    // Buffer size - available size.
    uint32_t GetLeftSize() const { return m_bufSize > m_availSize ? m_bufSize - m_availSize : 0; }
    // 1 when bound to foreign memory, 0 when owned.
    int IsBindBuffer() const { return m_bound; }

private:
    // A fresh block of exactly newSize bytes holding a copy of the available bytes; null (with an
    // error line naming the operation) when the allocation failed. Nothing changes yet: the old
    // block stays readable until AdoptBlock.
    uint8_t* NewBlockWithAvail(uint32_t newSize, const char* operation) const;
    // Frees the old block if owned and owns the given one from now on.
    void AdoptBlock(uint8_t* block, uint32_t size);
    bool IsInsideBlock(const void* bytes) const;

    uint8_t* m_bytes = nullptr;
    uint32_t m_bufSize = 0;
    uint32_t m_availSize = 0;
    int m_bound = 0;
};

// Sum of the available sizes of the CBaseBuffer objects stored in the container (null entries
// skipped); 0 for a null or empty container.
ORBO_COMMON_API uint64_t GetBufferListLength(CPtrCtrl* list);
