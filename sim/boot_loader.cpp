#include "boot_loader.h"

#include <bit>

#include "core/dbg_output.h"

namespace {

constexpr size_t kBinInfoBytes = 12;
constexpr size_t kPacketHeaderBytes = 8;

CommandOutcome Refuse(uint16_t word, uint16_t status) {
    return CommandOutcome::Failure(word, status);
}

}  // namespace

uint32_t ByteSum(const uint8_t* data, size_t length, uint32_t start) {
    uint32_t sum = start;
    for (size_t i = 0; i < length; ++i) sum += data[i];
    return sum;
}

void BootLoader::Restart() {
    if (m_transfer) {
        DbgOutputA(kDbgLevelWarning,
                   "Boot loader restarted: transfer to partition %d abandoned "
                   "after %zu bytes\r\n",
                   m_transfer->partition, m_transfer->received.size());
    }
    m_transfer.reset();
    DbgOutputA(kDbgLevelInfo, "Boot loader started\r\n");
}

CommandOutcome BootLoader::OnCommand(const CommandFrame& frame) {
    const Bytes& payload = frame.payload;
    switch (frame.word) {
        case wire::kEnableCommandMode: {
            if (payload.size() != 2) return CommandOutcome::Status(wire::kStatusBadLength);
            CommandOutcome outcome = CommandOutcome::Status(wire::kStatusSuccess);
            wire::PutU16(*outcome.ack, wire::kProtocolVersion);
            wire::PutU16(*outcome.ack, static_cast<uint16_t>(wire::kMaxCommandBody));
            return outcome;
        }
        case wire::kEndCommandMode:
            if (!payload.empty()) return CommandOutcome::Status(wire::kStatusBadLength);
            return CommandOutcome::Status(wire::kStatusSuccess);
        case wire::kGetRunningMode:
            if (!payload.empty()) return Refuse(frame.word, wire::kStatusBadLength);
            return CommandOutcome::StatusValue(wire::kStatusSuccess,
                                               m_identity.runningModeAnswer.value_or(1));
        case wire::kGetPartitions:
            if (!payload.empty()) return Refuse(frame.word, wire::kStatusBadLength);
            return CommandOutcome::StatusValue(wire::kStatusSuccess, m_flash.PartitionMask());
        case wire::kGetDeviceId:
            if (!payload.empty()) return Refuse(frame.word, wire::kStatusBadLength);
            return CommandOutcome::StatusValue(wire::kStatusSuccess, m_identity.deviceId);
        case wire::kSendBinInfo:
            return BinInfo(payload);
        case wire::kSendPacket:
            return Packet(payload);
        case wire::kSoftwareReset: {
            CommandOutcome outcome;  // no answer
            outcome.change = ModeChange::RestartIntoBootLoader;
            outcome.changeAfterMs = kSoftwareResetMs;
            return outcome;
        }
        default:
            return Refuse(frame.word, wire::kStatusUnknownCommand);
    }
}

CommandOutcome BootLoader::BinInfo(const Bytes& payload) {
    if (payload.size() != kBinInfoBytes) return Refuse(wire::kSendBinInfo, wire::kStatusBadLength);
    const uint32_t mask = wire::GetU32(&payload[0]);
    const uint32_t size = wire::GetU32(&payload[4]);
    const uint32_t checksum = wire::GetU32(&payload[8]);
    const int partition = std::countr_zero(mask);
    if (std::popcount(mask) != 1 || !m_flash.Exists(partition)) {
        DbgOutputA(kDbgLevelWarning,
                   "Bin file information for partition mask 0x%08x refused: "
                   "partitions are 0x%08x\r\n",
                   mask, m_flash.PartitionMask());
        return Refuse(wire::kSendBinInfo, wire::kStatusNoPartition);
    }
    if (size > m_flash.PartitionBytes()) {
        DbgOutputA(kDbgLevelWarning, "Image of %u bytes refused: partition %d holds %u\r\n", size,
                   partition, m_flash.PartitionBytes());
        return Refuse(wire::kSendBinInfo, wire::kStatusImageTooLarge);
    }
    if (size == 0) return Refuse(wire::kSendBinInfo, wire::kStatusBadValue);

    m_flash.Erase(partition);
    m_transfer = Transfer{};
    m_transfer->partition = partition;
    m_transfer->size = size;
    m_transfer->checksum = checksum;
    m_transfer->received.reserve(size + 3);
    DbgOutputA(kDbgLevelInfo, "Partition %d erased for an image of %u bytes, checksum 0x%08x\r\n",
               partition, size, checksum);

    CommandOutcome outcome =
        CommandOutcome::StatusValue(wire::kStatusSuccess, m_settings.packetSize & 0xFFFFu);
    outcome.busyMs = m_settings.eraseMs;
    return outcome;
}

CommandOutcome BootLoader::Packet(const Bytes& payload) {
    if (payload.size() < kPacketHeaderBytes)
        return Refuse(wire::kSendPacket, wire::kStatusBadLength);
    if (!m_transfer) return Refuse(wire::kSendPacket, wire::kStatusNoBinInfo);
    Transfer& transfer = *m_transfer;
    const uint32_t sequence = wire::GetU32(&payload[0]);
    const uint32_t checksum = wire::GetU32(&payload[4]);
    const uint8_t* data = payload.data() + kPacketHeaderBytes;
    const size_t length = payload.size() - kPacketHeaderBytes;

    if (sequence != transfer.nextSequence) {
        DbgOutputA(kDbgLevelWarning, "Packet %u refused: packet %u expected\r\n", sequence,
                   transfer.nextSequence);
        return Refuse(wire::kSendPacket, wire::kStatusBadSequence);
    }
    if (const auto refused = m_settings.refusedPackets.find(sequence);
        refused != m_settings.refusedPackets.end()) {
        DbgOutputA(kDbgLevelWarning, "Packet %u refused with 0x%04x (fault option)\r\n", sequence,
                   refused->second);
        return Refuse(wire::kSendPacket, refused->second);
    }
    const size_t padding = (4 - transfer.size % 4) % 4;
    const size_t before = transfer.received.size();
    const bool last = before + length >= transfer.size;
    const size_t allowed = m_settings.packetSize > kPacketOverhead
                               ? m_settings.packetSize - kPacketOverhead + (last ? padding : 0)
                               : 0;
    if (length == 0 || length > allowed || before + length > transfer.size + padding) {
        DbgOutputA(kDbgLevelWarning, "Packet %u refused: %zu data bytes (at most %zu here)\r\n",
                   sequence, length, std::min(allowed, transfer.size + padding - before));
        return Refuse(wire::kSendPacket, wire::kStatusBadLength);
    }
    if (ByteSum(data, length) != checksum) {
        DbgOutputA(kDbgLevelWarning, "Packet %u refused: checksum 0x%08x, data sums to 0x%08x\r\n",
                   sequence, checksum, ByteSum(data, length));
        return Refuse(wire::kSendPacket, wire::kStatusBadChecksum);
    }
    if (last) {
        const uint32_t sum =
            ByteSum(data, length, ByteSum(transfer.received.data(), transfer.received.size()));
        if (sum != transfer.checksum) {
            DbgOutputA(kDbgLevelWarning,
                       "Image refused at packet %u: announced checksum 0x%08x, "
                       "received bytes sum to 0x%08x\r\n",
                       sequence, transfer.checksum, sum);
            return Refuse(wire::kSendPacket, wire::kStatusBadChecksum);
        }
    }
    transfer.received.insert(transfer.received.end(), data, data + length);
    ++transfer.nextSequence;
    if (!last) return CommandOutcome::StatusValue(wire::kStatusSuccess, 0);

    const Bytes image(transfer.received.begin(), transfer.received.begin() + transfer.size);
    const int partition = transfer.partition;
    m_flash.Write(partition, image);
    m_transfer.reset();
    CommandOutcome outcome = CommandOutcome::StatusValue(wire::kStatusSuccess, 0);
    outcome.change = ModeChange::StartApplication;
    outcome.changeAfterMs = kApplicationStartMs;
    outcome.partition = partition;
    return outcome;
}
