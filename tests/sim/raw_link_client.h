// A deliberately small host for the simulator's tests: it opens the port with plain POSIX
// calls, writes command frames and cuts what comes back into acknowledgements and stream
// frames, with deadlines. It shares nothing with the device library, so that the simulator is
// checked against the link protocol itself.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/byte_order.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kAckDeadline{2000};

inline void PutU16(Bytes& out, uint16_t v) {
    AppendLe16(out, v);
}
inline void PutU32(Bytes& out, uint32_t v) {
    AppendLe32(out, v);
}
// The field's first byte; std::out_of_range when the answer is too short to hold it.
inline const uint8_t* FieldAt(const Bytes& b, size_t at, size_t width) {
    if (at + width > b.size()) throw std::out_of_range("field past the end of the answer");
    return b.data() + at;
}
inline uint16_t U16(const Bytes& b, size_t at) {
    return ReadLe16(FieldAt(b, at, 2));
}
inline uint32_t U32(const Bytes& b, size_t at) {
    return ReadLe32(FieldAt(b, at, 4));
}

struct Ack {
    uint16_t word = 0;  // without the acknowledgement bit
    Bytes body;         // everything after the command word (status first)
    uint16_t Status() const { return body.size() >= 2 ? U16(body, 0) : 0xFFFF; }
    // The bytes after the status.
    Bytes Data() const { return body.size() > 2 ? Bytes(body.begin() + 2, body.end()) : Bytes{}; }
};

struct StreamFrame {
    Bytes payload;
    uint8_t Type() const { return payload.empty() ? 0 : payload[0]; }
};

// One 70-byte target report, decoded.
struct Report {
    uint8_t state = 0;
    uint16_t distanceCm = 0;
    uint16_t energy[16] = {};
};

inline std::optional<Report> DecodeReport(const StreamFrame& frame) {
    if (frame.payload.size() != 70 || frame.Type() != 1) return std::nullopt;
    Report report;
    report.state = frame.payload[1];
    report.distanceCm = U16(frame.payload, 2);
    for (int g = 0; g < 16; ++g) report.energy[g] = U16(frame.payload, 6 + 4 * g);
    return report;
}

inline Bytes CommandFrameBytes(uint16_t word, const Bytes& payload) {
    Bytes frame{0xFD, 0xFC, 0xFB, 0xFA};
    PutU16(frame, static_cast<uint16_t>(payload.size() + 2));
    PutU16(frame, word);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.insert(frame.end(), {0x04, 0x03, 0x02, 0x01});
    return frame;
}

class RawLinkClient {
public:
    ~RawLinkClient() { Close(); }

    // Opens the port raw and discards whatever waited in it.
    bool Open(const std::string& path) {
        Close();
        m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) return false;
        termios settings{};
        if (tcgetattr(m_fd, &settings) != 0) return false;
        cfmakeraw(&settings);
        if (tcsetattr(m_fd, TCSANOW, &settings) != 0) return false;
        tcflush(m_fd, TCIFLUSH);
        m_buffer.clear();
        m_acks.clear();
        m_streams.clear();
        m_gone = false;
        return true;
    }
    void Close() {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }
    bool IsOpen() const { return m_fd >= 0; }

    bool SendRaw(const Bytes& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd wait{m_fd, POLLOUT, 0};
                if (poll(&wait, 1, 1000) <= 0) return false;
            } else {
                return false;
            }
        }
        return true;
    }
    bool Send(uint16_t word, const Bytes& payload = {}) {
        return SendRaw(CommandFrameBytes(word, payload));
    }

    // Sends a command and waits for its acknowledgement (older unclaimed ones are dropped).
    std::optional<Ack> Command(uint16_t word, const Bytes& payload = {},
                               milliseconds deadline = kAckDeadline) {
        m_acks.clear();
        if (!Send(word, payload)) return std::nullopt;
        return WaitAck(word, deadline);
    }
    std::optional<Ack> WaitAck(uint16_t word, milliseconds deadline = kAckDeadline) {
        std::optional<Ack> found;
        Pump(deadline, [&] {
            for (auto it = m_acks.begin(); it != m_acks.end(); ++it) {
                if (it->word == word) {
                    found = *it;
                    m_acks.erase(it);
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    // The next stream frame for which `match` holds (earlier ones are consumed).
    std::optional<StreamFrame> WaitStream(const std::function<bool(const StreamFrame&)>& match,
                                          milliseconds deadline) {
        std::optional<StreamFrame> found;
        Pump(deadline, [&] {
            while (!m_streams.empty()) {
                StreamFrame frame = std::move(m_streams.front());
                m_streams.pop_front();
                if (match(frame)) {
                    found = std::move(frame);
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    std::optional<Report> NextReport(milliseconds deadline) {
        const auto frame =
            WaitStream([](const StreamFrame& f) { return DecodeReport(f).has_value(); }, deadline);
        if (!frame) return std::nullopt;
        return DecodeReport(*frame);
    }
    // Reads for the whole `window` (an observation period, not a synchronisation) and returns
    // the stream frames that came.
    std::vector<StreamFrame> CollectStreams(milliseconds window) {
        m_streams.clear();
        Pump(window, [] { return false; });
        std::vector<StreamFrame> frames(m_streams.begin(), m_streams.end());
        m_streams.clear();
        return frames;
    }
    // Waits until the port reports that its device vanished.
    bool WaitGone(milliseconds deadline) {
        Pump(deadline, [this] { return m_gone; });
        return m_gone;
    }

    // Bytes that were no part of any frame, and frames whose tail was wrong, so far.
    uint64_t SkippedBytes() const { return m_skipped; }
    uint64_t BrokenFrames() const { return m_broken; }
    uint64_t ReceivedBytes() const { return m_received; }
    // Acknowledgement-envelope frames whose body was too short to hold a status.
    uint64_t ShortAcks() const { return m_shortAcks; }

private:
    // Reads and cuts until `done` holds or the deadline passes.
    void Pump(milliseconds deadline, const std::function<bool()>& done) {
        const auto end = Clock::now() + deadline;
        while (!done()) {
            const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
            if (left <= 0 || m_gone) return;
            pollfd wait{m_fd, POLLIN, 0};
            const int rc = poll(&wait, 1, static_cast<int>(left));
            if (rc < 0 && errno != EINTR) return;
            if (rc <= 0) continue;
            uint8_t chunk[4096];
            const ssize_t n = read(m_fd, chunk, sizeof(chunk));
            if (n > 0) {
                m_received += static_cast<uint64_t>(n);
                m_buffer.insert(m_buffer.end(), chunk, chunk + n);
                Cut();
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                m_gone = true;  // EIO: the other end closed
            } else if (wait.revents & POLLHUP) {
                m_gone = true;
            }
        }
    }

    void Cut() {
        static const uint8_t kAckHeader[4] = {0xFD, 0xFC, 0xFB, 0xFA};
        static const uint8_t kAckTail[4] = {0x04, 0x03, 0x02, 0x01};
        static const uint8_t kStreamHeader[4] = {0xF4, 0xF3, 0xF2, 0xF1};
        static const uint8_t kStreamTail[4] = {0xF8, 0xF7, 0xF6, 0xF5};
        size_t pos = 0;
        while (m_buffer.size() - pos >= 10) {
            const uint8_t* p = m_buffer.data() + pos;
            const bool ack = std::memcmp(p, kAckHeader, 4) == 0;
            const bool stream = std::memcmp(p, kStreamHeader, 4) == 0;
            if (!ack && !stream) {
                ++pos;
                ++m_skipped;
                continue;
            }
            const size_t length = ReadLe16(p + 4);
            if (length > (ack ? 4096u : 1024u)) {
                ++pos;
                ++m_skipped;
                continue;
            }
            if (m_buffer.size() - pos < length + 10) break;
            if (std::memcmp(p + 6 + length, ack ? kAckTail : kStreamTail, 4) != 0) {
                ++m_broken;
                ++pos;
                continue;
            }
            Bytes body(p + 6, p + 6 + length);
            pos += length + 10;
            if (stream) {
                m_streams.push_back(StreamFrame{std::move(body)});
            } else if (body.size() < 4) {
                ++m_shortAcks;
            } else {
                Ack a;
                a.word = static_cast<uint16_t>(U16(body, 0) & ~0x0100);
                a.body.assign(body.begin() + 2, body.end());
                m_acks.push_back(std::move(a));
            }
        }
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(pos));
    }

    int m_fd = -1;
    bool m_gone = false;
    Bytes m_buffer;
    std::deque<Ack> m_acks;
    std::deque<StreamFrame> m_streams;
    uint64_t m_skipped = 0;
    uint64_t m_broken = 0;
    uint64_t m_received = 0;
    uint64_t m_shortAcks = 0;
};

}  // namespace simtest
