// Turns SIGINT and SIGTERM into a close request of one window (as its close button), so that a
// Ctrl-C or a `kill` ends the program through its normal way out. The signal only writes a byte
// to a pipe; the window thread reads it and closes the window.
//
// One at a time; made and destroyed on the window thread. The previous signal handling is put
// back on destruction.
#pragma once

#include <csignal>
#include <memory>

class QSocketNotifier;
class QWidget;

class CloseOnSignals {
public:
    explicit CloseOnSignals(QWidget* window);
    ~CloseOnSignals();
    CloseOnSignals(const CloseOnSignals&) = delete;
    CloseOnSignals& operator=(const CloseOnSignals&) = delete;

    // True when the handlers are installed (false when the pipe could not be made).
    bool IsActive() const { return m_active; }

private:
    bool m_active = false;
    int m_pipe[2] = {-1, -1};
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
