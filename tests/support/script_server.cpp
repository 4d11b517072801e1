#include "support/script_server.h"

#include <signal.h>

#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "support/whole_file.h"

ScriptServer::ScriptServer(const std::string& pythonSource) : m_dir(std::make_unique<TempDir>()) {
    const std::string script = m_dir->File("server.py");
    m_outputFile = m_dir->File("server.out");
    const std::string& output = m_outputFile;
    const std::string errors = m_dir->File("server.err");
    WriteWholeFile(script, pythonSource);
    if (!m_process.Spawn({"python3", "-u", script}, output, errors)) {
        m_error = m_process.Error();
        return;
    }
    const bool ready = WaitUntil(
        [&] {
            return m_process.HasExited() || ReadWholeFile(output).find('\n') != std::string::npos;
        },
        kStartDeadline);
    const std::string first = ReadWholeFile(output);
    if (!ready || m_process.HasExited() || first.rfind("PORT ", 0) != 0) {
        m_error = "the script server did not start: " + first + ReadWholeFile(errors);
        m_process.Stop(SIGKILL);
        return;
    }
    m_port = static_cast<uint16_t>(std::stoi(first.substr(5)));
}

ScriptServer::~ScriptServer() {
    m_process.Stop(SIGKILL);
}

std::string ScriptServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string ScriptServer::Output() const {
    return ReadWholeFile(m_outputFile);
}
