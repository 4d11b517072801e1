// CUnzipper: extracting a zip archive into a folder, entry by entry or all at once.
//
// Paths are narrow (UTF-8) and follow the library's rules: '/' is written, '\\' is accepted as a
// separator, at most kMaxPathChars bytes. Entry names may use either separator; they are shown
// with '/'. Archives made by other tools are read: stored and deflated entries, zip64 sizes.
//
// Extraction is safe against hostile archives: a name that is absolute or has a ".." component is
// refused (unless only the file name is used), no symbolic link below the target folder is
// followed and none is ever created (an entry stored as a link becomes a file holding the link's
// text), an encrypted entry or one declaring more than kMaxZipEntryBytes or more than the disk has
// room for is refused, and an entry must inflate to exactly its declared size with a matching
// CRC-32. Every file is written under a temporary name and renamed into place only once it was
// checked, so a failure never leaves a damaged file under an entry's name; extracting all entries
// puts none in place unless every one succeeded (a failed run removes what it wrote and the empty
// folders it made). Failures are logged at level 3.
//
// An object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "archive/zip_reader.h"
#include "core/common_api.h"
#include "core/size_limits.h"

// The current entry, as GetFileInfo reports it.
struct ORBO_COMMON_API UZ_FileInfo {
    char fileName[kMaxPathChars + 1];            // the entry name with every '\\' as '/'
    char comment[kMaxZipEntryCommentBytes + 1];  // cut to 254 bytes
    uint32_t version;                            // as stored in the archive
    uint32_t versionNeeded;
    uint32_t flags;
    uint32_t compressionMethod;
    uint32_t dosDate;  // date in the high 16 bits
    uint32_t crc;
    uint32_t compressedSize;    // 0xFFFFFFFF when larger
    uint32_t uncompressedSize;  // 0xFFFFFFFF when larger
    uint32_t internalAttributes;
    uint32_t externalAttributes;
    bool folder;  // directory bit 0x10 set, or the name ends with a separator
};

class ORBO_COMMON_API CUnzipper {
public:
    // Opens the archive when a path is given.
    explicit CUnzipper(const char* archivePath = nullptr);
    virtual ~CUnzipper();
    CUnzipper(const CUnzipper&) = delete;
    CUnzipper& operator=(const CUnzipper&) = delete;

    // Closes any open archive, then opens the path made absolute against the working folder.
    // The output folder becomes that path without its extension. False for a null or empty path,
    // one that cannot be made absolute, or a file that is not a zip archive.
    bool OpenZip(const char* archivePath);
    // Closes the archive and empties the output folder; true when an archive was open.
    bool CloseZip();

    // False when the path is null or empty, exists and is not a folder, or cannot be created;
    // otherwise stores it as the output folder, created with its missing parents.
    bool SetOutputFolder(const char* folder);
    const char* GetOutputFolder() const { return m_outputFolder.c_str(); }

    // Number of entries; 0 when closed.
    int GetFileCount() const;

    // Fills the information of the current entry, or moves to the entry with that 0-based index
    // first. False when there is no such entry or its name is unusable (too long, a zero byte).
    bool GetFileInfo(UZ_FileInfo& info);
    bool GetFileInfo(int index, UZ_FileInfo& info);

    // Move to the first or next entry; with a non-empty extension (without its dot), to the first
    // or next entry whose name has that extension, A-Z compared without regard to case. False
    // when there is none.
    bool GotoFirstFile(const char* extension = nullptr);
    bool GotoNextFile(const char* extension = nullptr);

    // Moves to the entry with that 0-based index.
    bool GotoFile(int index);
    // Moves to the entry whose whole name equals the name ('\\' and '/' alike, A-Z without regard
    // to case); when there is none and ignorePath is set, to the first entry whose file name
    // equals it. False when nothing matches (the current entry then stays).
    bool GotoFile(const char* name, bool ignorePath = true);

    // Extracts the current (or indexed) entry below the folder (the output folder when null),
    // which is created first. With ignorePath a file lands directly in the folder under its file
    // name and a folder entry does nothing. True when the entry was extracted completely.
    bool UnzipFile(const char* folder = nullptr, bool ignorePath = false);
    bool UnzipFile(int index, const char* folder = nullptr, bool ignorePath = false);

    // Extracts every entry into the output folder (or the folder given; null means the output
    // folder). Every entry is checked before anything is written; the files are put in place only
    // when all were extracted. False for an archive without entries or on the first failing
    // entry, and then nothing of this run is left behind.
    bool Unzip(bool ignorePath = false);
    bool UnzipTo(const char* folder, bool ignorePath = false);

    // Opens the archive, extracts every entry into the folder (the archive's path without its
    // extension when null) and closes it.
    static bool Unzip(const char* archivePath, const char* folder, bool ignorePath = false);

private:
    bool MatchesExtension(const char* extension);
    std::string TargetFolder(const char* folder) const;

    ZipReader m_reader;
    std::string m_outputFolder;
};
