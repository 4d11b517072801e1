// Where the simulated sensor puts what it sends: acknowledgements and stream frames. The link
// output implements it (framing, faults, pacing); tests of the sensor logic can collect instead.
#pragma once

#include <cstdint>

#include "wire_format.h"

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // An acknowledgement of `commandWord` (without the ack bit) carrying `payload` (status first).
    virtual void SendAck(uint16_t commandWord, const Bytes& payload) = 0;
    // A stream frame around `payload` (its first byte is the frame type).
    virtual void SendStream(const Bytes& payload) = 0;
};
