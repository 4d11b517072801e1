#include "wire_format.h"

namespace wire {

namespace {

Bytes Envelope(const uint8_t (&header)[4], const uint8_t (&tail)[4], const Bytes& body) {
    Bytes frame;
    frame.reserve(body.size() + kEnvelopeBytes);
    frame.insert(frame.end(), header, header + 4);
    PutU16(frame, static_cast<uint16_t>(body.size()));
    frame.insert(frame.end(), body.begin(), body.end());
    frame.insert(frame.end(), tail, tail + 4);
    return frame;
}

}  // namespace

Bytes BuildAckFrame(uint16_t commandWord, const Bytes& payload) {
    Bytes body;
    body.reserve(payload.size() + 2);
    PutU16(body, static_cast<uint16_t>(commandWord | kAckBit));
    body.insert(body.end(), payload.begin(), payload.end());
    return Envelope(kCommandHeader, kCommandTail, body);
}

Bytes BuildStreamFrame(const Bytes& payload) {
    return Envelope(kStreamHeader, kStreamTail, payload);
}

}  // namespace wire
