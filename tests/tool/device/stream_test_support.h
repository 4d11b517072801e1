// Test helpers for the stream workers: stream frames as bytes, what CutFrames makes of them, a
// comparison of reports, a whole file's bytes, a scripted device behind
// IRadarStreamLink, a thread-safe capture of debug lines and a file size limit that makes writes
// fail on purpose.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <deque>
#include <fstream>
#include <iterator>
#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "core/base_buffer.h"
#include "core/byte_order.h"
#include "core/dbg_output.h"
#include "device/acquisition_sink.h"
#include "device/radar_stream_link.h"
#include "device/report_frame.h"
#include "support/file_size_limit.h"
#include "support/log_capture.h"
#include "support/whole_file.h"
#include "tool/device/fake_radar_link.h"

namespace stream_test {

using Bytes = std::vector<uint8_t>;

// A stream frame around the payload (a wrong tail when goodTail is false).
inline Bytes Frame(const Bytes& payload, bool goodTail = true) {
    Bytes out(kFrameHeaderBytes, kFrameHeaderBytes + 4);
    AppendLe16(out, static_cast<uint16_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (goodTail) {
        out.insert(out.end(), kFrameTailBytes, kFrameTailBytes + 4);
    } else {
        out.insert(out.end(), {0, 0, 0, 0});
    }
    return out;
}

// A target report frame; gate g's raw energy is derived from `seed` so that reports differ.
inline Bytes ReportFrame(uint8_t state, uint16_t distance, uint16_t seed = 0) {
    Bytes payload;
    payload.push_back(kTargetReportType);
    payload.push_back(state);
    AppendLe16(payload, distance);
    AppendLe16(payload, 0);
    for (int gate = 0; gate < kGateCount; ++gate) {
        AppendLe16(payload, static_cast<uint16_t>(100 + (seed * 37 + gate * 1000) % 60000));
        AppendLe16(payload, 0);
    }
    return Frame(payload);
}

// A threshold generation progress frame.
inline Bytes ProgressFrame(uint16_t percent, uint8_t type = 3) {
    Bytes payload{type};
    AppendLe16(payload, percent);
    return Frame(payload);
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline bool SameReport(const TargetReport& a, const TargetReport& b) {
    return a.state == b.state && a.distance == b.distance &&
           std::equal(std::begin(a.gateEnergy), std::end(a.gateEnergy), std::begin(b.gateEnergy));
}

// The same reports in the same order.
inline void ExpectSameReports(const std::vector<TargetReport>& actual,
                              const std::vector<TargetReport>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_TRUE(SameReport(actual[i], expected[i])) << "report " << i;
    }
}

// What CutFrames alone makes of the bytes.
inline std::vector<TargetReport> Decode(const Bytes& bytes) {
    struct Collector : ITargetReportConsumer {
        void OnTargetReport(const TargetReport& report) override { reports.push_back(report); }
        std::vector<TargetReport> reports;
    } collector;
    CBaseBuffer buffer;
    buffer.SetBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()));
    CutFrames(buffer, collector);
    return collector.reports;
}

// An acquisition sink that keeps the reports, the ends and the recording failures, for any
// thread.
class ReportSink : public IAcquisitionSink {
public:
    void OnDeviceNotConnected() override {}
    void OnDisplayReset() override {}
    void OnRunStateChanged(AcquisitionRunState) override {}
    void OnReport(const TargetReport& report) override {
        std::lock_guard lock(m_mutex);
        m_reports.push_back(report);
    }
    void OnRunEnded(AcquisitionEnd reason) override {
        std::lock_guard lock(m_mutex);
        m_ended.push_back(reason);
    }
    void OnRecordingFailed(const RecordingFailure& failure) override {
        std::lock_guard lock(m_mutex);
        m_failures.push_back(failure);
    }
    std::vector<TargetReport> Reports() const {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }
    std::vector<AcquisitionEnd> Ended() const {
        std::lock_guard lock(m_mutex);
        return m_ended;
    }
    size_t Failures() const {
        std::lock_guard lock(m_mutex);
        return m_failures.size();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<TargetReport> m_reports;
    std::vector<AcquisitionEnd> m_ended;
    std::vector<RecordingFailure> m_failures;
};

// A device that delivers the blocks the test pushes and records the commands it is given.
// Fetches wait for their real time limit unless a block or a cancel comes; a cancel stays
// pending for the next fetch when none waits, as the library's does.
class ScriptedStreamLink : public FakeRadarLink, public IRadarStreamLink {
public:
    struct Call {
        std::string name;
        uint16_t command = 0;
        std::vector<uint16_t> ids;
        std::vector<uint32_t> values;
        Bytes payload;
    };

    // Answer of SendCommand (0 = accepted).
    uint16_t commandAnswer = 0;

    void PushBlock(const Bytes& block) {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(block);
        m_wake.notify_all();
    }
    // Queues a block without waking a waiting fetch: bytes that arrived just as the run ends.
    void PushBlockQuietly(const Bytes& block) {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(block);
    }
    // Pushes the bytes cut into blocks of `blockSize`.
    void PushInBlocks(const Bytes& bytes, size_t blockSize) {
        for (size_t pos = 0; pos < bytes.size(); pos += blockSize) {
            PushBlock(Bytes(bytes.begin() + pos,
                            bytes.begin() + std::min(bytes.size(), pos + blockSize)));
        }
    }

    int SetParameter(uint16_t command, int count, const uint16_t* ids, const uint32_t* values,
                     uint32_t) override {
        Record({"SetParameter", command, {ids, ids + count}, {values, values + count}, {}});
        return 1;
    }
    uint16_t SendCommand(uint16_t command, const uint8_t* payload, int length, uint32_t) override {
        Record({"SendCommand", command, {}, {}, Bytes(payload, payload + length)});
        return commandAnswer;
    }
    int Start() override {
        Record({"Start", 0, {}, {}, {}});
        return 1;
    }
    int Stop() override {
        Record({"Stop", 0, {}, {}, {}});
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        return 1;
    }
    int FetchDataBuffer(StreamBlock& block, uint32_t timeoutMs) override {
        block = StreamBlock{};
        std::unique_lock lock(m_mutex);
        ++m_fetches;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        ++m_waiting;
        for (;;) {
            if (m_cancelPending) {
                m_cancelPending = false;
                ++m_cancelledFetches;
                break;
            }
            if (!m_queue.empty()) {
                m_lent.push_back(std::move(m_queue.front()));
                m_queue.pop_front();
                Bytes& lent = m_lent.back();
                m_delivered.insert(m_delivered.end(), lent.begin(), lent.end());
                block.data = lent.data();
                block.length = static_cast<int32_t>(lent.size());
                break;
            }
            if (m_wake.wait_until(lock, deadline) == std::cv_status::timeout && m_queue.empty() &&
                !m_cancelPending) {
                break;
            }
        }
        --m_waiting;
        return block.data != nullptr ? 1 : 0;
    }
    int CommitDataBuffer(StreamBlock& block) override {
        std::lock_guard lock(m_mutex);
        auto it = std::find_if(m_lent.begin(), m_lent.end(),
                               [&](const Bytes& b) { return b.data() == block.data; });
        block = StreamBlock{};
        if (it == m_lent.end()) return 0;
        m_lent.erase(it);
        return 1;
    }
    int CancelRead() override {
        Record({"CancelRead", 0, {}, {}, {}});
        std::lock_guard lock(m_mutex);
        m_cancelPending = true;
        m_wake.notify_all();
        return 1;
    }

    std::vector<Call> Calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<std::string> CallNames() const {
        std::vector<std::string> names;
        for (const auto& call : Calls()) names.push_back(call.name);
        return names;
    }
    // Every byte lent out by fetches, in order.
    Bytes Delivered() const {
        std::lock_guard lock(m_mutex);
        return m_delivered;
    }
    bool QueueEmpty() const {
        std::lock_guard lock(m_mutex);
        return m_queue.empty();
    }
    int Waiting() const {
        std::lock_guard lock(m_mutex);
        return m_waiting;
    }
    int CancelledFetches() const {
        std::lock_guard lock(m_mutex);
        return m_cancelledFetches;
    }
    bool CancelPending() const {
        std::lock_guard lock(m_mutex);
        return m_cancelPending;
    }
    size_t LentBlocks() const {
        std::lock_guard lock(m_mutex);
        return m_lent.size();
    }

protected:
    void NoteStartCmdMode(int protocolVersion, uint32_t, uint32_t) override {
        Record({"StartCmdMode", static_cast<uint16_t>(protocolVersion), {}, {}, {}});
    }
    void NoteStopCmdMode(uint32_t) override { Record({"StopCmdMode", 0, {}, {}, {}}); }

private:
    void Record(Call call) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Bytes> m_queue;
    std::list<Bytes> m_lent;
    Bytes m_delivered;
    std::vector<Call> m_calls;
    bool m_cancelPending = false;
    int m_fetches = 0;
    int m_waiting = 0;
    int m_cancelledFetches = 0;
};

// A link whose first StartCmdMode (a worker's first command exchange) waits until a cancel was
// made, so that a stop lands while the worker is busy with commands, before any fetch.
template <class Link>
class CancelDuringCommandsLink : public Link {
public:
    using Link::Link;
    int StartCmdMode(int protocolVersion, uint32_t ackTimeoutMs, uint32_t settleMs) override {
        if (!m_entered.exchange(true)) {
            std::unique_lock lock(m_mutex);
            m_cancelSeen = m_wake.wait_for(lock, kCancelDeadline, [&] { return m_cancelled; });
        }
        return Link::StartCmdMode(protocolVersion, ackTimeoutMs, settleMs);
    }
    int CancelRead() override {
        const int result = Link::CancelRead();
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_wake.notify_all();
        return result;
    }
    // The worker waits in its first StartCmdMode (or has left it).
    bool Entered() const { return m_entered.load(); }
    // The cancel came while the worker waited there.
    bool CancelSeenDuringCommands() {
        std::lock_guard lock(m_mutex);
        return m_cancelSeen;
    }

private:
    static constexpr auto kCancelDeadline = std::chrono::seconds(30);
    std::atomic<bool> m_entered{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_cancelled = false;
    bool m_cancelSeen = false;
};

}  // namespace stream_test
