#include "platform/close_on_signal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <atomic>
#include <cerrno>

#include "core/dbg_output.h"

namespace {

std::atomic<int> gSignalPipe{-1};

void OnSignal(int signalNumber) {
    const int saved = errno;
    const int fd = gSignalPipe.load();
    if (fd >= 0) {
        const char byte = static_cast<char>(signalNumber);
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

CloseOnSignals::CloseOnSignals(QWidget* window) {
    if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        DbgOutputA(3, "close on signals: pipe failed, errno=%d\r\n", errno);
        return;
    }
    gSignalPipe = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QPointer<QWidget> target(window);
    const int readEnd = m_pipe[0];
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [target, readEnd] {
        char bytes[16];
        while (read(readEnd, bytes, sizeof bytes) > 0) {
        }
        DbgOutputA(2, "close request by signal\r\n");
        if (target) target->close();
    });
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_oldInt);
    sigaction(SIGTERM, &action, &m_oldTerm);
    m_active = true;
}

CloseOnSignals::~CloseOnSignals() {
    if (m_active) {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    gSignalPipe = -1;
    m_notifier.reset();
    for (int fd : m_pipe) {
        if (fd >= 0) close(fd);
    }
}
