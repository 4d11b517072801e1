#include "command_parser.h"

#include <algorithm>
#include <cstring>

#include "core/dbg_output.h"

void CommandParser::Feed(const uint8_t* data, size_t length, uint64_t nowMs) {
    if (length == 0) return;
    m_buffer.insert(m_buffer.end(), data, data + length);
    m_lastInputMs = nowMs;
}

void CommandParser::SkipToHeader() {
    size_t pos = 0;
    while (pos < m_buffer.size()) {
        // A header may start here when the bytes present so far match its beginning.
        const size_t n = std::min<size_t>(4, m_buffer.size() - pos);
        if (std::memcmp(&m_buffer[pos], wire::kCommandHeader, n) == 0) break;
        ++pos;
    }
    if (pos > 0) {
        m_skipped += pos;
        DbgOutputA(kDbgLevelDebug, "Skipped %zu bytes before a command header\r\n", pos);
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(pos));
    }
}

void CommandParser::DropFalseHeader(const char* why) {
    ++m_falseHeaders;
    DbgOutputA(kDbgLevelWarning, "Command frame dropped: %s\r\n", why);
    m_buffer.erase(m_buffer.begin());
    ++m_skipped;
}

std::optional<CommandFrame> CommandParser::Next() {
    for (;;) {
        SkipToHeader();
        if (m_buffer.size() < 6) return std::nullopt;
        const uint16_t length = wire::GetU16(&m_buffer[4]);
        if (length < 2 || length > wire::kMaxCommandBody) {
            DropFalseHeader(length < 2 ? "body shorter than a command word"
                                       : "body longer than the sensor accepts");
            continue;
        }
        const size_t total = length + wire::kEnvelopeBytes;
        if (m_buffer.size() < total) return std::nullopt;
        if (std::memcmp(&m_buffer[6 + length], wire::kCommandTail, 4) != 0) {
            DropFalseHeader("wrong tail");
            continue;
        }
        CommandFrame frame;
        frame.word = wire::GetU16(&m_buffer[6]);
        frame.payload.assign(m_buffer.begin() + 8, m_buffer.begin() + 6 + length);
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(total));
        return frame;
    }
}

std::optional<uint64_t> CommandParser::Deadline() const {
    if (m_buffer.empty()) return std::nullopt;
    return m_lastInputMs + kPartialFrameTimeoutMs;
}

void CommandParser::Expire(uint64_t nowMs) {
    if (m_buffer.empty() || nowMs < m_lastInputMs + kPartialFrameTimeoutMs) return;
    DropFalseHeader("incomplete frame timed out");
    // The rest is rescanned by the next call of Next(); restart its wait from now.
    m_lastInputMs = nowMs;
}

void CommandParser::Clear() {
    m_buffer.clear();
}
