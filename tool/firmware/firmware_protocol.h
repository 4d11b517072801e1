// The boot loader's side of the sensor link as the firmware procedures use it: command codes,
// time-outs, the image and packet checksums, the bin file information and packet payloads, and
// the reading of the boot loader's 6-byte acknowledgements. All multi-byte fields are
// little-endian and written byte by byte.
//
// Pure functions on memory; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Command codes.
constexpr uint16_t kCmdGetRunningMode = 0x60;
constexpr uint16_t kCmdGetPartitionInfo = 0x61;
constexpr uint16_t kCmdSendBinFileInfo = 0x62;
constexpr uint16_t kCmdSendPacket = 0x63;
constexpr uint16_t kCmdSoftwareReset = 0x64;
constexpr uint16_t kCmdGetDeviceId = 0x65;

// Acknowledgement limits of the commands.
constexpr uint32_t kBootLoaderQueryTimeoutMs = 3500;  // 0x60, 0x61, 0x65
constexpr uint32_t kBinFileInfoTimeoutMs = 10000;     // 0x62: the sensor erases first
constexpr uint32_t kPacketTimeoutMs = 3500;           // 0x63

// What the firmware procedures open the port and enter command mode with beside the protocol's
// command mode values (dataprocess/radar_command_mode.h): no serial number, no version, command
// mode not kept, and a settle time of 50 ms.
constexpr int kFirmwareOpenReadSerialNumber = 0;
constexpr int kFirmwareOpenReadVersion = 0;
constexpr int kFirmwareOpenKeepCmdMode = 0;
constexpr uint32_t kFirmwareSettleMs = 50;
// How long the sensor is given to restart into its boot loader after a software reset.
constexpr uint32_t kSoftwareResetWaitMs = 2000;

// Running modes (answer of 0x60).
constexpr uint32_t kRunningModeBootLoader = 1;
constexpr uint32_t kRunningModeApp0 = 2;
constexpr uint32_t kRunningModeApp1 = 4;

constexpr int kMaxFirmwarePartitions = 32;

// A boot loader acknowledgement payload: u16 return code, u32 value.
constexpr int kBootLoaderAckBytes = 6;
// The tool's own code for an acknowledgement of any other length.
constexpr uint16_t kAckWrongLength = 0xA005;

// The packet size P counts a whole command frame on the wire: 4 header + 2 length + 2 command
// word + 8 packet header + data + 4 tail, so one packet carries P - kPacketOverheadBytes image
// bytes (the last one may add its padding).
constexpr uint32_t kPacketOverheadBytes = 20;
constexpr uint32_t kPacketHeaderBytes = 8;  // sequence, packet checksum
// Largest P a host can use: a command frame carries at most 4096 body bytes.
constexpr uint32_t kMaxPacketSize = 4096;
constexpr size_t kBinFileInfoBytes = 12;
constexpr uint8_t kPaddingByte = 0xFF;

// Largest image the tool reads and announces (64 times the sensor's usual partition of
// 256 KiB); larger files are refused before anything is allocated for them.
constexpr uint64_t kMaxFirmwareImageBytes = 16u * 1024 * 1024;

// Padding bytes that make `size` a multiple of 4: (4 - size mod 4) mod 4.
uint32_t ImagePaddingBytes(uint64_t size);

// Sum of the image bytes as unsigned values, plus 0xFF per padding byte, modulo 2^32: what the
// image followed by its padding sums to.
uint32_t ImageChecksum(const uint8_t* data, size_t size);

// Sum of a packet's image bytes plus 0xFF per padding byte, modulo 2^32.
uint32_t PacketChecksum(const uint8_t* data, size_t count, uint32_t padding);

// Payload of 0x62: partition mask (1 << partition), image size, image checksum. The partition
// must be 0 to 31.
std::array<uint8_t, kBinFileInfoBytes> BuildBinFileInfo(int partition, uint32_t imageSize,
                                                        uint32_t imageChecksum);

// One packet of a transfer: which image bytes it carries and how many padding bytes follow.
struct PacketSlice {
    size_t offset = 0;
    size_t count = 0;
    uint32_t padding = 0;
    bool last = false;
};

// The packet that follows `sent` image bytes of an image of `imageSize` bytes, with at most
// `dataPerPacket` (> 0) image bytes a packet. The last packet (the one that reaches the image
// size) carries the image's padding, also when it is exactly `dataPerPacket` bytes long: the
// padding is counted in the image checksum and must reach the sensor.
PacketSlice NextPacketSlice(size_t sent, size_t imageSize, size_t dataPerPacket);

// Payload of 0x63 into `packet` (replacing its content): sequence, packet checksum, `count`
// image bytes, `padding` bytes 0xFF.
void BuildPacket(uint32_t sequence, const uint8_t* data, size_t count, uint32_t padding,
                 std::vector<uint8_t>& packet);

// Reads a boot loader acknowledgement payload. A 6-byte payload stores its u32 value (offset 2)
// into *answer and returns its u16 return code (offset 0; 0 = success). Any other length
// returns kAckWrongLength and leaves *answer untouched. A null payload with a nonzero length
// counts as a wrong length; a null answer is not written.
uint16_t DecodeBootLoaderAck(const uint8_t* payload, int length, uint32_t* answer);

// "BootLoader" (1), "App0" (2), "App1" (4), "Unknown" for anything else.
const char* RunningModeName(uint32_t mode);
