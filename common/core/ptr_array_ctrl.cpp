#include "ptr_array_ctrl.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dbg_output.h"
#include "intro_sort.h"

namespace {

// Storage never holds fewer slots than this once it exists.
constexpr int kMinArrayCapacity = 32;
// The largest capacity the doubling can reach with an int count.
constexpr int kMaxArrayCapacity = 1 << 30;

void MoveEntries(void** target, void** source, int count) {
    if (count > 0) std::memmove(target, source, static_cast<size_t>(count) * sizeof(void*));
}

}  // namespace

CPtrArrayCtrl::CPtrArrayCtrl() = default;

CPtrArrayCtrl::CPtrArrayCtrl(CPtrCtrl* source) {
    CPtrArrayCtrl::CopyPtrCtrl(source);
}

CPtrArrayCtrl::~CPtrArrayCtrl() {
    std::free(m_entries);
}

bool CPtrArrayCtrl::OnSizeChange(int newCount) {
    int capacity = m_capacity;
    if (newCount > capacity || (m_entries == nullptr && newCount > 0)) {
        capacity = std::max(capacity, kMinArrayCapacity);
        while (capacity < newCount) {
            if (capacity > kMaxArrayCapacity / 2) {
                DbgOutputA(kDbgLevelError,
                           "CPtrArrayCtrl: %d entries exceed the largest capacity %d, refused\r\n",
                           newCount, kMaxArrayCapacity);
                return false;
            }
            capacity *= 2;
        }
    } else if (newCount > kMinArrayCapacity && newCount < capacity / 2) {
        while (capacity / 2 >= newCount) capacity /= 2;
    }
    if (capacity == m_capacity) return true;
    void* grown = std::realloc(m_entries, static_cast<size_t>(capacity) * sizeof(void*));
    if (grown == nullptr) {
        // A failed shrink keeps the larger block, which still holds everything.
        if (capacity < m_capacity) return true;
        DbgOutputA(kDbgLevelError, "CPtrArrayCtrl: allocating %d slots failed\r\n", capacity);
        return false;
    }
    m_entries = static_cast<void**>(grown);
    m_capacity = capacity;
    return true;
}

int CPtrArrayCtrl::Set(int index, void* data) {
    if (index < 0 || index >= m_count) return -1;
    m_entries[index] = data;
    return index;
}

int CPtrArrayCtrl::AddData(void* data, int index) {
    const int pos = (index < 0 || index > m_count) ? m_count : index;
    if (!OnSizeChange(m_count + 1)) return -1;
    MoveEntries(m_entries + pos + 1, m_entries + pos, m_count - pos);
    m_entries[pos] = data;
    ++m_count;
    return pos;
}

int CPtrArrayCtrl::AddPtrCtrl(CPtrCtrl* source, int index) {
    if (source == nullptr) return -1;
    const int added = source->GetCount();
    if (added <= 0) return -1;
    if (added > kMaxArrayCapacity - m_count) {
        DbgOutputA(kDbgLevelError,
                   "CPtrArrayCtrl::AddPtrCtrl: %d + %d entries exceed the largest capacity %d, "
                   "refused\r\n",
                   m_count, added, kMaxArrayCapacity);
        return -1;
    }
    const int pos = (index < 0 || index > m_count) ? m_count : index;
    auto* arraySource = dynamic_cast<CPtrArrayCtrl*>(source);
    if (!OnSizeChange(m_count + added)) return -1;
    MoveEntries(m_entries + pos + added, m_entries + pos, m_count - pos);
    if (source == this) {
        // The old entries now lie at [0, pos) and [pos + added, count + added).
        MoveEntries(m_entries + pos, m_entries, pos);
        MoveEntries(m_entries + 2 * pos, m_entries + pos + added, added - pos);
    } else if (arraySource != nullptr) {
        MoveEntries(m_entries + pos, arraySource->m_entries, added);
    } else {
        for (int i = 0; i < added; ++i) m_entries[pos + i] = source->GetAt(i);
    }
    m_count += added;
    if (arraySource != nullptr) return pos;
    return index < 0 ? -1 : index + added;
}

int CPtrArrayCtrl::CopyPtrCtrl(CPtrCtrl* source) {
    if (source == nullptr) return 0;
    if (source == this) return m_count;
    DeleteAll();
    AddPtrCtrl(source, -1);
    return m_count;
}

bool CPtrArrayCtrl::IsDataAvailable(int index) {
    return index >= 0 && index < m_count;
}

void* CPtrArrayCtrl::GetAt(int index) {
    return IsDataAvailable(index) ? m_entries[index] : nullptr;
}

void* CPtrArrayCtrl::GetHead() {
    return m_count > 0 ? m_entries[0] : nullptr;
}

void* CPtrArrayCtrl::GetTail() {
    return m_count > 0 ? m_entries[m_count - 1] : nullptr;
}

bool CPtrArrayCtrl::Matches(int index, void* data, PtrCtrlMatchFunc match) const {
    void* entry = m_entries[index];
    return match != nullptr ? match(entry, data) != 0 : entry == data;
}

int CPtrArrayCtrl::FindFirst(void* data, PtrCtrlMatchFunc match) {
    m_findStart = m_findUp = m_findDown = -1;
    if (m_count <= 0) return -1;
    m_findStart = m_findUp = m_findDown = 0;
    if (Matches(0, data, match)) return 0;
    return ContinueFind(data, match);
}

int CPtrArrayCtrl::FindNext(void* data, PtrCtrlMatchFunc match) {
    return ContinueFind(data, match);
}

int CPtrArrayCtrl::ContinueFind(void* data, PtrCtrlMatchFunc match) {
    const int n = m_count;
    if (m_findStart < 0 || m_findUp < 0 || m_findDown < 0 || m_findUp >= n || m_findDown >= n) {
        return -1;
    }
    // Indices from m_findDown up to m_findUp (wrapping) have been examined.
    for (;;) {
        const int up = m_findUp + 1 == n ? 0 : m_findUp + 1;
        if (up == m_findDown) return -1;
        m_findUp = up;
        if (Matches(up, data, match)) return up;
        const int down = m_findDown == 0 ? n - 1 : m_findDown - 1;
        if (down != m_findUp) {
            m_findDown = down;
            if (Matches(down, data, match)) return down;
        }
    }
}

void* CPtrArrayCtrl::DeleteAt(int index, int count) {
    if (index < 0 || index >= m_count || count <= 0) return nullptr;
    const int removed = std::min(count, m_count - index);
    void* first = m_entries[index];
    MoveEntries(m_entries + index, m_entries + index + removed, m_count - index - removed);
    m_count -= removed;
    OnSizeChange(m_count);
    return first;
}

void* CPtrArrayCtrl::DeleteHead() {
    return DeleteAt(0, 1);
}

void* CPtrArrayCtrl::DeleteTail() {
    return DeleteAt(m_count - 1, 1);
}

void CPtrArrayCtrl::DeleteAll() {
    std::free(m_entries);
    m_entries = nullptr;
    m_count = 0;
    m_capacity = 0;
}

bool CPtrArrayCtrl::MoveData(int from, int count, int to) {
    if (m_count < 2 || count <= 0 || from < 0) return false;
    const int last = m_count - 1;
    from = std::min(from, last);
    count = std::min(count, m_count - from);
    if (to < 0) to = 0;
    to = std::min(to, last);
    if (from == to) return false;
    // Where the block starts once the others have closed up.
    const int target = std::min(to, m_count - count);
    if (target == from) return false;
    void** entries = m_entries;
    if (target < from) {
        std::rotate(entries + target, entries + from, entries + from + count);
    } else {
        std::rotate(entries + from, entries + from + count, entries + target + count);
    }
    return true;
}

bool CPtrArrayCtrl::Compare(CPtrCtrl* other, PtrCtrlEqualFunc equal) {
    if (other == nullptr) return false;
    if (other == this) return true;
    if (other->GetCount() != m_count) return false;
    for (int i = 0; i < m_count; ++i) {
        void* mine = m_entries[i];
        void* theirs = other->GetAt(i);
        if (equal != nullptr ? !equal(mine, theirs) : mine != theirs) return false;
    }
    return true;
}

void CPtrArrayCtrl::QuickSort(int first, int last, PtrCtrlOrderFunc order) {
    if (m_count < 2) return;
    if (order == nullptr) {
        DbgOutputA(kDbgLevelWarning, "CPtrArrayCtrl::QuickSort: no order function, not sorted\r\n");
        return;
    }
    const int lastIndex = m_count - 1;
    if (last < 0 || last > lastIndex) last = lastIndex;
    if (first < 0) first = 0;
    if (first > lastIndex) first = lastIndex;
    if (first >= last) return;
    IntroSort(m_entries + first, last - first + 1,
              [order](void* const& a, void* const& b) { return order(a, b) < 0; });
}

void CPtrArrayCtrl::Dump(bool ascending) {
    DbgOutputA(kDbgLevelInfo, "Dump, %s\r\n", ascending ? "Asce" : "Desc");
    for (int i = 0; i < m_count; ++i) {
        void* entry = m_entries[ascending ? i : m_count - 1 - i];
        DbgOutputA(kDbgLevelInfo, "%llu\r\n",
                   static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(entry)));
    }
}

void CPtrArrayCtrl::FindAll(CPtrCtrl* output, void* data, PtrCtrlMatchFunc match) {
    if (output == nullptr || match == nullptr || output == this) return;
    output->DeleteAll();
    for (int i = 0; i < m_count; ++i) {
        if (match(m_entries[i], data) != 0) {
            output->AddData(reinterpret_cast<void*>(static_cast<uintptr_t>(i)), -1);
        }
    }
}
