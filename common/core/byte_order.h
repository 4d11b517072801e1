// Little-endian fields in byte buffers: the link frames, the socket packets, the file service's
// records, bitmap and archive headers. Fields are assembled byte by byte (never by casting
// structures or by the host's order), so a layout reads the same on every host and no read is
// misaligned; on a little-endian host the compiler makes each read or write one load or store.
//
// Pointer forms (ReadLe16, WriteLe32, ...) trust the caller for the length; the cursor forms
// (LeReader, LeWriter) keep the position and LeReader reports running out instead of reading on.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <utility>
#include "core/common_api.h"

// char, signed char, unsigned char (uint8_t) and std::byte: buffers of any of them hold fields.
template <typename T>
concept ByteLike = sizeof(T) == 1 && (std::is_integral_v<T> || std::is_same_v<T, std::byte>);

// A growable buffer of bytes (std::vector<uint8_t>, std::string, ...).
template <typename T>
concept ByteBuffer = ByteLike<typename T::value_type> && requires(T& buffer) {
    buffer.push_back(typename T::value_type{});
};

namespace byte_order_detail {

// Written out as one expression per byte (no loop): that is the form the compiler folds into a
// single load or store.
template <std::unsigned_integral T, ByteLike Byte, size_t... I>
constexpr T ReadLe(const Byte* in, std::index_sequence<I...>) {
    return static_cast<T>(((T{static_cast<uint8_t>(in[I])} << (8 * I)) | ...));
}

template <std::unsigned_integral T, ByteLike Byte>
constexpr T ReadLe(const Byte* in) {
    return ReadLe<T>(in, std::make_index_sequence<sizeof(T)>{});
}

template <std::unsigned_integral T, ByteLike Byte, size_t... I>
constexpr void WriteLe(Byte* out, T value, std::index_sequence<I...>) {
    ((out[I] = static_cast<Byte>(value >> (8 * I))), ...);
}

template <std::unsigned_integral T, ByteLike Byte>
constexpr void WriteLe(Byte* out, T value) {
    WriteLe(out, value, std::make_index_sequence<sizeof(T)>{});
}

template <std::unsigned_integral T, ByteBuffer Buffer, size_t... I>
constexpr void AppendLe(Buffer& out, T value, std::index_sequence<I...>) {
    using Byte = typename Buffer::value_type;
    (out.push_back(static_cast<Byte>(value >> (8 * I))), ...);
}

template <std::unsigned_integral T, ByteBuffer Buffer>
constexpr void AppendLe(Buffer& out, T value) {
    AppendLe(out, value, std::make_index_sequence<sizeof(T)>{});
}

}  // namespace byte_order_detail

template <ByteLike Byte>
constexpr uint16_t ReadLe16(const Byte* in) {
    return byte_order_detail::ReadLe<uint16_t>(in);
}
template <ByteLike Byte>
constexpr uint32_t ReadLe32(const Byte* in) {
    return byte_order_detail::ReadLe<uint32_t>(in);
}
template <ByteLike Byte>
constexpr uint64_t ReadLe64(const Byte* in) {
    return byte_order_detail::ReadLe<uint64_t>(in);
}

template <ByteLike Byte>
constexpr void WriteLe16(Byte* out, uint16_t value) {
    byte_order_detail::WriteLe(out, value);
}
template <ByteLike Byte>
constexpr void WriteLe32(Byte* out, uint32_t value) {
    byte_order_detail::WriteLe(out, value);
}
template <ByteLike Byte>
constexpr void WriteLe64(Byte* out, uint64_t value) {
    byte_order_detail::WriteLe(out, value);
}

template <ByteBuffer Buffer>
constexpr void AppendLe16(Buffer& out, uint16_t value) {
    byte_order_detail::AppendLe(out, value);
}
template <ByteBuffer Buffer>
constexpr void AppendLe32(Buffer& out, uint32_t value) {
    byte_order_detail::AppendLe(out, value);
}
template <ByteBuffer Buffer>
constexpr void AppendLe64(Buffer& out, uint64_t value) {
    byte_order_detail::AppendLe(out, value);
}

// Reads fields one after another from a span. A read that needs more bytes than remain returns
// false, leaves its output and the position untouched and marks the reader as run out, so a
// parser can read a whole record and check once at the end.
class ORBO_COMMON_API LeReader {
public:
    constexpr explicit LeReader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    constexpr bool ReadU8(uint8_t& value) { return Read(value); }
    constexpr bool ReadU16(uint16_t& value) { return Read(value); }
    constexpr bool ReadU32(uint32_t& value) { return Read(value); }
    constexpr bool ReadU64(uint64_t& value) { return Read(value); }
    // The next count bytes as a view into the reader's span.
    constexpr bool ReadBytes(size_t count, std::span<const uint8_t>& bytes) {
        if (!Take(count)) return false;
        bytes = m_bytes.subspan(m_position - count, count);
        return true;
    }
    constexpr bool Skip(size_t count) { return Take(count); }

    constexpr size_t Position() const { return m_position; }
    constexpr size_t Remaining() const { return m_bytes.size() - m_position; }
    // True once any read or skip asked for more than remained.
    constexpr bool RanOut() const { return m_ranOut; }

private:
    template <std::unsigned_integral T>
    constexpr bool Read(T& value) {
        if (!Take(sizeof(T))) return false;
        value = byte_order_detail::ReadLe<T>(m_bytes.data() + m_position - sizeof(T));
        return true;
    }
    constexpr bool Take(size_t count) {
        if (count > Remaining()) {
            m_ranOut = true;
            return false;
        }
        m_position += count;
        return true;
    }

    std::span<const uint8_t> m_bytes;
    size_t m_position = 0;
    bool m_ranOut = false;
};

// Appends fields one after another to a buffer it does not own.
template <ByteBuffer Buffer>
class LeWriter {
public:
    constexpr explicit LeWriter(Buffer& out) : m_out(out) {}

    constexpr LeWriter& U8(uint8_t value) {
        m_out.push_back(static_cast<typename Buffer::value_type>(value));
        return *this;
    }
    constexpr LeWriter& U16(uint16_t value) { return Append(value); }
    constexpr LeWriter& U32(uint32_t value) { return Append(value); }
    constexpr LeWriter& U64(uint64_t value) { return Append(value); }
    constexpr LeWriter& Raw(std::span<const uint8_t> bytes) {
        for (uint8_t byte : bytes) U8(byte);
        return *this;
    }

private:
    template <std::unsigned_integral T>
    constexpr LeWriter& Append(T value) {
        byte_order_detail::AppendLe(m_out, value);
        return *this;
    }

    Buffer& m_out;
};
