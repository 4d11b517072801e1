// The device object behind an IRadarDevice handle: the link's life (open, command-mode
// handshake, close, loss), the commands, and the stream queue. radar_device_interface.cpp maps
// the exported functions onto it; radar_device.cpp holds the link's life, radar_device_commands.cpp
// the commands.
//
// Locks, outermost first: the open lock (one open or close at a time), the command lock (one
// command on the wire at a time), the state lock (the link pointer, its state and the texts; held
// only briefly). A close never waits for the command lock: it aborts the link, which releases the
// waiting command at once. No lock is held while listeners are called.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/base_lock.h"
#include "device_notifier.h"
#include "radar_device_interface.h"
#include "serial_link.h"
#include "stream_queue.h"

class IRadarDevice {
public:
    virtual ~IRadarDevice() = default;
};

// The sensor's protocol timing and limits the device uses.
// While the enable command goes unanswered it is sent again this often (within its time-out).
constexpr uint32_t kEnableResendIntervalMs = 150;
// A command sent without waiting for its answer gets this long to leave the port.
constexpr uint32_t kNoAckWriteTimeoutMs = 1000;

// What an open needs besides the port: the handshake and what to read.
struct RadarOpenOptions {
    eRADAR_PROTOCOL_VERSION version = eRADAR_PROTOCOL_VERSION_2;
    bool readSerialNumber = false;
    bool readVersion = false;
    bool keepCmdMode = false;
    uint32_t ackTimeoutMs = 500;
    uint32_t settleMs = 150;
};

class RadarDevice final : public IRadarDevice, private ISerialLinkOwner {
public:
    RadarDevice();
    ~RadarDevice() override;  // closes
    RadarDevice(const RadarDevice&) = delete;
    RadarDevice& operator=(const RadarDevice&) = delete;

    DeviceNotifier& Notifier() { return m_notifier; }

    // Link life (radar_device.cpp).
    bool Open(int portNumber, const SerialLineSettings& settings, const RadarOpenOptions& options);
    void Close();
    bool IsConnected();
    std::string Version();
    std::string SerialNumber();
    // Why the last open failed (cause None after a successful one, or before any).
    SerialOpenFailure OpenFailure() const;

    // Commands (radar_device_commands.cpp).
    bool StartCmdMode(eRADAR_PROTOCOL_VERSION version, uint32_t ackTimeoutMs, uint32_t settleMs);
    bool StopCmdMode(uint32_t timeoutMs);
    bool GetParameter(uint16_t command, int count, const uint16_t* ids, uint32_t* values,
                      uint32_t timeoutMs);
    bool SetParameter(uint16_t command, int count, const uint16_t* ids, const uint32_t* values,
                      uint32_t timeoutMs);
    uint16_t SendCommand(uint16_t command, const uint8_t* payload, int length, AckCheckFunc check,
                         uint64_t userValue, uint32_t timeoutMs);
    bool SendCommandNoAck(uint16_t command, const uint8_t* payload, int length);

    // Stream.
    bool Start();
    void Stop();
    bool Fetch(RadarDataBlock& block, uint32_t timeoutMs);
    bool Commit(RadarDataBlock& block);
    void CancelRead();

    // Observation points for tests and diagnostics: fetches waiting now, commands waiting for
    // their acknowledgement now.
    int WaitingFetches() const { return m_stream.WaitingFetches(); }
    int WaitingCommands() const { return m_waitingCommands.load(); }

private:
    enum class LinkState { Closed, Opening, Open, Lost };

    // The link while it is open; null otherwise.
    std::shared_ptr<SerialLink> OpenLink();
    // Takes the link away (state Closed), queueing Disconnected when it was open. A lost link is
    // handed back in `lostLink` to be shut down once no lock is held (its reader may be
    // delivering notifications); any other is shut down here. Open lock held.
    void DetachLink(std::shared_ptr<SerialLink>& lostLink);

    // ISerialLinkOwner, reader thread.
    void OnStreamBytes(const uint8_t* bytes, size_t count) override;
    void OnLinkLost(SerialLink& link) override;

    // One exchange on the link under the command lock: true with the acknowledgement's payload.
    bool Exchange(SerialLink& link, uint16_t command, const uint8_t* payload, uint32_t length,
                  uint32_t timeoutMs, std::vector<uint8_t>& ack);
    // Command lock held by the caller (radar_device_commands.cpp).
    // `refusedStatus` (optional) gets the status of an answer that refused, 0 otherwise.
    bool EnterCommandMode(SerialLink& link, eRADAR_PROTOCOL_VERSION version, uint32_t timeoutMs,
                          uint32_t settleMs, uint16_t* refusedStatus = nullptr);
    bool EndCommandMode(SerialLink& link, uint32_t timeoutMs);
    bool ReadText(SerialLink& link, uint16_t command, uint32_t timeoutMs, std::string& text);
    // Largest command payload the sensor accepts (it tells in its command-mode answer).
    uint32_t MaxPayload() const;

    DeviceNotifier m_notifier;
    StreamQueue m_stream;
    CBaseLock m_openLock;
    CBaseLock m_commandLock;
    mutable CBaseLock m_stateLock;
    std::shared_ptr<SerialLink> m_link;
    LinkState m_state = LinkState::Closed;
    std::string m_version;
    SerialOpenFailure m_openFailure;
    std::string m_serialNumber;
    std::atomic<uint16_t> m_protocolVersion{eRADAR_PROTOCOL_VERSION_2};
    std::atomic<uint32_t> m_sensorMaxBody{kMaxCommandBodyBytes};
    // Counts closes, so that an open running meanwhile notices it was overtaken.
    std::atomic<uint64_t> m_closeSerial{0};
    std::atomic<int> m_waitingCommands{0};
};
