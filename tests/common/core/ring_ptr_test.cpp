#include "core/ring_ptr.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(RingPtr, StartsWithoutStorage) {
    CRingPtr ring;
    EXPECT_EQ(ring.GetCapabilityize(), 0);
    EXPECT_EQ(ring.GetAvailSize(), 0);
    EXPECT_EQ(ring.Add(5), 1);
    EXPECT_EQ(ring.Peek(), 0u);
    EXPECT_EQ(ring.Get(), 0u);
    ring.Reset();
    EXPECT_EQ(ring.Add(5), 1);
    EXPECT_EQ(ring.GetAvailSize(), 0);
}

TEST(RingPtr, HoldsOneValueLessThanItsCapacityFromInitAndAfterReset) {
    for (bool afterReset : {false, true}) {
        CRingPtr ring;
        ASSERT_EQ(ring.Init(4), 1);
        if (afterReset) {
            ring.Add(1);
            ring.Add(2);
            ring.Get();
            ring.Reset();
        }
        EXPECT_EQ(ring.GetAvailSize(), 0) << afterReset;
        EXPECT_EQ(ring.Add(11), 0) << afterReset;
        EXPECT_EQ(ring.Add(12), 0) << afterReset;
        EXPECT_EQ(ring.Add(13), 0) << afterReset;
        EXPECT_EQ(ring.Add(14), 2) << afterReset;
        EXPECT_EQ(ring.GetAvailSize(), 3) << afterReset;
        EXPECT_EQ(ring.Get(), 11u) << afterReset;  // the first value was not overwritten
    }
}

TEST(RingPtr, ValuesComeOutInOrderAcrossTheWrap) {
    CRingPtr ring;
    ring.Init(4);
    std::vector<uint64_t> out;
    uint64_t next = 1;
    for (int round = 0; round < 10; ++round) {
        while (ring.Add(next) == 0) ++next;
        EXPECT_EQ(ring.GetAvailSize(), 3);
        EXPECT_EQ(ring.Peek(), ring.Peek());
        const uint64_t peeked = ring.Peek();
        EXPECT_EQ(ring.Get(), peeked);
        out.push_back(peeked);
        out.push_back(ring.Get());
        EXPECT_EQ(ring.GetAvailSize(), 1);
    }
    while (ring.GetAvailSize() > 0) out.push_back(ring.Get());
    EXPECT_EQ(ring.Get(), 0u);
    EXPECT_EQ(ring.Peek(), 0u);
    for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], i + 1);
    EXPECT_EQ(out.size(), next - 1);
}

TEST(RingPtr, KeepsFullSixtyFourBitValues) {
    CRingPtr ring;
    ring.Init(3);
    ASSERT_EQ(ring.Add(0xFEDCBA9876543210ull), 0);
    EXPECT_EQ(ring.Peek(), 0xFEDCBA9876543210ull);
    EXPECT_EQ(ring.Get(), 0xFEDCBA9876543210ull);
}

TEST(RingPtr, CapacityOneHoldsNothingAndFreeEmpties) {
    CRingPtr ring;
    ring.Init(1);
    EXPECT_EQ(ring.Add(7), 2);
    EXPECT_EQ(ring.GetCapabilityize(), 1);
    ring.Init(8);
    EXPECT_EQ(ring.GetCapabilityize(), 8);
    ring.Add(7);
    ring.Free();
    EXPECT_EQ(ring.GetCapabilityize(), 0);
    EXPECT_EQ(ring.GetAvailSize(), 0);
    EXPECT_EQ(ring.Get(), 0u);
    EXPECT_EQ(ring.Add(7), 1);
    EXPECT_EQ(ring.Init(-2), 0);
    EXPECT_EQ(ring.GetCapabilityize(), 0);
}

}  // namespace
