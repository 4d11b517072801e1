#include "application_mode.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/dbg_output.h"

namespace {

constexpr size_t kSetEntryBytes = 6;  // u16 id, u32 value
constexpr size_t kMaxTextBytes = 255;

// Whether the application knows the word at all.
bool IsApplicationWord(uint16_t word) {
    switch (word) {
        case wire::kReadVersion:
        case wire::kGenerateThresholds:
        case wire::kReadSerialNumber:
        case wire::kSetDetectSetting:
        case wire::kGetDetectSetting:
        case wire::kSetTriggerThresholds:
        case wire::kGetTriggerThresholds:
        case wire::kSetHoldThresholds:
        case wire::kGetHoldThresholds:
        case wire::kSetReportSwitch:
        case wire::kGetRunningMode:
        case wire::kGetPartitions:
        case wire::kSoftwareReset:
        case wire::kGetDeviceId:
        case wire::kEndCommandMode:
        case wire::kEnableCommandMode:
            return true;
        default:
            return false;
    }
}

CommandOutcome Failure(uint16_t word, uint16_t status) {
    return CommandOutcome::Failure(word, status);
}

}  // namespace

Bytes BuildReportPayload(const Detection& detection, const GateEnergies& energies) {
    Bytes payload(wire::kReportPayload, 0);
    payload[0] = wire::kReportType;
    payload[1] = static_cast<uint8_t>(detection.state);
    payload[2] = static_cast<uint8_t>(detection.distanceCm);
    payload[3] = static_cast<uint8_t>(detection.distanceCm >> 8);
    for (int g = 0; g < kGateCount; ++g) {
        payload[6 + 4 * g] = static_cast<uint8_t>(energies[g]);
        payload[7 + 4 * g] = static_cast<uint8_t>(energies[g] >> 8);
    }
    return payload;
}

Bytes BuildProgressPayload(uint16_t percent) {
    Bytes payload{wire::kProgressType};
    wire::PutU16(payload, percent);
    return payload;
}

void ApplicationMode::PowerOn(int partition, uint64_t simMs) {
    m_partition = partition;
    m_commandMode = false;
    m_reportOutput = true;
    m_nextReportMs = simMs;
    m_detector.Reset();
    m_scan.Cancel();
    DbgOutputA(kDbgLevelInfo, "Application of partition %d started\r\n", partition);
}

CommandOutcome ApplicationMode::OnCommand(const CommandFrame& frame, uint64_t simMs) {
    const uint16_t word = frame.word;
    const Bytes& payload = frame.payload;
    if (!IsApplicationWord(word)) return Failure(word, wire::kStatusUnknownCommand);
    if (word == wire::kSoftwareReset) {
        CommandOutcome outcome;  // no answer
        outcome.change = ModeChange::RestartIntoBootLoader;
        outcome.changeAfterMs = kSoftwareResetMs;
        return outcome;
    }
    if (word != wire::kEnableCommandMode && !m_commandMode) {
        return Failure(word, wire::kStatusNeedsCommandMode);
    }
    switch (word) {
        case wire::kEnableCommandMode: {
            if (payload.size() != 2) return Failure(word, wire::kStatusBadLength);
            m_commandMode = true;
            CommandOutcome outcome = CommandOutcome::Status(wire::kStatusSuccess);
            wire::PutU16(*outcome.ack, wire::kProtocolVersion);
            wire::PutU16(*outcome.ack, static_cast<uint16_t>(wire::kMaxCommandBody));
            return outcome;
        }
        case wire::kEndCommandMode:
            if (!payload.empty()) return Failure(word, wire::kStatusBadLength);
            m_commandMode = false;
            m_nextReportMs = std::max(m_nextReportMs, simMs);
            m_scan.Start(simMs);
            return CommandOutcome::Status(wire::kStatusSuccess);
        case wire::kReadVersion:
        case wire::kReadSerialNumber:
            if (!payload.empty()) return Failure(word, wire::kStatusBadLength);
            return Text(word == wire::kReadVersion ? m_identity.versionText
                                                   : m_identity.serialNumber);
        case wire::kSetDetectSetting:
            return SetParameters(ParamGroup::DetectSetting, payload);
        case wire::kSetTriggerThresholds:
            return SetParameters(ParamGroup::TriggerThresholds, payload);
        case wire::kSetHoldThresholds:
            return SetParameters(ParamGroup::HoldThresholds, payload);
        case wire::kGetDetectSetting:
            return GetParameters(ParamGroup::DetectSetting, payload);
        case wire::kGetTriggerThresholds:
            return GetParameters(ParamGroup::TriggerThresholds, payload);
        case wire::kGetHoldThresholds:
            return GetParameters(ParamGroup::HoldThresholds, payload);
        case wire::kSetReportSwitch:
            return SetReportSwitch(payload);
        case wire::kGenerateThresholds:
            if (payload.size() != 6) return Failure(word, wire::kStatusBadLength);
            m_scan.Arm(wire::GetU16(&payload[0]), wire::GetU16(&payload[2]),
                       wire::GetU16(&payload[4]));
            DbgOutputA(kDbgLevelInfo, "Threshold generation armed: coefficients %u/%u dB, %u s\r\n",
                       wire::GetU16(&payload[0]), wire::GetU16(&payload[2]),
                       wire::GetU16(&payload[4]));
            return CommandOutcome::Status(wire::kStatusSuccess);
        case wire::kGetRunningMode:
            if (!payload.empty()) return Failure(word, wire::kStatusBadLength);
            return CommandOutcome::StatusValue(
                wire::kStatusSuccess,
                m_identity.runningModeAnswer.value_or(ApplicationRunningMode(m_partition)));
        case wire::kGetPartitions:
            if (!payload.empty()) return Failure(word, wire::kStatusBadLength);
            return CommandOutcome::StatusValue(wire::kStatusSuccess, m_partitionMask);
        case wire::kGetDeviceId:
            if (!payload.empty()) return Failure(word, wire::kStatusBadLength);
            return CommandOutcome::StatusValue(wire::kStatusSuccess, m_identity.deviceId);
        default:
            return Failure(word, wire::kStatusUnknownCommand);
    }
}

CommandOutcome ApplicationMode::Text(const std::string& text) const {
    const size_t length = std::min(text.size(), kMaxTextBytes);
    CommandOutcome outcome = CommandOutcome::Status(wire::kStatusSuccess);
    wire::PutU16(*outcome.ack, static_cast<uint16_t>(length));
    outcome.ack->insert(outcome.ack->end(), text.begin(), text.begin() + length);
    return outcome;
}

CommandOutcome ApplicationMode::SetParameters(ParamGroup group, const Bytes& payload) {
    if (payload.empty() || payload.size() % kSetEntryBytes != 0) {
        return CommandOutcome::Status(wire::kStatusBadLength);
    }
    std::vector<std::pair<uint16_t, uint32_t>> values;
    for (size_t at = 0; at < payload.size(); at += kSetEntryBytes) {
        values.emplace_back(wire::GetU16(&payload[at]), wire::GetU32(&payload[at + 2]));
    }
    if (!m_params.SetAll(group, values)) {
        DbgOutputA(kDbgLevelWarning,
                   "Parameter set refused: an id is unknown or a value out of "
                   "range\r\n");
        return CommandOutcome::Status(wire::kStatusBadValue);
    }
    return CommandOutcome::Status(wire::kStatusSuccess);
}

CommandOutcome ApplicationMode::GetParameters(ParamGroup group, const Bytes& payload) {
    if (payload.empty() || payload.size() % 2 != 0) {
        return CommandOutcome::Status(wire::kStatusBadLength);
    }
    CommandOutcome outcome = CommandOutcome::Status(wire::kStatusSuccess);
    for (size_t at = 0; at < payload.size(); at += 2) {
        const std::optional<uint32_t> value = m_params.Get(group, wire::GetU16(&payload[at]));
        if (!value) return CommandOutcome::Status(wire::kStatusBadValue);
        wire::PutU32(*outcome.ack, *value);
    }
    return outcome;
}

CommandOutcome ApplicationMode::SetReportSwitch(const Bytes& payload) {
    if (payload.empty() || payload.size() % kSetEntryBytes != 0) {
        return CommandOutcome::Status(wire::kStatusBadLength);
    }
    std::optional<bool> on;
    for (size_t at = 0; at < payload.size(); at += kSetEntryBytes) {
        const uint16_t id = wire::GetU16(&payload[at]);
        const uint32_t value = wire::GetU32(&payload[at + 2]);
        if (id != 0 || value > 1) return CommandOutcome::Status(wire::kStatusBadValue);
        on = value == 1;
    }
    m_reportOutput = *on;
    DbgOutputA(kDbgLevelInfo, "Report output %s\r\n", m_reportOutput ? "on" : "off");
    return CommandOutcome::Status(wire::kStatusSuccess);
}

void ApplicationMode::SendReport(uint64_t simMs, FrameSink& sink) {
    const GateEnergies energies = m_room.EnergiesAt(simMs);
    const Detection detection = m_detector.Update(energies, m_params, simMs);
    sink.SendStream(BuildReportPayload(detection, energies));
}

void ApplicationMode::Advance(uint64_t simMs, FrameSink& sink) {
    std::vector<uint16_t> progress;
    if (const auto thresholds = m_scan.Advance(simMs, m_room, progress)) {
        m_params.trigger = thresholds->trigger;
        m_params.hold = thresholds->hold;
        DbgOutputA(kDbgLevelInfo, "Threshold generation finished: gate 0 trigger %u hold %u dB\r\n",
                   thresholds->trigger[0], thresholds->hold[0]);
    }
    if (m_commandMode) return;  // nothing is streamed in command mode
    for (uint16_t percent : progress) sink.SendStream(BuildProgressPayload(percent));
    if (m_reportOutput && simMs >= m_nextReportMs) {
        SendReport(simMs, sink);
        const uint64_t period = m_params.ReportPeriodMs();
        m_nextReportMs += period;
        // A sensor that fell behind (a paused process) does not send a burst of old reports.
        if (m_nextReportMs <= simMs) m_nextReportMs = simMs + period;
    }
}

std::optional<uint64_t> ApplicationMode::NextEventMs() const {
    std::optional<uint64_t> next = m_scan.NextEventMs();
    if (!m_commandMode && m_reportOutput) {
        next = next ? std::min(*next, m_nextReportMs) : m_nextReportMs;
    }
    return next;
}
