// ctest-labels: unit
#include "core/byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Usable at compile time: frame constants can be checked where they are declared.
constexpr std::array<uint8_t, 8> kCounting = {1, 2, 3, 4, 5, 6, 7, 8};
static_assert(ReadLe16(kCounting.data()) == 0x0201);
static_assert(ReadLe32(kCounting.data()) == 0x04030201u);
static_assert(ReadLe64(kCounting.data()) == 0x0807060504030201ull);

struct FieldCase {
    uint64_t value;
    Bytes bytes;  // the value's little-endian bytes, as wide as the field
};

// Each width: zero, one, each byte position set alone, the sign bit and all ones, so a byte in
// the wrong place or a sign extension shows.
const FieldCase kU16Cases[] = {
    {0x0000, {0x00, 0x00}}, {0x0001, {0x01, 0x00}}, {0x00FF, {0xFF, 0x00}}, {0x0100, {0x00, 0x01}},
    {0x1234, {0x34, 0x12}}, {0x8000, {0x00, 0x80}}, {0xFFFF, {0xFF, 0xFF}},
};
const FieldCase kU32Cases[] = {
    {0x00000000u, {0x00, 0x00, 0x00, 0x00}}, {0x00000080u, {0x80, 0x00, 0x00, 0x00}},
    {0x00008000u, {0x00, 0x80, 0x00, 0x00}}, {0x00800000u, {0x00, 0x00, 0x80, 0x00}},
    {0x12345678u, {0x78, 0x56, 0x34, 0x12}}, {0x80000000u, {0x00, 0x00, 0x00, 0x80}},
    {0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF}},
};
const FieldCase kU64Cases[] = {
    {0x0000000000000000ull, {0, 0, 0, 0, 0, 0, 0, 0}},
    {0x00000000000000FFull, {0xFF, 0, 0, 0, 0, 0, 0, 0}},
    {0x0000000080000000ull, {0, 0, 0, 0x80, 0, 0, 0, 0}},
    {0x0000000100000000ull, {0, 0, 0, 0, 0x01, 0, 0, 0}},
    {0x0123456789ABCDEFull, {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
    {0x8000000000000000ull, {0, 0, 0, 0, 0, 0, 0, 0x80}},
    {0xFFFFFFFFFFFFFFFFull, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
};

// Reads, writes and appends one field of each case at an odd offset (so a misaligned access
// would show under the sanitizers), between guard bytes that must stay untouched.
template <typename T, typename Read, typename Write, typename Append>
void CheckWidth(const FieldCase (&cases)[7], Read read, Write write, Append append) {
    constexpr uint8_t kGuard = 0xA5;
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.value);
        ASSERT_EQ(c.bytes.size(), sizeof(T));
        Bytes framed(1, kGuard);
        framed.insert(framed.end(), c.bytes.begin(), c.bytes.end());
        framed.push_back(kGuard);
        EXPECT_EQ(read(framed.data() + 1), static_cast<T>(c.value));

        Bytes written(sizeof(T) + 2, kGuard);
        write(written.data() + 1, static_cast<T>(c.value));
        EXPECT_EQ(written, framed);

        Bytes appended(1, kGuard);
        append(appended, static_cast<T>(c.value));
        appended.push_back(kGuard);
        EXPECT_EQ(appended, framed);

        // The same field in a char buffer (archives and payloads held as text bytes).
        std::string text(1, char(kGuard));
        append(text, static_cast<T>(c.value));
        EXPECT_EQ(read(text.data() + 1), static_cast<T>(c.value));
    }
}

TEST(ByteOrder, FieldsReadWriteAndAppendLittleEndian) {
    CheckWidth<uint16_t>(
        kU16Cases, [](const auto* p) { return ReadLe16(p); },
        [](auto* p, uint16_t v) { WriteLe16(p, v); },
        [](auto& b, uint16_t v) { AppendLe16(b, v); });
    CheckWidth<uint32_t>(
        kU32Cases, [](const auto* p) { return ReadLe32(p); },
        [](auto* p, uint32_t v) { WriteLe32(p, v); },
        [](auto& b, uint32_t v) { AppendLe32(b, v); });
    CheckWidth<uint64_t>(
        kU64Cases, [](const auto* p) { return ReadLe64(p); },
        [](auto* p, uint64_t v) { WriteLe64(p, v); },
        [](auto& b, uint64_t v) { AppendLe64(b, v); });
}

TEST(ByteOrder, WriterThenReaderRoundTripsARecord) {
    Bytes record;
    LeWriter writer(record);
    const Bytes tail = {0xDE, 0xAD};
    writer.U8(0x7F).U16(0xBEEF).U32(0xFEEDC0DEu).U64(0x0102030405060708ull).Raw(tail);
    EXPECT_EQ(record, (Bytes{0x7F, 0xEF, 0xBE, 0xDE, 0xC0, 0xED, 0xFE, 0x08, 0x07, 0x06, 0x05, 0x04,
                             0x03, 0x02, 0x01, 0xDE, 0xAD}));

    LeReader reader(record);
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint64_t u64 = 0;
    std::span<const uint8_t> rest;
    ASSERT_TRUE(reader.ReadU8(u8));
    ASSERT_TRUE(reader.ReadU16(u16));
    ASSERT_TRUE(reader.ReadU32(u32));
    ASSERT_TRUE(reader.ReadU64(u64));
    EXPECT_EQ(reader.Position(), 15u);
    ASSERT_TRUE(reader.ReadBytes(2, rest));
    EXPECT_EQ(u8, 0x7F);
    EXPECT_EQ(u16, 0xBEEF);
    EXPECT_EQ(u32, 0xFEEDC0DEu);
    EXPECT_EQ(u64, 0x0102030405060708ull);
    EXPECT_EQ(Bytes(rest.begin(), rest.end()), tail);
    EXPECT_EQ(reader.Remaining(), 0u);
    EXPECT_FALSE(reader.RanOut());
}

// A field that would need one byte more than remains is not read: the output keeps its value,
// the position stays, the reader says it ran out, and a smaller field still fits afterwards.
TEST(ByteOrder, ReaderReportsRunningOutAndDoesNotReadPastTheEnd) {
    const Bytes three = {0x11, 0x22, 0x33};
    struct Case {
        const char* name;
        bool (*read)(LeReader&);
        bool fits;  // in three bytes
    };
    const Case cases[] = {
        {"u8",
         [](LeReader& r) {
             uint8_t v = 0x5A;
             return r.ReadU8(v) && v == 0x11;
         },
         true},
        {"u16",
         [](LeReader& r) {
             uint16_t v = 7;
             return r.ReadU16(v) && v == 0x2211;
         },
         true},
        {"u32",
         [](LeReader& r) {
             uint32_t v = 7;
             const bool read = r.ReadU32(v);
             return read || v != 7;  // true would mean a read past the end or a clobbered value
         },
         false},
        {"u64",
         [](LeReader& r) {
             uint64_t v = 7;
             return r.ReadU64(v) || v != 7;
         },
         false},
        {"skip 4", [](LeReader& r) { return r.Skip(4); }, false},
        {"bytes 3",
         [](LeReader& r) {
             std::span<const uint8_t> s;
             return r.ReadBytes(3, s) && s.size() == 3 && s[2] == 0x33;
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LeReader reader(three);
        EXPECT_EQ(c.read(reader), c.fits);
        EXPECT_EQ(reader.RanOut(), !c.fits);
        if (!c.fits) {
            EXPECT_EQ(reader.Position(), 0u);
            uint16_t small = 0;
            EXPECT_TRUE(reader.ReadU16(small));
            EXPECT_EQ(small, 0x2211);
            EXPECT_TRUE(reader.RanOut()) << "running out is remembered";
        }
    }

    LeReader empty(std::span<const uint8_t>{});
    uint8_t byte = 0;
    EXPECT_FALSE(empty.ReadU8(byte));
    EXPECT_TRUE(empty.RanOut());
    EXPECT_TRUE(LeReader(three).Skip(3));
}

}  // namespace
