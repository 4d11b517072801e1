// The simulated sensor's end of the line: a pseudo-terminal whose slave side is the port a host
// opens, registered as a link in the virtual port folder.
//
// The slave side is set raw (no echo, no line editing, all 8 bits unchanged) and the simulator
// keeps a descriptor of it open itself, so that the master never reports a hang-up while no host
// has the port open (a host's exclusive mode is given up by the host when it closes). Close()
// (or destruction) removes the link and closes both sides: a host sees its device vanish.
// Used by one thread.
#pragma once

#include <string>

#include "core/unique_fd.h"

class PtyLink {
public:
    PtyLink() = default;
    ~PtyLink() { Close(); }
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // Creates the terminal and the link `linkName` in the virtual port folder. False, with a
    // log line and the reason in `error`, on failure (nothing is left behind).
    bool Open(const std::string& linkName, std::string& error);
    // Removes the link and closes the terminal. Safe to call again.
    void Close();

    bool IsOpen() const { return m_master.Valid(); }
    int MasterFd() const { return m_master.Get(); }
    const std::string& LinkPath() const { return m_linkPath; }
    const std::string& SlavePath() const { return m_slavePath; }

private:
    UniqueFd m_master;
    UniqueFd m_slave;
    std::string m_slavePath;
    std::string m_linkPath;
};
