// ctest-labels: sim
// The firmware procedures against zorvan-sim, through the radar device library.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/utf_convert.h"
#include "dataprocess/radar_device_interface.h"
#include "firmware/boot_loader_device.h"
#include "firmware/firmware_download.h"
#include "firmware/firmware_protocol.h"
#include "resources/string_table.h"
#include "serial/serial_port_table.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "support/whole_file.h"
#include "tool/device/radar_device_handle.h"
#include "tool/firmware/recording_firmware_sink.h"

namespace {

// Faster erase and restart in the simulator; the host still waits its 2 s after a reset.
const std::vector<std::string> kFast = {"--time-scale", "10"};

// The real link, with the command codes it carried.
class CountingLink : public RadarDeviceBootLoaderLink {
public:
    using RadarDeviceBootLoaderLink::RadarDeviceBootLoaderLink;
    uint16_t SendCommand(uint16_t code, const uint8_t* payload, uint32_t length, uint32_t* answer,
                         uint32_t timeoutMs) override {
        codes.push_back(code);
        return RadarDeviceBootLoaderLink::SendCommand(code, payload, length, answer, timeoutMs);
    }
    void SendCommandNoCheckAck(uint16_t code) override {
        codes.push_back(code);
        RadarDeviceBootLoaderLink::SendCommandNoCheckAck(code);
    }
    size_t Count(uint16_t code) const { return std::count(codes.begin(), codes.end(), code); }

    std::vector<uint16_t> codes;
};

std::vector<uint8_t> Image(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + seed);
    return bytes;
}

class FirmwareSimTest : public testing::Test {
protected:
    void StartSim(std::vector<std::string> args) {
        args.insert(args.end(), kFast.begin(), kFast.end());
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        device.reset(Orbo_Interface_RadarDevice_Serial_Create());
        ASSERT_NE(device, nullptr);
        link = std::make_unique<CountingLink>(device.get());
        downloader = std::make_unique<FirmwareDownloader>(*link, sink);
        downloader->SetPortNumber(SerialPortNumberOf(sim->PortPath()));
    }

    std::u16string WriteImage(const std::vector<uint8_t>& bytes) {
        const std::string path = dir.File("image" + std::to_string(++files) + ".bin");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return Utf8ToUtf16Lossy(path);
    }

    std::string FlashedPath(int partition) const {
        return sim->FlashDir() + "/APP" + std::to_string(partition) + ".bin";
    }

    // The procedure left the port closed: the device says so and another device can open it.
    void ExpectPortReleased() {
        EXPECT_EQ(Orbo_Interface_RadarDevice_IsConnected(device.get()), 0);
        RadarDeviceHandle other(Orbo_Interface_RadarDevice_Serial_Create());
        EXPECT_NE(Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
                      other.get(), downloader->PortNumber(), downloader->LineSettings().baudRate, 8,
                      0, 0, eRADAR_PROTOCOL_VERSION_2, 0, 0, 0, 500, 50),
                  0);
        Orbo_Interface_RadarDevice_Serial_Close(other.get());
    }

    void SetUp() override { SetSelectedLanguage(UiLanguage::English); }

    TempDir dir;
    int files = 0;
    std::unique_ptr<SimProcess> sim;
    RadarDeviceHandle device;
    std::unique_ptr<CountingLink> link;
    RecordingFirmwareSink sink;
    std::unique_ptr<FirmwareDownloader> downloader;
};

TEST_F(FirmwareSimTest, InfoOffersThePartitionsTheSensorHas) {
    StartSim({"--partitions", "0x5", "--device-id", "0x12AB"});
    EXPECT_EQ(downloader->GetFirmwareInfo(), FirmwareResult::Succeeded);
    ASSERT_EQ(sink.items.size(), 2u);
    EXPECT_EQ(sink.items[0].text, "App0");
    EXPECT_EQ(sink.items[0].tag, 0);
    EXPECT_EQ(sink.items[1].text, "App2");
    EXPECT_EQ(sink.items[1].tag, 2);
    EXPECT_EQ(sink.selectedIndex, 0);
    EXPECT_EQ(downloader->SelectedPartition(), 0);
    EXPECT_EQ(sink.Label(FirmwareLabel::RunningMode), "Current Firmware: App0");
    EXPECT_EQ(sink.Label(FirmwareLabel::DeviceId), "Device ID: 0x12ab\r\n");
    EXPECT_FALSE(downloader->InBootLoader());
    ExpectPortReleased();
}

TEST_F(FirmwareSimTest, DownloadLeavesTheImageInTheSensor) {
    struct Case {
        size_t size;
        std::vector<std::string> args;
        size_t packets;
    };
    const Case cases[] = {
        {3, {}, 1},
        {2048, {}, 2},
        {2050, {}, 3},
        // The last packet is a whole one and still carries the image's padding.
        {2050, {"--packet-size", "1045"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes");
        std::vector<std::string> args = {"--partitions", "0x3"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        StartSim(args);
        const std::vector<uint8_t> image = Image(c.size, static_cast<uint8_t>(c.size));

        EXPECT_EQ(downloader->DownloadFirmware(1, WriteImage(image).c_str()),
                  FirmwareResult::Succeeded);

        EXPECT_EQ(link->Count(kCmdSoftwareReset), 1u);
        EXPECT_EQ(link->Count(kCmdSendPacket), c.packets);
        EXPECT_TRUE(WaitUntil([&] { return ReadWholeFileBytes(FlashedPath(1)) == image; }));
        EXPECT_EQ(sink.infoLines.back(), "Download successful! \r\n");
        EXPECT_EQ(sink.progressValues.back(), c.size);
        EXPECT_TRUE(sink.boxes.empty());
        ExpectPortReleased();
        sink = RecordingFirmwareSink();
    }
}

TEST_F(FirmwareSimTest, NoResetWhenTheBootLoaderAlreadyRuns) {
    StartSim({"--start-in-bootloader", "--partitions", "0x5"});
    ASSERT_EQ(downloader->GetFirmwareInfo(), FirmwareResult::Succeeded);
    EXPECT_EQ(sink.Label(FirmwareLabel::RunningMode), "Current Firmware: BootLoader");
    ASSERT_TRUE(downloader->InBootLoader());
    link->codes.clear();
    const std::vector<uint8_t> image = Image(2050, 9);

    EXPECT_EQ(downloader->DownloadFirmware(2, WriteImage(image).c_str()),
              FirmwareResult::Succeeded);

    EXPECT_EQ(link->Count(kCmdSoftwareReset), 0u);
    EXPECT_EQ(link->Count(kCmdGetRunningMode), 0u);
    EXPECT_EQ(link->codes.front(), kCmdSendBinFileInfo);
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFileBytes(FlashedPath(2)) == image; }));
    ExpectPortReleased();
}

TEST_F(FirmwareSimTest, FailuresGiveTheirMessageAndCloseThePort) {
    struct Case {
        std::vector<std::string> args;
        int partition;
        bool missingFile;
        std::string box;
        std::string lastLine;
        FirmwareResult result;
    };
    const Case cases[] = {
        {{"--refuse-packet", "1"},
         0,
         false,
         "",
         "Failed to download, serial no.: 1, error code: 40962\r\n",
         FirmwareResult::Failed},
        {{"--packet-size", "20"},
         0,
         false,
         "",
         "Each pack must be more than 20 byte\r\n",
         FirmwareResult::Failed},
        {{}, 0, true, "Bin file error!", "", FirmwareResult::BadImage},
        {{}, -1, false, "Please choose the download partition!", "", FirmwareResult::NoPartition},
        // A partition the sensor does not have: it refuses the bin file information.
        {{"--partitions", "0x3"},
         5,
         false,
         "",
         "Failed to send bin file information, error code: 40963\r\n",
         FirmwareResult::Failed},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        std::vector<std::string> args = c.args;
        args.push_back("--start-in-bootloader");
        StartSim(args);
        ASSERT_EQ(downloader->GetFirmwareInfo(), FirmwareResult::Succeeded);
        sink = RecordingFirmwareSink();
        const std::u16string path =
            c.missingFile ? Utf8ToUtf16Lossy(dir.File("none.bin")) : WriteImage(Image(2050, 1));

        EXPECT_EQ(downloader->DownloadFirmware(c.partition, path.c_str()), c.result);

        if (c.box.empty()) {
            EXPECT_TRUE(sink.boxes.empty());
            ASSERT_FALSE(sink.infoLines.empty());
            EXPECT_EQ(sink.infoLines.back(), c.lastLine);
        } else {
            ASSERT_EQ(sink.boxes.size(), 1u);
            EXPECT_EQ(sink.boxes[0].title, "Note");
            EXPECT_EQ(sink.boxes[0].text, c.box);
            EXPECT_TRUE(sink.infoLines.empty());
        }
        EXPECT_FALSE(std::filesystem::exists(FlashedPath(std::max(c.partition, 0))));
        ExpectPortReleased();
    }
}

TEST_F(FirmwareSimTest, UnopenablePortIsAMessage) {
    StartSim({});
    downloader->SetPortNumber(SerialPortNumberOf(dir.File("no-such-port")));
    EXPECT_EQ(downloader->GetFirmwareInfo(), FirmwareResult::OpenFailed);
    EXPECT_EQ(downloader->DownloadFirmware(0, WriteImage(Image(4, 0)).c_str()),
              FirmwareResult::OpenFailed);
    ASSERT_EQ(sink.boxes.size(), 2u);
    EXPECT_EQ(sink.boxes[0].text, "Failed to open the port device!");
    EXPECT_EQ(sink.boxes[1].text, "Failed to open the port device!");
    EXPECT_TRUE(link->codes.empty());
}

}  // namespace
