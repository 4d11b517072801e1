#include "core/ptr_array_ctrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "common/core/container_test_util.h"
#include "core/intro_sort.h"
#include "core/ptr_list_ctrl.h"

namespace {

int MatchEqual(void* entry, void* data) {
    return entry == data;
}

// An array that claims far more entries than it holds: adding it must be refused before
// anything is read from it.
class OversizedSource : public CPtrArrayCtrl {
public:
    int GetCount() override { return INT_MAX; }
};

TEST(PtrArrayCtrl, CapacityDoublesFromThirtyTwoAndHalvesOnlyAboveThirtyTwo) {
    CPtrArrayCtrl array;
    EXPECT_EQ(array.GetCapability(), 0);
    EXPECT_EQ(array.GetDataPtr(), nullptr);
    struct Step {
        int count;  // grow or shrink (from the end) to this many entries
        int expectedCapacity;
    };
    const Step steps[] = {
        {1, 32},    {32, 32},   {33, 64},   {20, 64},  // up to 32 entries never shrink
        {200, 256}, {129, 256}, {128, 256}, {127, 128}, {33, 64}, {65, 128}, {40, 64}, {0, 64},
    };
    for (const Step& step : steps) {
        while (array.GetCount() < step.count) array.AddData(Entry(array.GetCount() + 1), -1);
        while (array.GetCount() > step.count) array.DeleteTail();
        EXPECT_EQ(array.GetCapability(), step.expectedCapacity) << step.count;
    }
    array.DeleteAll();
    EXPECT_EQ(array.GetCapability(), 0);
    EXPECT_EQ(array.GetDataPtr(), nullptr);
}

TEST(PtrArrayCtrl, DeletingABlockShrinksInOneStep) {
    CPtrArrayCtrl array;
    for (int i = 0; i < 200; ++i) array.AddData(Entry(i + 1), -1);
    ASSERT_EQ(array.GetCapability(), 256);
    array.DeleteAt(10, 167);
    EXPECT_EQ(array.GetCount(), 33);
    EXPECT_EQ(array.GetCapability(), 64);
    EXPECT_EQ(array.GetAt(9), Entry(10));
    EXPECT_EQ(array.GetAt(10), Entry(178));
}

TEST(PtrArrayCtrl, AddPtrCtrlResultDependsOnTheSourceKind) {
    struct Case {
        bool listSource;
        int index;
        int expected;
    };
    const Case cases[] = {
        {false, -1, 2}, {false, 1, 1}, {false, 50, 2},  // array source: the first position
        {true, -1, -1}, {true, 1, 4},  {true, 50, 53},  // list source: index + entries added
    };
    for (const Case& c : cases) {
        CPtrArrayCtrl array;
        Fill(array, {1, 2});
        CPtrArrayCtrl arraySource;
        CPtrListCtrl listSource;
        CPtrCtrl* source = c.listSource ? static_cast<CPtrCtrl*>(&listSource) : &arraySource;
        Fill(*source, {7, 8, 9});
        EXPECT_EQ(array.AddPtrCtrl(source, c.index), c.expected) << c.listSource << c.index;
        EXPECT_EQ(array.GetCount(), 5);
    }
    CPtrArrayCtrl array;
    CPtrArrayCtrl empty;
    EXPECT_EQ(array.AddPtrCtrl(nullptr, -1), -1);
    EXPECT_EQ(array.AddPtrCtrl(&empty, -1), -1);
}

TEST(PtrArrayCtrl, AddPtrCtrlRefusesCountsBeyondTheLargestCapacity) {
    CPtrArrayCtrl array;
    Fill(array, {1, 2});
    OversizedSource source;
    LogCapture capture;
    EXPECT_EQ(array.AddPtrCtrl(&source, -1), -1);
    EXPECT_EQ(Contents(array), (std::vector<uintptr_t>{1, 2}));
    EXPECT_EQ(array.GetCapability(), 32);
    EXPECT_TRUE(capture.HasLevel(kDbgLevelError));
}

TEST(PtrArrayCtrl, NegativeMoveTargetMeansTheStart) {
    CPtrArrayCtrl array;
    Fill(array, {1, 2, 3, 4});
    EXPECT_TRUE(array.MoveData(2, 2, -1));
    EXPECT_EQ(Contents(array), (std::vector<uintptr_t>{3, 4, 1, 2}));
}

TEST(PtrArrayCtrl, FindAllNeedsAMatchFunction) {
    CPtrArrayCtrl array;
    Fill(array, {1, 2, 1});
    CPtrArrayCtrl output;
    Fill(output, {99});
    array.FindAll(&output, Entry(1), nullptr);
    EXPECT_EQ(Contents(output), (std::vector<uintptr_t>{99}));
    array.FindAll(&output, Entry(1), MatchEqual);
    EXPECT_EQ(Contents(output), (std::vector<uintptr_t>{0, 2}));
}

TEST(PtrArrayCtrl, SearchAlwaysStartsAtZero) {
    CPtrArrayCtrl array;
    Fill(array, {1, 1, 1, 1});
    array.GetAt(2);
    EXPECT_EQ(array.FindFirst(Entry(1), nullptr), 0);
}

TEST(IntroSort, EveryPathSortsCorrectly) {
    // Depth limits: 0 sorts long runs by heap sort at once, 1 after one partition, -1 normally.
    std::mt19937 generator(3);
    for (int depthLimit : {0, 1, -1}) {
        for (int count : {0, 1, 2, 3, 32, 33, 41, 64, 1000, 4097}) {
            for (int distinct : {2, 1000000}) {
                std::vector<int> values;
                for (int i = 0; i < count; ++i)
                    values.push_back(static_cast<int>(generator() % distinct));
                std::vector<int> expected = values;
                std::sort(expected.begin(), expected.end());
                IntroSort(
                    values.data(), static_cast<ptrdiff_t>(values.size()),
                    [](int a, int b) { return a < b; }, depthLimit);
                EXPECT_EQ(values, expected) << depthLimit << "," << count << "," << distinct;
            }
        }
    }
}

TEST(IntroSort, PresortedAndReversedInputs) {
    for (bool reversed : {false, true}) {
        std::vector<int> values(10000);
        for (int i = 0; i < 10000; ++i) values[i] = reversed ? 10000 - i : i;
        IntroSort(values.data(), static_cast<ptrdiff_t>(values.size()),
                  [](int a, int b) { return a < b; });
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << reversed;
    }
}

}  // namespace
