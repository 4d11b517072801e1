#include "ack_router.h"

#include "core/dbg_output.h"
#include "core/mono_clock.h"

namespace {

// A candidate whose length field has not arrived is timed as this many bytes.
constexpr uint64_t kUnknownCandidateBytes = kCommandEnvelopeBytes;
// Transfer time counts twice: a line rarely delivers at its full rate.
constexpr uint64_t kTransferTimeFactor = 2;

const char* RejectionText(AckRejection reason) {
    switch (reason) {
        case AckRejection::OversizeLength:
            return "length beyond 4096 (false header skipped)";
        case AckRejection::WrongTail:
            return "wrong tail (discarded)";
        case AckRejection::ShortBody:
            return "body shorter than 4 bytes (discarded)";
        case AckRejection::GivenUp:
            return "incomplete for too long (false header skipped)";
    }
    return "?";
}

}  // namespace

AckRouter::AckRouter(IStreamBytesSink& stream, uint32_t bytesPerSecond)
    : m_stream(stream), m_bytesPerSecond(bytesPerSecond), m_parser(*this) {}

void AckRouter::Feed(const uint8_t* bytes, size_t count, uint64_t nowMs) {
    if (Discarding()) return;
    m_parser.Feed(bytes, count);
    NoteHeld(nowMs);
    Tick(nowMs);
}

bool AckRouter::Discarding() {
    // Whatever was held before a discard began is as stale as what came during it.
    const uint64_t serial = m_discardSerial.load();
    if (serial != m_discardSeen) {
        m_parser.Reset();
        m_discardSeen = serial;
    }
    return m_discarding.load();
}

void AckRouter::NoteHeld(uint64_t nowMs) {
    if (m_parser.HeldBytes() != 0 && m_parser.HeldSerial() != m_heldSerial) {
        m_heldSerial = m_parser.HeldSerial();
        m_heldSinceMs = nowMs;
    }
}

void AckRouter::Tick(uint64_t nowMs) {
    if (Discarding()) return;
    // Each give-up may leave a later candidate held; that one gets its own time.
    while (m_parser.HeldBytes() != 0) {
        const uint64_t frameBytes =
            m_parser.HeldFrameBytes() != 0 ? m_parser.HeldFrameBytes() : kUnknownCandidateBytes;
        uint64_t allowance = kHeldAckGraceMs;
        if (m_bytesPerSecond != 0) {
            allowance += frameBytes * 1000 * kTransferTimeFactor / m_bytesPerSecond;
        }
        if (nowMs - m_heldSinceMs < allowance) break;
        m_parser.GiveUpHeld();
        m_heldSinceMs = nowMs;
        m_heldSerial = m_parser.HeldSerial();
    }
}

void AckRouter::OnOtherBytes(const uint8_t* bytes, size_t count) {
    m_stream.OnStreamBytes(bytes, count);
}

void AckRouter::OnAckFrame(uint16_t word, const uint8_t* payload, size_t length) {
    {
        CAutoBaseLock guard(&m_slotLock);
        if (m_armed && word == m_expectedWord) {
            m_payload.assign(payload, payload + length);
            m_filled = true;
            m_armed = false;
            m_acksDelivered++;
            m_ackEvent.Set();
            return;
        }
    }
    m_acksDropped++;
    DbgOutputA(kDbgLevelWarning,
               "Radar link: acknowledgement 0x%04X (%zu payload bytes) without a waiting "
               "command dropped\r\n",
               word, length);
}

void AckRouter::OnAckRejected(AckRejection reason, uint32_t length) {
    DbgOutputA(kDbgLevelWarning, "Radar link: acknowledgement candidate of length %u: %s\r\n",
               length, RejectionText(reason));
}

void AckRouter::Expect(uint16_t ackWord) {
    CAutoBaseLock guard(&m_slotLock);
    m_armed = true;
    m_expectedWord = ackWord;
    m_filled = false;
    m_payload.clear();
}

void AckRouter::CancelExpect() {
    CAutoBaseLock guard(&m_slotLock);
    m_armed = false;
    m_filled = false;
}

bool AckRouter::WaitAck(std::vector<uint8_t>& payload, uint64_t deadlineMs) {
    CAutoBaseLock guard(&m_slotLock);
    for (;;) {
        if (m_filled) {
            payload.swap(m_payload);
            m_payload.clear();
            m_filled = false;
            return true;
        }
        if (m_aborted.load()) break;
        const uint64_t now = MonoTimeMs();
        if (now >= deadlineMs) break;
        m_slotLock.Unlock();
        m_ackEvent.Wait(deadlineMs - now);
        m_slotLock.Lock();
    }
    m_armed = false;
    return false;
}

void AckRouter::Abort() {
    m_aborted.store(true);
    m_ackEvent.Set();
}

void AckRouter::BeginDiscard() {
    m_discarding.store(true);
    m_discardSerial++;
}

void AckRouter::EndDiscard() {
    m_discarding.store(false);
}
