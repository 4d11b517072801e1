#include "command_frame.h"

#include <cstring>
#include <utility>

#include "core/byte_order.h"
#include "core/size_limits.h"

namespace {

constexpr uint8_t kHeaderFirstByte = kCommandFrameHeader[0];
constexpr size_t kHeaderBytes = sizeof(kCommandFrameHeader);
constexpr size_t kTailBytes = sizeof(kCommandFrameTail);
// Header and length field: what it takes to know a candidate's frame length.
constexpr size_t kLengthKnownBytes = kCommandBodyOffset;

}  // namespace

bool BuildCommandFrame(uint16_t word, const uint8_t* payload, uint32_t length, CBaseBuffer& frame) {
    if (length > kMaxCommandPayloadBytes || (payload == nullptr && length != 0)) return false;
    CBaseBuffer built;
    if (!built.SetBufferSize(kCommandEnvelopeBytes + 2 + length)) return false;
    built.AppendBuffer(kCommandFrameHeader, kHeaderBytes);
    built.AppendUint16(static_cast<uint16_t>(2 + length));
    built.AppendUint16(word);
    if (length != 0) built.AppendBuffer(payload, length);
    built.AppendBuffer(kCommandFrameTail, kTailBytes);
    frame = std::move(built);
    return true;
}

size_t AckFrameParser::HeldFrameBytes() const {
    const uint8_t* held = m_held.GetBuffer();
    if (m_held.GetAvailSize() < kLengthKnownBytes ||
        std::memcmp(held, kCommandFrameHeader, kHeaderBytes) != 0) {
        return 0;
    }
    return ReadLe16(held + kHeaderBytes) + kCommandEnvelopeBytes;
}

size_t AckFrameParser::Sort(const uint8_t* bytes, size_t count, size_t startScan) {
    size_t emitFrom = 0;
    size_t pos = startScan;
    auto emitUpTo = [&](size_t end) {
        if (end > emitFrom) m_sink.OnOtherBytes(bytes + emitFrom, end - emitFrom);
    };
    while (pos < count) {
        const void* hit = std::memchr(bytes + pos, kHeaderFirstByte, count - pos);
        if (hit == nullptr) break;
        const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(hit) - bytes);
        const size_t avail = count - at;
        if (avail < kHeaderBytes) {
            if (std::memcmp(bytes + at, kCommandFrameHeader, avail) == 0) {
                emitUpTo(at);
                return avail;
            }
            pos = at + 1;
            continue;
        }
        if (std::memcmp(bytes + at, kCommandFrameHeader, kHeaderBytes) != 0) {
            pos = at + 1;
            continue;
        }
        if (avail < kLengthKnownBytes) {
            emitUpTo(at);
            return avail;
        }
        const uint32_t bodyLength = ReadLe16(bytes + at + kHeaderBytes);
        if (bodyLength > kMaxCommandBodyBytes) {
            m_sink.OnAckRejected(AckRejection::OversizeLength, bodyLength);
            pos = at + 1;
            continue;
        }
        const size_t frameBytes = bodyLength + kCommandEnvelopeBytes;
        if (avail < frameBytes) {
            emitUpTo(at);
            return avail;
        }
        if (std::memcmp(bytes + at + kCommandBodyOffset + bodyLength, kCommandFrameTail,
                        kTailBytes) != 0) {
            m_sink.OnAckRejected(AckRejection::WrongTail, bodyLength);
            pos = at + 1;
            continue;
        }
        emitUpTo(at);
        if (bodyLength < kMinAckBodyBytes) {
            m_sink.OnAckRejected(AckRejection::ShortBody, bodyLength);
        } else {
            const uint8_t* body = bytes + at + kCommandBodyOffset;
            m_sink.OnAckFrame(ReadLe16(body), body + 2, bodyLength - 2);
        }
        pos = at + frameBytes;
        emitFrom = pos;
    }
    emitUpTo(count);
    return 0;
}

void AckFrameParser::Hold(const uint8_t* bytes, size_t count) {
    if (count == 0) {
        m_held.SetAvailSize(0);
        return;
    }
    // Never more than one frame and one received piece: SetBuffer cannot fail for lack of a
    // 32-bit size, and a failed allocation leaves the old content, which we hand on instead.
    if (!m_held.SetBuffer(bytes, static_cast<uint32_t>(count))) {
        m_sink.OnOtherBytes(bytes, count);
        m_held.SetAvailSize(0);
    }
}

bool AckFrameParser::Feed(const uint8_t* bytes, size_t count) {
    if (bytes == nullptr || count == 0) return true;
    if (m_held.GetAvailSize() == 0) {
        const size_t keep = Sort(bytes, count, 0);
        if (keep != 0) ++m_heldSerial;
        Hold(bytes + count - keep, keep);
        return true;
    }
    const size_t heldBefore = m_held.GetAvailSize();
    if (count > kMaxBufferBytes - heldBefore ||
        !m_held.AppendBuffer(bytes, static_cast<uint32_t>(count))) {
        m_sink.OnOtherBytes(m_held.GetBuffer(), heldBefore);
        m_sink.OnOtherBytes(bytes, count);
        m_held.SetAvailSize(0);
        return false;
    }
    const size_t total = m_held.GetAvailSize();
    const size_t keep = Sort(m_held.GetBuffer(), total, 0);
    if (keep != 0 && keep != total) ++m_heldSerial;
    Hold(m_held.GetBuffer() + total - keep, keep);
    return true;
}

void AckFrameParser::GiveUpHeld() {
    const size_t total = m_held.GetAvailSize();
    if (total == 0) return;
    m_sink.OnAckRejected(AckRejection::GivenUp, static_cast<uint32_t>(HeldFrameBytes()));
    const size_t keep = Sort(m_held.GetBuffer(), total, 1);
    if (keep != 0) ++m_heldSerial;
    Hold(m_held.GetBuffer() + total - keep, keep);
}

void AckFrameParser::Reset() {
    m_held.SetAvailSize(0);
}
