#include "hash_table.h"

#include <cstring>
#include <memory>
#include <new>

#include "dbg_output.h"

// ---------------------------------------------------------------------------------------------
// HashBuckets

HashBuckets::HashBuckets(int bucketCount, FreeEntryFunc freeEntry, const char* owner)
    : m_freeEntry(freeEntry) {
    if (bucketCount <= 0 || bucketCount > kMaxHashBuckets) {
        DbgOutputA(kDbgLevelError, "%s: bucket count %d refused (1 to %d), using %d\r\n", owner,
                   bucketCount, kMaxHashBuckets, kDefaultHashBuckets);
        bucketCount = kDefaultHashBuckets;
    }
    m_buckets = new (std::nothrow) CPtrArrayCtrl*[bucketCount]();
    if (m_buckets == nullptr && bucketCount != kDefaultHashBuckets) {
        DbgOutputA(kDbgLevelError, "%s: no memory for %d buckets, using %d\r\n", owner, bucketCount,
                   kDefaultHashBuckets);
        bucketCount = kDefaultHashBuckets;
        m_buckets = new (std::nothrow) CPtrArrayCtrl*[bucketCount]();
    }
    if (m_buckets == nullptr) {
        DbgOutputA(kDbgLevelError, "%s: no memory for %d buckets, using one\r\n", owner,
                   bucketCount);
        m_buckets = &m_lastResortBucket;
        bucketCount = 1;
    }
    m_bucketCount = bucketCount;
}

HashBuckets::~HashBuckets() {
    DeleteAll();
    if (m_buckets != &m_lastResortBucket) delete[] m_buckets;
}

bool HashBuckets::Add(int bucket, void* entry) {
    CPtrArrayCtrl*& slot = m_buckets[bucket];
    if (slot == nullptr) {
        slot = new (std::nothrow) CPtrArrayCtrl();
        if (slot == nullptr) return false;
    }
    if (slot->AddData(entry, -1) < 0) return false;
    ++m_count;
    return true;
}

void* HashBuckets::Remove(int bucket, int index) {
    CPtrArrayCtrl* slot = m_buckets[bucket];
    if (slot == nullptr || !slot->IsDataAvailable(index)) return nullptr;
    void* entry = slot->DeleteAt(index, 1);
    --m_count;
    return entry;
}

void HashBuckets::DeleteBucket(int bucket) {
    CPtrArrayCtrl* slot = m_buckets[bucket];
    if (slot == nullptr) return;
    const int n = slot->GetCount();
    for (int i = 0; i < n; ++i) m_freeEntry(slot->GetAt(i));
    m_count -= n;
    delete slot;
    m_buckets[bucket] = nullptr;
}

void HashBuckets::DeleteAll() {
    for (int i = 0; i < m_bucketCount; ++i) DeleteBucket(i);
    m_count = 0;
}

int HashBuckets::NextUsedBucket(int start) const {
    for (int i = start; i < m_bucketCount; ++i) {
        if (m_buckets[i] != nullptr && m_buckets[i]->GetCount() > 0) return i;
    }
    return -1;
}

int HashBuckets::GetHeadPosition(tagHASHPOSITION& position) const {
    const int bucket = m_count > 0 ? NextUsedBucket(0) : -1;
    if (bucket < 0) {
        position = tagHASHPOSITION{};
        return 0;
    }
    position = tagHASHPOSITION{bucket, 0};
    return 1;
}

int HashBuckets::MoveHashPositionNext(tagHASHPOSITION& position) const {
    if (position.bucket < 0 || position.bucket >= m_bucketCount || position.index < 0) return 0;
    CPtrArrayCtrl* slot = m_buckets[position.bucket];
    if (slot != nullptr && position.index + 1 < slot->GetCount()) {
        ++position.index;
        return 1;
    }
    const int bucket = NextUsedBucket(position.bucket + 1);
    if (bucket < 0) return 0;
    position = tagHASHPOSITION{bucket, 0};
    return 1;
}

void* HashBuckets::EntryAt(tagHASHPOSITION position) const {
    if (position.bucket < 0 || position.bucket >= m_bucketCount) return nullptr;
    CPtrArrayCtrl* slot = m_buckets[position.bucket];
    return slot != nullptr ? slot->GetAt(position.index) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// CHashTable

namespace {

struct NumberEntry {
    uint64_t key;
    void* data;
};

void FreeNumberEntry(void* entry) {
    delete static_cast<NumberEntry*>(entry);
}

int MatchNumberKey(void* entry, void* key) {
    return static_cast<NumberEntry*>(entry)->key == *static_cast<const uint64_t*>(key);
}

}  // namespace

CHashTable::CHashTable() : CHashTable(kDefaultHashBuckets) {}

CHashTable::CHashTable(int bucketCount) : m_buckets(bucketCount, FreeNumberEntry, "CHashTable") {}

CHashTable::~CHashTable() = default;

void CHashTable::DeleteAll() {
    m_buckets.DeleteAll();
}

void CHashTable::AddData(uint64_t key, void* data) {
    auto entry = std::unique_ptr<NumberEntry>(new (std::nothrow) NumberEntry{key, data});
    if (!entry || !m_buckets.Add(m_buckets.BucketOf(key), entry.get())) {
        DbgOutputA(kDbgLevelError, "CHashTable: no memory to add key %llu\r\n",
                   static_cast<unsigned long long>(key));
        return;
    }
    entry.release();  // owned by the bucket now
}

int CHashTable::Search(uint64_t key, bool first, int& bucket) {
    bucket = m_buckets.BucketOf(key);
    CPtrArrayCtrl* slot = m_buckets.Bucket(bucket);
    if (slot == nullptr) return -1;
    return first ? slot->FindFirst(&key, MatchNumberKey) : slot->FindNext(&key, MatchNumberKey);
}

void CHashTable::SetData(uint64_t key, void* data) {
    int bucket = 0;
    const int index = Search(key, true, bucket);
    if (index >= 0) static_cast<NumberEntry*>(m_buckets.Bucket(bucket)->GetAt(index))->data = data;
}

void* CHashTable::FindFirstData(uint64_t key) {
    int bucket = 0;
    const int index = Search(key, true, bucket);
    return index < 0 ? nullptr
                     : static_cast<NumberEntry*>(m_buckets.Bucket(bucket)->GetAt(index))->data;
}

void* CHashTable::FindNextData(uint64_t key) {
    int bucket = 0;
    const int index = Search(key, false, bucket);
    return index < 0 ? nullptr
                     : static_cast<NumberEntry*>(m_buckets.Bucket(bucket)->GetAt(index))->data;
}

void CHashTable::FindAllHashData(CPtrCtrl* output, uint64_t key) {
    if (output == nullptr) return;
    CPtrArrayCtrl* slot = m_buckets.Bucket(m_buckets.BucketOf(key));
    if (slot == nullptr) return;
    for (int i = 0; i < slot->GetCount(); ++i) {
        auto* entry = static_cast<NumberEntry*>(slot->GetAt(i));
        if (entry->key == key) output->AddData(entry->data, -1);
    }
}

void* CHashTable::DeleteFirstData(uint64_t key) {
    int bucket = 0;
    const int index = Search(key, true, bucket);
    if (index < 0) return nullptr;
    std::unique_ptr<NumberEntry> entry(static_cast<NumberEntry*>(m_buckets.Remove(bucket, index)));
    return entry ? entry->data : nullptr;
}

void* CHashTable::DeleteNextData(uint64_t key) {
    int bucket = 0;
    const int index = Search(key, false, bucket);
    if (index < 0) return nullptr;
    std::unique_ptr<NumberEntry> entry(static_cast<NumberEntry*>(m_buckets.Remove(bucket, index)));
    return entry ? entry->data : nullptr;
}

void CHashTable::DeleteAllData(uint64_t key) {
    m_buckets.DeleteBucket(m_buckets.BucketOf(key));
}

int CHashTable::IsDataAvailable(uint64_t key) {
    int bucket = 0;
    return Search(key, true, bucket) >= 0 ? 1 : 0;
}

int CHashTable::GetHeadPosition(tagHASHPOSITION& position) {
    return m_buckets.GetHeadPosition(position);
}

int CHashTable::MoveHashPositionNext(tagHASHPOSITION& position) {
    return m_buckets.MoveHashPositionNext(position);
}

int CHashTable::IsDataAvailable(tagHASHPOSITION position) {
    return m_buckets.EntryAt(position) != nullptr ? 1 : 0;
}

void* CHashTable::GetDataAt(tagHASHPOSITION position) {
    auto* entry = static_cast<NumberEntry*>(m_buckets.EntryAt(position));
    return entry != nullptr ? entry->data : nullptr;
}

// ---------------------------------------------------------------------------------------------
// CCRCHashTable

namespace {

struct ByteEntry {
    std::unique_ptr<uint8_t[]> key;
    int length;
    uint32_t hash;
    void* data;
};

void FreeByteEntry(void* entry) {
    delete static_cast<ByteEntry*>(entry);
}

}  // namespace

struct CCRCHashTable::Probe {
    const uint8_t* key;
    int length;
    uint32_t hash;
};

int CCRCHashTable::MatchKey(void* entry, void* probe) {
    const auto* e = static_cast<const ByteEntry*>(entry);
    const auto* p = static_cast<const CCRCHashTable::Probe*>(probe);
    return e->length == p->length && e->hash == p->hash &&
           (p->length == 0 || std::memcmp(e->key.get(), p->key, p->length) == 0);
}

CCRCHashTable::CCRCHashTable() : CCRCHashTable(kDefaultHashBuckets) {}

CCRCHashTable::CCRCHashTable(int bucketCount)
    : m_buckets(bucketCount, FreeByteEntry, "CCRCHashTable") {}

CCRCHashTable::~CCRCHashTable() = default;

CCRCHashTable::Probe CCRCHashTable::MakeProbe(const void* key, int length) {
    const auto* bytes = static_cast<const uint8_t*>(key);
    if (bytes == nullptr) {
        length = 0;
    } else if (length < 0) {
        length = static_cast<int>(std::strlen(static_cast<const char*>(key)));
    }
    m_crc.Reset();
    m_crc.AppendData(bytes, length);
    return Probe{bytes, length, m_crc.GetResult()};
}

int CCRCHashTable::Search(const Probe& probe, bool first) {
    CPtrArrayCtrl* slot = m_buckets.Bucket(m_buckets.BucketOf(probe.hash));
    if (slot == nullptr) return -1;
    void* data = const_cast<Probe*>(&probe);
    return first ? slot->FindFirst(data, MatchKey) : slot->FindNext(data, MatchKey);
}

void CCRCHashTable::DeleteAll() {
    m_buckets.DeleteAll();
}

void CCRCHashTable::AddData(const void* key, int length, void* data) {
    const Probe probe = MakeProbe(key, length);
    auto entry = std::unique_ptr<ByteEntry>(new (std::nothrow) ByteEntry{
        std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[probe.length > 0 ? probe.length : 1]),
        probe.length, probe.hash, data});
    if (!entry || !entry->key) {
        DbgOutputA(kDbgLevelError, "CCRCHashTable: no memory for a key of %d bytes\r\n",
                   probe.length);
        return;
    }
    if (probe.length > 0) std::memcpy(entry->key.get(), probe.key, probe.length);
    if (!m_buckets.Add(m_buckets.BucketOf(probe.hash), entry.get())) {
        DbgOutputA(kDbgLevelError, "CCRCHashTable: no memory to add a key of %d bytes\r\n",
                   probe.length);
        return;
    }
    entry.release();  // owned by the bucket now
}

void CCRCHashTable::SetData(const void* key, int length, void* data) {
    const Probe probe = MakeProbe(key, length);
    const int index = Search(probe, true);
    if (index < 0) return;
    CPtrArrayCtrl* slot = m_buckets.Bucket(m_buckets.BucketOf(probe.hash));
    static_cast<ByteEntry*>(slot->GetAt(index))->data = data;
}

void* CCRCHashTable::FindFirstData(const void* key, int length) {
    const Probe probe = MakeProbe(key, length);
    const int index = Search(probe, true);
    if (index < 0) return nullptr;
    CPtrArrayCtrl* slot = m_buckets.Bucket(m_buckets.BucketOf(probe.hash));
    return static_cast<ByteEntry*>(slot->GetAt(index))->data;
}

void* CCRCHashTable::FindNextData(const void* key, int length) {
    const Probe probe = MakeProbe(key, length);
    const int index = Search(probe, false);
    if (index < 0) return nullptr;
    CPtrArrayCtrl* slot = m_buckets.Bucket(m_buckets.BucketOf(probe.hash));
    return static_cast<ByteEntry*>(slot->GetAt(index))->data;
}

void CCRCHashTable::FindAllCRCHashData(CPtrCtrl* output, const void* key, int length) {
    if (output == nullptr) return;
    const Probe probe = MakeProbe(key, length);
    CPtrArrayCtrl* slot = m_buckets.Bucket(m_buckets.BucketOf(probe.hash));
    if (slot == nullptr) return;
    for (int i = 0; i < slot->GetCount(); ++i) {
        void* entry = slot->GetAt(i);
        if (MatchKey(entry, const_cast<Probe*>(&probe))) {
            output->AddData(static_cast<ByteEntry*>(entry)->data, -1);
        }
    }
}

void* CCRCHashTable::DeleteFirstData(const void* key, int length) {
    const Probe probe = MakeProbe(key, length);
    const int index = Search(probe, true);
    if (index < 0) return nullptr;
    std::unique_ptr<ByteEntry> entry(
        static_cast<ByteEntry*>(m_buckets.Remove(m_buckets.BucketOf(probe.hash), index)));
    return entry ? entry->data : nullptr;
}

void* CCRCHashTable::DeleteNextData(const void* key, int length) {
    const Probe probe = MakeProbe(key, length);
    const int index = Search(probe, false);
    if (index < 0) return nullptr;
    std::unique_ptr<ByteEntry> entry(
        static_cast<ByteEntry*>(m_buckets.Remove(m_buckets.BucketOf(probe.hash), index)));
    return entry ? entry->data : nullptr;
}

void CCRCHashTable::DeleteAllData(const void* key, int length) {
    const Probe probe = MakeProbe(key, length);
    m_buckets.DeleteBucket(m_buckets.BucketOf(probe.hash));
}

int CCRCHashTable::IsDataAvailable(const void* key, int length) {
    return Search(MakeProbe(key, length), true) >= 0 ? 1 : 0;
}

int CCRCHashTable::GetHeadPosition(tagHASHPOSITION& position) {
    return m_buckets.GetHeadPosition(position);
}

int CCRCHashTable::MoveHashPositionNext(tagHASHPOSITION& position) {
    return m_buckets.MoveHashPositionNext(position);
}

int CCRCHashTable::IsDataAvailable(tagHASHPOSITION position) {
    return m_buckets.EntryAt(position) != nullptr ? 1 : 0;
}

void* CCRCHashTable::GetDataAt(tagHASHPOSITION position) {
    auto* entry = static_cast<ByteEntry*>(m_buckets.EntryAt(position));
    return entry != nullptr ? entry->data : nullptr;
}
