// A sensor behind a parameter link for unit tests: parameters by (read command, id), refusals by
// command word, and every call noted.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pages/params/radar_param_commands.h"
#include "tool/device/fake_radar_link.h"

// One call the operations made on the link.
struct ParamLinkCall {
    std::string kind;  // "get", "set", "start", "stop"
    uint16_t command = 0;
    std::vector<uint16_t> ids;
    std::vector<uint32_t> values;  // sent values (set) or the numbers of a start/stop
    uint32_t timeoutMs = 0;
};

// A sensor behind a link: parameters by (group command, id), refusals by command word.
class FakeParamLink : public FakeRadarLink, public IRadarParamLink {
public:
    std::set<uint16_t> refused;
    std::map<uint16_t, std::map<uint16_t, uint32_t>> state;  // read command -> id -> value
    std::vector<ParamLinkCall> calls;

    int GetParameter(uint16_t command, int count, const uint16_t* ids, uint32_t* values,
                     uint32_t timeoutMs) override {
        calls.push_back({"get", command, {ids, ids + count}, {}, timeoutMs});
        if (!connected || refused.count(command)) return 0;
        for (int i = 0; i < count; ++i) values[i] = state[command][ids[i]];
        return 1;
    }
    int SetParameter(uint16_t command, int count, const uint16_t* ids, const uint32_t* values,
                     uint32_t timeoutMs) override {
        calls.push_back({"set", command, {ids, ids + count}, {values, values + count}, timeoutMs});
        if (!connected || refused.count(command)) return 0;
        // Written values are what the matching read answers.
        for (int i = 0; i < count; ++i) state[command + 1][ids[i]] = values[i];
        return 1;
    }
    void NoteStartCmdMode(int protocolVersion, uint32_t ackTimeoutMs, uint32_t settleMs) override {
        calls.push_back({"start", 0, {}, {uint32_t(protocolVersion), ackTimeoutMs, settleMs}, 0});
    }
    void NoteStopCmdMode(uint32_t timeoutMs) override {
        calls.push_back({"stop", 0, {}, {timeoutMs}, 0});
    }

    void SetDetect(const std::vector<uint32_t>& values) {
        for (int i = 0; i < kDetectSettingCount; ++i) {
            state[kCmdReadDetectSetting][kDetectSettingIds[i]] = values[i];
        }
    }
    void SetGates(uint16_t readCommand, uint32_t first) {
        for (uint16_t gate = 0; gate < kGateCount; ++gate) state[readCommand][gate] = first + gate;
    }
    std::vector<std::string> Kinds() const {
        std::vector<std::string> kinds;
        for (const ParamLinkCall& call : calls) {
            kinds.push_back(call.kind == "get" || call.kind == "set"
                                ? call.kind + " " + std::to_string(call.command)
                                : call.kind);
        }
        return kinds;
    }
};
