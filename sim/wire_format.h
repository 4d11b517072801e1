// The sensor's side of the link format: the two envelopes, command words, status codes and the
// little-endian fields. This is the simulator's own reading of the link protocol, kept apart from
// the host library on purpose: when the two disagree, the end-to-end tests fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/byte_order.h"

using Bytes = std::vector<uint8_t>;

namespace wire {

// Command / acknowledgement envelope: FD FC FB FA, u16 body length, body, 04 03 02 01.
constexpr uint8_t kCommandHeader[4] = {0xFD, 0xFC, 0xFB, 0xFA};
constexpr uint8_t kCommandTail[4] = {0x04, 0x03, 0x02, 0x01};
// Stream envelope (sensor to host): F4 F3 F2 F1, u16 payload length, payload, F8 F7 F6 F5.
constexpr uint8_t kStreamHeader[4] = {0xF4, 0xF3, 0xF2, 0xF1};
constexpr uint8_t kStreamTail[4] = {0xF8, 0xF7, 0xF6, 0xF5};

constexpr size_t kEnvelopeBytes = 10;  // header + length + tail
// Largest command body the sensor accepts (and announces in the command-mode answer).
constexpr size_t kMaxCommandBody = 4096;
constexpr size_t kMaxStreamPayload = 1024;
// An acknowledgement's command word carries this bit.
constexpr uint16_t kAckBit = 0x0100;
constexpr uint16_t kProtocolVersion = 2;

// Stream frame types.
constexpr uint8_t kReportType = 1;
constexpr size_t kReportPayload = 70;
constexpr uint8_t kProgressType = 3;
constexpr size_t kProgressPayload = 3;

// Command words.
constexpr uint16_t kReadVersion = 0x0000;
constexpr uint16_t kGenerateThresholds = 0x0009;
constexpr uint16_t kReadSerialNumber = 0x0011;
constexpr uint16_t kSetDetectSetting = 0x0070;
constexpr uint16_t kGetDetectSetting = 0x0071;
constexpr uint16_t kSetTriggerThresholds = 0x0072;
constexpr uint16_t kGetTriggerThresholds = 0x0073;
constexpr uint16_t kSetHoldThresholds = 0x0076;
constexpr uint16_t kGetHoldThresholds = 0x0077;
constexpr uint16_t kSetReportSwitch = 0x007A;
constexpr uint16_t kGetRunningMode = 0x0060;
constexpr uint16_t kGetPartitions = 0x0061;
constexpr uint16_t kSendBinInfo = 0x0062;
constexpr uint16_t kSendPacket = 0x0063;
constexpr uint16_t kSoftwareReset = 0x0064;
constexpr uint16_t kGetDeviceId = 0x0065;
constexpr uint16_t kEndCommandMode = 0x00FE;
constexpr uint16_t kEnableCommandMode = 0x00FF;

// Status codes (first field of every acknowledgement payload).
constexpr uint16_t kStatusSuccess = 0x0000;
constexpr uint16_t kStatusUnknownCommand = 0x0001;
constexpr uint16_t kStatusBadLength = 0x0002;
constexpr uint16_t kStatusBadValue = 0x0003;
constexpr uint16_t kStatusNeedsCommandMode = 0x0004;
constexpr uint16_t kStatusBadSequence = 0xA001;
constexpr uint16_t kStatusBadChecksum = 0xA002;
constexpr uint16_t kStatusNoPartition = 0xA003;
constexpr uint16_t kStatusImageTooLarge = 0xA004;
constexpr uint16_t kStatusNoBinInfo = 0xA006;

// True for the boot loader's command words, whose acknowledgements always carry status + u32.
constexpr bool IsBootLoaderWord(uint16_t word) {
    return word >= kGetRunningMode && word <= kGetDeviceId;
}

// The fields' byte order is common code, not part of the protocol reading kept apart.
inline uint16_t GetU16(const uint8_t* p) {
    return ReadLe16(p);
}
inline uint32_t GetU32(const uint8_t* p) {
    return ReadLe32(p);
}
inline void PutU16(Bytes& out, uint16_t value) {
    AppendLe16(out, value);
}
inline void PutU32(Bytes& out, uint32_t value) {
    AppendLe32(out, value);
}

// A whole acknowledgement frame: envelope around (word | kAckBit, payload).
Bytes BuildAckFrame(uint16_t commandWord, const Bytes& payload);
// A whole stream frame around the payload (whose first byte is the type).
Bytes BuildStreamFrame(const Bytes& payload);

}  // namespace wire
