// MD5 digests (RFC 1321): the MD5 class keeps a running digest that can be read at any point and
// then continued, and GetFileMD5 digests a whole file.
//
// An MD5 object is not guarded: one thread at a time. GetFileMD5 may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>

#include "core/common_api.h"
#include "core/platform_types.h"

class ORBO_COMMON_API MD5 {
public:
    static constexpr int kDigestBytes = 16;

    // Initial state, nothing digested.
    MD5();
    // As MD5() followed by update(data, length).
    MD5(const void* data, uint64_t length);

    // Adds `length` bytes (nothing for a null text). Complete 64-byte blocks are transformed at
    // once, the rest is kept for the next update or digest.
    void update(const void* data, uint64_t length);
    // The 16 digest bytes of everything given since construction or the last reset. Reading the
    // digest does not end the running hash: more data may follow, and a later digest covers it
    // all. Valid until the next call on this object; repeated calls without an update in between
    // return the same bytes without recomputing.
    const uint8_t* digest();
    // Back to the initial state.
    void reset();

private:
    void Transform(const uint8_t* blocks, uint64_t count);

    uint32_t m_state[4];
    uint32_t m_count[2];  // bits digested, low word first
    uint8_t m_buffer[64];
    uint8_t m_digest[kDigestBytes];
    uint8_t m_finalized;
};

// Bytes per read of GetFileMD5.
constexpr uint32_t kMD5FileBlockBytes = 0x100000;

// Digests a whole file. `digest` is first set to 16 zero bytes; it receives the digest only when
// every byte of the file (its size taken when it was opened) could be read, so an empty, missing
// or unreadable file leaves 16 zero bytes, and a file whose reading fails midway never yields
// the digest of the bytes read so far. Returns 1 when the file was opened and read to its end (an
// empty file included), 0 otherwise (with a log line naming the path and the cause).
ORBO_COMMON_API int GetFileMD5(const WCHAR* path, uint8_t digest[MD5::kDigestBytes]);

// The reading core of GetFileMD5, usable with any source: `read` fills up to `capacity` bytes
// and returns the count, 0 at the end of the data or -1 on an error. Reads `size` bytes in blocks
// of kMD5FileBlockBytes (short reads are continued). Returns 1 and stores the digest when
// exactly `size` bytes arrived; 0 when the data ended early or a read failed, leaving `digest`
// untouched.
using MD5ReadFunction = std::function<int64_t(uint8_t* buffer, size_t capacity)>;
ORBO_COMMON_API int DigestReadMD5(const MD5ReadFunction& read, uint64_t size,
                                  uint8_t digest[MD5::kDigestBytes]);
