// CPtrListCtrl: the doubly-linked-list CPtrCtrl. It remembers the node last reached by a
// positional operation (GetAt, Set, IsDataAvailable, DeleteAt) or last inserted, and reaches an
// index from the head, the tail or that remembered node, whichever is nearest: walking the list
// in index order with GetAt costs one step per entry. The two-ended search starts at the
// remembered position.
//
// Not guarded: one thread at a time, or under the user's own CBaseLock.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "ptr_ctrl.h"

class ORBO_COMMON_API CPtrListCtrl : public CPtrCtrl {
public:
    CPtrListCtrl();
    // A copy of the source's entries (empty for a null source).
    explicit CPtrListCtrl(CPtrCtrl* source);
    ~CPtrListCtrl() override;

    CPtrListCtrl(const CPtrListCtrl&) = delete;
    CPtrListCtrl& operator=(const CPtrListCtrl&) = delete;

    int Set(int index, void* data) override;
    // The inserted entry becomes the remembered position. -1 when no node can be allocated.
    int AddData(void* data, int index = -1) override;
    // Returns the number of entries added: 0 for a null or empty source, and 0 (nothing added)
    // when the nodes cannot be allocated. The last inserted entry becomes the remembered position.
    int AddPtrCtrl(CPtrCtrl* source, int index = -1) override;
    // Copying the list into itself changes nothing and returns the count.
    int CopyPtrCtrl(CPtrCtrl* source) override;
    bool IsDataAvailable(int index) override;
    void* GetAt(int index) override;
    void* GetHead() override;
    void* GetTail() override;
    // The search starts at the remembered position (0 when there is none), e.g. 7, 8, 6, 9, 5...
    int FindFirst(void* data, PtrCtrlMatchFunc match = nullptr) override;
    int FindNext(void* data, PtrCtrlMatchFunc match = nullptr) override;
    // When the remembered entry is removed, the memory moves to the entry that follows the
    // removed ones (same index), else to the one before them, else it is cleared.
    void* DeleteAt(int index, int count = 1) override;
    void* DeleteHead() override;
    void* DeleteTail() override;
    void DeleteAll() override;
    // A negative `to` means the end. Clears the remembered position.
    bool MoveData(int from, int count, int to) override;
    bool Compare(CPtrCtrl* other, PtrCtrlEqualFunc equal = nullptr) override;
    // Sorts through a temporary CPtrArrayCtrl; clears the remembered position.
    void QuickSort(int first, int last, PtrCtrlOrderFunc order) override;
    int GetCount() override { return m_count; }
    bool IsEmpty() override { return m_count <= 0; }
    const char* GetPtrCtrlName() override { return "ListCtrl"; }
    void Dump(bool ascending = true) override;

    // Empties output and appends to it, as pointer-sized integers, the indices of all matching
    // entries in ascending order (identity without a match function). Nothing without an output
    // or when the output is this list.
    void FindAll(CPtrCtrl* output, void* data, PtrCtrlMatchFunc match);

private:
    struct Node {
        void* data;
        Node* next;
        Node* prev;
    };

    Node* Head() { return m_sentinel.next; }
    Node* Tail() { return m_sentinel.prev; }
    // The node at index, null when out of range; remember makes it the remembered position.
    Node* NodeAt(int index, bool remember);
    void ForgetPosition();
    bool Matches(const Node* node, void* data, PtrCtrlMatchFunc match) const;
    // Re-finds the search cursors' nodes after the list changed; false when they are gone.
    bool RefreshFindNodes();
    int ContinueFind(void* data, PtrCtrlMatchFunc match);

    // Circular: the sentinel's next is the head, its prev the tail.
    Node m_sentinel;
    Node* m_memNode = nullptr;
    int m_memIndex = -1;
    int m_count = 0;
    // Find state: the start index and the last indices examined going up and going down, with
    // their nodes, valid while m_findStamp equals m_changeStamp.
    int m_findStart = -1;
    int m_findUp = -1;
    int m_findDown = -1;
    Node* m_findUpNode = nullptr;
    Node* m_findDownNode = nullptr;
    uint64_t m_findStamp = 0;
    // Bumped on every change of the list's structure.
    uint64_t m_changeStamp = 0;
};
