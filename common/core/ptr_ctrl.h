// CPtrCtrl: the abstract container of untyped pointer-sized values, implemented by CPtrArrayCtrl
// (a growable array) and CPtrListCtrl (a doubly linked list). Both offer the same index-based
// interface, so code written against CPtrCtrl works with either.
//
// Containers hold borrowed pointers only: they never free what the entries point to. Whoever puts
// a pointer in frees the object behind it. The plot code stores packed 64-bit points directly in
// the entries.
//
// Not guarded: one thread at a time, or under the user's own CBaseLock.
#pragma once
#include "core/common_api.h"

// A match function: (entry, data) -> nonzero for a match.
using PtrCtrlMatchFunc = int (*)(void* entry, void* data);
// An equality function: (entry, entry) -> true when equal.
using PtrCtrlEqualFunc = bool (*)(void* entry1, void* entry2);
// An order function: negative when entry1 belongs before entry2.
using PtrCtrlOrderFunc = int (*)(void* const& entry1, void* const& entry2);

class ORBO_COMMON_API CPtrCtrl {
public:
    virtual ~CPtrCtrl() = default;

    // Replaces the entry at index; returns the index, -1 when it is out of range.
    virtual int Set(int index, void* data) = 0;
    // Inserts data at index (negative or beyond the count: at the end); returns the position
    // used, -1 when the storage cannot grow.
    virtual int AddData(void* data, int index = -1) = 0;
    // Inserts all entries of source, in order, from index on (-1: append). A source equal to the
    // container itself is copied first. The result differs per implementation (see there).
    virtual int AddPtrCtrl(CPtrCtrl* source, int index = -1) = 0;
    // Makes this container a copy of source; returns the new count, 0 for a null source.
    virtual int CopyPtrCtrl(CPtrCtrl* source) = 0;
    // Whether index is in range.
    virtual bool IsDataAvailable(int index) = 0;
    // The entry at index, null when out of range.
    virtual void* GetAt(int index) = 0;
    // First and last entry, null when empty.
    virtual void* GetHead() = 0;
    virtual void* GetTail() = 0;
    // Two-ended search: FindFirst examines a start index, then alternately the next index above
    // and the next index below, wrapping around the ends, until every index has been examined
    // once; FindNext resumes where the last answer was found. Every matching index is returned
    // exactly once (not in ascending order), then -1. Without a match function an entry matches
    // when it is identical to data. Changing the container between the calls makes the
    // continuation meaningless (but safe).
    virtual int FindFirst(void* data, PtrCtrlMatchFunc match = nullptr) = 0;
    virtual int FindNext(void* data, PtrCtrlMatchFunc match = nullptr) = 0;
    // Removes up to count entries from index on; returns the first removed entry, null when index
    // is out of range or count is not positive.
    virtual void* DeleteAt(int index, int count = 1) = 0;
    virtual void* DeleteHead() = 0;
    virtual void* DeleteTail() = 0;
    virtual void DeleteAll() = 0;
    // Takes count entries from `from` out and puts them back, in order, starting at `to` (or
    // ending at the end when `to` lies beyond what remains). from is limited to the last index,
    // count to the entries from there on, a `to` beyond the last index to the last index; a
    // negative `to` means the start (array) or the end (list). Returns true when something moved.
    virtual bool MoveData(int from, int count, int to) = 0;
    // True when both have the same count and entries at the same index are equal (by the
    // function, or by identity without one).
    virtual bool Compare(CPtrCtrl* other, PtrCtrlEqualFunc equal = nullptr) = 0;
    // Sorts entries first..last inclusive (negative last or beyond the end: the last index;
    // negative first: 0) with an unstable introspective sort, a negative order result meaning
    // "less". An order function that is not a consistent ordering leaves the entries in some
    // order but never makes the sort leave the range.
    virtual void QuickSort(int first, int last, PtrCtrlOrderFunc order) = 0;
    virtual int GetCount() = 0;
    virtual bool IsEmpty() = 0;
    // "ArrayCtrl" or "ListCtrl".
    virtual const char* GetPtrCtrlName() = 0;
    // Writes "Dump, Asce" or "Dump, Desc" and then every entry as an unsigned decimal number, at
    // level 2, first to last when ascending, last to first otherwise.
    virtual void Dump(bool ascending = true) = 0;
};
