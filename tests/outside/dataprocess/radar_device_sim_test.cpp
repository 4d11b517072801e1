// ctest-labels: sim
// The radar device library against zorvan-sim on a pseudo-terminal: the two implementations of
// the link protocol must agree.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/base_lock.h"
#include "core/byte_order.h"
#include "core/mono_clock.h"
#include "dataprocess/radar_device.h"
#include "dataprocess/radar_device_interface.h"
#include "serial/serial_port_table.h"
#include "support/sim_process.h"
#include "support/wait_until.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr auto kV2 = eRADAR_PROTOCOL_VERSION_2;
constexpr uint32_t kCommandMs = 2000;
constexpr uint32_t kBaud = 115200;
// Report output switch: command 0x007A, id 0.
constexpr uint16_t kSetReportSwitch = 0x007A;
constexpr uint16_t kGetDetect = 0x0071;
const uint16_t kDetectIds[6] = {0x000A, 0x0005, 0x000B, 0x0002, 0x000C, 0x0006};

// Records the notifications in order.
class Recorder : public IRadarDeviceListener {
public:
    void OnRadarDeviceConnected(IRadarDevice*) override { Add('C'); }
    void OnRadarDeviceDisconnected(IRadarDevice*) override { Add('D'); }
    std::string Events() {
        CAutoBaseLock guard(&m_lock);
        return m_events;
    }

private:
    void Add(char event) {
        CAutoBaseLock guard(&m_lock);
        m_events.push_back(event);
    }
    CBaseLock m_lock;
    std::string m_events;
};

// The stream frames found in received bytes, and whether they followed each other without a
// byte between them (after the first header: the stream may start anywhere).
struct CutResult {
    std::vector<Bytes> payloads;
    size_t bytesBetweenFrames = 0;
};

CutResult CutStreamFrames(const Bytes& bytes) {
    static const uint8_t header[4] = {0xF4, 0xF3, 0xF2, 0xF1};
    static const uint8_t tail[4] = {0xF8, 0xF7, 0xF6, 0xF5};
    CutResult result;
    size_t pos = 0;
    bool seenFrame = false;
    while (pos + 10 <= bytes.size()) {
        if (!std::equal(header, header + 4, bytes.begin() + pos)) {
            if (seenFrame) result.bytesBetweenFrames++;
            pos++;
            continue;
        }
        const size_t length = ReadLe16(&bytes[pos + 4]);
        if (pos + 10 + length > bytes.size()) break;
        if (!std::equal(tail, tail + 4, bytes.begin() + pos + 6 + length)) {
            if (seenFrame) result.bytesBetweenFrames++;
            pos++;
            continue;
        }
        result.payloads.emplace_back(bytes.begin() + pos + 6, bytes.begin() + pos + 6 + length);
        seenFrame = true;
        pos += 10 + length;
    }
    return result;
}

class RadarDeviceSim : public ::testing::Test {
protected:
    void TearDown() override {
        if (m_device != nullptr) {
            Orbo_Interface_RadarDevice_Serial_DelRadarDeviceListener(m_device, &m_recorder);
            Orbo_Interface_RadarDevice_Serial_Destroy(m_device);
        }
    }

    // Starts the simulator and creates a device listening to it; false (with a failure) when the
    // simulator did not start.
    bool StartSim(const std::vector<std::string>& args = {}) {
        m_sim = std::make_unique<SimProcess>(args);
        if (!m_sim->Started()) {
            ADD_FAILURE() << "zorvan-sim did not start: " << m_sim->Error();
            return false;
        }
        m_port = SerialPortNumberOf(m_sim->PortPath());
        m_device = Orbo_Interface_RadarDevice_Serial_Create();
        Orbo_Interface_RadarDevice_Serial_AddRadarDeviceListener(m_device, &m_recorder, 0);
        return m_device != nullptr;
    }

    int Open(int readSn, int readVersion, int keep, uint32_t baud = kBaud,
             uint32_t settleMs = kCmdModeSettleMs) {
        return Orbo_Interface_RadarDevice_Serial_OpenByPortNum(m_device, m_port, baud, 8, 0, 0, kV2,
                                                               readSn, readVersion, keep,
                                                               kCmdModeAckTimeoutMs, settleMs);
    }

    bool ReadDetect(uint32_t values[6], uint32_t timeoutMs = kCommandMs) {
        return Orbo_Interface_RadarDevice_Protocol_GetParameter(m_device, kGetDetect, 6, kDetectIds,
                                                                values, timeoutMs) != 0;
    }

    // Switches the report output on or off in a short command-mode exchange.
    bool SetReportSwitch(uint32_t on) {
        const uint16_t id = 0;
        return Orbo_Interface_RadarDevice_StartCmdMode(m_device, kV2, kCmdModeAckTimeoutMs,
                                                       kCmdModeSettleMs) &&
               Orbo_Interface_RadarDevice_Protocol_SetParameter(m_device, kSetReportSwitch, 1, &id,
                                                                &on, kCommandMs) &&
               Orbo_Interface_RadarDevice_StopCmdMode(m_device, kStopCmdModeTimeoutMs);
    }

    // Fetches until `wanted` report frames arrived or the deadline passed.
    Bytes FetchUntilReports(size_t wanted, std::chrono::milliseconds deadline) {
        Bytes bytes;
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end &&
               CutStreamFrames(bytes).payloads.size() < wanted) {
            RadarDataBlock block;
            if (Orbo_Interface_RadarDevice_FetchDataBuffer(m_device, block, 200) == 0) continue;
            EXPECT_GT(block.length, 0);
            bytes.insert(bytes.end(), block.data, block.data + block.length);
            EXPECT_EQ(Orbo_Interface_RadarDevice_CommitDataBuffer(m_device, block), 1);
        }
        return bytes;
    }

    // The object behind the handle, for its observation points.
    RadarDevice& Device() { return *static_cast<RadarDevice*>(m_device); }

    std::unique_ptr<SimProcess> m_sim;
    IRadarDevice* m_device = nullptr;
    int m_port = 0;
    Recorder m_recorder;
};

}  // namespace

TEST_F(RadarDeviceSim, OpenWithAllFlagsReadsTextsAndKeepsCommandModeUntilStopCmdMode) {
    ASSERT_TRUE(StartSim({"--version-text", "v9.8.7", "--serial-number", "SN-TEST-0042"}));
    ASSERT_EQ(Open(1, 1, 1), 1);
    EXPECT_EQ(Orbo_Interface_RadarDevice_IsConnected(m_device), 1);
    CBaseStringA version;
    CBaseStringA serial;
    EXPECT_EQ(Orbo_Interface_RadarDevice_GetVersion(m_device, version), 1);
    EXPECT_EQ(Orbo_Interface_RadarDevice_GetSerialNumber(m_device, serial), 1);
    EXPECT_STREQ(version.GetString(), "v9.8.7");
    EXPECT_STREQ(serial.GetString(), "SN-TEST-0042");
    EXPECT_EQ(m_recorder.Events(), "C");

    uint32_t values[6] = {};
    ASSERT_TRUE(ReadDetect(values));
    const uint32_t factory[6] = {0, 9, 20, 10, 10, 20};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(values[i], factory[i]) << "id index " << i;

    EXPECT_EQ(Orbo_Interface_RadarDevice_StopCmdMode(m_device, kStopCmdModeTimeoutMs), 1);
    uint32_t after[6] = {7, 7, 7, 7, 7, 7};
    EXPECT_FALSE(ReadDetect(after, 300));  // needs command mode now
    EXPECT_EQ(after[0], 7u);               // untouched on failure
}

TEST_F(RadarDeviceSim, OpenFlagsChooseWhatIsReadAndWhetherCommandModeStays) {
    ASSERT_TRUE(StartSim());
    struct Case {
        int readSn, readVersion, keep;
        bool versionRead, serialRead, parametersReadable;
    };
    const Case cases[] = {
        {0, 1, 0, true, false, false},
        {1, 0, 0, false, true, false},
        {0, 0, 1, false, false, true},
        {0, 0, 0, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.readSn) + "," + std::to_string(c.readVersion) + "," +
                     std::to_string(c.keep));
        ASSERT_EQ(Open(c.readSn, c.readVersion, c.keep), 1);
        CBaseStringA version("stale");
        CBaseStringA serial("stale");
        EXPECT_EQ(Orbo_Interface_RadarDevice_GetVersion(m_device, version), c.versionRead);
        EXPECT_EQ(Orbo_Interface_RadarDevice_GetSerialNumber(m_device, serial), c.serialRead);
        EXPECT_EQ(std::string(version.GetString()), c.versionRead ? "v1.5.2" : "");
        EXPECT_EQ(std::string(serial.GetString()), c.serialRead ? "ZV2403150001" : "");
        uint32_t values[6] = {};
        EXPECT_EQ(ReadDetect(values, 300), c.parametersReadable);
        Orbo_Interface_RadarDevice_StopCmdMode(m_device, kStopCmdModeTimeoutMs);
    }
}

TEST_F(RadarDeviceSim, ParametersRoundTripThroughEveryGetAndSetCommand) {
    ASSERT_TRUE(StartSim());
    ASSERT_EQ(Open(0, 0, 1), 1);
    struct Group {
        uint16_t set, get;
        std::vector<uint16_t> ids;
        std::vector<uint32_t> values;
    };
    std::vector<uint16_t> gates;
    std::vector<uint32_t> trigger, hold;
    for (uint16_t g = 0; g < 16; ++g) {
        gates.push_back(g);
        trigger.push_back(60 - g);
        hold.push_back(20 + g);
    }
    const Group groups[] = {
        {0x0070, 0x0071, {0x000A, 0x0005, 0x000B, 0x0002, 0x000C, 0x0006}, {2, 12, 10, 5, 80, 300}},
        {0x0072, 0x0073, gates, trigger},
        {0x0076, 0x0077, gates, hold},
    };
    for (const Group& g : groups) {
        SCOPED_TRACE(g.set);
        const int count = static_cast<int>(g.ids.size());
        ASSERT_EQ(Orbo_Interface_RadarDevice_Protocol_SetParameter(
                      m_device, g.set, count, g.ids.data(), g.values.data(), kCommandMs),
                  1);
        std::vector<uint32_t> back(g.ids.size(), 0xDEADBEEF);
        ASSERT_EQ(Orbo_Interface_RadarDevice_Protocol_GetParameter(
                      m_device, g.get, count, g.ids.data(), back.data(), kCommandMs),
                  1);
        EXPECT_EQ(back, g.values);
    }
    // Values in request order, whatever the order.
    const uint16_t reversed[2] = {0x0006, 0x000A};
    uint32_t two[2] = {};
    ASSERT_EQ(Orbo_Interface_RadarDevice_Protocol_GetParameter(m_device, 0x0071, 2, reversed, two,
                                                               kCommandMs),
              1);
    EXPECT_EQ(two[0], 300u);
    EXPECT_EQ(two[1], 2u);
    // A value the sensor refuses fails the call.
    const uint16_t maxGate = 0x0005;
    const uint32_t tooFar = 99;
    EXPECT_EQ(Orbo_Interface_RadarDevice_Protocol_SetParameter(m_device, 0x0070, 1, &maxGate,
                                                               &tooFar, kCommandMs),
              0);
}

TEST_F(RadarDeviceSim, ReportSwitchStartAndFetchYieldTheSimulatorsReportsInOrder) {
    ASSERT_TRUE(StartSim({"--time-scale", "20"}));
    ASSERT_EQ(Open(1, 1, 0), 1);
    ASSERT_TRUE(SetReportSwitch(1));
    ASSERT_EQ(Orbo_Interface_RadarDevice_Start(m_device), 1);
    const Bytes bytes = FetchUntilReports(20, std::chrono::seconds(20));
    const CutResult cut = CutStreamFrames(bytes);
    ASSERT_GE(cut.payloads.size(), 20u);
    EXPECT_EQ(cut.bytesBetweenFrames, 0u) << "bytes lost, added or reordered between frames";
    for (const Bytes& payload : cut.payloads) {
        ASSERT_EQ(payload.size(), 70u);
        EXPECT_EQ(payload[0], 1);  // target report
        EXPECT_LE(payload[1], 3);  // state
    }
    Orbo_Interface_RadarDevice_Stop(m_device);
    EXPECT_TRUE(SetReportSwitch(0));
}

TEST_F(RadarDeviceSim, CancelReadReleasesAWaitingFetchWellBeforeItsLimit) {
    ASSERT_TRUE(StartSim());
    ASSERT_EQ(Open(0, 0, 0), 1);  // delivery stays off: the fetch has nothing to find
    std::atomic<bool> done{false};
    std::atomic<int> result{-1};
    std::thread fetcher([&] {
        RadarDataBlock block;
        result = Orbo_Interface_RadarDevice_FetchDataBuffer(m_device, block, 10000);
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return Device().WaitingFetches() == 1; }));
    const uint64_t cancelAt = MonoTimeUs();
    Orbo_Interface_RadarDevice_CancelRead(m_device);
    const bool released = WaitUntil([&] { return done.load(); }, std::chrono::seconds(1));
    const uint64_t latencyUs = MonoTimeUs() - cancelAt;
    fetcher.join();
    std::printf("CancelRead released the waiting fetch after %.3f ms\n", latencyUs / 1000.0);
    EXPECT_TRUE(released);
    EXPECT_EQ(result.load(), 0);
}

TEST_F(RadarDeviceSim, LinkThatDisappearsDisconnectsAndNotifiesWithoutHanging) {
    constexpr uint64_t kDropAfterMs = 1000;
    const uint64_t simStart = MonoTimeMs();
    ASSERT_TRUE(StartSim({"--drop-link-after", std::to_string(kDropAfterMs)}));
    ASSERT_EQ(Open(1, 1, 0), 1);
    ASSERT_EQ(Orbo_Interface_RadarDevice_Start(m_device), 1);
    std::atomic<bool> fetching{true};
    std::thread fetcher([&] {
        while (fetching) {
            RadarDataBlock block;
            if (Orbo_Interface_RadarDevice_FetchDataBuffer(m_device, block, 500)) {
                Orbo_Interface_RadarDevice_CommitDataBuffer(m_device, block);
            }
        }
    });
    // The drop comes kDropAfterMs after the simulator started (it starts its clock later than
    // our mark); the notification must follow within 2 s.
    const bool notified = WaitUntil([&] { return m_recorder.Events() == "CD"; },
                                    std::chrono::milliseconds(kDropAfterMs + 2000));
    const uint64_t notifiedAfter = MonoTimeMs() - simStart;
    EXPECT_TRUE(notified);
    EXPECT_EQ(Orbo_Interface_RadarDevice_IsConnected(m_device), 0);
    std::printf(
        "link dropped %llu ms after the simulator's start, disconnect notified after "
        "%llu ms\n",
        static_cast<unsigned long long>(kDropAfterMs),
        static_cast<unsigned long long>(notifiedAfter));
    // Commands fail at once, a close is quick and does not notify a second time.
    uint32_t values[6] = {};
    EXPECT_FALSE(ReadDetect(values));
    const uint64_t closeAt = MonoTimeMs();
    EXPECT_EQ(Orbo_Interface_RadarDevice_Serial_Close(m_device), 1);
    EXPECT_LT(MonoTimeMs() - closeAt, 2000u);
    fetching = false;
    fetcher.join();
    EXPECT_EQ(m_recorder.Events(), "CD");
}

TEST_F(RadarDeviceSim, CommandWithoutAcknowledgementFailsAfterItsTimeOut) {
    ASSERT_TRUE(StartSim({"--no-ack", "0x0071", "--no-ack", "0x0065"}));
    ASSERT_EQ(Open(0, 0, 1), 1);
    uint32_t values[6] = {1, 2, 3, 4, 5, 6};
    uint64_t start = MonoTimeMs();
    EXPECT_FALSE(ReadDetect(values, 300));
    EXPECT_GE(MonoTimeMs() - start, 300u);
    EXPECT_EQ(values[0], 1u);

    static std::atomic<int> checkerCalls{0};
    const AckCheckFunc checker = [](eRADAR_PROTOCOL_VERSION, const uint8_t*, int,
                                    uint64_t) -> uint16_t {
        checkerCalls++;
        return 0;
    };
    start = MonoTimeMs();
    EXPECT_EQ(Orbo_Interface_RadarDevice_Protocol_SendCommand(m_device, 0x0065, nullptr, 0, checker,
                                                              0, 300),
              kRadarAckMissing);
    EXPECT_GE(MonoTimeMs() - start, 300u);
    EXPECT_EQ(checkerCalls.load(), 0);
    // The link is still good for the next command.
    const uint16_t trigger0 = 0;
    uint32_t value = 0;
    EXPECT_EQ(Orbo_Interface_RadarDevice_Protocol_GetParameter(m_device, 0x0073, 1, &trigger0,
                                                               &value, kCommandMs),
              1);
    EXPECT_EQ(value, 48u);
}

TEST_F(RadarDeviceSim, SendCommandHandsTheCheckerThePayloadStartingWithTheStatus) {
    ASSERT_TRUE(StartSim({"--device-id", "0x12345678", "--fail-status", "0x0061:0x0003"}));
    ASSERT_EQ(Open(0, 0, 1), 1);
    static Bytes seen;
    static uint64_t seenUser = 0;
    const AckCheckFunc checker = [](eRADAR_PROTOCOL_VERSION version, const uint8_t* ack, int length,
                                    uint64_t user) -> uint16_t {
        seen.assign(ack, ack + length);
        seenUser = user;
        return version == eRADAR_PROTOCOL_VERSION_2 ? 0x0ABC : 0x0BAD;
    };
    EXPECT_EQ(Orbo_Interface_RadarDevice_Protocol_SendCommand(m_device, 0x0065, nullptr, 0, checker,
                                                              77, kCommandMs),
              0x0ABC);
    EXPECT_EQ(seen, (Bytes{0x00, 0x00, 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(seenUser, 77u);
    // The library's own checker returns the status.
    EXPECT_EQ(Orbo_Interface_RadarDevice_Protocol_SendCommand(
                  m_device, 0x0061, nullptr, 0, CheckCmdAckData_RetCode, 0, kCommandMs),
              0x0003);
    EXPECT_EQ(Orbo_Interface_RadarDevice_Protocol_SendCommand(
                  m_device, 0x0065, nullptr, 0, CheckCmdAckData_RetCode, 0, kCommandMs),
              0x0000);
}

TEST_F(RadarDeviceSim, OpensAt256000Baud) {
    ASSERT_TRUE(StartSim({"--pace", "--baud", "256000"}));
    ASSERT_EQ(Open(0, 1, 0, 256000, 50), 1);
    CBaseStringA version;
    EXPECT_EQ(Orbo_Interface_RadarDevice_GetVersion(m_device, version), 1);
    EXPECT_STREQ(version.GetString(), "v1.5.2");
}

TEST_F(RadarDeviceSim, ASensorStreamingFromPowerOnDoesNotConfuseTheHandshake) {
    // Fast reports with noise between them: the host always meets a streaming sensor.
    ASSERT_TRUE(StartSim({"--time-scale", "50", "--garbage", "7"}));
    ASSERT_TRUE(SetReportSwitch(0) == false);  // not open yet: fails cleanly
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(Open(1, 1, 1, kBaud, 50), 1);
        CBaseStringA serial;
        EXPECT_EQ(Orbo_Interface_RadarDevice_GetSerialNumber(m_device, serial), 1);
        EXPECT_STREQ(serial.GetString(), "ZV2403150001");
        uint32_t values[6] = {};
        EXPECT_TRUE(ReadDetect(values));
        EXPECT_EQ(Orbo_Interface_RadarDevice_StopCmdMode(m_device, kStopCmdModeTimeoutMs), 1);
        // Streaming again before the next round's open.
        ASSERT_EQ(Orbo_Interface_RadarDevice_Start(m_device), 1);
        EXPECT_GE(CutStreamFrames(FetchUntilReports(2, std::chrono::seconds(10))).payloads.size(),
                  2u);
    }
}

TEST_F(RadarDeviceSim, SerialCloseReleasesAWaitingFetchAndAWaitingCommand) {
    for (bool command : {false, true}) {
        SCOPED_TRACE(command ? "command" : "fetch");
        ASSERT_TRUE(StartSim({"--no-ack", "0x0071"}));
        ASSERT_EQ(Open(0, 0, 1), 1);
        std::atomic<bool> done{false};
        std::atomic<int> result{-1};
        std::atomic<uint64_t> returnedAt{0};
        std::thread waiter([&] {
            if (command) {
                uint32_t values[6] = {};
                result = ReadDetect(values, 10000) ? 1 : 0;
            } else {
                RadarDataBlock block;
                result = Orbo_Interface_RadarDevice_FetchDataBuffer(m_device, block, 10000);
            }
            returnedAt = MonoTimeUs();
            done = true;
        });
        ASSERT_TRUE(WaitUntil([&] {
            return command ? Device().WaitingCommands() == 1 : Device().WaitingFetches() == 1;
        }));
        const uint64_t closeAt = MonoTimeUs();
        EXPECT_EQ(Orbo_Interface_RadarDevice_Serial_Close(m_device), 1);
        const uint64_t closedAt = MonoTimeUs();
        EXPECT_TRUE(WaitUntil([&] { return done.load(); }, std::chrono::seconds(1)));
        std::printf("waiting %s returned %.3f ms after Serial_Close began, which took %.3f ms\n",
                    command ? "command" : "fetch", (returnedAt.load() - closeAt) / 1000.0,
                    (closedAt - closeAt) / 1000.0);
        waiter.join();
        EXPECT_EQ(result.load(), 0);
        Orbo_Interface_RadarDevice_Serial_DelRadarDeviceListener(m_device, &m_recorder);
        Orbo_Interface_RadarDevice_Serial_Destroy(m_device);
        m_device = nullptr;
    }
}

TEST_F(RadarDeviceSim, ASecondOpenClosesAndReopensWithNotificationsInOrder) {
    ASSERT_TRUE(StartSim());
    ASSERT_EQ(Open(0, 1, 0), 1);
    ASSERT_EQ(Open(1, 0, 0), 1);
    CBaseStringA version;
    CBaseStringA serial;
    EXPECT_EQ(Orbo_Interface_RadarDevice_GetVersion(m_device, version), 0);
    EXPECT_EQ(Orbo_Interface_RadarDevice_GetSerialNumber(m_device, serial), 1);
    EXPECT_EQ(Orbo_Interface_RadarDevice_Serial_Close(m_device), 1);
    EXPECT_EQ(Orbo_Interface_RadarDevice_Serial_Close(m_device), 1);  // closed already: no event
    EXPECT_EQ(m_recorder.Events(), "CDCD");
}

TEST_F(RadarDeviceSim, OpenFailsAndClosesWhenTheSensorDoesNotAnswer) {
    ASSERT_TRUE(StartSim({"--no-ack", "0x00FF"}));
    const uint64_t start = MonoTimeMs();
    EXPECT_EQ(Open(1, 1, 0), 0);
    EXPECT_LT(MonoTimeMs() - start, 5000u);
    EXPECT_EQ(Orbo_Interface_RadarDevice_IsConnected(m_device), 0);
    EXPECT_EQ(m_recorder.Events(), "");
    // The port was closed again: a plain open (nothing sent) takes it.
    EXPECT_EQ(Open(0, 0, 0), 1);
    EXPECT_EQ(m_recorder.Events(), "C");
}

TEST_F(RadarDeviceSim, ListenersMayCallTheDeviceFromInsideANotification) {
    // Connected reads the texts; Disconnected (on the reader thread, after the link vanished)
    // closes the device. Either would hang if a library lock were held around the call.
    class CallingListener : public IRadarDeviceListener {
    public:
        void OnRadarDeviceConnected(IRadarDevice* device) override {
            CBaseStringA text;
            Orbo_Interface_RadarDevice_GetVersion(device, text);
            version = text.GetString();
            connectedSeen = Orbo_Interface_RadarDevice_IsConnected(device);
        }
        void OnRadarDeviceDisconnected(IRadarDevice* device) override {
            closeResult = Orbo_Interface_RadarDevice_Serial_Close(device);
            disconnected = true;
        }
        std::string version;
        int connectedSeen = -1;
        std::atomic<int> closeResult{-1};
        std::atomic<bool> disconnected{false};
    };
    ASSERT_TRUE(StartSim({"--drop-link-after", "800"}));
    CallingListener listener;
    Orbo_Interface_RadarDevice_Serial_AddRadarDeviceListener(m_device, &listener, 0);
    ASSERT_EQ(Open(0, 1, 0), 1);
    EXPECT_EQ(listener.version, "v1.5.2");
    EXPECT_EQ(listener.connectedSeen, 1);
    EXPECT_TRUE(WaitUntil([&] { return listener.disconnected.load(); }, std::chrono::seconds(5)));
    EXPECT_EQ(listener.closeResult.load(), 1);
    EXPECT_EQ(Orbo_Interface_RadarDevice_IsConnected(m_device), 0);
    // Removing a listener waits for a delivery in progress; afterwards it is never called.
    EXPECT_EQ(Orbo_Interface_RadarDevice_Serial_DelRadarDeviceListener(m_device, &listener), 1);
    EXPECT_EQ(Orbo_Interface_RadarDevice_Serial_DelRadarDeviceListener(m_device, &listener), 0);
    EXPECT_EQ(m_recorder.Events(), "CD");
}
