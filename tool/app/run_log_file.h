// The tool's log file of one run: "Zorvan_TOOL_<yyyy_mm_dd_hh_mm_ss>.log" in the "Log" folder
// (GetAppFolder(AppFolderKind::Log), created when missing), receiving every debug line with a
// date and time stamp while it is open. Without a folder or file the run goes on without a log
// (a level-3 line says why).
//
// Open and Close on one thread (the window thread); the lines come from any thread through the
// debug output's serialised callbacks.
#pragma once

#include <string>

#include "core/unique_fd.h"

constexpr const char* kRunLogPrefix = "Zorvan_TOOL_";
constexpr const char* kRunLogExtension = ".log";

class RunLogFile {
public:
    RunLogFile() = default;
    // Closes the file (Close).
    ~RunLogFile();
    RunLogFile(const RunLogFile&) = delete;
    RunLogFile& operator=(const RunLogFile&) = delete;

    // Creates (or truncates) the log in `folder` and registers it with the debug output; sets the
    // debug output's tag off, date and time stamps, no process and thread ids. False when the
    // folder or the file cannot be made.
    bool Open(const std::string& folder);
    // The same in the tool's Log folder.
    bool Open();
    // Unregisters the file and closes it.
    void Close();

    bool IsOpen() const { return m_fd.Valid(); }
    const std::string& Path() const { return m_path; }

private:
    static int WriteLine(uintptr_t userData, uint32_t level, const char* line, int length);

    UniqueFd m_fd;
    std::string m_path;
};
