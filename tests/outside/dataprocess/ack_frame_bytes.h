// Command-channel bytes as the sensor sends them, for the acknowledgement parser and router
// tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "core/byte_order.h"
#include "dataprocess/command_frame.h"

namespace ack_test {

using Bytes = std::vector<uint8_t>;

// The parts one after the other.
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// An acknowledgement frame as the sensor sends it: word | 0x0100, status, data.
inline Bytes AckFrame(uint16_t commandWord, uint16_t status, const Bytes& data = {}) {
    const uint16_t length = static_cast<uint16_t>(4 + data.size());
    const uint16_t word = commandWord | kAckWordBit;
    Bytes frame = {0xFD, 0xFC, 0xFB, 0xFA};
    LeWriter writer(frame);
    writer.U16(length).U16(word).U16(status);
    frame.insert(frame.end(), data.begin(), data.end());
    frame.insert(frame.end(), {0x04, 0x03, 0x02, 0x01});
    return frame;
}

}  // namespace ack_test
