#include "core/base_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <utility>
#include <vector>

#include "common/core/container_test_util.h"
#include "core/ptr_array_ctrl.h"
#include "core/ptr_list_ctrl.h"

namespace {

std::vector<uint8_t> Avail(const CBaseBuffer& buffer) {
    if (buffer.GetBuffer() == nullptr) return {};
    return std::vector<uint8_t>(buffer.GetBuffer(), buffer.GetBuffer() + buffer.GetAvailSize());
}

std::vector<uint8_t> Sequence(int count, uint8_t first) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

TEST(BaseBuffer, StartsEmptyAndOwned) {
    CBaseBuffer buffer;
    EXPECT_EQ(buffer.GetBuffer(), nullptr);
    EXPECT_EQ(buffer.GetBufSize(), 0u);
    EXPECT_EQ(buffer.GetAvailSize(), 0u);
    EXPECT_EQ(buffer.GetLeftSize(), 0u);
    EXPECT_EQ(buffer.IsBindBuffer(), 0);
}

TEST(BaseBuffer, AppendByteGrowsExactly) {
    CBaseBuffer buffer;
    for (uint32_t i = 1; i <= 3; ++i) {
        buffer.AppendByte(static_cast<uint8_t>(0xA0 + i));
        EXPECT_EQ(buffer.GetBufSize(), i);
        EXPECT_EQ(buffer.GetAvailSize(), i);
    }
    EXPECT_EQ(Avail(buffer), (std::vector<uint8_t>{0xA1, 0xA2, 0xA3}));
}

TEST(BaseBuffer, MultiByteValuesAreAppendedLeastSignificantFirst) {
    CBaseBuffer buffer;
    buffer.AppendUint16(0x1234);
    buffer.AppendUint32(0x11223344);
    buffer.AppendUint16(0xFF00);
    EXPECT_EQ(Avail(buffer),
              (std::vector<uint8_t>{0x34, 0x12, 0x44, 0x33, 0x22, 0x11, 0x00, 0xFF}));
    EXPECT_EQ(buffer.GetBufSize(), 8u);
}

TEST(BaseBuffer, SetBufferSizeOnlyGrowsAndKeepsTheBytes) {
    CBaseBuffer buffer;
    const std::vector<uint8_t> bytes = Sequence(10, 1);
    buffer.SetBuffer(bytes.data(), 10);
    const uint8_t* before = buffer.GetBuffer();
    buffer.SetBufferSize(4);
    EXPECT_EQ(buffer.GetBuffer(), before);
    EXPECT_EQ(buffer.GetBufSize(), 10u);
    buffer.SetBufferSize(64);
    EXPECT_EQ(buffer.GetBufSize(), 64u);
    EXPECT_EQ(buffer.GetAvailSize(), 10u);
    EXPECT_EQ(buffer.GetLeftSize(), 54u);
    EXPECT_EQ(Avail(buffer), bytes);
    // Appends within the reserved room keep the block.
    const uint8_t* reserved = buffer.GetBuffer();
    buffer.AppendBuffer(bytes.data(), 10);
    EXPECT_EQ(buffer.GetBuffer(), reserved);
    EXPECT_EQ(buffer.GetAvailSize(), 20u);
}

TEST(BaseBuffer, SetAvailSizeIsClippedToTheBufferSize) {
    struct Case {
        uint32_t requested;
        uint32_t stored;
    };
    const Case cases[] = {{0, 0}, {5, 5}, {16, 16}, {17, 16}, {0xFFFFFFFFu, 16}};
    for (const Case& c : cases) {
        CBaseBuffer buffer;
        buffer.SetBufferSize(16);
        EXPECT_EQ(buffer.SetAvailSize(c.requested), c.stored) << c.requested;
        EXPECT_EQ(buffer.GetAvailSize(), c.stored) << c.requested;
    }
}

TEST(BaseBuffer, SetBufferMovesATailOfItsOwnBlockToTheStart) {
    CBaseBuffer buffer;
    const std::vector<uint8_t> bytes = Sequence(30, 0);
    buffer.SetBuffer(bytes.data(), 30);
    const uint8_t* block = buffer.GetBuffer();
    buffer.SetBuffer(buffer.GetBuffer() + 10, 20);
    EXPECT_EQ(buffer.GetBuffer(), block);
    EXPECT_EQ(buffer.GetBufSize(), 30u);
    EXPECT_EQ(Avail(buffer), Sequence(20, 10));
    // Its own start: only the available size changes.
    buffer.SetBuffer(buffer.GetBuffer(), 5);
    EXPECT_EQ(Avail(buffer), Sequence(5, 10));
    buffer.SetBuffer(nullptr, 3);
    EXPECT_EQ(buffer.GetAvailSize(), 5u);
}

TEST(BaseBuffer, SetBufferGrowsExactlyWhenTooSmall) {
    CBaseBuffer buffer;
    buffer.SetBufferSize(4);
    const std::vector<uint8_t> bytes = Sequence(9, 1);
    buffer.SetBuffer(bytes.data(), 9);
    EXPECT_EQ(buffer.GetBufSize(), 9u);
    EXPECT_EQ(Avail(buffer), bytes);
    CBaseBuffer copy;
    copy.SetBuffer(&buffer);
    EXPECT_EQ(Avail(copy), bytes);
    EXPECT_NE(copy.GetBuffer(), buffer.GetBuffer());
}

TEST(BaseBuffer, AppendingFromItsOwnBlockSurvivesGrowth) {
    CBaseBuffer buffer;
    const std::vector<uint8_t> bytes = Sequence(8, 1);
    buffer.SetBuffer(bytes.data(), 8);
    buffer.AppendBuffer(buffer.GetBuffer(), 8);  // the block is replaced while being read
    EXPECT_EQ(buffer.GetBufSize(), 16u);
    std::vector<uint8_t> twice = bytes;
    twice.insert(twice.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(Avail(buffer), twice);
    buffer.AppendBuffer(&buffer);
    EXPECT_EQ(buffer.GetAvailSize(), 32u);
    EXPECT_EQ(std::memcmp(buffer.GetBuffer() + 16, twice.data(), 16), 0);
}

TEST(BaseBuffer, AppendCommitsBytesWrittenIntoTheFreeSpace) {
    CBaseBuffer buffer;
    buffer.SetBufferSize(16);
    buffer.AppendByte(1);
    uint8_t* freeStart = buffer.GetBuffer() + buffer.GetAvailSize();
    std::memcpy(freeStart, "\x07\x08\x09", 3);
    buffer.AppendBuffer(freeStart, 3);
    EXPECT_EQ(Avail(buffer), (std::vector<uint8_t>{1, 7, 8, 9}));
    EXPECT_EQ(buffer.GetBufSize(), 16u);
    const uint8_t byte = 5;
    buffer.AppendBuffer(nullptr, 4);
    buffer.AppendBuffer(&byte, 0);
    EXPECT_EQ(buffer.GetAvailSize(), 4u);
}

TEST(BaseBuffer, BoundBufferBecomesOwnedOnGrowthAndLeavesTheMemoryAlone) {
    uint8_t memory[4] = {1, 2, 3, 4};
    CBaseBuffer buffer;
    buffer.BindBuffer(memory, 4);
    EXPECT_EQ(buffer.IsBindBuffer(), 1);
    EXPECT_EQ(buffer.GetBuffer(), memory);
    EXPECT_EQ(buffer.GetBufSize(), 4u);
    EXPECT_EQ(buffer.GetAvailSize(), 4u);
    // Writes that fit go into the bound memory.
    buffer.SetBuffer("\x09\x08", 2);
    EXPECT_EQ(memory[0], 9);
    EXPECT_EQ(memory[1], 8);
    buffer.SetAvailSize(4);
    buffer.AppendByte(5);
    EXPECT_EQ(buffer.IsBindBuffer(), 0);
    EXPECT_NE(buffer.GetBuffer(), memory);
    EXPECT_EQ(buffer.GetBufSize(), 5u);
    EXPECT_EQ(Avail(buffer), (std::vector<uint8_t>{9, 8, 3, 4, 5}));
    buffer.MemSetBuffer(0xEE);
    buffer.Delete();
    EXPECT_EQ(std::vector<uint8_t>(memory, memory + 4), (std::vector<uint8_t>{9, 8, 3, 4}));
}

TEST(BaseBuffer, BoundBufferIsNeverFreed) {
    std::vector<uint8_t> memory = Sequence(6, 1);
    {
        CBaseBuffer buffer;
        buffer.BindBuffer(memory.data(), 6);
        buffer.SetBufferSize(3);  // no growth: stays bound
        EXPECT_EQ(buffer.IsBindBuffer(), 1);
    }  // the destructor must not free the vector's block
    {
        CBaseBuffer buffer;
        buffer.BindBuffer(memory.data(), 6);
        buffer.Delete();
        EXPECT_EQ(buffer.IsBindBuffer(), 0);
        EXPECT_EQ(buffer.GetBuffer(), nullptr);
    }
    EXPECT_EQ(memory, Sequence(6, 1));
}

TEST(BaseBuffer, ConstructingFromAnotherBindsOrCopies) {
    CBaseBuffer source;
    source.SetBufferSize(20);
    const std::vector<uint8_t> bytes = Sequence(6, 1);
    source.SetBuffer(bytes.data(), 6);

    CBaseBuffer bound(&source, 1);
    EXPECT_EQ(bound.IsBindBuffer(), 1);
    EXPECT_EQ(bound.GetBuffer(), source.GetBuffer());
    EXPECT_EQ(bound.GetBufSize(), 6u);
    EXPECT_EQ(bound.GetAvailSize(), 6u);

    CBaseBuffer copy(&source, 0);
    EXPECT_EQ(copy.IsBindBuffer(), 0);
    EXPECT_NE(copy.GetBuffer(), source.GetBuffer());
    EXPECT_EQ(copy.GetBufSize(), 6u);
    EXPECT_EQ(Avail(copy), bytes);

    CBaseBuffer fromNull(nullptr, 1);
    EXPECT_EQ(fromNull.GetBuffer(), nullptr);

    CBaseBuffer rebound;
    rebound.SetBuffer(bytes.data(), 3);
    rebound.BindBuffer(&source);
    EXPECT_EQ(rebound.GetBuffer(), source.GetBuffer());
    EXPECT_EQ(rebound.GetAvailSize(), 6u);
    rebound.BindBuffer(&rebound);
    EXPECT_EQ(rebound.GetBuffer(), source.GetBuffer());
}

TEST(BaseBuffer, BindingIntoItsOwnBlockIsRefused) {
    CBaseBuffer buffer;
    const std::vector<uint8_t> bytes = Sequence(8, 1);
    buffer.SetBuffer(bytes.data(), 8);
    LogCapture capture;
    EXPECT_EQ(buffer.BindBuffer(buffer.GetBuffer() + 2, 4), 0);
    EXPECT_EQ(buffer.IsBindBuffer(), 0);
    EXPECT_EQ(Avail(buffer), bytes);
    EXPECT_TRUE(capture.HasLevel(kDbgLevelError));
}

TEST(BaseBuffer, MemSetIsClippedToTheBlock) {
    struct Case {
        uint32_t offset;
        uint32_t count;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {1, 2, {0, 7, 7, 0, 0}},           {3, 10, {0, 0, 0, 7, 7}},
        {5, 1, {0, 0, 0, 0, 0}},           {0, 0, {0, 0, 0, 0, 0}},
        {4, 0xFFFFFFFFu, {0, 0, 0, 0, 7}}, {0xFFFFFFFFu, 2, {0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        CBaseBuffer buffer;
        buffer.SetBufferSize(5);
        buffer.MemSetBuffer(0);
        buffer.SetAvailSize(5);
        buffer.MemSetBuffer(7, c.offset, c.count);
        EXPECT_EQ(Avail(buffer), c.expected) << c.offset << "," << c.count;
    }
    CBaseBuffer empty;
    empty.MemSetBuffer(1);
    empty.MemSetBuffer(1, 0, 4);
    EXPECT_EQ(empty.GetBuffer(), nullptr);
}

TEST(BaseBuffer, SizesBeyondThirtyTwoBitsAreRefusedUnchanged) {
    // A block declared nearly 4 GiB large: the append must be refused before anything is
    // allocated or copied (the declared size is never touched).
    uint8_t memory[16] = {};
    CBaseBuffer buffer;
    buffer.BindBuffer(memory, 0xFFFFFFFEu);
    const uint8_t bytes[16] = {};
    LogCapture capture;
    EXPECT_EQ(buffer.AppendBuffer(bytes, 8), 0);
    EXPECT_EQ(buffer.AppendBuffer(bytes, 16), 0);
    EXPECT_EQ(buffer.AppendUint32(1), 0);
    EXPECT_EQ(buffer.GetBuffer(), memory);
    EXPECT_EQ(buffer.GetBufSize(), 0xFFFFFFFEu);
    EXPECT_EQ(buffer.GetAvailSize(), 0xFFFFFFFEu);
    EXPECT_EQ(buffer.IsBindBuffer(), 1);
    ASSERT_EQ(capture.Lines().size(), 3u);
    for (const CapturedLine& line : capture.Lines()) EXPECT_EQ(line.level, kDbgLevelError);
}

TEST(BaseBuffer, MovingHandsTheBlockOver) {
    CBaseBuffer buffer;
    const std::vector<uint8_t> bytes = Sequence(5, 1);
    buffer.SetBuffer(bytes.data(), 5);
    const uint8_t* block = buffer.GetBuffer();
    CBaseBuffer moved(std::move(buffer));
    EXPECT_EQ(moved.GetBuffer(), block);
    EXPECT_EQ(Avail(moved), bytes);
    EXPECT_EQ(buffer.GetBuffer(), nullptr);  // NOLINT(bugprone-use-after-move)
    CBaseBuffer assigned;
    assigned.AppendByte(1);
    assigned = std::move(moved);
    EXPECT_EQ(assigned.GetBuffer(), block);
}

TEST(BufferListLength, SumsAvailableSizesSkippingNullEntries) {
    CBaseBuffer a;
    CBaseBuffer b;
    a.SetBufferSize(100);
    a.SetAvailSize(10);
    b.AppendUint32(7);
    CPtrArrayCtrl array;
    CPtrListCtrl list;
    for (CPtrCtrl* container : {static_cast<CPtrCtrl*>(&array), static_cast<CPtrCtrl*>(&list)}) {
        EXPECT_EQ(GetBufferListLength(container), 0u);
        container->AddData(&a, -1);
        container->AddData(nullptr, -1);
        container->AddData(&b, -1);
        EXPECT_EQ(GetBufferListLength(container), 14u);
    }
    EXPECT_EQ(GetBufferListLength(nullptr), 0u);
}

TEST(BufferListLength, DoesNotWrapAtThirtyTwoBits) {
    uint8_t memory[1] = {};
    CBaseBuffer a;
    CBaseBuffer b;
    a.BindBuffer(memory, 0xF0000000u);  // declared sizes only; the bytes are never read
    b.BindBuffer(memory, 0xF0000000u);
    CPtrArrayCtrl array;
    array.AddData(&a, -1);
    array.AddData(&b, -1);
    EXPECT_EQ(GetBufferListLength(&array), 0x1E0000000ull);
}

}  // namespace
