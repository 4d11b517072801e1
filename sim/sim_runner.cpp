#include "sim_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <bit>

#include "command_parser.h"
#include "core/dbg_output.h"
#include "core/unique_fd.h"
#include "flash_store.h"
#include "link_input.h"
#include "link_output.h"
#include "pty_link.h"
#include "room_scenario.h"
#include "sim_clock.h"
#include "sim_sensor.h"

namespace {

// Termination signals reach the loop through a pipe that poll waits on. A
// handler (not a blocked-signal descriptor) because the common library starts a
// thread of its own before main, and a signal delivered to that thread must end
// the simulator cleanly too.
int gSignalPipeWrite = -1;

void OnTerminationSignal(int signalNumber) {
  const int saved = errno;
  const auto byte = static_cast<uint8_t>(signalNumber);
  (void)!write(gSignalPipeWrite, &byte, 1);
  errno = saved;
}

// The read end of the signal pipe; SIGPIPE is ignored (a closed standard output
// must not kill the sensor).
bool WatchTerminationSignals(UniqueFd &readEnd, UniqueFd &writeEnd) {
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
    return false;
  readEnd = UniqueFd(fds[0]);
  writeEnd = UniqueFd(fds[1]);
  gSignalPipeWrite = fds[1];
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    if (sigaction(signalNumber, &action, nullptr) != 0)
      return false;
  }
  signal(SIGPIPE, SIG_IGN);
  return true;
}

void Earliest(std::optional<uint64_t> &next,
              std::optional<uint64_t> candidate) {
  if (candidate)
    next = next ? std::min(*next, *candidate) : *candidate;
}

} // namespace

int SimRunner::Run() {
  UniqueFd signals, signalsWrite;
  if (!WatchTerminationSignals(signals, signalsWrite)) {
    fprintf(stderr, "zorvan-sim: cannot watch termination signals: %s\n",
            strerror(errno));
    return 1;
  }

  FlashStore flash(m_options.partitionMask, m_options.partitionBytes,
                   m_options.flashDir);
  if (!flash.Load()) {
    fprintf(stderr, "zorvan-sim: flash folder %s cannot be used\n",
            m_options.flashDir.c_str());
    return 1;
  }
  SensorSetup setup = m_options.sensor;
  setup.applicationPartition = m_options.applicationPartition.value_or(
      flash.NewestImage().value_or(std::countr_zero(m_options.partitionMask)));

  PtyLink port;
  std::string error;
  const std::string name = m_options.name.empty()
                               ? "zorvan-sim-" + std::to_string(getpid())
                               : m_options.name;
  if (!port.Open(name, error)) {
    fprintf(stderr, "zorvan-sim: cannot create the port: %s\n", error.c_str());
    return 1;
  }
  // The first line of standard output is the port's path; whoever started us
  // waits for it.
  printf("%s\n", port.LinkPath().c_str());
  fflush(stdout);

  const RoomScenario room(m_options.scenario, m_options.seed);
  SimSensor sensor(setup, flash, room);
  const uint32_t paceBaud = m_options.pace ? m_options.baud : 0;
  LinkOutput output(m_options.output, paceBaud, m_options.seed);
  LinkInput input(paceBaud);
  CommandParser parser;
  const SimClock clock(m_wallClock, m_options.timeScale);
  std::optional<uint64_t> dropAtMs;
  if (m_options.dropLinkAfterMs) {
    dropAtMs = DeadlineAfterMs(clock.StartMs(), *m_options.dropLinkAfterMs);
  }
  sensor.PowerOn(0);

  for (;;) {
    const uint64_t wallMs = clock.WallNow();
    if (dropAtMs && wallMs >= *dropAtMs) {
      DbgOutputA(kDbgLevelInfo, "Link %s disappears (fault option)\r\n",
                 port.LinkPath().c_str());
      port.Close();
      return 0;
    }
    const uint64_t simMs = clock.SimNow(wallMs);
    output.SetNow(wallMs);
    sensor.Advance(simMs, output);
    parser.Expire(wallMs);
    while (auto frame = parser.Next())
      sensor.OnCommand(*frame, simMs, output);
    if (!output.WriteTo(port.MasterFd(), wallMs))
      return 1;

    std::optional<uint64_t> wakeMs;
    if (const auto next = sensor.NextEventMs())
      wakeMs = clock.WallAt(*next);
    Earliest(wakeMs, output.NextWakeMs());
    const bool canTake = input.CanTake(wallMs);
    if (!canTake)
      Earliest(wakeMs, input.NextWakeMs());
    Earliest(wakeMs, parser.Deadline());
    Earliest(wakeMs, dropAtMs);
    const int timeoutMs =
        wakeMs ? static_cast<int>(std::min<uint64_t>(
                     *wakeMs > wallMs ? *wakeMs - wallMs : 0, INT32_MAX))
               : -1;

    pollfd fds[2] = {{signals.Get(), POLLIN, 0}, {port.MasterFd(), 0, 0}};
    if (canTake)
      fds[1].events |= POLLIN;
    if (output.HasReadyBytes(wallMs))
      fds[1].events |= POLLOUT;
    if (poll(fds, 2, timeoutMs) < 0) {
      if (errno == EINTR)
        continue;
      DbgOutputA(kDbgLevelError, "poll failed:%d %s\r\n", errno,
                 strerror(errno));
      return 1;
    }
    if (fds[0].revents & POLLIN) {
      uint8_t signalNumber = 0;
      if (read(signals.Get(), &signalNumber, 1) == 1) {
        DbgOutputA(kDbgLevelInfo, "Signal %u: the simulator ends\r\n",
                   signalNumber);
      }
      return 0; // the port's destructor removes the link
    }
    if (fds[1].revents & (POLLERR | POLLNVAL)) {
      DbgOutputA(kDbgLevelError, "The port's terminal failed\r\n");
      return 1;
    }
    if (fds[1].revents & POLLIN) {
      const auto deliver = [&](const uint8_t *data, size_t length) {
        if (sensor.Listening()) {
          parser.Feed(data, length, clock.WallNow());
        } else {
          parser.Clear(); // a restarting sensor hears nothing
        }
      };
      if (!input.ReadFrom(port.MasterFd(), clock.WallNow(), deliver))
        return 1;
    }
  }
}
