// The sensor's boot loader: running mode, partitions, device identifier, and writing an image
// into a partition.
//
// 0x0062 (partition mask with exactly one existing partition, image size, image checksum)
// erases the partition (the answer comes after the erase time) and answers the packet size P.
// 0x0063 packets must come in sequence from 0; each carries at most P - 20 image bytes (the
// last may add its 0 to 3 padding bytes) and is checked against its checksum (the sum of its
// bytes). A refused packet changes nothing and may be sent again. When the image size has been
// reached, the image checksum is checked over every byte received, padding included; the
// image (without padding) is then flashed and that partition's application starts about a
// second later. Every answer is status + u32; on failure the u32 of 0x0062/0x0063 repeats the
// status (the detail a host shows), that of the questions is 0.
// 0x00FF/0x00FE are accepted (status 0) so that hosts may enter and leave command mode freely;
// nothing is streamed. Used by one thread, in sensor time.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "command_outcome.h"
#include "command_parser.h"
#include "flash_store.h"

struct BootLoaderSettings {
    uint32_t packetSize = 1044;
    uint64_t eraseMs = 1500;
    // Packets refused (sequence number -> status), a fault for host tests.
    std::map<uint32_t, uint16_t> refusedPackets;
};

class BootLoader {
public:
    static constexpr uint64_t kApplicationStartMs = 1000;
    static constexpr uint32_t kPacketOverhead = 20;  // envelope, command word, packet header

    BootLoader(const SensorIdentity& identity, const BootLoaderSettings& settings,
               FlashStore& flash)
        : m_identity(identity), m_settings(settings), m_flash(flash) {}

    // Starts (or restarts) the boot loader: a transfer in progress is abandoned.
    void Restart();
    CommandOutcome OnCommand(const CommandFrame& frame);

private:
    struct Transfer {
        int partition = 0;
        uint32_t size = 0;
        uint32_t checksum = 0;
        uint32_t nextSequence = 0;
        Bytes received;
    };

    CommandOutcome BinInfo(const Bytes& payload);
    CommandOutcome Packet(const Bytes& payload);

    const SensorIdentity& m_identity;
    const BootLoaderSettings& m_settings;
    FlashStore& m_flash;
    std::optional<Transfer> m_transfer;
};

// The sum of the bytes as unsigned values, modulo 2^32: the checksum of packets and images.
uint32_t ByteSum(const uint8_t* data, size_t length, uint32_t start = 0);
