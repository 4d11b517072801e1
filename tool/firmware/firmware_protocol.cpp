#include "firmware/firmware_protocol.h"

#include <algorithm>

#include "core/byte_order.h"

namespace {

uint32_t ByteSum(const uint8_t* data, size_t count) {
    uint32_t sum = 0;
    for (size_t i = 0; i < count; ++i) sum += data[i];
    return sum;
}

}  // namespace

uint32_t ImagePaddingBytes(uint64_t size) {
    return static_cast<uint32_t>((4 - size % 4) % 4);
}

uint32_t ImageChecksum(const uint8_t* data, size_t size) {
    return ByteSum(data, size) + ImagePaddingBytes(size) * uint32_t{kPaddingByte};
}

uint32_t PacketChecksum(const uint8_t* data, size_t count, uint32_t padding) {
    return ByteSum(data, count) + padding * uint32_t{kPaddingByte};
}

std::array<uint8_t, kBinFileInfoBytes> BuildBinFileInfo(int partition, uint32_t imageSize,
                                                        uint32_t imageChecksum) {
    std::array<uint8_t, kBinFileInfoBytes> payload{};
    const uint32_t mask =
        partition >= 0 && partition < kMaxFirmwarePartitions ? uint32_t{1} << partition : 0;
    WriteLe32(&payload[0], mask);
    WriteLe32(&payload[4], imageSize);
    WriteLe32(&payload[8], imageChecksum);
    return payload;
}

PacketSlice NextPacketSlice(size_t sent, size_t imageSize, size_t dataPerPacket) {
    PacketSlice slice;
    slice.offset = std::min(sent, imageSize);
    const size_t remaining = imageSize - slice.offset;
    if (remaining <= dataPerPacket) {
        slice.count = remaining;
        slice.padding = ImagePaddingBytes(imageSize);
        slice.last = true;
    } else {
        slice.count = dataPerPacket;
    }
    return slice;
}

void BuildPacket(uint32_t sequence, const uint8_t* data, size_t count, uint32_t padding,
                 std::vector<uint8_t>& packet) {
    packet.resize(kPacketHeaderBytes + count + padding);
    WriteLe32(&packet[0], sequence);
    WriteLe32(&packet[4], PacketChecksum(data, count, padding));
    if (count > 0) std::copy(data, data + count, packet.begin() + kPacketHeaderBytes);
    std::fill(packet.begin() + kPacketHeaderBytes + count, packet.end(), kPaddingByte);
}

uint16_t DecodeBootLoaderAck(const uint8_t* payload, int length, uint32_t* answer) {
    if (payload == nullptr || length != kBootLoaderAckBytes) return kAckWrongLength;
    const uint16_t code = ReadLe16(payload);
    const uint32_t value = ReadLe32(payload + 2);
    if (answer != nullptr) *answer = value;
    return code;
}

const char* RunningModeName(uint32_t mode) {
    switch (mode) {
        case kRunningModeBootLoader:
            return "BootLoader";
        case kRunningModeApp0:
            return "App0";
        case kRunningModeApp1:
            return "App1";
        default:
            return "Unknown";
    }
}
