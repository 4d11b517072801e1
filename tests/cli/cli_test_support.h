// Running the zorvan-cli of this build against a zorvan-sim of this build: each test has its
// own ORBO_HOME (so appConfig.xml, recordings and the like stay private) and the simulator's
// XDG_RUNTIME_DIR (so only its port is listed), or an empty private one when no simulator runs.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dataprocess/radar_device_interface.h"
#include "pages/params/radar_param_commands.h"
#include "serial/serial_port_table.h"
#include "support/child_process.h"
#include "support/process_runner.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

inline std::string CliProgramPath() {
    return BuiltProgramPath("zorvan-cli");
}

// The sensor's detection parameters in its own units, read with the radar device library.
struct SensorParams {
    std::array<uint32_t, kDetectSettingCount> detect{};
    std::array<uint32_t, 16> trigger{};
    std::array<uint32_t, 16> hold{};
    bool operator==(const SensorParams&) const = default;
};

class CliTest : public ::testing::Test {
protected:
    static constexpr uint32_t kBaud = 115200;
    static constexpr uint32_t kCommandTimeoutMs = 2000;

    CliTest() {
        std::filesystem::create_directories(m_home.File("run"));
        std::filesystem::permissions(m_home.File("run"), std::filesystem::perms::owner_all);
    }

    // Starts the simulator (its path: SimPort()).
    void StartSim(const std::vector<std::string>& args = {}) {
        m_sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(m_sim->Started()) << m_sim->Error();
    }
    const std::string& SimPort() const { return m_sim->PortPath(); }
    // The CLI's own home folder (ORBO_HOME): appConfig.xml and SaveData live here.
    std::string Home() const { return m_home.File("home"); }
    std::string Scratch(const std::string& name) const { return m_home.File(name); }

    // Runs the CLI with the arguments as given.
    ProcessResult RunCli(const std::vector<std::string>& args, ProcessOptions options = {}) {
        std::filesystem::create_directories(Home());
        options.environment.push_back(
            {"XDG_RUNTIME_DIR", m_sim ? m_sim->RuntimeDir() : m_home.File("run")});
        options.environment.push_back({"ORBO_HOME", Home()});
        options.environment.push_back({"LANG", "C"});
        options.unset.insert(options.unset.end(), {"ORBO_DEBUG", "LC_ALL", "LC_MESSAGES"});
        std::vector<std::string> argv{CliProgramPath()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProcess(argv, options);
    }

    // Runs the CLI against the simulator's port.
    ProcessResult Cli(const std::vector<std::string>& args, ProcessOptions options = {}) {
        std::vector<std::string> withPort{"--port", SimPort()};
        withPort.insert(withPort.end(), args.begin(), args.end());
        return RunCli(withPort, std::move(options));
    }

    // What the simulator holds, read with the library's own calls.
    SensorParams ReadSensor() {
        SensorParams params;
        IRadarDevice* device = Orbo_Interface_RadarDevice_Serial_Create();
        const int opened = Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
            device, SerialPortNumberOf(SimPort()), kBaud, 8, 0, 0, eRADAR_PROTOCOL_VERSION_2, 0, 0,
            1, kCmdModeAckTimeoutMs, kCmdModeSettleMs);
        EXPECT_NE(opened, 0);
        static const uint16_t kGateIds[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
        EXPECT_NE(Orbo_Interface_RadarDevice_Protocol_GetParameter(
                      device, kCmdReadDetectSetting, kDetectSettingCount, kDetectSettingIds,
                      params.detect.data(), kCommandTimeoutMs),
                  0);
        EXPECT_NE(Orbo_Interface_RadarDevice_Protocol_GetParameter(
                      device, kCmdReadTriggerThreshold, 16, kGateIds, params.trigger.data(),
                      kCommandTimeoutMs),
                  0);
        EXPECT_NE(
            Orbo_Interface_RadarDevice_Protocol_GetParameter(
                device, kCmdReadHoldThreshold, 16, kGateIds, params.hold.data(), kCommandTimeoutMs),
            0);
        Orbo_Interface_RadarDevice_StopCmdMode(device, kStopCmdModeTimeoutMs);
        Orbo_Interface_RadarDevice_Serial_Destroy(device);
        return params;
    }

    TempDir m_home;
    std::unique_ptr<SimProcess> m_sim;
};

// "KEY=VALUE" lines as a map.
inline std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    for (const std::string& line : SplitLines(text)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}
