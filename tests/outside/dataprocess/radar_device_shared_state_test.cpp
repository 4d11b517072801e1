// ctest-labels: unit
// The device library's tests link its objects beside libOrbo_Common.so. The device code and its
// caller must then share one common library: one port number table, one debug output, one
// delayed-posting engine. A second copy linked in would give the device a table where the
// caller's port has no number and a debug output nobody listens to.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dataprocess/radar_device_interface.h"
#include "serial/serial_port_table.h"
#include "support/log_capture.h"
#include "support/pty_pair.h"
#include "support/thread_names.h"

namespace {

constexpr uint32_t kAckTimeoutMs = 200;

struct DeviceDeleter {
    void operator()(IRadarDevice* device) const {
        Orbo_Interface_RadarDevice_Serial_Destroy(device);
    }
};
using DevicePtr = std::unique_ptr<IRadarDevice, DeviceDeleter>;

// Every copy of the common library starts its own delayed-posting engine when it is loaded.
TEST(RadarDeviceSharedState, OneDelayedPostingEngineRuns) {
    EXPECT_EQ(ThreadsNamed("DelayMsg"), 1);
}

TEST(RadarDeviceSharedState, DeviceOpensTheCallersPortNumberAndLogsToItsCallbacks) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    LogCapture log;
    DevicePtr device(Orbo_Interface_RadarDevice_Serial_Create());
    ASSERT_NE(device, nullptr);
    // No flag set: the port is only opened, nothing is sent that would need an answer.
    ASSERT_EQ(Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
                  device.get(), SerialPortNumberOf(pty.SlavePath()), 115200, 8, 0, 0,
                  eRADAR_PROTOCOL_VERSION_2, 0, 0, 0, kAckTimeoutMs, 0),
              1);
    EXPECT_TRUE(log.Has("Radar device open: port " +
                        std::to_string(SerialPortNumberOf(pty.SlavePath())) + " (" +
                        pty.SlavePath() + ")"))
        << log.All();
    EXPECT_EQ(Orbo_Interface_RadarDevice_Serial_Close(device.get()), 1);
}

}  // namespace
