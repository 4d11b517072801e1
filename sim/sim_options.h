// The simulator's command line: every option, its default and its help text live in one table,
// so that --help documents exactly what is parsed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link_output.h"
#include "room_scenario.h"
#include "sim_sensor.h"

struct SimOptions {
    // Link and time.
    std::string name;      // empty: zorvan-sim-<pid>
    std::string flashDir;  // empty: images in memory only
    uint32_t baud = 256000;
    bool pace = false;
    double timeScale = 1.0;
    uint64_t seed = 1;
    ScenarioKind scenario = ScenarioKind::Room;
    bool verbose = false;
    std::optional<uint64_t> dropLinkAfterMs;

    // The device.
    SensorSetup sensor;
    uint32_t partitionMask = 0x3;
    uint32_t partitionBytes = 256 * 1024;
    std::optional<int> applicationPartition;  // empty: newest flashed image, else the lowest
    OutputFaults output;
};

enum class SimOptionsResult { Run, Help, Error };

// Parses argv (argv[0] is the program). On Error, `error` says what is wrong.
SimOptionsResult ParseSimOptions(int argc, char** argv, SimOptions& options, std::string& error);
// The --help text.
std::string SimUsage();

constexpr double kMinTimeScale = 0.01;
constexpr double kMaxTimeScale = 1000.0;
constexpr uint32_t kMaxPartitionBytes = 16u * 1024 * 1024;
constexpr size_t kMaxIdentityTextBytes = 255;
