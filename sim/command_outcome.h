// What a mode of the simulated sensor does with one command: the acknowledgement it answers
// (if any), how long it is busy first, and whether the sensor restarts afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wire_format.h"

// Fixed facts about the simulated device, set by options.
struct SensorIdentity {
    std::string versionText;
    std::string serialNumber;
    uint32_t deviceId = 0;
    // When set, every running-mode question gets this answer (a fault for host tests).
    std::optional<uint32_t> runningModeAnswer;
};

// How long a software reset keeps the sensor deaf before its boot loader answers.
constexpr uint64_t kSoftwareResetMs = 300;

enum class ModeChange {
    None,
    RestartIntoBootLoader,  // deaf at once, in the boot loader after the restart time
    StartApplication,       // the boot loader keeps answering until the application starts
};

struct CommandOutcome {
    std::optional<Bytes> ack;  // acknowledgement payload, status first; none: no answer
    uint64_t busyMs = 0;       // sensor time spent before the answer (commands wait meanwhile)
    ModeChange change = ModeChange::None;
    uint64_t changeAfterMs = 0;  // sensor time from the answer to the change
    int partition = 0;           // for StartApplication

    static CommandOutcome Status(uint16_t status) {
        CommandOutcome outcome;
        outcome.ack = Bytes{};
        wire::PutU16(*outcome.ack, status);
        return outcome;
    }
    // Status followed by a 32-bit value: the shape of every boot loader answer.
    static CommandOutcome StatusValue(uint16_t status, uint32_t value) {
        CommandOutcome outcome = Status(status);
        wire::PutU32(*outcome.ack, value);
        return outcome;
    }
    // A failure in the shape the word's readers expect: boot loader words keep status + u32,
    // the u32 being the status again for the transfer commands (a host shows it as the error
    // code) and 0 for the questions (so that no failure reads like a valid mode or mask).
    static CommandOutcome Failure(uint16_t word, uint16_t status) {
        if (!wire::IsBootLoaderWord(word)) return Status(status);
        const bool transfer = word == wire::kSendBinInfo || word == wire::kSendPacket;
        return StatusValue(status, transfer ? status : 0u);
    }
};

// The running-mode value of the application of partition p (1 << (p + 1)); 0 when it does not
// fit 32 bits (partition 31).
constexpr uint32_t ApplicationRunningMode(int partition) {
    return partition >= 0 && partition < 31 ? 1u << (partition + 1) : 0u;
}
