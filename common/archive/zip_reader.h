// Reading a zip archive entry by entry, from a file or from bytes in memory.
//
// Nothing the archive states is trusted blindly: an entry name that does not fit a path buffer or
// holds a zero byte is refused; an entry is read only when it is not encrypted, is stored or
// deflated, and declares at most kMaxZipEntryBytes; reading it yields exactly the declared number
// of bytes and its CRC-32 must match, or the read fails. Every refusal is logged at level 3 with
// the archive and entry names. Internal to the archive component; one object is used by one
// thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// What the central directory says about one entry.
struct ZipEntryInfo {
    std::string name;     // as stored: the separators are not changed
    std::string comment;  // at most kMaxZipEntryCommentBytes bytes
    uint32_t version = 0;
    uint32_t versionNeeded = 0;
    uint32_t flags = 0;
    uint32_t method = 0;
    uint32_t dosDate = 0;  // date in the high 16 bits, time in the low 16 bits
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint32_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
};

// Entry comments longer than this are cut (they are shown, never used as names).
constexpr size_t kMaxZipEntryCommentBytes = 254;

// Where a move through the entries ended.
enum class ZipStep { kEntry, kEnd, kFailed };

class ZipReader {
public:
    ZipReader();
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // Closes any open archive, then opens the file (a byte path) or the bytes, which must stay
    // valid until Close. False (logged) when the data is not a zip archive.
    bool OpenFile(const std::string& path);
    bool OpenMemory(const void* data, size_t size);

    // True when an archive was open.
    bool Close();
    bool IsOpen() const;
    // What the archive is called in log lines: its path, or "(memory)".
    const std::string& Label() const;

    // Number of entries the central directory announces; 0 when closed.
    uint64_t EntryCount() const;

    // Moves to the first or the next entry: kEntry, kEnd past the last one (no entry is current
    // then), or kFailed when the central directory is damaged (logged).
    ZipStep First();
    ZipStep Next();
    // Moves to the entry with that 0-based index. False when it does not exist.
    bool Seek(uint64_t index);
    // 0-based index of the current entry, -1 when there is none.
    int64_t CurrentIndex() const;

    // Information about the current entry. False (logged) when there is none, or its name is
    // longer than kMaxPathChars bytes or holds a zero byte.
    bool Info(ZipEntryInfo& out);

    // Why an entry cannot be read, or an empty text when it can.
    static std::string Unreadable(const ZipEntryInfo& info);

    // Reads the current entry to its end, handing its bytes in blocks to the sink, which returns
    // false to stop. True only when the whole entry was read, it held exactly the declared number
    // of bytes, its CRC-32 matched and the sink took every block.
    bool Read(const std::function<bool(const uint8_t*, size_t)>& sink);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
