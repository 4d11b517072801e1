// The folder a zip archive is extracted into, and the files being extracted there.
//
// The folder is held open and every name below it is resolved one component at a time without
// following symbolic links, so no entry can reach outside it, neither by its name nor through a
// link that is already there. A file is written under a hidden temporary name in its own folder
// and renamed to its name by Commit, which runs once every staged file was written and checked;
// until then the final names are untouched. A session that ends without Commit (or whose Commit
// fails) removes its temporary files and the folders it created that are still empty, so a failed
// extraction leaves the folder as it was. Internal to the archive component; one object is used
// by one thread.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "core/unique_fd.h"

class ExtractFolder {
public:
    ExtractFolder() = default;
    ~ExtractFolder();
    ExtractFolder(const ExtractFolder&) = delete;
    ExtractFolder& operator=(const ExtractFolder&) = delete;

    // Opens an existing folder (a byte path). False (logged) when it cannot be opened.
    bool Open(const std::string& folder);

    // Bytes the folder's file system still has room for an unprivileged writer; UINT64_MAX when
    // that cannot be told.
    uint64_t FreeBytes() const;

    // Creates the folder made of these components below the root, with its missing parents.
    bool AddFolder(const std::vector<std::string>& parts);

    // Starts the file made of these components (the last is its name): creates its missing parent
    // folders and a temporary file beside it. Any file still being written is abandoned first.
    bool BeginFile(const std::vector<std::string>& parts);
    // Appends bytes to the file being written; false (logged) when the write fails.
    bool Write(const void* data, size_t size);
    // Sets the modification time (when given), closes the file and stages it for Commit.
    bool EndFile(const timespec* modified);
    // Drops the file being written: its temporary file is removed.
    void AbandonFile();

    // Renames every staged file to its name, in the order they were staged. True when all were
    // put in place; on a failure the files not yet renamed are removed and false returned.
    bool Commit();

    // What the root is called in log lines.
    const std::string& Label() const { return m_label; }

private:
    struct Staged {
        std::vector<std::string> folder;  // components of its parent below the root
        std::string temp;
        std::string name;
    };

    // Opens the folder made of the first `count` components, creating the missing ones when
    // asked. An existing component that is not a folder (a link among them) fails.
    UniqueFd OpenBelow(const std::vector<std::string>& parts, size_t count, bool create);
    std::string Describe(const std::vector<std::string>& parts, size_t count) const;
    void RollBack();

    UniqueFd m_root;
    std::string m_label;
    std::vector<std::vector<std::string>> m_created;  // folders this session made, in order
    std::vector<Staged> m_staged;
    // The file being written.
    UniqueFd m_file;
    UniqueFd m_fileFolder;
    Staged m_current;
    bool m_writing = false;
};
