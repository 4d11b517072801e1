// CZipper: building a zip archive from files and folders.
//
// The archive is a standard one: entry names with '/', deflate for files, folders as empty
// entries whose names end with '/', names in UTF-8 (flagged as such when they are not ASCII), the
// file's modification time and Unix mode kept. Paths are narrow (UTF-8) and follow the library's
// rules: '/' is written, '\\' is accepted as a separator, at most kMaxPathChars bytes; a path is
// absolute when it starts with a separator.
//
// The archive is built in a temporary file beside it and takes its name only when CloseZip has
// written it completely (with append, the old archive is copied first), so a failure never leaves
// a half-written archive under that name. An entry whose file could not be read to its end spoils
// the archive: CloseZip then fails and leaves the old archive (or none) in place. Entry names are
// never allowed to leave the archive's root: a name with a ".." component is refused.
//
// An object is used by one thread at a time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include "core/common_api.h"

// The counters of the open archive.
struct ORBO_COMMON_API Z_FileInfo {
    int fileCount;
    int folderCount;
    uint64_t totalBytes;  // bytes read from the files added
};

class ORBO_COMMON_API CZipper {
public:
    // Opens the archive when a path is given (as OpenZip).
    explicit CZipper(const char* archivePath = nullptr, const char* rootFolder = nullptr,
                     bool append = false);
    // Closes an open archive as CloseZip does.
    virtual ~CZipper();
    CZipper(const CZipper&) = delete;
    CZipper& operator=(const CZipper&) = delete;

    // Closes any open archive and clears the counters; makes the path absolute against the
    // working folder; with append, keeps the entries of an existing archive, otherwise starts an
    // empty one. The root folder becomes the archive's folder when rootFolder is null, else
    // rootFolder made absolute with a trailing '/' (an empty one leaves no root). False when the
    // path is null or empty or the archive cannot be started.
    bool OpenZip(const char* archivePath, const char* rootFolder = nullptr, bool append = false);

    // Adds one file, read from the path itself when it is absolute, else from root + path. Its
    // entry name is the file name with ignorePath; otherwise the path relative to the root (an
    // absolute path outside the root is refused) or the relative path without a leading "./".
    // Writes "CZipper::AddFileToZip(%s)\n" at level 2. False when the name is refused (a ".."
    // component without ignorePath), the file cannot be read, or the entry cannot be written.
    bool AddFileToZip(const char* path, bool ignorePath = false);
    // Adds one file under the given folder of the archive (its entry name is that folder + '/' +
    // the file name). False when the folder name contains ':' or leaves the archive's root.
    bool AddFileToZip(const char* path, const char* folderInArchive);

    // Adds a folder entry, then, recursively, every item of the folder whose name does not begin
    // with '.', in name order. The entry name is the folder's own name without the text from its
    // last dot (ignorePath) or its path relative to the root (refused outside it), with '/'
    // appended. A symbolic link that leads back into a folder being added is refused. True when
    // the folder and everything in it were added.
    bool AddFolderToZip(const char* path, bool ignorePath = false);

    // Writes the central directory, closes the archive and puts it in place; clears the counters.
    // True only when the archive was open and was written completely.
    bool CloseZip();

    void GetFileInfo(Z_FileInfo& info) const { info = m_info; }

    // Archives one file as <folder>/<base name>.zip beside it. False (no archive made) on failure.
    static bool ZipFile(const char* path);
    // Archives a folder as <folder path>.zip, its entries named below the folder's own name (or
    // flattened with ignorePath). False (no archive made) on failure.
    static bool ZipFolder(const char* path, bool ignorePath = false);

private:
    bool AddFile(const std::string& source, const std::string& entryName);
    bool AddFolder(const std::string& path, bool ignorePath);
    bool StartEntry(const std::string& entryName, const struct stat& info, bool folder);
    std::string SourcePath(const char* path) const;
    void Abandon();

    void* m_zip = nullptr;
    std::string m_archive;  // where the archive goes
    std::string m_temp;     // where it is written until then
    std::string m_root;     // absolute, ends with '/', or empty
    bool m_spoiled = false;
    Z_FileInfo m_info{};
    std::set<std::pair<dev_t, ino_t>> m_openFolders;  // folders being added, against link loops
};
