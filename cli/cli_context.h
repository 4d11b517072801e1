// What every zorvan-cli command starts from: the settings document (appConfig.xml, read once and
// written only by an explicit "params save"), and the common options resolved against it:
//   --port PATH|NUMBER  the port; without it the only port present (several: a usage error)
//   --baud N            default "BaudRate" of the settings, else 115200
//   --line 8N1          default "ByteSize", "ParityMode", "StopBits" of the settings, else 8N1
//   --lang en|zh        default "Language" of the settings, else the locale
//   --verbose           the library's debug lines on standard error
//   --json              data as JSON
// Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "app/xml_parser.h"
#include "command_line.h"
#include "serial/serial_port_open.h"

class CliContext {
public:
    CliContext() = default;
    // Removes the --verbose sink.
    ~CliContext();
    CliContext(const CliContext&) = delete;
    CliContext& operator=(const CliContext&) = delete;

    // Loads the settings and resolves the common options of `line`. kExitSuccess, or kExitUsage
    // with the reason printed.
    int Setup(const CommandLine& line);

    const SerialLineSettings& Serial() const { return m_serial; }
    bool Json() const { return m_json; }

    // The port to open: its number in the process's port table and its name. Ports are listed
    // first so that numbers mean what "zorvan-cli ports" shows. kExitSuccess; kExitNoDevice when
    // no port is present or a number names none; kExitUsage when --port is missing and several
    // ports are present. The reason is printed.
    int ResolvePort(int& number, std::string& name) const;

    // The "AppConfig" element of the settings document.
    XMLNode SettingsRoot() const;
    // Whether appConfig.xml was found and read.
    bool SettingsFileRead() const { return m_settingsRead; }

private:
    std::string m_port;  // as given; empty: choose
    SerialLineSettings m_serial;
    bool m_json = false;
    bool m_verbose = false;
    bool m_settingsRead = false;
};
