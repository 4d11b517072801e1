// Where the remote file service may reach: the server owner's root folder and the turning of a
// path sent by a client into a path on this machine.
//
// Without a root folder every path is served as it comes (the service has no authentication;
// see common/net/README.md). With one, a client's path is taken relative to the root ('/' and
// '\\' both separate, a leading separator is ignored), a ".." component is refused, and the path
// must stay inside the root also after symbolic links are followed: the entry itself when it
// exists, else its parent folder. A root that cannot be set (not an existing folder) leaves the
// service refusing every path rather than serving all of them.
//
// Any thread; the setting is guarded.
#pragma once

#include <mutex>
#include <string>

#include "core/common_api.h"
#include "core/platform_types.h"

class ORBO_COMMON_API SocketFileRoot {
public:
    // Sets the root folder (null or empty: none, every path served). false when the folder does
    // not exist or cannot be resolved; every path is refused then until a root is set again.
    bool Set(const char* folder);
    // The root as resolved (empty without one).
    std::string Get() const;

    // The local path for a client's path; false (with *why set for the log line) when the path is
    // empty, not well-formed UTF-16, leaves the root, or is the root itself while allowRoot is
    // false.
    bool Resolve(const WCHAR* requested, bool allowRoot, std::string* out, std::string* why) const;

private:
    mutable std::mutex m_mutex;
    std::string m_root;  // resolved, without a trailing '/' (except "/")
    bool m_refuseAll = false;
};
