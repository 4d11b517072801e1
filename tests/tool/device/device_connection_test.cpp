// ctest-labels: sim
// The connect path of the main window and zorvan-cli against zorvan-sim: what each connect reads,
// that both leave command mode, and why a connect failed.
#include "device/device_connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/params/radar_param_device.h"
#include "serial/serial_port_table.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace {

constexpr uint32_t kCommandTimeoutMs = 2000;

class DeviceConnectionTest : public testing::Test {
protected:
    void StartSim(const std::vector<std::string>& args = {}) {
        m_sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(m_sim->Started()) << m_sim->Error();
    }
    int Port() const { return SerialPortNumberOf(m_sim->PortPath()); }

    // The main window's connect on the simulator's port; `record` and `readResult` as it leaves
    // them.
    DeviceConnectResult ConnectWindow(DeviceConnection& connection, RadarParamSetting& record,
                                      int& readResult) {
        return connection.ConnectAndReadParameters(Port(), SerialLineSettings{}, record,
                                                   readResult);
    }

    // Puts the record's values into the sensor over a connection of its own.
    void WriteSensor(const RadarParamSetting& written) {
        DeviceConnection writer;
        ASSERT_EQ(writer.Connect(Port(), SerialLineSettings{}), DeviceConnectResult::Connected);
        ASSERT_EQ(WriteAllParameters(writer.Device(), written), kParamResultSuccess);
    }

    // Outside command mode the sensor refuses parameter commands.
    static bool InCommandMode(IRadarDevice* device) {
        uint32_t values[kDetectSettingCount] = {};
        return Orbo_Interface_RadarDevice_Protocol_GetParameter(
                   device, kCmdReadDetectSetting, kDetectSettingCount, kDetectSettingIds, values,
                   kCommandTimeoutMs) != 0;
    }

    std::unique_ptr<SimProcess> m_sim;
};

TEST_F(DeviceConnectionTest, ConnectReadsVersionAndSerialNumberAndLeavesCommandMode) {
    StartSim({"--version-text", "V9.8.7", "--serial-number", "SN-42"});
    DeviceConnection connection;
    ASSERT_EQ(connection.Connect(Port(), SerialLineSettings{}), DeviceConnectResult::Connected);
    CBaseStringA text;
    ASSERT_TRUE(Orbo_Interface_RadarDevice_GetVersion(connection.Device(), text));
    EXPECT_STREQ(text.GetString(), "V9.8.7");
    ASSERT_TRUE(Orbo_Interface_RadarDevice_GetSerialNumber(connection.Device(), text));
    EXPECT_STREQ(text.GetString(), "SN-42");
    EXPECT_FALSE(InCommandMode(connection.Device()));
    EXPECT_EQ(connection.OpenFailure().cause, SerialOpenCause::None);
}

TEST_F(DeviceConnectionTest, WindowConnectReadsTheParametersAndLeavesCommandMode) {
    StartSim();
    RadarParamSetting written;
    for (int gate = 0; gate < kGateCount; ++gate) {
        written.TriggerThreshold[gate] = 50 + gate;
        written.HoldThreshold[gate] = 30 + gate;
    }
    written.ObjectDisappearReportTime = 45;
    WriteSensor(written);

    DeviceConnection connection;
    RadarParamSetting record;
    int readResult = -1;
    ASSERT_EQ(ConnectWindow(connection, record, readResult), DeviceConnectResult::Connected);
    EXPECT_EQ(readResult, kParamResultSuccess);
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_EQ(record.TriggerThreshold[gate], 50u + gate) << gate;
        EXPECT_EQ(record.HoldThreshold[gate], 30u + gate) << gate;
    }
    EXPECT_EQ(record.ObjectDisappearReportTime, 45u);
    EXPECT_FALSE(InCommandMode(connection.Device()));
}

TEST_F(DeviceConnectionTest, WindowConnectWithARefusedReadStaysConnected) {
    StartSim({"--fail-status", "0x71:3"});
    DeviceConnection connection;
    RadarParamSetting record;
    int readResult = -1;
    ASSERT_EQ(ConnectWindow(connection, record, readResult), DeviceConnectResult::Connected);
    EXPECT_EQ(readResult, kParamResultFailed);
    EXPECT_NE(Orbo_Interface_RadarDevice_IsConnected(connection.Device()), 0);
    EXPECT_FALSE(InCommandMode(connection.Device()));
}

TEST_F(DeviceConnectionTest, WindowConnectWithAFailedLastReadLeavesTheRecordAsItWas) {
    // The detect setting and the trigger thresholds are answered, the hold thresholds refused.
    StartSim({"--fail-status", "0x77:3"});
    RadarParamSetting written;
    written.DetectRangeMax = 2.8;
    written.TriggerThreshold[0] = 70;
    WriteSensor(written);
    DeviceConnection connection;
    RadarParamSetting record;
    int readResult = -1;
    ASSERT_EQ(ConnectWindow(connection, record, readResult), DeviceConnectResult::Connected);
    EXPECT_EQ(readResult, kParamResultFailed);
    EXPECT_EQ(record.DetectRangeMax, kDefaultDetectRangeMax);
    EXPECT_EQ(record.TriggerThreshold[0], kDefaultTriggerThreshold[0]);
}

TEST_F(DeviceConnectionTest, AFailedConnectSaysWhy) {
    TempDir dir;
    StartSim({"--no-ack", "0xFF"});
    struct Case {
        std::string path;
        SerialOpenCause cause;
    };
    const Case cases[] = {
        {dir.File("no-such-port"), SerialOpenCause::NoSuchPort},
        {m_sim->PortPath(), SerialOpenCause::NoAnswer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        DeviceConnection connection;
        RadarParamSetting record;
        int readResult = -1;
        EXPECT_EQ(connection.ConnectAndReadParameters(SerialPortNumberOf(c.path),
                                                      SerialLineSettings{}, record, readResult),
                  DeviceConnectResult::OpenFailed);
        EXPECT_EQ(readResult, -1);
        EXPECT_EQ(connection.OpenFailure().cause, c.cause);
        EXPECT_EQ(connection.Connect(SerialPortNumberOf(c.path), SerialLineSettings{}),
                  DeviceConnectResult::OpenFailed);
        EXPECT_EQ(connection.OpenFailure().cause, c.cause);
        EXPECT_EQ(Orbo_Interface_RadarDevice_IsConnected(connection.Device()), 0);
    }
}

}  // namespace
