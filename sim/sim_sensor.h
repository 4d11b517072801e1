// The simulated sensor as a whole: which program runs (application, boot loader, or neither
// while it restarts), commands that wait while it is busy, restarts and application starts,
// and the command faults (commands ignored, commands answered with a chosen failure status).
// It knows nothing of the link: commands come in parsed, frames go out through a FrameSink.
// Used by one thread, in sensor time (milliseconds).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>

#include "application_mode.h"
#include "boot_loader.h"
#include "command_outcome.h"
#include "flash_store.h"
#include "frame_sink.h"
#include "room_scenario.h"
#include "sensor_parameters.h"

struct CommandFaults {
    std::set<uint16_t> ignored;               // neither carried out nor answered
    std::map<uint16_t, uint16_t> failStatus;  // answered with this status, not carried out
};

struct SensorSetup {
    SensorIdentity identity;
    BootLoaderSettings bootLoader;
    CommandFaults faults;
    bool startInBootLoader = false;
    int applicationPartition = 0;  // the application that runs at power-on
};

enum class SensorMode { Application, BootLoader, Restarting };

class SimSensor {
public:
    // Commands that arrive while the sensor is busy wait in a queue of this many.
    static constexpr size_t kMaxQueuedCommands = 64;

    SimSensor(const SensorSetup& setup, FlashStore& flash, const RoomScenario& room);

    // Powers the sensor on at `simMs`.
    void PowerOn(uint64_t simMs);
    // Handles one received command.
    void OnCommand(const CommandFrame& frame, uint64_t simMs, FrameSink& sink);
    // Carries out what is due by `simMs`: delayed answers, restarts, reports, progress.
    void Advance(uint64_t simMs, FrameSink& sink);
    // Sensor time of the next thing Advance has to do; nothing when idle.
    std::optional<uint64_t> NextEventMs() const;

    SensorMode Mode() const { return m_mode; }
    // False while the sensor restarts: received bytes are lost.
    bool Listening() const { return m_mode != SensorMode::Restarting; }
    const SensorParameters& Parameters() const { return m_params; }
    const ApplicationMode& Application() const { return m_application; }

private:
    struct PendingSwitch {
        uint64_t atMs = 0;
        SensorMode target = SensorMode::BootLoader;
        int partition = 0;
    };

    void Process(const CommandFrame& frame, uint64_t simMs, FrameSink& sink);
    void Finish(uint16_t word, const CommandOutcome& outcome, uint64_t simMs, FrameSink& sink);
    void Switch(const PendingSwitch& change);

    const SensorSetup& m_setup;
    SensorParameters m_params;
    ApplicationMode m_application;
    BootLoader m_bootLoader;

    SensorMode m_mode = SensorMode::Application;
    std::optional<PendingSwitch> m_switch;
    // An answer that goes out when the sensor stops being busy.
    std::optional<std::pair<uint16_t, CommandOutcome>> m_busyAnswer;
    uint64_t m_busyUntilMs = 0;
    std::deque<CommandFrame> m_waiting;
};
