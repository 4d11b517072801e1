// CPtrArrayCtrl: the growable-array CPtrCtrl. Constant-time index access; appends are amortised
// constant time because the capacity doubles (never below 32 slots once storage exists) and
// halves again only for counts above 32 that fall below half of it.
//
// Not guarded: one thread at a time, or under the user's own CBaseLock.
#pragma once

#include "core/common_api.h"
#include "ptr_ctrl.h"

class ORBO_COMMON_API CPtrArrayCtrl : public CPtrCtrl {
public:
    CPtrArrayCtrl();
    // A copy of the source's entries (empty for a null source).
    explicit CPtrArrayCtrl(CPtrCtrl* source);
    ~CPtrArrayCtrl() override;

    CPtrArrayCtrl(const CPtrArrayCtrl&) = delete;
    CPtrArrayCtrl& operator=(const CPtrArrayCtrl&) = delete;

    int Set(int index, void* data) override;
    int AddData(void* data, int index = -1) override;
    // -1 for a null or empty source or when the storage cannot grow. An array source is copied
    // as one block and the position of its first entry is returned; any other source is added
    // entry by entry and index + the number of entries is returned (a negative index: -1).
    int AddPtrCtrl(CPtrCtrl* source, int index = -1) override;
    // Copying the array into itself changes nothing and returns the count.
    int CopyPtrCtrl(CPtrCtrl* source) override;
    bool IsDataAvailable(int index) override;
    void* GetAt(int index) override;
    void* GetHead() override;
    void* GetTail() override;
    // The search starts at index 0.
    int FindFirst(void* data, PtrCtrlMatchFunc match = nullptr) override;
    int FindNext(void* data, PtrCtrlMatchFunc match = nullptr) override;
    void* DeleteAt(int index, int count = 1) override;
    void* DeleteHead() override;
    void* DeleteTail() override;
    // Removes every entry and frees the storage (count and capacity 0).
    void DeleteAll() override;
    // A negative `to` means the start.
    bool MoveData(int from, int count, int to) override;
    bool Compare(CPtrCtrl* other, PtrCtrlEqualFunc equal = nullptr) override;
    void QuickSort(int first, int last, PtrCtrlOrderFunc order) override;
    int GetCount() override { return m_count; }
    bool IsEmpty() override { return m_count <= 0; }
    const char* GetPtrCtrlName() override { return "ArrayCtrl"; }
    void Dump(bool ascending = true) override;

    // Empties output and appends to it, as pointer-sized integers, the indices of all matching
    // entries in ascending order. Nothing without an output or a match function, or when the
    // output is this array.
    void FindAll(CPtrCtrl* output, void* data, PtrCtrlMatchFunc match);

    // The entry array (null without storage) and the capacity.
    void** GetDataPtr() { return m_entries; }
    int GetCapability() const { return m_capacity; }

private:
    // Adapts the capacity to a new count; false (nothing changed, error line) when the storage
    // cannot grow to hold it.
    bool OnSizeChange(int newCount);
    // Continues the two-ended search from the find state.
    int ContinueFind(void* data, PtrCtrlMatchFunc match);
    bool Matches(int index, void* data, PtrCtrlMatchFunc match) const;

    void** m_entries = nullptr;
    int m_count = 0;
    int m_capacity = 0;
    // Find state: the start index and the last indices examined going up and going down.
    int m_findStart = -1;
    int m_findUp = -1;
    int m_findDown = -1;
};
