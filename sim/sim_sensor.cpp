#include "sim_sensor.h"

#include "core/dbg_output.h"

SimSensor::SimSensor(const SensorSetup& setup, FlashStore& flash, const RoomScenario& room)
    : m_setup(setup),
      m_application(setup.identity, flash.PartitionMask(), m_params, room),
      m_bootLoader(setup.identity, setup.bootLoader, flash) {}

void SimSensor::PowerOn(uint64_t simMs) {
    m_switch.reset();
    m_busyAnswer.reset();
    m_waiting.clear();
    Switch(PendingSwitch{
        simMs, m_setup.startInBootLoader ? SensorMode::BootLoader : SensorMode::Application,
        m_setup.applicationPartition});
}

void SimSensor::Switch(const PendingSwitch& change) {
    m_waiting.clear();
    m_mode = change.target;
    if (change.target == SensorMode::BootLoader) {
        m_bootLoader.Restart();
    } else {
        m_application.PowerOn(change.partition, change.atMs);
    }
}

void SimSensor::OnCommand(const CommandFrame& frame, uint64_t simMs, FrameSink& sink) {
    if (!Listening()) {
        DbgOutputA(kDbgLevelDebug, "Command 0x%04x lost: the sensor is restarting\r\n", frame.word);
        return;
    }
    if (m_busyAnswer) {
        if (m_waiting.size() >= kMaxQueuedCommands) {
            DbgOutputA(kDbgLevelWarning, "Command 0x%04x lost: %zu commands wait already\r\n",
                       frame.word, m_waiting.size());
            return;
        }
        m_waiting.push_back(frame);
        return;
    }
    Process(frame, simMs, sink);
}

void SimSensor::Process(const CommandFrame& frame, uint64_t simMs, FrameSink& sink) {
    const uint16_t word = frame.word;
    DbgOutputA(kDbgLevelDebug, "Command 0x%04x with %zu payload bytes\r\n", word,
               frame.payload.size());
    if (m_setup.faults.ignored.count(word) != 0) {
        DbgOutputA(kDbgLevelInfo, "Command 0x%04x ignored (fault option)\r\n", word);
        return;
    }
    if (const auto fail = m_setup.faults.failStatus.find(word);
        fail != m_setup.faults.failStatus.end()) {
        DbgOutputA(kDbgLevelInfo, "Command 0x%04x answered with status 0x%04x (fault option)\r\n",
                   word, fail->second);
        Finish(word, CommandOutcome::Failure(word, fail->second), simMs, sink);
        return;
    }
    const CommandOutcome outcome = m_mode == SensorMode::Application
                                       ? m_application.OnCommand(frame, simMs)
                                       : m_bootLoader.OnCommand(frame);
    if (outcome.busyMs > 0) {
        m_busyAnswer.emplace(word, outcome);
        m_busyUntilMs = simMs + outcome.busyMs;
        return;
    }
    Finish(word, outcome, simMs, sink);
}

void SimSensor::Finish(uint16_t word, const CommandOutcome& outcome, uint64_t simMs,
                       FrameSink& sink) {
    if (outcome.ack) {
        if (outcome.ack->size() >= 2 && wire::GetU16(outcome.ack->data()) != 0) {
            DbgOutputA(kDbgLevelInfo, "Command 0x%04x failed with status 0x%04x\r\n", word,
                       wire::GetU16(outcome.ack->data()));
        }
        sink.SendAck(word, *outcome.ack);
    }
    switch (outcome.change) {
        case ModeChange::None:
            break;
        case ModeChange::RestartIntoBootLoader:
            DbgOutputA(kDbgLevelInfo, "Software reset: restarting into the boot loader\r\n");
            m_mode = SensorMode::Restarting;
            m_waiting.clear();
            m_switch = PendingSwitch{simMs + outcome.changeAfterMs, SensorMode::BootLoader, 0};
            break;
        case ModeChange::StartApplication:
            m_switch = PendingSwitch{simMs + outcome.changeAfterMs, SensorMode::Application,
                                     outcome.partition};
            break;
    }
}

void SimSensor::Advance(uint64_t simMs, FrameSink& sink) {
    if (m_busyAnswer && simMs >= m_busyUntilMs) {
        const auto [word, outcome] = *m_busyAnswer;
        m_busyAnswer.reset();
        Finish(word, outcome, m_busyUntilMs, sink);
        // What waited is handled now, until something makes the sensor busy again.
        while (!m_waiting.empty() && !m_busyAnswer && Listening()) {
            const CommandFrame next = std::move(m_waiting.front());
            m_waiting.pop_front();
            Process(next, simMs, sink);
        }
    }
    if (m_switch && simMs >= m_switch->atMs) {
        const PendingSwitch change = *m_switch;
        m_switch.reset();
        m_busyAnswer.reset();
        Switch(change);
    }
    if (m_mode == SensorMode::Application) m_application.Advance(simMs, sink);
}

std::optional<uint64_t> SimSensor::NextEventMs() const {
    std::optional<uint64_t> next;
    auto consider = [&next](uint64_t at) { next = next ? std::min(*next, at) : at; };
    if (m_busyAnswer) consider(m_busyUntilMs);
    if (m_switch) consider(m_switch->atMs);
    if (m_mode == SensorMode::Application) {
        if (const auto at = m_application.NextEventMs()) consider(*at);
    }
    return next;
}
