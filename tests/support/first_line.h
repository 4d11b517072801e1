// Starting a server that reports where it listens on its first output line (dbus-daemon's
// address, Xvfb's display number) and reading that line with a deadline.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/child_process.h"

// Starts `child` with its standard output to a pipe and its errors to /dev/null and returns its
// first line (without the line end); empty when it could not start or said nothing within
// `deadlineMs`.
inline std::string StartAndReadFirstLine(ChildProcess& child, const std::vector<std::string>& argv,
                                         int deadlineMs) {
    int fds[2];
    if (pipe(fds) != 0) return std::string();
    SpawnOptions options;
    options.in = ChildStream::Null();
    options.out = ChildStream::Descriptor(fds[1]);
    options.err = ChildStream::Null();
    const bool started = child.Start(argv, options);
    close(fds[1]);
    std::string line;
    pollfd wait{fds[0], POLLIN, 0};
    char c = 0;
    while (started && poll(&wait, 1, deadlineMs) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    close(fds[0]);
    return c == '\n' ? line : std::string();
}
