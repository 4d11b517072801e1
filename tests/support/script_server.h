// A small python3 server for behaviours nginx does not have (a server that never answers, a body
// without a length, a body that stalls, an echo of posted bytes), started by the test.
//
// The script binds 127.0.0.1 port 0 itself and prints "PORT <n>" as its first line; the fixture
// waits for that line (within kStartDeadline). The server is killed when the fixture goes.
// Used by one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "support/child_process.h"

class TempDir;

class ScriptServer {
public:
    static constexpr std::chrono::milliseconds kStartDeadline{15000};

    // Writes the script into a private folder and runs it with python3.
    explicit ScriptServer(const std::string& pythonSource);
    ~ScriptServer();
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    bool Started() const { return m_port != 0; }
    const std::string& Error() const { return m_error; }
    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;
    // Everything the script printed so far (its first line included).
    std::string Output() const;

private:
    std::unique_ptr<TempDir> m_dir;
    std::string m_outputFile;
    ChildProcess m_process;
    uint16_t m_port = 0;
    std::string m_error;
};
