// Chained hash tables that map a key to untyped data pointers, several entries per key allowed:
// CHashTable is keyed by a 64-bit number (bucket = key modulo the bucket count), CCRCHashTable
// by a byte sequence (bucket = its CRC-32 hash modulo the bucket count, the hash being the
// default set of CCRC32 in misc/crc32.h: "abc" hashes to 0x9B73448C).
//
// Each bucket is a CPtrArrayCtrl created when its first entry lands; the find operations use that
// array's two-ended search (FindFirst/FindNext), so the entries of one key come back each exactly
// once, though not necessarily in insertion order when other keys share the bucket. The tables
// own their entries (and CCRCHashTable a copy of each key) but never the data pointed to.
//
// A bucket count of 0 or below (or beyond kMaxHashBuckets) is refused: the table then has the
// default 4096 buckets and an error line says so.
//
// Not guarded. CCRCHashTable's hash state changes on every operation, lookups included, so one
// table is used by one thread at a time.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "misc/crc32.h"
#include "ptr_array_ctrl.h"

constexpr int kDefaultHashBuckets = 4096;
constexpr int kMaxHashBuckets = 1 << 24;

// A place in a table, passed by value as one 64-bit number: the bucket index in the low half and
// the index inside the bucket in the high half.
struct ORBO_COMMON_API tagHASHPOSITION {
    int bucket = -1;
    int index = -1;
};
static_assert(sizeof(tagHASHPOSITION) == 8);

// The bucket array shared by both tables: buckets, bucket count and entry count. Entries are
// opaque here; the owning table says how one is freed.
class ORBO_COMMON_API HashBuckets {
public:
    using FreeEntryFunc = void (*)(void* entry);

    HashBuckets(int bucketCount, FreeEntryFunc freeEntry, const char* owner);
    ~HashBuckets();
    HashBuckets(const HashBuckets&) = delete;
    HashBuckets& operator=(const HashBuckets&) = delete;

    int BucketOf(uint64_t hash) const { return static_cast<int>(hash % m_bucketCount); }
    // The bucket, null while it holds nothing yet.
    CPtrArrayCtrl* Bucket(int index) const { return m_buckets[index]; }
    // Appends the entry to its bucket (created when needed); false when the storage cannot grow
    // (the entry is then not taken).
    bool Add(int bucket, void* entry);
    // Removes the entry at `index` of the bucket and returns it (the caller frees it).
    void* Remove(int bucket, int index);
    // Frees every entry of the bucket and the bucket itself.
    void DeleteBucket(int bucket);
    void DeleteAll();
    int GetCount() const { return m_count; }

    int GetHeadPosition(tagHASHPOSITION& position) const;
    int MoveHashPositionNext(tagHASHPOSITION& position) const;
    // The entry at the position, null when it holds none.
    void* EntryAt(tagHASHPOSITION position) const;

private:
    // The first non-empty bucket from `start` on, -1 when none.
    int NextUsedBucket(int start) const;

    CPtrArrayCtrl** m_buckets = nullptr;
    int m_bucketCount = 0;
    int m_count = 0;
    FreeEntryFunc m_freeEntry;
    // The bucket array when not even the default one could be had: slow, but nothing is lost.
    CPtrArrayCtrl* m_lastResortBucket = nullptr;
};

class ORBO_COMMON_API CHashTable {
public:
    // kDefaultHashBuckets buckets, or the given count.
    CHashTable();
    explicit CHashTable(int bucketCount);
    virtual ~CHashTable();
    CHashTable(const CHashTable&) = delete;
    CHashTable& operator=(const CHashTable&) = delete;

    // Frees every entry and every bucket; the count becomes 0.
    void DeleteAll();
    // Appends a new entry to the key's bucket; a key may be added any number of times.
    void AddData(uint64_t key, void* data);
    // Replaces the data of the entry FindFirstData would find; nothing when there is none.
    void SetData(uint64_t key, void* data);
    // Starts a search of the key's bucket: the data of the first matching entry, null when none.
    void* FindFirstData(uint64_t key);
    // Continues that search: the next matching entry's data, null when there are no more.
    void* FindNextData(uint64_t key);
    // Appends to `output` the data of every entry with the key, in the bucket's order.
    void FindAllHashData(CPtrCtrl* output, uint64_t key);
    // As the find operations, but the entry found is removed; its data is returned.
    void* DeleteFirstData(uint64_t key);
    void* DeleteNextData(uint64_t key);
    // Frees the key's whole bucket, entries of other keys sharing it included.
    void DeleteAllData(uint64_t key);
    // 1 when the key is present (this starts a new search in its bucket).
    int IsDataAvailable(uint64_t key);

    // Iteration: buckets in index order, entries of a bucket in insertion order.
    // GetHeadPosition: 1 and the first entry's position; 0 when the table is empty.
    int GetHeadPosition(tagHASHPOSITION& position);
    // 1 and the next entry's position; 0 (position unchanged) when there is none.
    int MoveHashPositionNext(tagHASHPOSITION& position);
    int IsDataAvailable(tagHASHPOSITION position);
    void* GetDataAt(tagHASHPOSITION position);
    int GetCount() { return m_buckets.GetCount(); }

private:
    // The index of the key's next match after FindFirst/FindNext in its bucket, -1 when none.
    int Search(uint64_t key, bool first, int& bucket);

    HashBuckets m_buckets;
};

class ORBO_COMMON_API CCRCHashTable {
public:
    CCRCHashTable();
    explicit CCRCHashTable(int bucketCount);
    virtual ~CCRCHashTable();
    CCRCHashTable(const CCRCHashTable&) = delete;
    CCRCHashTable& operator=(const CCRCHashTable&) = delete;

    // Keys are `length` bytes at `key` (a negative length: up to a zero byte; a null key is the
    // empty key). Two keys are equal when their lengths, hashes and bytes are. Each operation
    // behaves as its CHashTable namesake.
    void DeleteAll();
    void AddData(const void* key, int length, void* data);
    void SetData(const void* key, int length, void* data);
    void* FindFirstData(const void* key, int length);
    void* FindNextData(const void* key, int length);
    void FindAllCRCHashData(CPtrCtrl* output, const void* key, int length);
    void* DeleteFirstData(const void* key, int length);
    void* DeleteNextData(const void* key, int length);
    void DeleteAllData(const void* key, int length);
    int IsDataAvailable(const void* key, int length);

    int GetHeadPosition(tagHASHPOSITION& position);
    int MoveHashPositionNext(tagHASHPOSITION& position);
    int IsDataAvailable(tagHASHPOSITION position);
    void* GetDataAt(tagHASHPOSITION position);
    int GetCount() { return m_buckets.GetCount(); }

private:
    struct Probe;
    static int MatchKey(void* entry, void* probe);
    Probe MakeProbe(const void* key, int length);
    int Search(const Probe& probe, bool first);

    HashBuckets m_buckets;
    CCRC32 m_crc;
};
