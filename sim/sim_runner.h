// The simulator's one thread: it owns the port, the sensor and the output, and waits in poll
// for whatever comes first: bytes from the host, room for output, the sensor's next timed
// event, or a termination signal (SIGINT, SIGTERM, SIGHUP end it cleanly, removing the link).
#pragma once

#include "sim_clock.h"
#include "sim_options.h"

class SimRunner {
public:
    SimRunner(const SimOptions& options, const WallClock& wallClock)
        : m_options(options), m_wallClock(wallClock) {}

    // Runs until a signal or the link-drop fault; the process's exit code (0 after a clean end,
    // 1 when the port could not be set up or vanished).
    int Run();

private:
    const SimOptions& m_options;
    const WallClock& m_wallClock;
};
