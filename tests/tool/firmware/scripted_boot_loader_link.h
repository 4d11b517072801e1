// A boot loader link with a scripted sensor behind it, for tests of the firmware procedures: it
// answers as the sensor does (application or boot loader), records every call and packet, and
// has switches for the failures the procedures must report.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "firmware/boot_loader_link.h"
#include "firmware/firmware_protocol.h"
#include "tool/device/fake_radar_link.h"

// Connected (the base's flag) while the port is open: closed until the first open.
class ScriptedBootLoaderLink : public FakeRadarLink, public IBootLoaderLink {
public:
    enum class Fault {
        NoAck,     // no acknowledgement in time
        ShortAck,  // a 4-byte acknowledgement payload
        Refuse,    // status `refuseStatus`, value = status
    };

    struct OpenCall {
        int portNumber;
        uint32_t baudRate;
        uint8_t byteSize, parity, stopBits;
        int protocolVersion, readSerialNumber, readVersion, keepCmdMode;
        uint32_t ackTimeoutMs, settleMs;
    };

    // The sensor.
    bool bootLoader = false;
    uint32_t applicationMode = kRunningModeApp0;
    std::optional<uint32_t> runningModeAnswer;  // overrides the true mode
    bool resetWorks = true;
    uint32_t partitionMask = 0x3;
    uint32_t deviceId = 0x5A560001;
    uint32_t packetSize = 1044;
    std::map<uint16_t, Fault> faults;
    uint16_t refuseStatus = 0xA002;
    std::map<uint32_t, uint16_t> refusedPackets;
    std::vector<int> openResults;  // taken front first; 1 when empty

    // What happened.
    std::vector<std::string> calls;
    std::vector<OpenCall> opens;
    std::vector<uint8_t> binInfo;
    std::vector<std::vector<uint8_t>> packets;
    std::vector<uint32_t> timeouts;

    ScriptedBootLoaderLink() { connected = false; }

    int OpenByPortNum(int portNumber, uint32_t baudRate, uint8_t byteSize, uint8_t parity,
                      uint8_t stopBits, int protocolVersion, int readSerialNumber, int readVersion,
                      int keepCmdMode, uint32_t ackTimeoutMs, uint32_t settleMs) override {
        calls.push_back("open");
        opens.push_back({portNumber, baudRate, byteSize, parity, stopBits, protocolVersion,
                         readSerialNumber, readVersion, keepCmdMode, ackTimeoutMs, settleMs});
        int result = 1;
        if (!openResults.empty()) {
            result = openResults.front();
            openResults.erase(openResults.begin());
        }
        connected = result != 0;
        return result;
    }
    void Close() override {
        calls.push_back("close");
        connected = false;
    }
    uint16_t SendCommand(uint16_t code, const uint8_t* payload, uint32_t length, uint32_t* answer,
                         uint32_t timeoutMs) override {
        calls.push_back(CommandName(code));
        timeouts.push_back(timeoutMs);
        if (!connected) return kMissing;
        const std::vector<uint8_t> bytes(payload, payload + length);
        if (const auto fault = faults.find(code); fault != faults.end()) {
            switch (fault->second) {
                case Fault::NoAck:
                    return kMissing;
                case Fault::ShortAck:
                    return Deliver({0, 0, 0x14, 0x04}, answer);
                case Fault::Refuse:
                    return Deliver(Ack(refuseStatus, refuseStatus), answer);
            }
        }
        switch (code) {
            case kCmdGetRunningMode:
                return Deliver(Ack(0, runningModeAnswer.value_or(bootLoader ? kRunningModeBootLoader
                                                                            : applicationMode)),
                               answer);
            case kCmdGetPartitionInfo:
                return Deliver(Ack(0, partitionMask), answer);
            case kCmdGetDeviceId:
                return Deliver(Ack(0, deviceId), answer);
            case kCmdSendBinFileInfo:
                if (!bootLoader) return Deliver(Ack(4, 4), answer);
                binInfo = bytes;
                return Deliver(Ack(0, packetSize), answer);
            case kCmdSendPacket: {
                if (!bootLoader) return Deliver(Ack(4, 4), answer);
                const uint32_t sequence = bytes.size() >= 4 ? ReadLe32(bytes.data()) : 0;
                if (const auto refused = refusedPackets.find(sequence);
                    refused != refusedPackets.end()) {
                    return Deliver(Ack(refused->second, refused->second), answer);
                }
                packets.push_back(bytes);
                return Deliver(Ack(0, 0), answer);
            }
            default:
                return Deliver(Ack(1, 1), answer);
        }
    }
    void SendCommandNoCheckAck(uint16_t code) override {
        calls.push_back("noack " + CommandName(code));
        if (code == kCmdSoftwareReset && connected && resetWorks) bootLoader = true;
    }
    void Sleep(uint32_t milliseconds) override {
        calls.push_back("sleep " + std::to_string(milliseconds));
    }

    // The image bytes of all packets, padding included.
    std::vector<uint8_t> ReceivedBytes() const {
        std::vector<uint8_t> all;
        for (const auto& packet : packets) all.insert(all.end(), packet.begin() + 8, packet.end());
        return all;
    }

    static std::vector<uint8_t> Ack(uint16_t status, uint32_t value) {
        std::vector<uint8_t> ack;
        LeWriter writer(ack);
        writer.U16(status).U32(value);
        return ack;
    }
    static std::string CommandName(uint16_t code) {
        switch (code) {
            case kCmdGetRunningMode:
                return "mode";
            case kCmdGetPartitionInfo:
                return "partitions";
            case kCmdSendBinFileInfo:
                return "bininfo";
            case kCmdSendPacket:
                return "packet";
            case kCmdSoftwareReset:
                return "reset";
            case kCmdGetDeviceId:
                return "deviceid";
            default:
                return "cmd " + std::to_string(code);
        }
    }

    static constexpr uint16_t kMissing = 0xFFFF;

protected:
    void NoteStartCmdMode(int, uint32_t, uint32_t) override { calls.push_back("start"); }
    void NoteStopCmdMode(uint32_t) override { calls.push_back("stop"); }

private:
    // What the device library does with an acknowledgement: hands it to the checker.
    static uint16_t Deliver(const std::vector<uint8_t>& ack, uint32_t* answer) {
        return DecodeBootLoaderAck(ack.data(), static_cast<int>(ack.size()), answer);
    }
};
