#include "core/hash_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/dbg_output.h"
#include "support/log_capture.h"

namespace {

// Distinct data pointers that print as small numbers.
void* Data(uintptr_t n) {
    return reinterpret_cast<void*>(n);
}

std::vector<uintptr_t> Values(CPtrArrayCtrl& array) {
    std::vector<uintptr_t> values;
    for (int i = 0; i < array.GetCount(); ++i) {
        values.push_back(reinterpret_cast<uintptr_t>(array.GetAt(i)));
    }
    return values;
}

struct Visit {
    int bucket;
    int index;
    uintptr_t data;
    bool operator==(const Visit&) const = default;
};

template <class Table>
std::vector<Visit> Walk(Table& table) {
    std::vector<Visit> visits;
    tagHASHPOSITION position;
    if (!table.GetHeadPosition(position)) return visits;
    do {
        EXPECT_EQ(table.IsDataAvailable(position), 1);
        visits.push_back({position.bucket, position.index,
                          reinterpret_cast<uintptr_t>(table.GetDataAt(position))});
    } while (table.MoveHashPositionNext(position));
    return visits;
}

TEST(CHashTable, SameKeyTwiceIsFoundInInsertionOrder) {
    CHashTable table;
    table.AddData(5, Data(0xA));
    table.AddData(5, Data(0xB));
    EXPECT_EQ(table.GetCount(), 2);
    EXPECT_EQ(table.FindFirstData(5), Data(0xA));
    EXPECT_EQ(table.FindNextData(5), Data(0xB));
    EXPECT_EQ(table.FindNextData(5), nullptr);
    EXPECT_EQ(table.FindFirstData(6), nullptr);
}

TEST(CHashTable, EveryEntryOfAKeyIsFoundOnceAmongSharedBucketKeys) {
    CHashTable table(4);
    // Keys 1, 5 and 9 share bucket 1; key 5's entries interleave with the others.
    for (uintptr_t i = 0; i < 12; ++i) table.AddData(1 + 4 * (i % 3), Data(100 + i));
    std::vector<uintptr_t> found;
    for (void* d = table.FindFirstData(5); d != nullptr; d = table.FindNextData(5)) {
        found.push_back(reinterpret_cast<uintptr_t>(d));
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<uintptr_t>{101, 104, 107, 110}));
}

TEST(CHashTable, DeleteAllDataFreesTheWholeBucket) {
    CHashTable table;
    table.AddData(1, Data(1));
    table.AddData(4097, Data(2));  // same bucket as 1 among 4096
    table.AddData(2, Data(3));
    table.DeleteAllData(1);
    EXPECT_EQ(table.GetCount(), 1);
    EXPECT_EQ(table.FindFirstData(4097), nullptr);
    EXPECT_EQ(table.FindFirstData(2), Data(3));
    EXPECT_EQ(Walk(table), (std::vector<Visit>{{2, 0, 3}}));
}

TEST(CHashTable, DeleteFirstAndNextRemoveWhatTheFindsReturn) {
    CHashTable table;
    table.AddData(7, Data(1));
    table.AddData(7, Data(2));
    table.AddData(7, Data(3));
    void* first = table.FindFirstData(7);
    EXPECT_EQ(table.DeleteFirstData(7), first);
    EXPECT_EQ(table.GetCount(), 2);
    EXPECT_EQ(table.DeleteFirstData(7), Data(2));
    EXPECT_EQ(table.DeleteFirstData(7), Data(3));
    EXPECT_EQ(table.DeleteFirstData(7), nullptr);
    EXPECT_EQ(table.GetCount(), 0);

    table.AddData(8, Data(4));
    table.AddData(8, Data(5));
    EXPECT_EQ(table.FindFirstData(8), Data(4));
    EXPECT_EQ(table.DeleteNextData(8), Data(5));
    EXPECT_EQ(table.GetCount(), 1);
    EXPECT_EQ(table.FindFirstData(8), Data(4));
    EXPECT_EQ(table.FindNextData(8), nullptr);
}

TEST(CHashTable, SetDataReplacesTheFirstMatchOnly) {
    CHashTable table;
    table.AddData(3, Data(1));
    table.AddData(3, Data(2));
    table.SetData(3, Data(9));
    table.SetData(4, Data(8));  // absent: nothing happens
    EXPECT_EQ(table.GetCount(), 2);
    EXPECT_EQ(table.FindFirstData(3), Data(9));
    EXPECT_EQ(table.FindNextData(3), Data(2));
    EXPECT_EQ(table.IsDataAvailable(4), 0);
    EXPECT_EQ(table.IsDataAvailable(3), 1);
}

TEST(CHashTable, FindAllAppendsMatchesInBucketOrder) {
    CHashTable table(2);
    table.AddData(0, Data(1));
    table.AddData(2, Data(2));  // same bucket, other key
    table.AddData(0, Data(3));
    CPtrArrayCtrl output;
    output.AddData(Data(77), -1);
    table.FindAllHashData(&output, 0);
    EXPECT_EQ(Values(output), (std::vector<uintptr_t>{77, 1, 3}));
    table.FindAllHashData(nullptr, 0);  // no output: nothing happens
}

TEST(CHashTable, IterationVisitsBucketsInOrderAndEntriesInInsertionOrder) {
    CHashTable table(8);
    tagHASHPOSITION position;
    EXPECT_EQ(table.GetHeadPosition(position), 0);
    table.AddData(9, Data(1));
    table.AddData(3, Data(2));
    table.AddData(1, Data(3));
    table.AddData(17, Data(4));
    table.AddData(0xFFFFFFFFFFFFFFFFull, Data(5));  // unsigned modulo: bucket 7
    EXPECT_EQ(Walk(table),
              (std::vector<Visit>{{1, 0, 1}, {1, 1, 3}, {1, 2, 4}, {3, 0, 2}, {7, 0, 5}}));
}

TEST(CHashTable, PositionsWithoutAnEntryHoldNothing) {
    CHashTable table(8);
    table.AddData(1, Data(1));
    for (tagHASHPOSITION p : {tagHASHPOSITION{1, 1}, tagHASHPOSITION{0, 0}, tagHASHPOSITION{-1, 0},
                              tagHASHPOSITION{8, 0}, tagHASHPOSITION{1, -1}}) {
        EXPECT_EQ(table.IsDataAvailable(p), 0) << p.bucket << "," << p.index;
        EXPECT_EQ(table.GetDataAt(p), nullptr);
    }
    tagHASHPOSITION last{1, 0};
    EXPECT_EQ(table.MoveHashPositionNext(last), 0);
    EXPECT_EQ(last.bucket, 1);
    EXPECT_EQ(last.index, 0);
}

TEST(CHashTable, DeleteAllEmptiesAndStaysUsable) {
    CHashTable table;
    for (uint64_t k = 0; k < 10000; ++k) table.AddData(k * 7919, Data(k + 1));
    EXPECT_EQ(table.GetCount(), 10000);
    EXPECT_EQ(table.FindFirstData(42 * 7919), Data(43));
    table.DeleteAll();
    EXPECT_EQ(table.GetCount(), 0);
    tagHASHPOSITION position;
    EXPECT_EQ(table.GetHeadPosition(position), 0);
    table.AddData(1, Data(1));
    EXPECT_EQ(table.FindFirstData(1), Data(1));
}

TEST(CHashTable, BucketCountOfZeroOrBelowIsRefused) {
    for (int count : {0, -1, -4096, kMaxHashBuckets + 1}) {
        LogCapture log;
        CHashTable table(count);
        const std::vector<std::string> lines = log.Texts();
        ASSERT_EQ(lines.size(), 1u) << count;
        EXPECT_NE(lines[0].find("bucket count " + std::to_string(count) + " refused"),
                  std::string::npos)
            << lines[0];
        // The default 4096 buckets: 1 and 4097 share one.
        table.AddData(1, Data(1));
        table.AddData(4097, Data(2));
        EXPECT_EQ(Walk(table), (std::vector<Visit>{{1, 0, 1}, {1, 1, 2}})) << count;
    }
}

TEST(CCRCHashTable, AbcLandsInTheBucketOfItsHash) {
    // The hash of "abc" is 0x9B73448C: bucket 1164 of 4096, 668 of 1000.
    for (auto [count, bucket] : {std::pair{4096, 1164}, std::pair{1000, 668}}) {
        CCRCHashTable table(count);
        table.AddData("abc", 3, Data(1));
        EXPECT_EQ(Walk(table), (std::vector<Visit>{{bucket, 0, 1}})) << count;
    }
}

TEST(CCRCHashTable, KeysMatchByLengthAndEveryByte) {
    CCRCHashTable table(1);  // one bucket: only the comparison tells keys apart
    const char binary1[] = {'a', '\0', 'b'};
    const char binary2[] = {'a', '\0', 'c'};
    table.AddData("ab", 2, Data(1));
    table.AddData("abc", 3, Data(2));
    table.AddData(binary1, 3, Data(3));
    table.AddData(binary2, 3, Data(4));
    table.AddData(nullptr, 0, Data(5));
    EXPECT_EQ(table.FindFirstData("ab", 2), Data(1));
    EXPECT_EQ(table.FindNextData("ab", 2), nullptr);
    EXPECT_EQ(table.FindFirstData("abc", 3), Data(2));
    EXPECT_EQ(table.FindFirstData(binary1, 3), Data(3));
    EXPECT_EQ(table.FindFirstData(binary2, 3), Data(4));
    EXPECT_EQ(table.FindFirstData("", 0), Data(5));
    EXPECT_EQ(table.FindFirstData("abd", 3), nullptr);
    EXPECT_EQ(table.IsDataAvailable("a", 1), 0);
    EXPECT_EQ(table.IsDataAvailable("abc", -1), 1);  // negative: up to the terminator
}

TEST(CCRCHashTable, KeepsItsOwnCopyOfEachKey) {
    CCRCHashTable table;
    char key[] = "sensor";
    table.AddData(key, 6, Data(1));
    std::strcpy(key, "xxxxxx");
    EXPECT_EQ(table.FindFirstData("sensor", 6), Data(1));
    EXPECT_EQ(table.FindFirstData(key, 6), nullptr);
}

TEST(CCRCHashTable, OperationsFollowTheNumberTable) {
    CCRCHashTable table;
    table.AddData("k", 1, Data(1));
    table.AddData("k", 1, Data(2));
    table.AddData("other", 5, Data(3));
    EXPECT_EQ(table.GetCount(), 3);
    EXPECT_EQ(table.FindFirstData("k", 1), Data(1));
    EXPECT_EQ(table.FindNextData("k", 1), Data(2));
    EXPECT_EQ(table.FindNextData("k", 1), nullptr);

    table.SetData("k", 1, Data(9));
    CPtrArrayCtrl all;
    table.FindAllCRCHashData(&all, "k", 1);
    EXPECT_EQ(Values(all), (std::vector<uintptr_t>{9, 2}));

    EXPECT_EQ(table.DeleteFirstData("k", 1), Data(9));
    EXPECT_EQ(table.GetCount(), 2);
    EXPECT_EQ(table.FindFirstData("k", 1), Data(2));
    EXPECT_EQ(table.DeleteNextData("k", 1), nullptr);  // the only one left was found first
    table.DeleteAllData("k", 1);
    EXPECT_EQ(table.GetCount(), 1);
    EXPECT_EQ(table.IsDataAvailable("k", 1), 0);
    EXPECT_EQ(table.FindFirstData("other", 5), Data(3));
    table.DeleteAll();
    EXPECT_EQ(table.GetCount(), 0);
}

TEST(CCRCHashTable, DeleteAllDataTakesKeysSharingTheBucket) {
    CCRCHashTable table(1);
    table.AddData("one", 3, Data(1));
    table.AddData("two", 3, Data(2));
    table.DeleteAllData("one", 3);
    EXPECT_EQ(table.GetCount(), 0);
    EXPECT_EQ(table.FindFirstData("two", 3), nullptr);
}

TEST(CCRCHashTable, BucketCountOfZeroIsRefused) {
    LogCapture log;
    CCRCHashTable table(0);
    const std::vector<std::string> lines = log.Texts();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("CCRCHashTable: bucket count 0 refused"), std::string::npos);
    table.AddData("abc", 3, Data(1));
    EXPECT_EQ(Walk(table), (std::vector<Visit>{{1164, 0, 1}}));
}

}  // namespace
