// The sensor's application: command mode, parameters, the report switch, report output and
// threshold generation.
//
// Outside command mode it streams one target report per report period (the faster of the two
// report rates) while the report output is on, and it streams nothing in command mode. Every
// command but 0x00FF and 0x0064 needs command mode (0x0004 otherwise); 0x0064 restarts the
// sensor into its boot loader. Order of the checks: unknown word 0x0001, command mode 0x0004,
// payload length 0x0002, ids and values 0x0003. Used by one thread, in sensor time.
#pragma once

#include <cstdint>
#include <optional>

#include "command_outcome.h"
#include "command_parser.h"
#include "frame_sink.h"
#include "presence_detector.h"
#include "room_scenario.h"
#include "sensor_parameters.h"
#include "threshold_scan.h"

class ApplicationMode {
public:
    ApplicationMode(const SensorIdentity& identity, uint32_t partitionMask,
                    SensorParameters& params, const RoomScenario& room)
        : m_identity(identity), m_partitionMask(partitionMask), m_params(params), m_room(room) {}

    // Starts the application of `partition` as after power-on: report output on, command mode
    // off, no scan. Parameters are the sensor's stored ones and survive restarts.
    void PowerOn(int partition, uint64_t simMs);
    CommandOutcome OnCommand(const CommandFrame& frame, uint64_t simMs);
    // Sends the reports and progress frames due by `simMs`.
    void Advance(uint64_t simMs, FrameSink& sink);
    // Sensor time of the next thing Advance has to do; nothing when idle.
    std::optional<uint64_t> NextEventMs() const;

    bool InCommandMode() const { return m_commandMode; }
    bool ReportOutput() const { return m_reportOutput; }
    int Partition() const { return m_partition; }

private:
    CommandOutcome SetParameters(ParamGroup group, const Bytes& payload);
    CommandOutcome GetParameters(ParamGroup group, const Bytes& payload);
    CommandOutcome SetReportSwitch(const Bytes& payload);
    CommandOutcome Text(const std::string& text) const;
    void SendReport(uint64_t simMs, FrameSink& sink);

    const SensorIdentity& m_identity;
    uint32_t m_partitionMask;
    SensorParameters& m_params;
    const RoomScenario& m_room;

    int m_partition = 0;
    bool m_commandMode = false;
    bool m_reportOutput = true;
    uint64_t m_nextReportMs = 0;
    PresenceDetector m_detector;
    ThresholdScan m_scan;
};

// The 70-byte payload of a target report: type 1, state, distance, then per gate its energy
// (the bytes the host does not read are zero).
Bytes BuildReportPayload(const Detection& detection, const GateEnergies& energies);
// The 3-byte payload of a threshold generation progress frame.
Bytes BuildProgressPayload(uint16_t percent);
