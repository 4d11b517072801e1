#include "device/replay_speed.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/text_format.h"

std::optional<double> ParseReplaySpeed(const std::string& text) {
    if (text == kReplaySpeedMaxName) return kReplaySpeedMax;
    std::string number = text;
    if (!number.empty() && (number.back() == 'x' || number.back() == 'X')) number.pop_back();
    if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    // No locale: a decimal point whatever the environment says.
    double value = 0.0;
    const char* end = number.data() + number.size();
    const auto [ptr, error] = std::from_chars(number.data(), end, value, std::chars_format::fixed);
    if (error != std::errc() || ptr != end) return std::nullopt;
    for (const double speed : kReplaySpeeds) {
        if (speed != kReplaySpeedMax && value == speed) return speed;
    }
    return std::nullopt;
}

std::string ReplaySpeedName(double speed) {
    if (speed == kReplaySpeedMax) return kReplaySpeedMaxName;
    std::string text;
    FormatText(text, "%g", speed);
    return text;
}

int PacedReplayIntervalMs(int intervalMs, double speed) {
    if (speed == kReplaySpeedMax || intervalMs <= 0) return 0;
    const double paced = std::round(static_cast<double>(intervalMs) / speed);
    return static_cast<int>(std::clamp(paced, 1.0, static_cast<double>(INT32_MAX)));
}
