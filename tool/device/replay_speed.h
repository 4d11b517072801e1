// Replay speeds: the steps a replay can be run at, relative to the configured "ReplayInterval"
// (1x shows one report per interval), and the pause they give after each report. "max" replays
// as fast as the file can be read (no pause).
//
// Qt-free; any thread.
#pragma once

#include <array>
#include <optional>
#include <string>

// A speed factor; kReplaySpeedMax stands for "as fast as possible".
constexpr double kReplaySpeedMax = 0.0;
constexpr std::array<double, 7> kReplaySpeeds = {0.25, 0.5, 1.0, 2.0, 4.0, 16.0, kReplaySpeedMax};
constexpr const char* kReplaySpeedMaxName = "max";

// The speed a text names: one of 0.25, 0.5, 1, 2, 4, 16 (decimal point, an optional trailing
// "x") or "max". Nothing for any other text.
std::optional<double> ParseReplaySpeed(const std::string& text);

// The speed's name as the texts above write it ("0.25", "16", "max").
std::string ReplaySpeedName(double speed);

// The pause after each report at that speed, for the configured interval (a negative interval
// counts as 0): the interval divided by the speed, rounded to the nearest millisecond but at least
// 1 ms while the interval is above 0 (so a paced replay stays paced); 0 at kReplaySpeedMax.
int PacedReplayIntervalMs(int intervalMs, double speed);
