// The device's commands: command mode, parameters, free commands, and the stream switches.
#include <algorithm>

#include "core/byte_order.h"
#include "core/dbg_output.h"
#include "core/mono_clock.h"
#include "radar_device.h"

namespace {

constexpr uint16_t kCmdEnableCommandMode = 0x00FF;
constexpr uint16_t kCmdEndCommandMode = 0x00FE;
constexpr uint16_t kStatusSuccess = 0x0000;
// The enable answer: status, protocol version, largest body the sensor accepts.
constexpr size_t kEnableAckBytes = 6;
// A text answer: status, u16 length, the text.
constexpr size_t kTextAckHeaderBytes = 4;
constexpr size_t kStatusBytes = 2;
constexpr size_t kParameterIdBytes = 2;
constexpr size_t kParameterValueBytes = 4;
// Below this a sensor's announced largest body cannot be meant (a set of one parameter needs it).
constexpr uint32_t kMinSensorBodyBytes = 2 + kParameterIdBytes + kParameterValueBytes;

uint16_t StatusOf(const std::vector<uint8_t>& ack) {
    return ack.size() >= kStatusBytes ? ReadLe16(ack.data()) : kRadarAckMissing;
}

}  // namespace

uint32_t RadarDevice::MaxPayload() const {
    return m_sensorMaxBody.load() - 2;
}

bool RadarDevice::Exchange(SerialLink& link, uint16_t command, const uint8_t* payload,
                           uint32_t length, uint32_t timeoutMs, std::vector<uint8_t>& ack) {
    CBaseBuffer frame;
    if (!BuildCommandFrame(command, payload, length, frame)) {
        DbgOutputA(kDbgLevelError, "Radar command 0x%04X: %u payload bytes cannot be framed\r\n",
                   command, length);
        return false;
    }
    const uint64_t deadline = MonoDeadlineMs(timeoutMs);
    m_waitingCommands++;
    const bool answered =
        link.Exchange(frame, static_cast<uint16_t>(command | kAckWordBit), deadline, ack);
    m_waitingCommands--;
    return answered;
}

bool RadarDevice::EnterCommandMode(SerialLink& link, eRADAR_PROTOCOL_VERSION version,
                                   uint32_t timeoutMs, uint32_t settleMs, uint16_t* refusedStatus) {
    if (refusedStatus != nullptr) *refusedStatus = 0;
    if (!link.DiscardInputFor(settleMs)) return false;
    std::vector<uint8_t> payload;
    AppendLe16(payload, static_cast<uint16_t>(version));
    CBaseBuffer frame;
    BuildCommandFrame(kCmdEnableCommandMode, payload.data(), payload.size(), frame);
    const uint16_t ackWord = kCmdEnableCommandMode | kAckWordBit;
    const uint64_t deadline = MonoDeadlineMs(timeoutMs);
    std::vector<uint8_t> ack;
    for (;;) {
        const uint64_t now = MonoTimeMs();
        if (now >= deadline || link.IsClosing()) return false;
        const uint64_t attemptDeadline = std::min(deadline, now + kEnableResendIntervalMs);
        if (!link.Exchange(frame, ackWord, attemptDeadline, ack)) {
            // Back before its time: the command could not be written at all.
            if (MonoTimeMs() < attemptDeadline) return false;
            continue;
        }
        const uint16_t status = StatusOf(ack);
        if (status != kStatusSuccess) {
            DbgOutputA(kDbgLevelWarning, "Radar command mode refused: status 0x%04X\r\n", status);
            if (refusedStatus != nullptr) *refusedStatus = status;
            return false;
        }
        if (ack.size() >= kEnableAckBytes) {
            const uint16_t sensorVersion = ReadLe16(ack.data() + 2);
            const uint32_t maxBody = ReadLe16(ack.data() + 4);
            if (sensorVersion != version) {
                DbgOutputA(kDbgLevelWarning,
                           "Radar command mode: the sensor speaks protocol %u, we asked for %u\r\n",
                           sensorVersion, static_cast<unsigned>(version));
            }
            m_sensorMaxBody.store(std::clamp(maxBody, kMinSensorBodyBytes, kMaxCommandBodyBytes));
        }
        return true;
    }
}

bool RadarDevice::EndCommandMode(SerialLink& link, uint32_t timeoutMs) {
    std::vector<uint8_t> ack;
    return Exchange(link, kCmdEndCommandMode, nullptr, 0, timeoutMs, ack) &&
           StatusOf(ack) == kStatusSuccess;
}

bool RadarDevice::ReadText(SerialLink& link, uint16_t command, uint32_t timeoutMs,
                           std::string& text) {
    std::vector<uint8_t> ack;
    if (!Exchange(link, command, nullptr, 0, timeoutMs, ack)) {
        DbgOutputA(kDbgLevelWarning, "Radar read 0x%04X: no answer\r\n", command);
        return false;
    }
    const uint16_t status = StatusOf(ack);
    const size_t length = ack.size() >= kTextAckHeaderBytes ? ReadLe16(ack.data() + 2) : 0;
    if (status != kStatusSuccess || ack.size() < kTextAckHeaderBytes ||
        length > ack.size() - kTextAckHeaderBytes) {
        DbgOutputA(kDbgLevelWarning,
                   "Radar read 0x%04X: status 0x%04X, %zu answer bytes: no text\r\n", command,
                   status, ack.size());
        return false;
    }
    // The sensor speaks ASCII; anything else would break the caller's text handling.
    text.clear();
    for (size_t i = 0; i < length; ++i) {
        const uint8_t ch = ack[kTextAckHeaderBytes + i];
        if (ch == 0) break;
        text.push_back(ch >= 0x20 && ch < 0x7F ? static_cast<char>(ch) : '?');
    }
    return true;
}

bool RadarDevice::StartCmdMode(eRADAR_PROTOCOL_VERSION version, uint32_t ackTimeoutMs,
                               uint32_t settleMs) {
    std::shared_ptr<SerialLink> link = OpenLink();
    bool ok = false;
    if (link) {
        CAutoBaseLock commandGuard(&m_commandLock);
        ok = EnterCommandMode(*link, version, ackTimeoutMs, settleMs);
        if (ok) m_protocolVersion.store(version);
    }
    DbgOutputA(kDbgLevelInfo, "Radar StartCmdMode (protocol %u, ack %u ms, settle %u ms): %s\r\n",
               static_cast<unsigned>(version), ackTimeoutMs, settleMs,
               ok ? "success" : (link ? "failed" : "failed, not connected"));
    return ok;
}

bool RadarDevice::StopCmdMode(uint32_t timeoutMs) {
    std::shared_ptr<SerialLink> link = OpenLink();
    bool ok = false;
    if (link) {
        CAutoBaseLock commandGuard(&m_commandLock);
        ok = EndCommandMode(*link, timeoutMs);
    }
    DbgOutputA(kDbgLevelInfo, "Radar StopCmdMode (%u ms): %s\r\n", timeoutMs,
               ok ? "success" : (link ? "failed" : "failed, not connected"));
    return ok;
}

bool RadarDevice::GetParameter(uint16_t command, int count, const uint16_t* ids, uint32_t* values,
                               uint32_t timeoutMs) {
    const char* failure = nullptr;
    std::vector<uint8_t> ack;
    uint16_t status = kRadarAckMissing;
    std::shared_ptr<SerialLink> link;
    if (count <= 0 || ids == nullptr || values == nullptr) {
        failure = "no parameters given";
    } else if (static_cast<uint64_t>(count) * kParameterIdBytes > MaxPayload()) {
        failure = "more parameters than one command carries";
    } else if (!(link = OpenLink())) {
        failure = "not connected";
    } else {
        std::vector<uint8_t> payload;
        for (int i = 0; i < count; ++i) AppendLe16(payload, ids[i]);
        CAutoBaseLock commandGuard(&m_commandLock);
        if (!Exchange(*link, command, payload.data(), payload.size(), timeoutMs, ack)) {
            failure = "no acknowledgement in time";
        } else if ((status = StatusOf(ack)) != kStatusSuccess) {
            failure = "refused";
        } else if (ack.size() != kStatusBytes + static_cast<size_t>(count) * kParameterValueBytes) {
            failure = "acknowledgement of the wrong length";
        }
    }
    if (failure == nullptr) {
        for (int i = 0; i < count; ++i) {
            values[i] = ReadLe32(ack.data() + kStatusBytes + static_cast<size_t>(i) * 4);
        }
    }
    if (failure != nullptr && status != kRadarAckMissing) {
        DbgOutputA(kDbgLevelInfo,
                   "Radar Protocol_GetParameter 0x%04X (%d ids, %u ms): failed, %s, status "
                   "0x%04X, %zu answer bytes\r\n",
                   command, count, timeoutMs, failure, status, ack.size());
    } else {
        DbgOutputA(kDbgLevelInfo, "Radar Protocol_GetParameter 0x%04X (%d ids, %u ms): %s%s\r\n",
                   command, count, timeoutMs, failure ? "failed, " : "success",
                   failure ? failure : "");
    }
    return failure == nullptr;
}

bool RadarDevice::SetParameter(uint16_t command, int count, const uint16_t* ids,
                               const uint32_t* values, uint32_t timeoutMs) {
    const char* failure = nullptr;
    uint16_t status = kRadarAckMissing;
    std::shared_ptr<SerialLink> link;
    if (count <= 0 || ids == nullptr || values == nullptr) {
        failure = "no parameters given";
    } else if (static_cast<uint64_t>(count) * (kParameterIdBytes + kParameterValueBytes) >
               MaxPayload()) {
        failure = "more parameters than one command carries";
    } else if (!(link = OpenLink())) {
        failure = "not connected";
    } else {
        std::vector<uint8_t> payload;
        for (int i = 0; i < count; ++i) {
            AppendLe16(payload, ids[i]);
            AppendLe32(payload, values[i]);
        }
        std::vector<uint8_t> ack;
        CAutoBaseLock commandGuard(&m_commandLock);
        if (!Exchange(*link, command, payload.data(), payload.size(), timeoutMs, ack)) {
            failure = "no acknowledgement in time";
        } else if ((status = StatusOf(ack)) != kStatusSuccess) {
            failure = "refused";
        }
    }
    if (failure != nullptr && status != kRadarAckMissing) {
        DbgOutputA(kDbgLevelInfo,
                   "Radar Protocol_SetParameter 0x%04X (%d ids, %u ms): failed, %s with status "
                   "0x%04X\r\n",
                   command, count, timeoutMs, failure, status);
    } else {
        DbgOutputA(kDbgLevelInfo, "Radar Protocol_SetParameter 0x%04X (%d ids, %u ms): %s%s\r\n",
                   command, count, timeoutMs, failure ? "failed, " : "success",
                   failure ? failure : "");
    }
    return failure == nullptr;
}

uint16_t RadarDevice::SendCommand(uint16_t command, const uint8_t* payload, int length,
                                  AckCheckFunc check, uint64_t userValue, uint32_t timeoutMs) {
    const char* failure = nullptr;
    std::vector<uint8_t> ack;
    std::shared_ptr<SerialLink> link;
    if (length < 0 || (payload == nullptr && length > 0)) {
        failure = "no payload given";
    } else if (static_cast<uint32_t>(length) > MaxPayload()) {
        failure = "payload longer than one command carries";
    } else if (!(link = OpenLink())) {
        failure = "not connected";
    } else {
        CAutoBaseLock commandGuard(&m_commandLock);
        if (!Exchange(*link, command, payload, static_cast<uint32_t>(length), timeoutMs, ack)) {
            failure = "no acknowledgement in time";
        }
    }
    if (failure != nullptr) {
        DbgOutputA(kDbgLevelInfo,
                   "Radar Protocol_SendCommand 0x%04X (%d bytes, %u ms): failed, %s\r\n", command,
                   length, timeoutMs, failure);
        return kRadarAckMissing;
    }
    // The checker is the caller's code: called with no lock of ours held.
    const auto version = static_cast<eRADAR_PROTOCOL_VERSION>(m_protocolVersion.load());
    const int ackLength = static_cast<int>(ack.size());
    const uint16_t result = check != nullptr
                                ? check(version, ack.data(), ackLength, userValue)
                                : CheckCmdAckData_RetCode(version, ack.data(), ackLength, 0);
    DbgOutputA(kDbgLevelInfo,
               "Radar Protocol_SendCommand 0x%04X (%d bytes, %u ms): acknowledged (%d bytes, "
               "status 0x%04X), result 0x%04X\r\n",
               command, length, timeoutMs, ackLength, StatusOf(ack), result);
    return result;
}

bool RadarDevice::SendCommandNoAck(uint16_t command, const uint8_t* payload, int length) {
    const char* failure = nullptr;
    std::shared_ptr<SerialLink> link;
    CBaseBuffer frame;
    if (length < 0 || (payload == nullptr && length > 0)) {
        failure = "no payload given";
    } else if (static_cast<uint32_t>(length) > MaxPayload() ||
               !BuildCommandFrame(command, payload, static_cast<uint32_t>(length), frame)) {
        failure = "payload longer than one command carries";
    } else if (!(link = OpenLink())) {
        failure = "not connected";
    } else if (!link->Write(frame.GetBuffer(), frame.GetAvailSize(),
                            MonoDeadlineMs(kNoAckWriteTimeoutMs))) {
        failure = "not written";
    }
    DbgOutputA(kDbgLevelInfo, "Radar Protocol_SendCommand_NoCheckAck 0x%04X (%d bytes): %s%s\r\n",
               command, length, failure ? "failed, " : "sent", failure ? failure : "");
    return failure == nullptr;
}

bool RadarDevice::Start() {
    const bool connected = IsConnected();
    if (connected) m_stream.SetDelivery(true);
    DbgOutputA(kDbgLevelInfo, "Radar Start: %s\r\n",
               connected ? "stream delivery on" : "failed, not connected");
    return connected;
}

void RadarDevice::Stop() {
    m_stream.SetDelivery(false);
    DbgOutputA(kDbgLevelInfo, "Radar Stop: stream delivery off, queue emptied\r\n");
}

bool RadarDevice::Fetch(RadarDataBlock& block, uint32_t timeoutMs) {
    return m_stream.Fetch(block.data, block.length, timeoutMs);
}

bool RadarDevice::Commit(RadarDataBlock& block) {
    if (!m_stream.Commit(block.data)) {
        DbgOutputA(kDbgLevelWarning, "Radar CommitDataBuffer: the block was not lent out\r\n");
        return false;
    }
    block.data = nullptr;
    block.length = 0;
    return true;
}

void RadarDevice::CancelRead() {
    m_stream.Cancel();
    DbgOutputA(kDbgLevelInfo, "Radar CancelRead\r\n");
}
