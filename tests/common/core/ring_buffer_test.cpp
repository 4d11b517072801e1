#include "core/ring_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "core/base_buffer.h"

namespace {

std::vector<uint8_t> Bytes(int count, uint8_t first) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

TEST(RingBuffer, StartsWithoutStorage) {
    CRingBuffer ring;
    EXPECT_EQ(ring.GetBufferSize(), 0);
    EXPECT_EQ(ring.GetAvailSize(), 0);
    const uint8_t byte = 1;
    EXPECT_EQ(ring.Add(&byte, 1), 1);  // beyond a capacity of 0
}

TEST(RingBuffer, AddRefusesWhatDoesNotFitWhole) {
    struct Case {
        int count;
        int expected;
        int usedAfter;
    };
    // Capacity 8 holding 6 bytes.
    const Case cases[] = {{3, 2, 6}, {2, 0, 8}, {9, 1, 6}, {0, 0, 6}, {-4, 0, 6}, {8, 2, 6}};
    for (const Case& c : cases) {
        CRingBuffer ring;
        ASSERT_EQ(ring.Init(8), 1);
        const std::vector<uint8_t> six = Bytes(6, 1);
        ASSERT_EQ(ring.Add(six.data(), 6), 0);
        const std::vector<uint8_t> more = Bytes(c.count > 0 ? c.count : 1, 50);
        EXPECT_EQ(ring.Add(more.data(), c.count), c.expected) << c.count;
        EXPECT_EQ(ring.GetAvailSize(), c.usedAfter) << c.count;
    }
    CRingBuffer ring;
    ring.Init(8);
    EXPECT_EQ(ring.Add(nullptr, 3), 0);
    EXPECT_EQ(ring.GetAvailSize(), 0);
}

TEST(RingBuffer, ReadsInOrderAcrossTheWrap) {
    CRingBuffer ring;
    ring.Init(8);
    const std::vector<uint8_t> first = Bytes(6, 1);
    ASSERT_EQ(ring.Add(first.data(), 6), 0);
    uint8_t out[16] = {};
    ASSERT_EQ(ring.Read(out, 4), 4);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), Bytes(4, 1));
    const std::vector<uint8_t> second = Bytes(6, 20);  // wraps at the end of the storage
    ASSERT_EQ(ring.Add(second.data(), 6), 0);
    EXPECT_EQ(ring.GetAvailSize(), 8);
    ASSERT_EQ(ring.Read(out, 16), 8);
    const std::vector<uint8_t> expected = {5, 6, 20, 21, 22, 23, 24, 25};
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), expected);
    EXPECT_EQ(ring.GetAvailSize(), 0);
}

TEST(RingBuffer, ReadReturnsNoMoreThanWaits) {
    struct Case {
        int count;
        int expected;
    };
    const Case cases[] = {{5, 3}, {3, 3}, {2, 2}, {0, 0}, {-1, 0}};
    for (const Case& c : cases) {
        CRingBuffer ring;
        ring.Init(8);
        const std::vector<uint8_t> three = Bytes(3, 7);
        ring.Add(three.data(), 3);
        uint8_t out[8] = {};
        EXPECT_EQ(ring.Read(out, c.count), c.expected) << c.count;
        EXPECT_EQ(ring.GetAvailSize(), 3 - c.expected) << c.count;
    }
    CRingBuffer ring;
    ring.Init(4);
    uint8_t out[4];
    EXPECT_EQ(ring.Read(out, 4), 0);
    EXPECT_EQ(ring.Read(nullptr, 4), 0);
}

TEST(RingBuffer, ReadIntoABufferMovesEverythingWaiting) {
    CRingBuffer ring;
    ring.Init(8);
    const std::vector<uint8_t> five = Bytes(5, 1);
    ring.Add(five.data(), 5);
    uint8_t out[3];
    ring.Read(out, 3);
    const std::vector<uint8_t> six = Bytes(6, 30);
    ring.Add(six.data(), 6);  // 2 old + 6 new, wrapped

    CBaseBuffer buffer;
    EXPECT_EQ(ring.Read(&buffer), 8);
    EXPECT_EQ(buffer.GetBufSize(), 8u);
    EXPECT_EQ(buffer.GetAvailSize(), 8u);
    const std::vector<uint8_t> expected = {4, 5, 30, 31, 32, 33, 34, 35};
    EXPECT_EQ(std::vector<uint8_t>(buffer.GetBuffer(), buffer.GetBuffer() + 8), expected);
    EXPECT_EQ(ring.GetAvailSize(), 0);
    EXPECT_EQ(ring.Read(&buffer), 0);
    EXPECT_EQ(ring.Read(static_cast<CBaseBuffer*>(nullptr)), 0);

    // A larger buffer keeps its size and takes the bytes at its start.
    CBaseBuffer large;
    large.SetBufferSize(32);
    large.SetAvailSize(20);
    ring.Add(six.data(), 2);
    EXPECT_EQ(ring.Read(&large), 2);
    EXPECT_EQ(large.GetBufSize(), 32u);
    EXPECT_EQ(large.GetAvailSize(), 2u);
    EXPECT_EQ(large.GetBuffer()[0], 30);
    EXPECT_EQ(large.GetBuffer()[1], 31);
}

TEST(RingBuffer, InitResetAndFree) {
    CRingBuffer ring;
    ASSERT_EQ(ring.Init(4), 1);
    const std::vector<uint8_t> three = Bytes(3, 1);
    ring.Add(three.data(), 3);
    ring.Reset();
    EXPECT_EQ(ring.GetAvailSize(), 0);
    EXPECT_EQ(ring.GetBufferSize(), 4);
    EXPECT_EQ(ring.Add(three.data(), 3), 0);
    ASSERT_EQ(ring.Init(16), 1);
    EXPECT_EQ(ring.GetBufferSize(), 16);
    EXPECT_EQ(ring.GetAvailSize(), 0);
    ring.Free();
    EXPECT_EQ(ring.GetBufferSize(), 0);
    EXPECT_EQ(ring.Add(three.data(), 3), 1);
    EXPECT_EQ(ring.Init(-1), 0);
    EXPECT_EQ(ring.GetBufferSize(), 0);
}

}  // namespace
