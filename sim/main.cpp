// zorvan-sim: a simulated Zorvan radar sensor on a pseudo-terminal (see --help).
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "core/dbg_output.h"
#include "sim_clock.h"
#include "sim_options.h"
#include "sim_runner.h"

namespace {

uint32_t gLogLevel = kDbgLevelWarning;

// The simulator's diagnostics go to standard error (standard output carries the port's path).
int LogToStderr(uintptr_t, uint32_t level, const char* line, int length) {
    if (level >= gLogLevel || level == kDbgLevelNone) {
        std::string text(line, static_cast<size_t>(length));
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
            text.replace(text.size() - 2, 2, "\n");
        }
        (void)!write(STDERR_FILENO, text.data(), text.size());
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    switch (ParseSimOptions(argc, argv, options, error)) {
        case SimOptionsResult::Help:
            fputs(SimUsage().c_str(), stdout);
            return 0;
        case SimOptionsResult::Error:
            fprintf(stderr, "zorvan-sim: %s\nTry zorvan-sim --help\n", error.c_str());
            return 2;
        case SimOptionsResult::Run:
            break;
    }
    gLogLevel = options.verbose ? kDbgLevelDebug : kDbgLevelWarning;
    DbgOutputSetDisplayType(-1);  // nowhere but the callback below
    DbgOutputSetTag(1, "zorvan-sim");
    DbgOutputAddCallback(LogToStderr, 0);
    const MonotonicClock wallClock;
    const int result = SimRunner(options, wallClock).Run();
    DbgOutputDelCallback(LogToStderr);
    return result;
}
