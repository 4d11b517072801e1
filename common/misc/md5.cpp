#include "md5.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "core/byte_order.h"
#include "core/dbg_output.h"
#include "core/path_text.h"
#include "core/unique_fd.h"

namespace {

constexpr uint32_t kInitialState[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};

inline uint32_t RotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

}  // namespace

// The four round functions in forms with short dependency chains.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) (((x) & (z)) + ((y) & ~(z)))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, t, s)     \
    do {                                     \
        (a) += f((b), (c), (d)) + (x) + (t); \
        (a) = RotateLeft((a), (s)) + (b);    \
    } while (0)

MD5::MD5() {
    reset();
}

MD5::MD5(const void* data, uint64_t length) {
    reset();
    update(data, length);
}

void MD5::reset() {
    std::memcpy(m_state, kInitialState, sizeof(m_state));
    m_count[0] = 0;
    m_count[1] = 0;
    m_finalized = 0;
}

void MD5::update(const void* data, uint64_t length) {
    m_finalized = 0;
    if (data == nullptr || length == 0) return;
    const auto* input = static_cast<const uint8_t*>(data);
    uint64_t bits = (static_cast<uint64_t>(m_count[1]) << 32) | m_count[0];
    const size_t buffered = static_cast<size_t>((bits >> 3) & 63);
    bits += length << 3;  // the count is kept modulo 2^64 bits
    m_count[0] = static_cast<uint32_t>(bits);
    m_count[1] = static_cast<uint32_t>(bits >> 32);

    if (buffered > 0) {
        const size_t room = 64 - buffered;
        if (length < room) {
            std::memcpy(m_buffer + buffered, input, static_cast<size_t>(length));
            return;
        }
        std::memcpy(m_buffer + buffered, input, room);
        Transform(m_buffer, 1);
        input += room;
        length -= room;
    }
    const uint64_t blocks = length / 64;
    if (blocks > 0) Transform(input, blocks);
    const size_t rest = static_cast<size_t>(length % 64);
    if (rest > 0) std::memcpy(m_buffer, input + blocks * 64, rest);
}

const uint8_t* MD5::digest() {
    if (m_finalized) return m_digest;
    // Finish on a copy so that the running hash goes on unchanged.
    MD5 finish(*this);
    const uint64_t bits = (static_cast<uint64_t>(m_count[1]) << 32) | m_count[0];
    const size_t buffered = static_cast<size_t>((bits >> 3) & 63);
    uint8_t padding[72] = {0x80};
    const size_t padLength = buffered < 56 ? 56 - buffered : 120 - buffered;
    for (int i = 0; i < 8; ++i) padding[padLength + i] = static_cast<uint8_t>(bits >> (8 * i));
    finish.update(padding, padLength + 8);
    for (int i = 0; i < 4; ++i) WriteLe32(m_digest + 4 * i, finish.m_state[i]);
    m_finalized = 1;
    return m_digest;
}

void MD5::Transform(const uint8_t* blocks, uint64_t count) {
    uint32_t a0 = m_state[0];
    uint32_t b0 = m_state[1];
    uint32_t c0 = m_state[2];
    uint32_t d0 = m_state[3];
    for (; count > 0; --count, blocks += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = ReadLe32(blocks + 4 * i);
        uint32_t a = a0, b = b0, c = c0, d = d0;

        MD5_STEP(MD5_F, a, b, c, d, x[0], 0xD76AA478, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[1], 0xE8C7B756, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[2], 0x242070DB, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[3], 0xC1BDCEEE, 22);
        MD5_STEP(MD5_F, a, b, c, d, x[4], 0xF57C0FAF, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[5], 0x4787C62A, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[6], 0xA8304613, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[7], 0xFD469501, 22);
        MD5_STEP(MD5_F, a, b, c, d, x[8], 0x698098D8, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[9], 0x8B44F7AF, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[10], 0xFFFF5BB1, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[11], 0x895CD7BE, 22);
        MD5_STEP(MD5_F, a, b, c, d, x[12], 0x6B901122, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[13], 0xFD987193, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[14], 0xA679438E, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[15], 0x49B40821, 22);

        MD5_STEP(MD5_G, a, b, c, d, x[1], 0xF61E2562, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[6], 0xC040B340, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[11], 0x265E5A51, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[0], 0xE9B6C7AA, 20);
        MD5_STEP(MD5_G, a, b, c, d, x[5], 0xD62F105D, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[10], 0x02441453, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[15], 0xD8A1E681, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[4], 0xE7D3FBC8, 20);
        MD5_STEP(MD5_G, a, b, c, d, x[9], 0x21E1CDE6, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[14], 0xC33707D6, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[3], 0xF4D50D87, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[8], 0x455A14ED, 20);
        MD5_STEP(MD5_G, a, b, c, d, x[13], 0xA9E3E905, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[2], 0xFCEFA3F8, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[7], 0x676F02D9, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[12], 0x8D2A4C8A, 20);

        MD5_STEP(MD5_H, a, b, c, d, x[5], 0xFFFA3942, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[8], 0x8771F681, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[11], 0x6D9D6122, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[14], 0xFDE5380C, 23);
        MD5_STEP(MD5_H, a, b, c, d, x[1], 0xA4BEEA44, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[4], 0x4BDECFA9, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[7], 0xF6BB4B60, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[10], 0xBEBFBC70, 23);
        MD5_STEP(MD5_H, a, b, c, d, x[13], 0x289B7EC6, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[0], 0xEAA127FA, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[3], 0xD4EF3085, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[6], 0x04881D05, 23);
        MD5_STEP(MD5_H, a, b, c, d, x[9], 0xD9D4D039, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[12], 0xE6DB99E5, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[15], 0x1FA27CF8, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[2], 0xC4AC5665, 23);

        MD5_STEP(MD5_I, a, b, c, d, x[0], 0xF4292244, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[7], 0x432AFF97, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[14], 0xAB9423A7, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[5], 0xFC93A039, 21);
        MD5_STEP(MD5_I, a, b, c, d, x[12], 0x655B59C3, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[3], 0x8F0CCC92, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[10], 0xFFEFF47D, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[1], 0x85845DD1, 21);
        MD5_STEP(MD5_I, a, b, c, d, x[8], 0x6FA87E4F, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[15], 0xFE2CE6E0, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[6], 0xA3014314, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[13], 0x4E0811A1, 21);
        MD5_STEP(MD5_I, a, b, c, d, x[4], 0xF7537E82, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[11], 0xBD3AF235, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[2], 0x2AD7D2BB, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[9], 0xEB86D391, 21);

        a0 += a;
        b0 += b;
        c0 += c;
        d0 += d;
    }
    m_state[0] = a0;
    m_state[1] = b0;
    m_state[2] = c0;
    m_state[3] = d0;
}

#undef MD5_STEP
#undef MD5_I
#undef MD5_H
#undef MD5_G
#undef MD5_F

int DigestReadMD5(const MD5ReadFunction& read, uint64_t size, uint8_t digest[MD5::kDigestBytes]) {
    if (!read || digest == nullptr) return 0;
    const size_t blockBytes =
        static_cast<size_t>(size < kMD5FileBlockBytes ? size : kMD5FileBlockBytes);
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[blockBytes > 0 ? blockBytes : 1]);
    if (!block) {
        DbgOutputA(kDbgLevelError, "MD5: no memory for a read block of %zu bytes\r\n", blockBytes);
        return 0;
    }
    MD5 md5;
    uint64_t done = 0;
    while (done < size) {
        const size_t want =
            static_cast<size_t>(size - done < blockBytes ? size - done : blockBytes);
        size_t filled = 0;
        while (filled < want) {
            const int64_t got = read(block.get() + filled, want - filled);
            if (got < 0) return 0;
            if (got == 0) break;
            filled += static_cast<size_t>(got);
        }
        md5.update(block.get(), filled);
        done += filled;
        if (filled < want) return 0;  // the data ended before its announced size
    }
    std::memcpy(digest, md5.digest(), MD5::kDigestBytes);
    return 1;
}

int GetFileMD5(const WCHAR* path, uint8_t digest[MD5::kDigestBytes]) {
    if (digest == nullptr) return 0;
    std::memset(digest, 0, MD5::kDigestBytes);
    std::string systemPath;
    if (!ToSystemPath(path, systemPath, "GetFileMD5")) return 0;

    UniqueFd fd(open(systemPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        DbgOutputA(kDbgLevelWarning, "GetFileMD5: open %s failed: %s\r\n", systemPath.c_str(),
                   std::strerror(errno));
        return 0;
    }
    const off_t size = lseek(fd.Get(), 0, SEEK_END);
    if (size < 0 || lseek(fd.Get(), 0, SEEK_SET) != 0) {
        DbgOutputA(kDbgLevelWarning, "GetFileMD5: cannot take the size of %s: %s\r\n",
                   systemPath.c_str(), std::strerror(errno));
        return 0;
    }
    if (size > 0) {
        int readError = 0;
        const auto readFile = [&](uint8_t* buffer, size_t capacity) -> int64_t {
            for (;;) {
                const ssize_t got = ::read(fd.Get(), buffer, capacity);
                if (got >= 0) return got;
                if (errno != EINTR) {
                    readError = errno;
                    return -1;
                }
            }
        };
        uint8_t result[MD5::kDigestBytes];
        if (!DigestReadMD5(readFile, static_cast<uint64_t>(size), result)) {
            if (readError != 0) {
                DbgOutputA(kDbgLevelError, "GetFileMD5: reading %s failed: %s\r\n",
                           systemPath.c_str(), std::strerror(readError));
            } else {
                DbgOutputA(kDbgLevelError,
                           "GetFileMD5: %s ended before its size of %lld bytes (changed while "
                           "being read?)\r\n",
                           systemPath.c_str(), static_cast<long long>(size));
            }
            return 0;
        }
        std::memcpy(digest, result, MD5::kDigestBytes);
    }
    if (!fd.Close()) {
        DbgOutputA(kDbgLevelError, "GetFileMD5: closing %s failed: %s\r\n", systemPath.c_str(),
                   std::strerror(errno));
        std::memset(digest, 0, MD5::kDigestBytes);
        return 0;
    }
    return 1;
}
