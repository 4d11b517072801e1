// How the main thread of a long command (monitor, replay, gen-threshold) waits for its end: a
// Ctrl-C (SIGINT) or SIGTERM, a worker saying it is done (Notify), or a time limit.
//
// The signal handlers only write a byte into a pipe that Wait polls (the one thing a handler may
// safely do); the work of stopping happens on the main thread afterwards. SIGPIPE is ignored
// while the object lives so that a closed output pipe becomes a failed write instead of a
// killed process. One object at a time; Wait belongs to one thread, Notify to any.
#pragma once

#include <atomic>
#include <csignal>
#include <cstdint>

enum class StopReason { Signal, Notified, TimeLimit };

class StopSignal {
public:
    // Installs the handlers (the previous ones come back with the destructor).
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    // Wakes Wait; async-signal-safe, any thread.
    void Notify();

    // Waits for a signal or a notification; `timeoutMs` < 0 waits without limit. A signal wins
    // over a notification that came at the same time.
    StopReason Wait(int64_t timeoutMs);

    // Whether a SIGINT or SIGTERM arrived since construction.
    bool Interrupted() const;

private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
    struct sigaction m_oldPipe {};
};
