// Why opening a port (or a sensor on it) failed, kept as a value so that every caller can say it
// in its own words: the CLI prints SerialOpenFailureText on its error line, a window program may
// choose its own (translated) text from the cause.
#pragma once

#include <cstdint>
#include <string>
#include "core/common_api.h"

enum class SerialOpenCause {
    None,              // no failure
    NoSuchPort,        // the name stands for no port, or nothing is at the path
    PermissionDenied,  // the user may not open the device
    NotSerialPort,     // a regular file, a folder, /dev/null: no terminal
    InUse,             // another opener holds the port (its lock or its exclusive mode)
    SettingsRefused,   // line settings the port cannot take
    NoAnswer,          // the port opened; the sensor did not answer within the time-out
    Refused,           // the port opened; the sensor refused command mode
    Other,             // anything else (the reason says what)
};

struct ORBO_COMMON_API SerialOpenFailure {
    SerialOpenCause cause = SerialOpenCause::None;
    int errorNumber = 0;     // the errno behind it, 0 when none
    std::string path;        // the resolved path (the name given when it resolved to none)
    std::string reason;      // the reason as logged
    int holderPid = 0;       // InUse: a process that has the port open, when /proc tells
    std::string holderName;  // InUse: that process's command name
    uint32_t timeoutMs = 0;  // NoAnswer: how long the sensor was given
    uint16_t status = 0;     // Refused: the sensor's status
};

// A failure with its cause, errno, path and reason; the rest empty.
ORBO_COMMON_API SerialOpenFailure MakeSerialOpenFailure(SerialOpenCause cause, int errorNumber,
                                                        std::string path, std::string reason);

// One line, lower case, no trailing period: "no such port", "permission denied (...)", "not a
// serial port", "in use by another program: name (pid 1234)", "the sensor did not answer within
// 500 ms", ...; empty for SerialOpenCause::None.
ORBO_COMMON_API std::string SerialOpenFailureText(const SerialOpenFailure& failure);

// A process that has the character device at `path` open, found by scanning /proc/*/fd (only the
// processes whose descriptors this user may read). Another process is preferred to this one.
// False when none is found or the path is no character device.
ORBO_COMMON_API bool FindSerialPortHolder(const std::string& path, int& pid, std::string& name);
