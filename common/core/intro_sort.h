// IntroSort: the unstable introspective sort behind the containers' QuickSort: quicksort with a
// median-of-three (ninther for long runs) pivot, heap sort once partitioning has degraded past
// the depth limit, and insertion sort for runs of kIntroSortShortRun entries or fewer.
//
// Unlike a sort whose inner loops rely on sentinels, every loop here is bounded by the range:
// an order that is not a strict weak ordering (always "less", random answers) leaves the items in
// some permutation of the input but never reads or writes outside it, and the sort ends.
#pragma once

#include <cstddef>
#include <utility>

constexpr ptrdiff_t kIntroSortShortRun = 32;
constexpr ptrdiff_t kIntroSortNintherRun = 40;

namespace intro_sort_detail {

template <class T, class Less>
void InsertionSort(T* items, ptrdiff_t count, Less& less) {
    for (ptrdiff_t i = 1; i < count; ++i) {
        T value = std::move(items[i]);
        ptrdiff_t j = i;
        for (; j > 0 && less(value, items[j - 1]); --j) items[j] = std::move(items[j - 1]);
        items[j] = std::move(value);
    }
}

template <class T, class Less>
void SiftDown(T* items, ptrdiff_t root, ptrdiff_t count, Less& less) {
    T value = std::move(items[root]);
    for (;;) {
        ptrdiff_t child = 2 * root + 1;
        if (child >= count) break;
        if (child + 1 < count && less(items[child], items[child + 1])) ++child;
        if (!less(value, items[child])) break;
        items[root] = std::move(items[child]);
        root = child;
    }
    items[root] = std::move(value);
}

template <class T, class Less>
void HeapSort(T* items, ptrdiff_t count, Less& less) {
    for (ptrdiff_t start = count / 2 - 1; start >= 0; --start) SiftDown(items, start, count, less);
    for (ptrdiff_t end = count - 1; end > 0; --end) {
        std::swap(items[0], items[end]);
        SiftDown(items, 0, end, less);
    }
}

template <class T, class Less>
ptrdiff_t MedianOfThree(T* items, ptrdiff_t i, ptrdiff_t j, ptrdiff_t k, Less& less) {
    if (less(items[i], items[j])) {
        if (less(items[j], items[k])) return j;
        return less(items[i], items[k]) ? k : i;
    }
    if (less(items[i], items[k])) return i;
    return less(items[j], items[k]) ? k : j;
}

// Partitions items[lo..hi] (inclusive, more than two items) around a pivot and returns the
// pivot's final index: both sides are strictly shorter than the range, whatever less answers.
template <class T, class Less>
ptrdiff_t Partition(T* items, ptrdiff_t lo, ptrdiff_t hi, Less& less) {
    const ptrdiff_t count = hi - lo + 1;
    const ptrdiff_t mid = lo + count / 2;
    ptrdiff_t pivotIndex;
    if (count > kIntroSortNintherRun) {
        const ptrdiff_t step = count / 8;
        pivotIndex = MedianOfThree(items, MedianOfThree(items, lo, lo + step, lo + 2 * step, less),
                                   MedianOfThree(items, mid - step, mid, mid + step, less),
                                   MedianOfThree(items, hi - 2 * step, hi - step, hi, less), less);
    } else {
        pivotIndex = MedianOfThree(items, lo, mid, hi, less);
    }
    std::swap(items[lo], items[pivotIndex]);
    const T& pivot = items[lo];
    ptrdiff_t i = lo;
    ptrdiff_t j = hi + 1;
    for (;;) {
        do {
            ++i;
        } while (i < hi && less(items[i], pivot));
        do {
            --j;
        } while (j > lo && less(pivot, items[j]));
        if (i >= j) break;
        std::swap(items[i], items[j]);
    }
    std::swap(items[lo], items[j]);
    return j;
}

template <class T, class Less>
void SortLoop(T* items, ptrdiff_t lo, ptrdiff_t hi, int depthLimit, Less& less) {
    while (hi - lo + 1 > kIntroSortShortRun) {
        if (depthLimit <= 0) {
            HeapSort(items + lo, hi - lo + 1, less);
            return;
        }
        --depthLimit;
        const ptrdiff_t p = Partition(items, lo, hi, less);
        // Recurse into the shorter side so the stack stays logarithmic.
        if (p - lo < hi - p) {
            SortLoop(items, lo, p - 1, depthLimit, less);
            lo = p + 1;
        } else {
            SortLoop(items, p + 1, hi, depthLimit, less);
            hi = p - 1;
        }
    }
    if (hi > lo) InsertionSort(items + lo, hi - lo + 1, less);
}

}  // namespace intro_sort_detail

// Sorts items[0..count) by less(a, b) ("a belongs before b"). depthLimit < 0 chooses the usual
// 2 * floor(log2(count)) partitioning levels before heap sort takes over.
template <class T, class Less>
void IntroSort(T* items, ptrdiff_t count, Less less, int depthLimit = -1) {
    if (items == nullptr || count < 2) return;
    if (depthLimit < 0) {
        depthLimit = 0;
        for (ptrdiff_t n = count; n > 1; n >>= 1) depthLimit += 2;
    }
    intro_sort_detail::SortLoop(items, 0, count - 1, depthLimit, less);
}
