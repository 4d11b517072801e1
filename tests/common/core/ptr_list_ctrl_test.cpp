#include "core/ptr_list_ctrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "common/core/container_test_util.h"
#include "core/ptr_array_ctrl.h"

namespace {

int MatchAlways(void*, void*) {
    return 1;
}

std::vector<uintptr_t> Range(int count) {
    std::vector<uintptr_t> values;
    for (int i = 0; i < count; ++i) values.push_back(static_cast<uintptr_t>(i) + 100);
    return values;
}

std::vector<int> SearchOrder(CPtrListCtrl& list) {
    std::vector<int> order;
    for (int index = list.FindFirst(nullptr, MatchAlways); index != -1;
         index = list.FindNext(nullptr, MatchAlways)) {
        order.push_back(index);
        if (order.size() > static_cast<size_t>(list.GetCount())) break;
    }
    return order;
}

// A list that claims far more entries than it holds.
class OversizedSource : public CPtrListCtrl {
public:
    int GetCount() override { return INT_MAX; }
};

// Records every entry a search examines and matches none.
std::vector<uintptr_t> gExamined;
int RecordExamined(void* entry, void*) {
    gExamined.push_back(reinterpret_cast<uintptr_t>(entry));
    return 0;
}

TEST(PtrListCtrl, SearchStartsAtTheRememberedPosition) {
    CPtrListCtrl list;
    Fill(list, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    list.GetAt(7);
    gExamined.clear();
    EXPECT_EQ(list.FindFirst(nullptr, RecordExamined), -1);
    EXPECT_EQ(gExamined, (std::vector<uintptr_t>{7, 8, 6, 9, 5, 10, 4, 11, 3, 0, 2, 1}));
    // Answers resume where the last one was found, upper side first.
    EXPECT_EQ(SearchOrder(list), (std::vector<int>{7, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5, 6}));
}

TEST(PtrListCtrl, PositionalOperationsMoveTheRememberedPosition) {
    struct Case {
        const char* operation;
        int expectedStart;
    };
    const Case cases[] = {{"GetAt", 3},     {"Set", 3},        {"IsDataAvailable", 3},
                          {"AddData", 3},   {"AddPtrCtrl", 4}, {"GetHead", 9},
                          {"QuickSort", 0}, {"MoveData", 0}};
    for (const Case& c : cases) {
        CPtrListCtrl list;
        Fill(list, Range(9));  // remembers the last inserted entry, 8
        list.GetAt(8);
        const std::string operation = c.operation;
        if (operation == "GetAt") list.GetAt(3);
        if (operation == "Set") list.Set(3, Entry(1));
        if (operation == "IsDataAvailable") list.IsDataAvailable(3);
        if (operation == "AddData") list.AddData(Entry(1), 3);
        if (operation == "AddPtrCtrl") {
            CPtrArrayCtrl two;
            Fill(two, {1, 2});
            EXPECT_EQ(list.AddPtrCtrl(&two, 3), 2);
        }
        if (operation == "GetHead") {
            list.AddData(Entry(1), -1);  // 9
            list.GetHead();
        }
        if (operation == "QuickSort") {
            list.QuickSort(0, -1, [](void* const& a, void* const& b) {
                return reinterpret_cast<uintptr_t>(a) < reinterpret_cast<uintptr_t>(b) ? -1 : 1;
            });
        }
        if (operation == "MoveData") list.MoveData(0, 1, 4);
        EXPECT_EQ(list.FindFirst(nullptr, MatchAlways), c.expectedStart) << operation;
    }
}

TEST(PtrListCtrl, DeletingTheRememberedEntryMovesTheMemory) {
    struct Case {
        int index;
        int count;
        int expectedStart;  // where the next search starts
    };
    const Case cases[] = {
        {2, 1, 2},   // the following entry, same index
        {1, 2, 1},   // the entry after the removed block
        {4, 1, 3},   // the last one: the previous entry
        {3, 9, 2},   // removed up to the end
        {0, 5, -1},  // everything removed: cleared (and nothing to find)
    };
    for (const Case& c : cases) {
        CPtrListCtrl list;
        Fill(list, Range(5));
        list.DeleteAt(c.index, c.count);
        EXPECT_EQ(list.FindFirst(nullptr, MatchAlways), c.expectedStart)
            << c.index << "," << c.count;
    }
}

TEST(PtrListCtrl, NegativeMoveTargetMeansTheEnd) {
    CPtrListCtrl list;
    Fill(list, {1, 2, 3, 4});
    EXPECT_TRUE(list.MoveData(0, 2, -1));
    EXPECT_EQ(Contents(list), (std::vector<uintptr_t>{3, 4, 1, 2}));
    EXPECT_EQ(list.GetHead(), Entry(3));
    EXPECT_EQ(list.GetTail(), Entry(2));
}

TEST(PtrListCtrl, AddPtrCtrlReturnsTheNumberAdded) {
    CPtrListCtrl list;
    Fill(list, {1});
    CPtrArrayCtrl source;
    EXPECT_EQ(list.AddPtrCtrl(nullptr, -1), 0);
    EXPECT_EQ(list.AddPtrCtrl(&source, -1), 0);
    Fill(source, {5, 6, 7});
    EXPECT_EQ(list.AddPtrCtrl(&source, 0), 3);
    EXPECT_EQ(Contents(list), (std::vector<uintptr_t>{5, 6, 7, 1}));
}

TEST(PtrListCtrl, AddPtrCtrlRefusesCountsBeyondAnInt) {
    CPtrListCtrl list;
    Fill(list, {1, 2});
    OversizedSource source;
    LogCapture capture;
    EXPECT_EQ(list.AddPtrCtrl(&source, -1), 0);
    EXPECT_EQ(Contents(list), (std::vector<uintptr_t>{1, 2}));
    EXPECT_TRUE(capture.HasLevel(kDbgLevelError));
}

TEST(PtrListCtrl, FindAllComparesByIdentityWithoutAMatchFunction) {
    CPtrListCtrl list;
    Fill(list, {4, 5, 4});
    CPtrListCtrl output;
    list.FindAll(&output, Entry(4), nullptr);
    EXPECT_EQ(Contents(output), (std::vector<uintptr_t>{0, 2}));
    list.FindAll(&list, Entry(4), nullptr);  // into itself: nothing
    EXPECT_EQ(Contents(list), (std::vector<uintptr_t>{4, 5, 4}));
}

// A match function that empties the list it searches: the search must stop cleanly.
CPtrListCtrl* gListUnderSearch = nullptr;
int MatchAndDeleteOthers(void* entry, void*) {
    if (gListUnderSearch->GetCount() > 1) gListUnderSearch->DeleteAt(1, INT_MAX);
    return entry == nullptr;
}

TEST(PtrListCtrl, SearchSurvivesAMatchFunctionThatChangesTheList) {
    CPtrListCtrl list;
    Fill(list, Range(20));
    list.GetAt(10);
    gListUnderSearch = &list;
    EXPECT_EQ(list.FindFirst(nullptr, MatchAndDeleteOthers), -1);
    EXPECT_EQ(list.FindNext(nullptr, MatchAndDeleteOthers), -1);
    gListUnderSearch = nullptr;
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(PtrListCtrl, InsertsAndDeletesAroundTheRememberedPositionKeepLinksIntact) {
    CPtrListCtrl list;
    std::vector<uintptr_t> mirror;
    uintptr_t next = 1;
    for (int round = 0; round < 2000; ++round) {
        const int count = static_cast<int>(mirror.size());
        const int index = count == 0 ? 0 : (round * 7919) % (count + 1);
        if (round % 3 == 2 && count > 0) {
            const int at = index % count;
            list.DeleteAt(at, 1 + round % 4);
            mirror.erase(mirror.begin() + at, mirror.begin() + std::min(count, at + 1 + round % 4));
        } else {
            list.AddData(Entry(next), index);
            mirror.insert(mirror.begin() + index, next++);
        }
        if (count > 0) list.GetAt((round * 31) % count);
    }
    EXPECT_EQ(Contents(list), mirror);
    std::vector<uintptr_t> backwards;
    while (!list.IsEmpty()) backwards.push_back(reinterpret_cast<uintptr_t>(list.DeleteTail()));
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(backwards, mirror);
}

}  // namespace
