// The base of the tests' fake links (stream, parameter and boot loader): the connection flag and
// command mode on and off, answered alike for all three. Each fake notes the command mode calls
// in its own record through the two hooks.
#pragma once

#include <atomic>
#include <cstdint>

#include "device/radar_link.h"

class FakeRadarLink : public virtual IRadarLink {
public:
    // The connection: command mode answers only while connected.
    bool connected = true;
    // StartCmdMode's answer while connected.
    int startCmdModeResult = 1;
    // How often IsConnected was asked.
    std::atomic<int> connectionQuestions{0};

    int IsConnected() override {
        ++connectionQuestions;
        return connected ? 1 : 0;
    }
    int StartCmdMode(int protocolVersion, uint32_t ackTimeoutMs, uint32_t settleMs) override {
        NoteStartCmdMode(protocolVersion, ackTimeoutMs, settleMs);
        return connected ? startCmdModeResult : 0;
    }
    int StopCmdMode(uint32_t timeoutMs) override {
        NoteStopCmdMode(timeoutMs);
        return connected ? 1 : 0;
    }

protected:
    virtual void NoteStartCmdMode(int protocolVersion, uint32_t ackTimeoutMs,
                                  uint32_t settleMs) = 0;
    virtual void NoteStopCmdMode(uint32_t timeoutMs) = 0;
};
