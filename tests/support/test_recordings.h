// The committed test recordings (tests/data/recordings, README.md there) and what they hold, so
// that tests check what they read against the recording's own description.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

namespace test_recordings {

// The path of a committed recording.
inline std::string Path(const std::string& name) {
    return (std::filesystem::path(ORBO_SOURCE_DIR) / "tests/data/recordings" / name).string();
}

// states_30.dat: 30 reports at known places among noise, an unfinished frame at its end.
constexpr uint64_t kStates30Reports = 30;
constexpr uint64_t kStates30SkippedBytes = 50;

inline int32_t States30State(uint64_t i) {
    if (i < 4) return 0;
    if (i < 10) return 2;
    if (i < 13) return 1;
    if (i < 18) return 3;
    if (i < 20) return 2;
    return 0;
}
inline int32_t States30Distance(uint64_t i) {
    return static_cast<int32_t>(100 + 10 * i);
}
inline double States30EnergyDb(uint64_t i, int gate) {
    const uint64_t quotient = 1 + (7 * i + 5 * static_cast<uint64_t>(gate)) % 97;
    return quotient <= 1 ? 0.0 : 20.0 * std::log10(static_cast<double>(quotient));
}

}  // namespace test_recordings
