// Behaviour both pointer containers share, run against the array and the list alike.
#include "core/ptr_ctrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "common/core/container_test_util.h"
#include "core/ptr_array_ctrl.h"
#include "core/ptr_list_ctrl.h"

namespace {

template <class Container>
class PtrCtrlTest : public ::testing::Test {
protected:
    Container container;
};

using ContainerTypes = ::testing::Types<CPtrArrayCtrl, CPtrListCtrl>;
TYPED_TEST_SUITE(PtrCtrlTest, ContainerTypes);

int MatchAlways(void*, void*) {
    return 1;
}
int MatchSameTens(void* entry, void* data) {
    return reinterpret_cast<uintptr_t>(entry) / 10 == reinterpret_cast<uintptr_t>(data) / 10;
}
bool EqualModTen(void* a, void* b) {
    return reinterpret_cast<uintptr_t>(a) % 10 == reinterpret_cast<uintptr_t>(b) % 10;
}
int Ascending(void* const& a, void* const& b) {
    const auto x = reinterpret_cast<uintptr_t>(a);
    const auto y = reinterpret_cast<uintptr_t>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}
int AlwaysLess(void* const&, void* const&) {
    return -1;
}
int RandomOrder(void* const&, void* const&) {
    static std::mt19937 generator(12345);
    return static_cast<int>(generator() % 3) - 1;
}

// Runs FindFirst then FindNext until -1 and returns every answer.
std::vector<int> AllFound(CPtrCtrl& container, void* data, PtrCtrlMatchFunc match) {
    std::vector<int> found;
    for (int index = container.FindFirst(data, match); index != -1;
         index = container.FindNext(data, match)) {
        found.push_back(index);
        if (found.size() > static_cast<size_t>(container.GetCount()) + 1) break;
    }
    return found;
}

TYPED_TEST(PtrCtrlTest, StartsEmpty) {
    EXPECT_EQ(this->container.GetCount(), 0);
    EXPECT_TRUE(this->container.IsEmpty());
    EXPECT_EQ(this->container.GetHead(), nullptr);
    EXPECT_EQ(this->container.GetTail(), nullptr);
    EXPECT_EQ(this->container.GetAt(0), nullptr);
    EXPECT_EQ(this->container.DeleteHead(), nullptr);
    EXPECT_EQ(this->container.DeleteTail(), nullptr);
}

TYPED_TEST(PtrCtrlTest, AddDataInsertsAtIndexOrAppends) {
    struct Case {
        int index;
        int expectedPosition;
        std::vector<uintptr_t> expected;
    };
    const Case cases[] = {
        {100, 3, {1, 2, 3, 9}}, {-1, 3, {1, 2, 3, 9}}, {-7, 3, {1, 2, 3, 9}},
        {3, 3, {1, 2, 3, 9}},   {0, 0, {9, 1, 2, 3}},  {1, 1, {1, 9, 2, 3}},
    };
    for (const Case& c : cases) {
        Fill(this->container, {1, 2, 3});
        EXPECT_EQ(this->container.AddData(Entry(9), c.index), c.expectedPosition) << c.index;
        EXPECT_EQ(Contents(this->container), c.expected) << c.index;
    }
}

TYPED_TEST(PtrCtrlTest, KeepsFullPointerSizedValues) {
    const uintptr_t packedPoint = 0xFFFFFFFE00000001ull;  // y = -2, x = 1
    this->container.AddData(Entry(packedPoint), -1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(this->container.GetAt(0)), packedPoint);
}

TYPED_TEST(PtrCtrlTest, SetAndGetOutsideTheRangeAreRefused) {
    Fill(this->container, {1, 2, 3});
    EXPECT_EQ(this->container.Set(1, Entry(7)), 1);
    EXPECT_EQ(this->container.Set(3, Entry(7)), -1);
    EXPECT_EQ(this->container.Set(-1, Entry(7)), -1);
    EXPECT_EQ(Contents(this->container), (std::vector<uintptr_t>{1, 7, 3}));
    EXPECT_TRUE(this->container.IsDataAvailable(2));
    EXPECT_FALSE(this->container.IsDataAvailable(3));
    EXPECT_FALSE(this->container.IsDataAvailable(-1));
    EXPECT_EQ(this->container.GetAt(3), nullptr);
    EXPECT_EQ(this->container.GetHead(), Entry(1));
    EXPECT_EQ(this->container.GetTail(), Entry(3));
}

TYPED_TEST(PtrCtrlTest, DeleteAtRemovesUpToCountEntries) {
    struct Case {
        int index;
        int count;
        uintptr_t expectedResult;  // 0 = null
        std::vector<uintptr_t> remaining;
    };
    const Case cases[] = {
        {1, 10, 2, {1}},         {1, 1, 2, {1, 3, 4}},    {0, 4, 1, {}},
        {3, 1, 4, {1, 2, 3}},    {4, 1, 0, {1, 2, 3, 4}}, {-1, 1, 0, {1, 2, 3, 4}},
        {0, 0, 0, {1, 2, 3, 4}}, {2, INT_MAX, 3, {1, 2}}, {1, -3, 0, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        Fill(this->container, {1, 2, 3, 4});
        EXPECT_EQ(this->container.DeleteAt(c.index, c.count), Entry(c.expectedResult))
            << c.index << "," << c.count;
        EXPECT_EQ(Contents(this->container), c.remaining) << c.index << "," << c.count;
    }
}

TYPED_TEST(PtrCtrlTest, DeleteHeadTailAndAll) {
    Fill(this->container, {1, 2, 3});
    EXPECT_EQ(this->container.DeleteHead(), Entry(1));
    EXPECT_EQ(this->container.DeleteTail(), Entry(3));
    EXPECT_EQ(Contents(this->container), (std::vector<uintptr_t>{2}));
    this->container.DeleteAll();
    EXPECT_TRUE(this->container.IsEmpty());
    EXPECT_EQ(this->container.AddData(Entry(5), -1), 0);
    EXPECT_EQ(Contents(this->container), (std::vector<uintptr_t>{5}));
}

TYPED_TEST(PtrCtrlTest, FindFirstOnEmptyReturnsMinusOne) {
    EXPECT_EQ(this->container.FindFirst(Entry(1), nullptr), -1);
    EXPECT_EQ(this->container.FindNext(Entry(1), nullptr), -1);
}

TYPED_TEST(PtrCtrlTest, TwoEndedSearchAnswersUpperSideFirst) {
    Fill(this->container, {10, 11, 20, 12, 21});
    this->container.GetAt(0);  // the list starts its search at the remembered position
    EXPECT_EQ(AllFound(this->container, Entry(25), MatchSameTens), (std::vector<int>{4, 2}));
    // Identity without a match function.
    EXPECT_EQ(AllFound(this->container, Entry(12), nullptr), (std::vector<int>{3}));
}

TYPED_TEST(PtrCtrlTest, SearchOverEqualEntriesAnswersInAscendingOrder) {
    Fill(this->container, {5, 5, 5, 5, 5});
    this->container.GetAt(0);
    EXPECT_EQ(AllFound(this->container, Entry(5), nullptr), (std::vector<int>{0, 1, 2, 3, 4}));
}

TYPED_TEST(PtrCtrlTest, SearchReturnsEveryMatchExactlyOnce) {
    std::mt19937 generator(7);
    for (int round = 0; round < 200; ++round) {
        const int count = 1 + static_cast<int>(generator() % 40);
        std::vector<uintptr_t> values;
        std::set<int> expected;
        for (int i = 0; i < count; ++i) {
            const bool match = generator() % 3 == 0;
            values.push_back(match ? 1 : 2);
            if (match) expected.insert(i);
        }
        Fill(this->container, values);
        this->container.GetAt(static_cast<int>(generator() % count));
        const std::vector<int> found = AllFound(this->container, Entry(1), nullptr);
        EXPECT_EQ(found.size(), expected.size()) << "round " << round;
        EXPECT_EQ(std::set<int>(found.begin(), found.end()), expected) << "round " << round;
        EXPECT_EQ(this->container.FindNext(Entry(1), nullptr), -1);
    }
}

TYPED_TEST(PtrCtrlTest, SearchContinuationAfterAChangeStaysInRange) {
    Fill(this->container, {1, 1, 1, 1, 1, 1});
    this->container.GetAt(0);
    EXPECT_EQ(this->container.FindFirst(Entry(1), nullptr), 0);
    EXPECT_EQ(this->container.FindNext(Entry(1), nullptr), 1);
    this->container.DeleteAt(1, 4);
    for (int i = 0; i < 10; ++i) {
        const int index = this->container.FindNext(Entry(1), nullptr);
        if (index == -1) break;
        EXPECT_TRUE(this->container.IsDataAvailable(index)) << index;
    }
    this->container.DeleteAll();
    EXPECT_EQ(this->container.FindNext(Entry(1), nullptr), -1);
}

TYPED_TEST(PtrCtrlTest, FindAllListsMatchingIndicesAscending) {
    Fill(this->container, {10, 11, 20, 12, 21});
    CPtrArrayCtrl output;
    Fill(output, {99});
    this->container.FindAll(&output, Entry(15), MatchSameTens);
    EXPECT_EQ(Contents(output), (std::vector<uintptr_t>{0, 1, 3}));
    this->container.FindAll(nullptr, Entry(15), MatchSameTens);  // no output: nothing
    this->container.FindAll(&output, Entry(15), MatchAlways);
    EXPECT_EQ(Contents(output), (std::vector<uintptr_t>{0, 1, 2, 3, 4}));
}

TYPED_TEST(PtrCtrlTest, MoveDataPutsTheBlockBackInOrder) {
    // p q r s as 1 2 3 4.
    struct Case {
        int from;
        int count;
        int to;
        bool moved;
        std::vector<uintptr_t> expected;
    };
    const Case cases[] = {
        {0, 2, 1, true, {3, 1, 2, 4}},    // r p q s
        {0, 2, 3, true, {3, 4, 1, 2}},    // r s p q
        {2, 2, 0, true, {3, 4, 1, 2}},    // block moved to the front
        {3, 1, 1, true, {1, 4, 2, 3}},    //
        {0, 1, 9, true, {2, 3, 4, 1}},    // to beyond the last index: the last index
        {9, 1, 0, true, {4, 1, 2, 3}},    // from beyond the last index: the last index
        {1, 9, 0, true, {2, 3, 4, 1}},    // count limited to the entries from `from` on
        {1, 1, 1, false, {1, 2, 3, 4}},   // from equals to
        {2, 2, 3, false, {1, 2, 3, 4}},   // the block already ends at the end
        {0, 0, 2, false, {1, 2, 3, 4}},   // count 0
        {-1, 1, 2, false, {1, 2, 3, 4}},  // negative from
    };
    for (const Case& c : cases) {
        Fill(this->container, {1, 2, 3, 4});
        EXPECT_EQ(this->container.MoveData(c.from, c.count, c.to), c.moved)
            << c.from << "," << c.count << "," << c.to;
        EXPECT_EQ(Contents(this->container), c.expected) << c.from << "," << c.count << "," << c.to;
    }
    Fill(this->container, {1});
    EXPECT_FALSE(this->container.MoveData(0, 1, 0));
}

TYPED_TEST(PtrCtrlTest, QuickSortSortsOnlyTheGivenRange) {
    struct Case {
        int first;
        int last;
        std::vector<uintptr_t> expected;
    };
    const Case cases[] = {
        {1, 3, {50, 20, 30, 40, 10}},  {-5, -1, {10, 20, 30, 40, 50}},
        {0, 99, {10, 20, 30, 40, 50}}, {2, 99, {50, 40, 10, 20, 30}},
        {9, 2, {50, 40, 30, 20, 10}},  {3, 1, {50, 40, 30, 20, 10}},
        {2, 2, {50, 40, 30, 20, 10}},
    };
    for (const Case& c : cases) {
        Fill(this->container, {50, 40, 30, 20, 10});
        this->container.QuickSort(c.first, c.last, Ascending);
        EXPECT_EQ(Contents(this->container), c.expected) << c.first << "," << c.last;
    }
}

TYPED_TEST(PtrCtrlTest, QuickSortOrdersLargeInputsLikeTheStandardSort) {
    std::mt19937 generator(99);
    for (int count : {2, 31, 32, 33, 40, 41, 100, 5000}) {
        std::vector<uintptr_t> values;
        for (int i = 0; i < count; ++i) values.push_back(generator() % (count / 2 + 1));
        Fill(this->container, values);
        this->container.QuickSort(0, -1, Ascending);
        std::sort(values.begin(), values.end());
        EXPECT_EQ(Contents(this->container), values) << count;
    }
}

TYPED_TEST(PtrCtrlTest, QuickSortWithAnInconsistentOrderKeepsEveryEntry) {
    // An order that is no strict weak ordering must neither leave the range nor lose entries.
    constexpr int kCount = 100000;
    std::vector<uintptr_t> values;
    for (int i = 0; i < kCount; ++i) values.push_back(static_cast<uintptr_t>(i) + 1);
    for (PtrCtrlOrderFunc order : {AlwaysLess, RandomOrder}) {
        Fill(this->container, values);
        this->container.QuickSort(0, -1, order);
        std::vector<uintptr_t> after = Contents(this->container);
        ASSERT_EQ(after.size(), values.size());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, values);
    }
}

TYPED_TEST(PtrCtrlTest, CompareByIdentityOrByFunction) {
    Fill(this->container, {1, 2, 3});
    EXPECT_TRUE(this->container.Compare(&this->container, nullptr));
    EXPECT_FALSE(this->container.Compare(nullptr, nullptr));
    CPtrArrayCtrl array;
    CPtrListCtrl list;
    for (CPtrCtrl* other : {static_cast<CPtrCtrl*>(&array), static_cast<CPtrCtrl*>(&list)}) {
        Fill(*other, {1, 2});
        EXPECT_FALSE(this->container.Compare(other, nullptr));
        Fill(*other, {1, 2, 3});
        EXPECT_TRUE(this->container.Compare(other, nullptr));
        Fill(*other, {1, 2, 4});
        EXPECT_FALSE(this->container.Compare(other, nullptr));
        Fill(*other, {11, 22, 33});
        EXPECT_FALSE(this->container.Compare(other, nullptr));
        EXPECT_TRUE(this->container.Compare(other, EqualModTen));
    }
}

TYPED_TEST(PtrCtrlTest, DumpWritesEntriesInTheRequestedOrder) {
    Fill(this->container, {1, 2, 0x123456789ABCull});
    LogCapture capture;
    this->container.Dump(false);
    this->container.Dump(true);
    EXPECT_EQ(capture.Messages(),
              (std::vector<std::string>{"Dump, Desc\r\n", "20015998343868\r\n", "2\r\n", "1\r\n",
                                        "Dump, Asce\r\n", "1\r\n", "2\r\n", "20015998343868\r\n"}));
    for (const CapturedLine& line : capture.Lines()) EXPECT_EQ(line.level, kDbgLevelInfo);
}

TYPED_TEST(PtrCtrlTest, AddPtrCtrlInsertsAllSourceEntriesInOrder) {
    CPtrArrayCtrl array;
    CPtrListCtrl list;
    for (CPtrCtrl* source : {static_cast<CPtrCtrl*>(&array), static_cast<CPtrCtrl*>(&list)}) {
        Fill(*source, {7, 8, 9});
        Fill(this->container, {1, 2, 3});
        this->container.AddPtrCtrl(source, 1);
        EXPECT_EQ(Contents(this->container), (std::vector<uintptr_t>{1, 7, 8, 9, 2, 3}));
        Fill(this->container, {1, 2});
        this->container.AddPtrCtrl(source, -1);
        EXPECT_EQ(Contents(this->container), (std::vector<uintptr_t>{1, 2, 7, 8, 9}));
        EXPECT_EQ(Contents(*source), (std::vector<uintptr_t>{7, 8, 9}));
    }
}

TYPED_TEST(PtrCtrlTest, AddPtrCtrlOfItselfCopiesFirst) {
    struct Case {
        int index;
        std::vector<uintptr_t> expected;
    };
    const Case cases[] = {
        {0, {1, 2, 3, 1, 2, 3}}, {1, {1, 1, 2, 3, 2, 3}},  {2, {1, 2, 1, 2, 3, 3}},
        {3, {1, 2, 3, 1, 2, 3}}, {-1, {1, 2, 3, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        Fill(this->container, {1, 2, 3});
        this->container.AddPtrCtrl(&this->container, c.index);
        EXPECT_EQ(Contents(this->container), c.expected) << c.index;
    }
}

TYPED_TEST(PtrCtrlTest, CopyPtrCtrlReplacesTheEntries) {
    CPtrListCtrl list;
    Fill(list, {4, 5});
    Fill(this->container, {1, 2, 3});
    EXPECT_EQ(this->container.CopyPtrCtrl(nullptr), 0);
    EXPECT_EQ(Contents(this->container), (std::vector<uintptr_t>{1, 2, 3}));
    EXPECT_EQ(this->container.CopyPtrCtrl(&this->container), 3);
    EXPECT_EQ(Contents(this->container), (std::vector<uintptr_t>{1, 2, 3}));
    EXPECT_EQ(this->container.CopyPtrCtrl(&list), 2);
    EXPECT_EQ(Contents(this->container), (std::vector<uintptr_t>{4, 5}));

    TypeParam copy(&list);
    EXPECT_EQ(Contents(copy), (std::vector<uintptr_t>{4, 5}));
    TypeParam empty(nullptr);
    EXPECT_TRUE(empty.IsEmpty());
}

TYPED_TEST(PtrCtrlTest, NamesItsKind) {
    const std::string expected =
        std::is_same_v<TypeParam, CPtrArrayCtrl> ? "ArrayCtrl" : "ListCtrl";
    EXPECT_EQ(this->container.GetPtrCtrlName(), expected);
}

}  // namespace
