// The exit codes of zorvan-cli, as its help text documents them.
#pragma once

constexpr int kExitSuccess = 0;
// The sensor refused a command, or a command failed (a file that cannot be read or written, a
// generation that did not complete).
constexpr int kExitFailed = 1;
// The command line is wrong: unknown command or option, missing or malformed value.
constexpr int kExitUsage = 2;
// The port could not be opened or the sensor did not answer.
constexpr int kExitNoDevice = 3;
