#include "link_output.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "core/dbg_output.h"

LinkOutput::LinkOutput(const OutputFaults& faults, uint32_t paceBaud, uint64_t seed)
    : m_faults(faults), m_pacer(paceBaud), m_random(seed * 0x9E3779B97F4A7C15ull + 1) {}

uint8_t LinkOutput::GarbageByte() {
    for (;;) {
        m_random ^= m_random << 13;
        m_random ^= m_random >> 7;
        m_random ^= m_random << 17;
        const auto byte = static_cast<uint8_t>(m_random >> 24);
        // Garbage never starts a header, so it cannot make a false frame that hides a real one.
        if (byte != wire::kStreamHeader[0] && byte != wire::kCommandHeader[0]) return byte;
    }
}

void LinkOutput::SendAck(uint16_t commandWord, const Bytes& payload) {
    Bytes frame;
    if (m_faults.shortAck.count(commandWord) != 0) {
        // Command word and one status byte: a body too short to be an acknowledgement.
        frame = wire::BuildAckFrame(
            commandWord,
            Bytes(payload.begin(), payload.begin() + std::min<size_t>(1, payload.size())));
    } else {
        frame = wire::BuildAckFrame(commandWord, payload);
    }
    if (m_faults.brokenAckTail.count(commandWord) != 0) {
        std::fill(frame.end() - 4, frame.end(), 0x00);
    }
    if (m_faults.ackDelayMs > 0) {
        m_delayed.push_back({m_nowMs + m_faults.ackDelayMs, std::move(frame)});
        return;
    }
    Enqueue(std::move(frame));
}

void LinkOutput::SendStream(const Bytes& payload) {
    Bytes frame = wire::BuildStreamFrame(payload);
    ++m_streamFrames;
    if (m_faults.brokenTailEvery > 0 && m_streamFrames % m_faults.brokenTailEvery == 0) {
        std::fill(frame.end() - 4, frame.end(), 0x00);
    }
    Enqueue(std::move(frame));
}

void LinkOutput::Enqueue(Bytes frame) {
    if (m_faults.garbageBytes > 0) {
        Bytes withGarbage;
        withGarbage.reserve(m_faults.garbageBytes + frame.size());
        for (uint32_t i = 0; i < m_faults.garbageBytes; ++i) withGarbage.push_back(GarbageByte());
        withGarbage.insert(withGarbage.end(), frame.begin(), frame.end());
        frame = std::move(withGarbage);
    }
    m_pendingBytes += frame.size();
    m_queue.push_back(std::move(frame));
    // The front frame may be half on the line already; the next oldest ones go.
    while (m_pendingBytes > kMaxPendingBytes && m_queue.size() > 2) {
        const auto victim = m_queue.begin() + (m_frontOffset > 0 ? 1 : 0);
        m_pendingBytes -= victim->size();
        m_queue.erase(victim);
        ++m_droppedFrames;
        if (!m_dropping) {
            DbgOutputA(kDbgLevelWarning,
                       "No host reads the port: dropping the oldest frames "
                       "(%zu bytes wait)\r\n",
                       m_pendingBytes);
            m_dropping = true;
        }
    }
}

void LinkOutput::ReleaseDelayed(uint64_t wallMs) {
    auto due = std::stable_partition(m_delayed.begin(), m_delayed.end(),
                                     [wallMs](const Delayed& d) { return d.dueMs > wallMs; });
    for (auto it = due; it != m_delayed.end(); ++it) Enqueue(std::move(it->frame));
    m_delayed.erase(due, m_delayed.end());
}

size_t LinkOutput::Allowance(uint64_t wallMs) {
    ReleaseDelayed(wallMs);
    return std::min(m_pendingBytes - m_frontOffset, m_pacer.Allowance(wallMs));
}

bool LinkOutput::HasReadyBytes(uint64_t wallMs) {
    return Allowance(wallMs) > 0;
}

bool LinkOutput::WriteTo(int fd, uint64_t wallMs) {
    size_t allowance = Allowance(wallMs);
    while (allowance > 0 && !m_queue.empty()) {
        const Bytes& front = m_queue.front();
        const size_t chunk = std::min(allowance, front.size() - m_frontOffset);
        const ssize_t written = write(fd, front.data() + m_frontOffset, chunk);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) return true;
            DbgOutputA(kDbgLevelError, "Write to the port failed:%d %s\r\n", errno,
                       strerror(errno));
            return false;
        }
        m_frontOffset += static_cast<size_t>(written);
        allowance -= static_cast<size_t>(written);
        m_pacer.Consume(static_cast<size_t>(written));
        if (m_frontOffset == front.size()) {
            m_pendingBytes -= front.size();
            m_queue.pop_front();
            m_frontOffset = 0;
        }
    }
    if (m_queue.empty()) m_dropping = false;
    return true;
}

std::optional<uint64_t> LinkOutput::NextWakeMs() const {
    std::optional<uint64_t> next;
    for (const Delayed& d : m_delayed) next = next ? std::min(*next, d.dueMs) : d.dueMs;
    if (m_pendingBytes > m_frontOffset) {
        if (const auto at = m_pacer.NextByteMs()) next = next ? std::min(*next, *at) : *at;
    }
    return next;
}
