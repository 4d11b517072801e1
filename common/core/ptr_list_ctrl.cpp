#include "ptr_list_ctrl.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "dbg_output.h"
#include "ptr_array_ctrl.h"

CPtrListCtrl::CPtrListCtrl() : m_sentinel{nullptr, &m_sentinel, &m_sentinel} {}

CPtrListCtrl::CPtrListCtrl(CPtrCtrl* source) : CPtrListCtrl() {
    CPtrListCtrl::CopyPtrCtrl(source);
}

CPtrListCtrl::~CPtrListCtrl() {
    CPtrListCtrl::DeleteAll();
}

void CPtrListCtrl::ForgetPosition() {
    m_memNode = nullptr;
    m_memIndex = -1;
}

CPtrListCtrl::Node* CPtrListCtrl::NodeAt(int index, bool remember) {
    if (index < 0 || index >= m_count) return nullptr;
    const int fromHead = index;
    const int fromTail = m_count - 1 - index;
    Node* node = fromHead <= fromTail ? Head() : Tail();
    int pos = fromHead <= fromTail ? 0 : m_count - 1;
    if (m_memNode != nullptr && std::abs(index - m_memIndex) < std::min(fromHead, fromTail)) {
        node = m_memNode;
        pos = m_memIndex;
    }
    for (; pos < index; ++pos) node = node->next;
    for (; pos > index; --pos) node = node->prev;
    if (remember) {
        m_memNode = node;
        m_memIndex = index;
    }
    return node;
}

int CPtrListCtrl::Set(int index, void* data) {
    Node* node = NodeAt(index, true);
    if (node == nullptr) return -1;
    node->data = data;
    return index;
}

int CPtrListCtrl::AddData(void* data, int index) {
    if (m_count == INT_MAX) {
        DbgOutputA(kDbgLevelError, "CPtrListCtrl::AddData: the list is full, refused\r\n");
        return -1;
    }
    const int pos = (index < 0 || index > m_count) ? m_count : index;
    Node* before = pos == m_count ? &m_sentinel : NodeAt(pos, false);
    Node* node = new (std::nothrow) Node{data, before, before->prev};
    if (node == nullptr) {
        DbgOutputA(kDbgLevelError, "CPtrListCtrl::AddData: allocating a node failed\r\n");
        return -1;
    }
    before->prev->next = node;
    before->prev = node;
    ++m_count;
    ++m_changeStamp;
    m_memNode = node;
    m_memIndex = pos;
    return pos;
}

int CPtrListCtrl::AddPtrCtrl(CPtrCtrl* source, int index) {
    if (source == nullptr) return 0;
    const int added = source->GetCount();
    if (added <= 0) return 0;
    if (added > INT_MAX - m_count) {
        DbgOutputA(kDbgLevelError,
                   "CPtrListCtrl::AddPtrCtrl: %d + %d entries do not fit an int count, refused\r\n",
                   m_count, added);
        return 0;
    }
    // Build the new nodes as a detached chain first: a source equal to this list is read before
    // anything changes, and a failed allocation leaves the list as it was.
    Node* chainFirst = nullptr;
    Node* chainLast = nullptr;
    Node* own = Head();
    for (int i = 0; i < added; ++i) {
        void* data = nullptr;
        if (source == this) {
            data = own->data;
            own = own->next;
        } else {
            data = source->GetAt(i);
        }
        Node* node = new (std::nothrow) Node{data, nullptr, chainLast};
        if (node == nullptr) {
            while (chainFirst != nullptr) {
                Node* next = chainFirst->next;
                delete chainFirst;
                chainFirst = next;
            }
            DbgOutputA(kDbgLevelError,
                       "CPtrListCtrl::AddPtrCtrl: allocating %d nodes failed, nothing added\r\n",
                       added);
            return 0;
        }
        if (chainLast != nullptr) {
            chainLast->next = node;
        } else {
            chainFirst = node;
        }
        chainLast = node;
    }
    const int pos = (index < 0 || index > m_count) ? m_count : index;
    Node* before = pos == m_count ? &m_sentinel : NodeAt(pos, false);
    chainFirst->prev = before->prev;
    chainLast->next = before;
    before->prev->next = chainFirst;
    before->prev = chainLast;
    m_count += added;
    ++m_changeStamp;
    m_memNode = chainLast;
    m_memIndex = pos + added - 1;
    return added;
}

int CPtrListCtrl::CopyPtrCtrl(CPtrCtrl* source) {
    if (source == nullptr) return 0;
    if (source == this) return m_count;
    DeleteAll();
    AddPtrCtrl(source, -1);
    return m_count;
}

bool CPtrListCtrl::IsDataAvailable(int index) {
    return NodeAt(index, true) != nullptr;
}

void* CPtrListCtrl::GetAt(int index) {
    Node* node = NodeAt(index, true);
    return node != nullptr ? node->data : nullptr;
}

void* CPtrListCtrl::GetHead() {
    return m_count > 0 ? Head()->data : nullptr;
}

void* CPtrListCtrl::GetTail() {
    return m_count > 0 ? Tail()->data : nullptr;
}

bool CPtrListCtrl::Matches(const Node* node, void* data, PtrCtrlMatchFunc match) const {
    return match != nullptr ? match(node->data, data) != 0 : node->data == data;
}

int CPtrListCtrl::FindFirst(void* data, PtrCtrlMatchFunc match) {
    m_findStart = m_findUp = m_findDown = -1;
    m_findUpNode = m_findDownNode = nullptr;
    if (m_count <= 0) return -1;
    const bool remembered = m_memNode != nullptr && m_memIndex >= 0 && m_memIndex < m_count;
    m_findStart = m_findUp = m_findDown = remembered ? m_memIndex : 0;
    m_findUpNode = m_findDownNode = remembered ? m_memNode : Head();
    m_findStamp = m_changeStamp;
    if (Matches(m_findUpNode, data, match)) return m_findStart;
    return ContinueFind(data, match);
}

int CPtrListCtrl::FindNext(void* data, PtrCtrlMatchFunc match) {
    return ContinueFind(data, match);
}

bool CPtrListCtrl::RefreshFindNodes() {
    if (m_findStart < 0 || m_findUp < 0 || m_findDown < 0) return false;
    if (m_findStamp == m_changeStamp && m_findUpNode != nullptr && m_findDownNode != nullptr) {
        return true;
    }
    m_findUpNode = NodeAt(m_findUp, false);
    m_findDownNode = NodeAt(m_findDown, false);
    m_findStamp = m_changeStamp;
    return m_findUpNode != nullptr && m_findDownNode != nullptr;
}

int CPtrListCtrl::ContinueFind(void* data, PtrCtrlMatchFunc match) {
    // Indices from m_findDown up to m_findUp (wrapping) have been examined. A match function may
    // change the list, so the cursor nodes are checked again after every call.
    for (;;) {
        if (!RefreshFindNodes()) return -1;
        const int up = m_findUp + 1 == m_count ? 0 : m_findUp + 1;
        if (up == m_findDown) return -1;
        m_findUp = up;
        m_findUpNode = m_findUpNode->next == &m_sentinel ? Head() : m_findUpNode->next;
        if (Matches(m_findUpNode, data, match)) return up;
        if (!RefreshFindNodes()) return -1;
        const int down = m_findDown == 0 ? m_count - 1 : m_findDown - 1;
        if (down != m_findUp) {
            m_findDown = down;
            m_findDownNode = m_findDownNode->prev == &m_sentinel ? Tail() : m_findDownNode->prev;
            if (Matches(m_findDownNode, data, match)) return down;
        }
    }
}

void* CPtrListCtrl::DeleteAt(int index, int count) {
    if (count <= 0) return nullptr;
    Node* first = NodeAt(index, true);
    if (first == nullptr) return nullptr;
    const int removed = std::min(count, m_count - index);
    Node* before = first->prev;
    Node* after = first;
    for (int i = 0; i < removed; ++i) after = after->next;
    before->next = after;
    after->prev = before;
    void* firstData = first->data;
    for (Node* node = first; node != after;) {
        Node* next = node->next;
        delete node;
        node = next;
    }
    m_count -= removed;
    ++m_changeStamp;
    // The remembered node was the first removed one.
    if (after != &m_sentinel) {
        m_memNode = after;
        m_memIndex = index;
    } else if (before != &m_sentinel) {
        m_memNode = before;
        m_memIndex = index - 1;
    } else {
        ForgetPosition();
    }
    return firstData;
}

void* CPtrListCtrl::DeleteHead() {
    return DeleteAt(0, 1);
}

void* CPtrListCtrl::DeleteTail() {
    return DeleteAt(m_count - 1, 1);
}

void CPtrListCtrl::DeleteAll() {
    for (Node* node = Head(); node != &m_sentinel;) {
        Node* next = node->next;
        delete node;
        node = next;
    }
    m_sentinel.next = m_sentinel.prev = &m_sentinel;
    m_count = 0;
    ++m_changeStamp;
    ForgetPosition();
}

bool CPtrListCtrl::MoveData(int from, int count, int to) {
    if (m_count < 2 || count <= 0 || from < 0) return false;
    const int last = m_count - 1;
    from = std::min(from, last);
    count = std::min(count, m_count - from);
    if (to < 0) to = last;
    to = std::min(to, last);
    if (from == to) return false;
    const int remaining = m_count - count;
    const int target = std::min(to, remaining);
    if (target == from) return false;
    Node* blockFirst = NodeAt(from, false);
    Node* blockLast = blockFirst;
    for (int i = 1; i < count; ++i) blockLast = blockLast->next;
    blockFirst->prev->next = blockLast->next;
    blockLast->next->prev = blockFirst->prev;
    Node* before = Head();
    for (int i = 0; i < target; ++i) before = before->next;
    blockFirst->prev = before->prev;
    blockLast->next = before;
    before->prev->next = blockFirst;
    before->prev = blockLast;
    ++m_changeStamp;
    ForgetPosition();
    return true;
}

bool CPtrListCtrl::Compare(CPtrCtrl* other, PtrCtrlEqualFunc equal) {
    if (other == nullptr) return false;
    if (other == this) return true;
    if (other->GetCount() != m_count) return false;
    int i = 0;
    for (Node* node = Head(); node != &m_sentinel; node = node->next, ++i) {
        void* theirs = other->GetAt(i);
        if (equal != nullptr ? !equal(node->data, theirs) : node->data != theirs) return false;
    }
    return true;
}

void CPtrListCtrl::QuickSort(int first, int last, PtrCtrlOrderFunc order) {
    if (m_count < 2) return;
    if (order == nullptr) {
        DbgOutputA(kDbgLevelWarning, "CPtrListCtrl::QuickSort: no order function, not sorted\r\n");
        return;
    }
    CPtrArrayCtrl sorted;
    sorted.AddPtrCtrl(this, -1);
    if (sorted.GetCount() != m_count) {
        DbgOutputA(kDbgLevelError, "CPtrListCtrl::QuickSort: no room to sort %d entries\r\n",
                   m_count);
        return;
    }
    sorted.QuickSort(first, last, order);
    // Written back into the existing nodes: nothing to allocate, nothing to lose.
    void** entries = sorted.GetDataPtr();
    int i = 0;
    for (Node* node = Head(); node != &m_sentinel; node = node->next) node->data = entries[i++];
    ForgetPosition();
}

void CPtrListCtrl::Dump(bool ascending) {
    DbgOutputA(kDbgLevelInfo, "Dump, %s\r\n", ascending ? "Asce" : "Desc");
    Node* node = ascending ? Head() : Tail();
    for (; node != &m_sentinel; node = ascending ? node->next : node->prev) {
        DbgOutputA(kDbgLevelInfo, "%llu\r\n",
                   static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(node->data)));
    }
}

void CPtrListCtrl::FindAll(CPtrCtrl* output, void* data, PtrCtrlMatchFunc match) {
    if (output == nullptr || output == this) return;
    output->DeleteAll();
    int i = 0;
    for (Node* node = Head(); node != &m_sentinel; node = node->next, ++i) {
        if (Matches(node, data, match)) {
            output->AddData(reinterpret_cast<void*>(static_cast<uintptr_t>(i)), -1);
        }
    }
}
