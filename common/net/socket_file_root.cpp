#include "socket_file_root.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "core/dbg_output.h"
#include "core/path_text.h"

namespace {

// realpath as a string; empty when the entry cannot be resolved.
std::string RealPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool IsInside(const std::string& path, const std::string& root) {
    if (root == "/") return !path.empty() && path[0] == '/';
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                            path[root.size()] == '/');
}

std::string ParentOf(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? std::string("/") : path.substr(0, cut);
}

}  // namespace

bool SocketFileRoot::Set(const char* folder) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_root.clear();
    m_refuseAll = false;
    if (folder == nullptr || *folder == '\0') return true;
    const std::string resolved = RealPath(folder);
    struct stat info {};
    if (resolved.empty() || stat(resolved.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        DbgOutputA(kDbgLevelError,
                   "CSocketFileServer: root folder %s is not an existing folder; every path is "
                   "refused until a root folder is set\r\n",
                   folder);
        m_refuseAll = true;
        return false;
    }
    m_root = resolved;
    return true;
}

std::string SocketFileRoot::Get() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_root;
}

bool SocketFileRoot::Resolve(const WCHAR* requested, bool allowRoot, std::string* out,
                             std::string* why) const {
    std::string root;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_refuseAll) {
            *why = "no valid root folder is set";
            return false;
        }
        root = m_root;
    }
    std::string path;
    if (requested == nullptr || requested[0] == 0 ||
        !ToSystemPath(requested, path, "CSocketFileServer")) {
        *why = "empty or not a valid path";
        return false;
    }
    if (root.empty()) {
        *out = path;
        return true;
    }

    std::string joined = root == "/" ? std::string() : root;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            *why = "\"..\" would leave the served folder";
            return false;
        }
        joined += '/';
        joined += part;
    }
    if (joined.empty()) joined = "/";
    const bool isRoot = joined == root;
    if (isRoot && !allowRoot) {
        *why = "the served folder itself may not be changed";
        return false;
    }
    // Symbolic links must not lead out of the root: check the entry, or its folder when the
    // entry does not exist yet.
    struct stat info {};
    const bool exists = lstat(joined.c_str(), &info) == 0;
    const std::string resolved = RealPath(exists ? joined : ParentOf(joined));
    if (resolved.empty()) {
        *why = exists ? "cannot be resolved" : "its folder does not exist";
        return false;
    }
    if (!IsInside(resolved, root)) {
        *why = "a link leads out of the served folder";
        return false;
    }
    *out = joined;
    return true;
}
