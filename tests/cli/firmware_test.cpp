// ctest-labels: sim slow
// "firmware info" and "flash" against the simulator's boot loader: what is shown, the images the
// simulator keeps afterwards, and the exit status of every failure.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"

namespace {

// Erase and restart times shrink at this scale; the host's own wait after a reset does not.
const std::vector<std::string> kFastSim = {"--time-scale", "20"};

std::string Image(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    return bytes;
}

class FirmwareTest : public CliTest {
protected:
    ProcessResult Slow(const std::vector<std::string>& args) {
        ProcessOptions options;
        options.deadline = std::chrono::seconds(120);
        return Cli(args, options);
    }
};

TEST_F(FirmwareTest, InfoShowsTheRunningFirmwareDeviceIdAndPartitions) {
    StartSim({"--partitions", "0x5", "--device-id", "0x12345678"});
    const ProcessResult text = Cli({"firmware", "info"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "Current Firmware: App0\nDevice ID: 0x12345678\nPartitions: App0 App2\n");

    const ProcessResult json = Cli({"firmware", "info", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out,
              "{\"runningMode\":\"Current Firmware: App0\",\"deviceId\":\"Device ID: "
              "0x12345678\",\"partitions\":[{\"name\":\"App0\",\"partition\":0},"
              "{\"name\":\"App2\",\"partition\":2}]}\n");
}

TEST_F(FirmwareTest, FlashLeavesTheImageByteForByteInThePartition) {
    StartSim(kFastSim);
    for (const size_t size : {size_t{3}, size_t{2048}, size_t{2050}}) {
        const std::string file = Scratch("image-" + std::to_string(size) + ".bin");
        WriteWholeFile(file, Image(size));
        const ProcessResult run = Slow({"flash", "--partition", "1", file});
        ASSERT_EQ(run.exitCode, 0) << size << "\n" << run.err;
        EXPECT_EQ(ReadWholeFile(m_sim->FlashDir() + "/APP1.bin"), Image(size)) << size;
        EXPECT_NE(run.err.find("Size of bin file: " + std::to_string(size) + " byte"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("Download Progress: 100.00%"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Download successful!"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

TEST_F(FirmwareTest, FlashFromTheBootLoaderNeedsNoReset) {
    StartSim({"--time-scale", "20", "--start-in-bootloader"});
    const ProcessResult info = Cli({"firmware", "info"});
    EXPECT_EQ(info.out.substr(0, info.out.find('\n')), "Current Firmware: BootLoader");
    const std::string file = Scratch("image.bin");
    WriteWholeFile(file, Image(1500));
    const ProcessResult run = Slow({"flash", "--partition", "0", file});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(m_sim->FlashDir() + "/APP0.bin"), Image(1500));
}

TEST_F(FirmwareTest, ARefusedPacketExitsWithOneAndNamesThePacket) {
    StartSim({"--time-scale", "20", "--refuse-packet", "1"});
    const std::string file = Scratch("image.bin");
    WriteWholeFile(file, Image(3000));
    const ProcessResult run = Slow({"flash", "--partition", "1", file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Failed to download, serial no.: 1, error code: "), std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(m_sim->FlashDir() + "/APP1.bin"));
}

// With the simulator pacing both directions at the line rate, a flash takes at least the time
// the line needs for the packets the host writes (a pseudo-terminal alone carries them at once).
TEST_F(FirmwareTest, APacedFlashTakesAtLeastTheLineTimeOfItsPackets) {
    constexpr uint32_t kLineBaud = 256000;
    constexpr size_t kImageBytes = 48 * 1024;  // whole packets, no padding
    // The simulator's default packet: 1024 image bytes after 20 bytes of envelope and header.
    constexpr size_t kPacketData = 1024;
    constexpr size_t kPacketOverhead = 20;
    constexpr size_t kPaceBurstBytes = 256;  // the pacing lets 10 ms worth through at once
    StartSim({"--time-scale", "20", "--start-in-bootloader", "--pace", "--baud",
              std::to_string(kLineBaud)});
    const std::string file = Scratch("image.bin");
    WriteWholeFile(file, Image(kImageBytes));

    const auto start = std::chrono::steady_clock::now();
    const ProcessResult run =
        Slow({"flash", "--partition", "0", "--baud", std::to_string(kLineBaud), file});
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(m_sim->FlashDir() + "/APP0.bin"), Image(kImageBytes));

    const size_t packetBytes = kImageBytes / kPacketData * (kPacketData + kPacketOverhead);
    const double lineSeconds = (packetBytes - kPaceBurstBytes) * 10.0 / kLineBaud;
    EXPECT_GE(elapsed.count(), lineSeconds) << packetBytes << " bytes";
}

TEST_F(FirmwareTest, AMissingImageExitsWithOne) {
    StartSim(kFastSim);
    const ProcessResult run = Slow({"flash", "--partition", "1", Scratch("none.bin")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Bin file error!"), std::string::npos) << run.err;
}

TEST_F(FirmwareTest, APartitionTheSensorLacksIsRefusedBeforeAnyReset) {
    StartSim(kFastSim);
    const std::string file = Scratch("image.bin");
    WriteWholeFile(file, Image(100));
    const ProcessResult run = Slow({"flash", "--partition", "2", file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no partition 2 (it offers: App0 App1)"), std::string::npos) << run.err;
    // The application still runs: the sensor was not sent into its boot loader.
    const ProcessResult info = Cli({"firmware", "info"});
    EXPECT_EQ(info.out.substr(0, info.out.find('\n')), "Current Firmware: App0");
}

TEST_F(FirmwareTest, ASensorThatAnswersNothingExitsWithThree) {
    StartSim({"--no-ack", "0xFF", "--no-ack", "0x60", "--no-ack", "0x61", "--no-ack", "0x65"});
    const ProcessResult info = Slow({"firmware", "info"});
    EXPECT_EQ(info.exitCode, 3) << info.err;
    const std::string file = Scratch("image.bin");
    WriteWholeFile(file, Image(100));
    EXPECT_EQ(Slow({"flash", "--partition", "0", file}).exitCode, 3);
}

TEST_F(FirmwareTest, ARefusedQuestionExitsWithOne) {
    StartSim({"--fail-status", "0x61:1"});
    const ProcessResult run = Cli({"firmware", "info"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Failed to obtain program partition information"), std::string::npos)
        << run.err;
}

}  // namespace
