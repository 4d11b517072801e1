#include "firmware/firmware_download.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/utf_convert.h"
#include "firmware/firmware_protocol.h"
#include "resources/string_table.h"
#include "support/temp_dir.h"
#include "tool/firmware/recording_firmware_sink.h"
#include "tool/firmware/scripted_boot_loader_link.h"

namespace {

using Fault = ScriptedBootLoaderLink::Fault;
using Calls = std::vector<std::string>;

std::vector<uint8_t> Image(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131 + 17) >> 1);
    return bytes;
}

class FirmwareProcedureTest : public testing::Test {
protected:
    FirmwareProcedureTest() : downloader(link, sink) {
        SetSelectedLanguage(UiLanguage::English);
        downloader.SetPortNumber(3);
    }

    std::u16string WriteImage(const std::vector<uint8_t>& bytes,
                              const std::string& name = "a.bin") {
        const std::string path = dir.File(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return Utf8ToUtf16Lossy(path);
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : sink.boxes) {
            EXPECT_EQ(box.title, "Note");
            EXPECT_EQ(box.icon, FirmwareMessageIcon::Information);
            texts.push_back(box.text);
        }
        return texts;
    }

    TempDir dir;
    ScriptedBootLoaderLink link;
    RecordingFirmwareSink sink;
    FirmwareDownloader downloader;
};

// ---- GetFirmwareInfo ----

TEST_F(FirmwareProcedureTest, InfoWithoutPortShowsNoteAndOpensNothing) {
    downloader.SetPortNumber(-1);
    EXPECT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::NoPort);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Port No. cannot be NULL!"});
    EXPECT_TRUE(link.calls.empty());
}

TEST_F(FirmwareProcedureTest, InfoTriesPortZeroAndReportsAFailedOpen) {
    downloader.SetPortNumber(0);
    link.openResults = {0};
    EXPECT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::OpenFailed);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Failed to open the port device!"});
    EXPECT_EQ(link.calls, Calls{"open"});
    EXPECT_TRUE(sink.infoLines.empty());
    // The window's line settings until others are set.
    ASSERT_EQ(link.opens.size(), 1u);
    EXPECT_EQ(link.opens[0].baudRate, 256000u);
    EXPECT_EQ(link.opens[0].byteSize, 8);
    EXPECT_EQ(link.opens[0].parity, 0);
    EXPECT_EQ(link.opens[0].stopBits, 0);
}

TEST_F(FirmwareProcedureTest, InfoOffersExistingPartitionsAndSelectsTheFirst) {
    downloader.SetPortNumber(7);
    SerialLineSettings line;
    line.baudRate = 115200;
    line.byteSize = 7;
    line.parity = 2;
    line.stopBits = 2;
    downloader.SetLineSettings(line);
    link.partitionMask = 0x00000005;
    link.deviceId = 0x5A560001;

    EXPECT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Succeeded);

    ASSERT_EQ(sink.items.size(), 2u);
    EXPECT_EQ(sink.items[0].text, "App0");
    EXPECT_EQ(sink.items[0].tag, 0);
    EXPECT_EQ(sink.items[1].text, "App2");
    EXPECT_EQ(sink.items[1].tag, 2);
    EXPECT_EQ(sink.selectedIndex, 0);
    EXPECT_EQ(downloader.SelectedPartition(), 0);
    EXPECT_FALSE(downloader.InBootLoader());
    EXPECT_EQ(sink.Label(FirmwareLabel::RunningMode), "Current Firmware: App0");
    EXPECT_EQ(sink.Label(FirmwareLabel::DeviceId), "Device ID: 0x5a560001\r\n");
    EXPECT_EQ(sink.InfoText(), "Obtaining firmware information\r\nDevice ID: 0x5a560001\r\n");
    EXPECT_EQ(link.calls,
              (Calls{"open", "start", "mode", "deviceid", "partitions", "stop", "close"}));
    EXPECT_EQ(link.timeouts, (std::vector<uint32_t>{3500, 3500, 3500}));
    ASSERT_EQ(link.opens.size(), 1u);
    const auto& open = link.opens[0];
    EXPECT_EQ(open.portNumber, 7);
    EXPECT_EQ(open.baudRate, 115200u);
    EXPECT_EQ(open.byteSize, 7);
    EXPECT_EQ(open.parity, 2);
    EXPECT_EQ(open.stopBits, 2);
    EXPECT_EQ(open.protocolVersion, 2);
    EXPECT_EQ(open.readSerialNumber + open.readVersion + open.keepCmdMode, 0);
    EXPECT_EQ(open.ackTimeoutMs, 500u);
    EXPECT_EQ(open.settleMs, 50u);
    EXPECT_FALSE(link.connected);
}

TEST_F(FirmwareProcedureTest, InfoNamesRunningModesAndKeepsCommandModeInTheBootLoader) {
    struct Case {
        uint32_t mode;
        const char* label;
        bool bootLoader;
    };
    for (const Case c :
         {Case{1, "Current Firmware: BootLoader", true}, Case{2, "Current Firmware: App0", false},
          Case{4, "Current Firmware: App1", false}, Case{8, "Current Firmware: Unknown", false}}) {
        SCOPED_TRACE(c.mode);
        link.calls.clear();
        link.runningModeAnswer = c.mode;
        EXPECT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Succeeded);
        EXPECT_EQ(sink.Label(FirmwareLabel::RunningMode), c.label);
        EXPECT_EQ(downloader.InBootLoader(), c.bootLoader);
        const bool stopped =
            std::find(link.calls.begin(), link.calls.end(), "stop") != link.calls.end();
        EXPECT_EQ(stopped, !c.bootLoader);
        EXPECT_EQ(link.calls.back(), "close");
    }
}

TEST_F(FirmwareProcedureTest, InfoReportsEachFailedQuestionAndClosesThePort) {
    struct Case {
        uint16_t failing;
        Fault fault;
        std::string info;
        std::string runningMode;
        std::string deviceId;
    };
    const Case cases[] = {
        {kCmdGetRunningMode, Fault::NoAck,
         "Obtaining firmware information\r\nFailed to obtain operation mode!\r\n",
         "Current Firmware: Unknown", ""},
        {kCmdGetDeviceId, Fault::Refuse,
         "Obtaining firmware information\r\nFailed to obtain device ID\r\n",
         "Current Firmware: App0", "Device ID: Unknown"},
        {kCmdGetPartitionInfo, Fault::ShortAck,
         "Obtaining firmware information\r\nDevice ID: 0x5a560001\r\n"
         "Failed to obtain program partition information\r\n",
         "Current Firmware: App0", "Device ID: 0x5a560001\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        ScriptedBootLoaderLink scripted;
        scripted.faults[c.failing] = c.fault;
        RecordingFirmwareSink recorded;
        FirmwareDownloader procedures(scripted, recorded);
        procedures.SetPortNumber(downloader.PortNumber());
        procedures.SetSelectedPartition(1);
        EXPECT_EQ(procedures.GetFirmwareInfo(), FirmwareResult::Failed);
        EXPECT_EQ(recorded.InfoText(), c.info);
        EXPECT_EQ(recorded.Label(FirmwareLabel::RunningMode), c.runningMode);
        EXPECT_EQ(recorded.Label(FirmwareLabel::DeviceId), c.deviceId);
        EXPECT_EQ(recorded.partitionListSets, 0);
        EXPECT_EQ(procedures.SelectedPartition(), 1);
        EXPECT_TRUE(recorded.boxes.empty());
        EXPECT_EQ(scripted.calls.back(), "close");
        EXPECT_FALSE(scripted.connected);
    }
}

TEST_F(FirmwareProcedureTest, FailedRunningModeQuestionKeepsTheBootLoaderFlag) {
    link.runningModeAnswer = 1;
    ASSERT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Succeeded);
    ASSERT_TRUE(downloader.InBootLoader());
    link.faults[kCmdGetRunningMode] = Fault::NoAck;
    EXPECT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Failed);
    EXPECT_TRUE(downloader.InBootLoader());
}

TEST_F(FirmwareProcedureTest, InfoWithoutAnyAnswerIsNoSensor) {
    struct Case {
        int startCmdMode;
        Fault runningMode;
        FirmwareResult result;
    };
    for (const Case c : {Case{0, Fault::NoAck, FirmwareResult::NoSensor},
                         Case{1, Fault::NoAck, FirmwareResult::Failed},
                         Case{0, Fault::Refuse, FirmwareResult::Failed},
                         Case{0, Fault::ShortAck, FirmwareResult::Failed}}) {
        SCOPED_TRACE(testing::Message()
                     << c.startCmdMode << " " << static_cast<int>(c.runningMode));
        ScriptedBootLoaderLink scripted;
        scripted.startCmdModeResult = c.startCmdMode;
        scripted.faults[kCmdGetRunningMode] = c.runningMode;
        RecordingFirmwareSink recorded;
        FirmwareDownloader procedures(scripted, recorded);
        procedures.SetPortNumber(downloader.PortNumber());
        EXPECT_EQ(procedures.GetFirmwareInfo(), c.result);
        EXPECT_EQ(recorded.infoLines.back(), "Failed to obtain operation mode!\r\n");
        EXPECT_EQ(scripted.calls.back(), "close");
    }
}

TEST_F(FirmwareProcedureTest, InfoGoesOnWhenCommandModeIsRefused) {
    link.startCmdModeResult = 0;
    EXPECT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Succeeded);
    EXPECT_EQ(sink.infoLines.at(1), "Failed to enable program!\r\n");
}

TEST_F(FirmwareProcedureTest, InfoWithoutPartitionsSelectsNone) {
    link.partitionMask = 0;
    downloader.SetSelectedPartition(1);
    EXPECT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Succeeded);
    EXPECT_TRUE(sink.items.empty());
    EXPECT_EQ(sink.selectedIndex, -1);
    EXPECT_EQ(downloader.SelectedPartition(), -1);
}

TEST_F(FirmwareProcedureTest, InfoListsAll32Partitions) {
    link.partitionMask = 0xFFFFFFFFu;
    EXPECT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Succeeded);
    ASSERT_EQ(sink.items.size(), 32u);
    EXPECT_EQ(sink.items[31].text, "App31");
    EXPECT_EQ(sink.items[31].tag, 31);
}

// ---- DownloadFirmware ----

struct Transfer {
    size_t imageSize;
    uint32_t packetSize;
    std::vector<size_t> dataBytes;  // image bytes per packet
    uint32_t lastPadding;
};

TEST_F(FirmwareProcedureTest, DownloadSendsTheImageInPacketsOfTheAnsweredSize) {
    const Transfer transfers[] = {
        {3, 1044, {3}, 1},
        {2050, 1044, {1024, 1024, 2}, 2},
        {2048, 1044, {1024, 1024}, 0},
        // The last packet is a whole packet yet the image needs padding: it goes out with it.
        {2050, 1045, {1025, 1025}, 2},
        {9, 21, {1, 1, 1, 1, 1, 1, 1, 1, 1}, 3},
        // Beyond a command frame the packets stay within 4096 bytes.
        {5000, 65535, {4076, 924}, 0},
    };
    for (const Transfer& t : transfers) {
        SCOPED_TRACE(testing::Message() << t.imageSize << " bytes, P = " << t.packetSize);
        ScriptedBootLoaderLink scripted;
        scripted.bootLoader = true;
        scripted.packetSize = t.packetSize;
        scripted.partitionMask = 0x5;
        RecordingFirmwareSink recorded;
        FirmwareDownloader procedures(scripted, recorded);
        procedures.SetPortNumber(downloader.PortNumber());
        ASSERT_EQ(procedures.GetFirmwareInfo(), FirmwareResult::Succeeded);
        scripted.calls.clear();
        const std::vector<uint8_t> image = Image(t.imageSize);

        EXPECT_EQ(procedures.DownloadFirmware(2, WriteImage(image).c_str()),
                  FirmwareResult::Succeeded);

        ASSERT_EQ(scripted.binInfo.size(), 12u);
        const uint32_t checksum = ImageChecksum(image.data(), image.size());
        EXPECT_EQ(ReadLe32(&scripted.binInfo[0]), 0x4u);
        EXPECT_EQ(ReadLe32(&scripted.binInfo[4]), t.imageSize);
        EXPECT_EQ(ReadLe32(&scripted.binInfo[8]), checksum);
        ASSERT_EQ(scripted.packets.size(), t.dataBytes.size());
        size_t offset = 0;
        for (size_t i = 0; i < scripted.packets.size(); ++i) {
            const std::vector<uint8_t>& packet = scripted.packets[i];
            const bool last = i + 1 == scripted.packets.size();
            const size_t padding = last ? t.lastPadding : 0;
            ASSERT_EQ(packet.size(), 8 + t.dataBytes[i] + padding);
            EXPECT_EQ(ReadLe32(&packet[0]), i);
            EXPECT_EQ(ReadLe32(&packet[4]),
                      std::accumulate(packet.begin() + 8, packet.end(), uint32_t{0}));
            EXPECT_TRUE(std::equal(packet.begin() + 8, packet.begin() + 8 + t.dataBytes[i],
                                   image.begin() + offset));
            EXPECT_TRUE(std::all_of(packet.end() - padding, packet.end(),
                                    [](uint8_t b) { return b == 0xFF; }));
            offset += t.dataBytes[i];
        }
        // Everything the sensor received sums to the announced checksum.
        const std::vector<uint8_t> received = scripted.ReceivedBytes();
        EXPECT_EQ(received.size() % 4, 0u);
        EXPECT_EQ(std::accumulate(received.begin(), received.end(), uint32_t{0}), checksum);
        EXPECT_EQ(recorded.progressValues.back(), t.imageSize);
        EXPECT_EQ(recorded.progressTexts.back(), "Download Progress: 100.00%\r\n");
        EXPECT_EQ(scripted.calls.front(), "open");
        EXPECT_EQ(scripted.calls.back(), "close");
        EXPECT_EQ(std::count(scripted.calls.begin(), scripted.calls.end(), "noack reset"), 0);
    }
}

TEST_F(FirmwareProcedureTest, DownloadShowsSizeChecksumAndProgress) {
    link.bootLoader = true;
    link.runningModeAnswer = 1;
    ASSERT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Succeeded);
    sink = RecordingFirmwareSink();
    EXPECT_EQ(downloader.DownloadFirmware(0, WriteImage({0x01, 0x02, 0x03}).c_str()),
              FirmwareResult::Succeeded);
    EXPECT_EQ(sink.Label(FirmwareLabel::FileSize), "Size of bin file: 3 byte\r\n");
    EXPECT_EQ(sink.Label(FirmwareLabel::FileVerifyNum), "Checksum: 0x00000105\r\n");
    EXPECT_EQ(sink.progressTexts, (std::vector<std::string>{"Download Progress: 0.00%\r\n",
                                                            "Download Progress: 100.00%\r\n"}));
    EXPECT_EQ(sink.progressMax, 3u);
    EXPECT_EQ(sink.progressValues, (std::vector<uint32_t>{0, 3}));
    EXPECT_EQ(sink.downloadingVisible, (std::vector<bool>{true, false}));
    EXPECT_EQ(sink.InfoText(), "Downloading… \r\nDownload successful! \r\n");
    EXPECT_EQ(sink.scrolls, 1);
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(FirmwareProcedureTest, DownloadProgressCountsImageBytesOnly) {
    link.bootLoader = true;
    link.runningModeAnswer = 1;
    ASSERT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Succeeded);
    sink = RecordingFirmwareSink();
    EXPECT_EQ(downloader.DownloadFirmware(0, WriteImage(Image(2050)).c_str()),
              FirmwareResult::Succeeded);
    EXPECT_EQ(sink.progressValues, (std::vector<uint32_t>{0, 1024, 2048, 2050}));
    EXPECT_EQ(sink.progressTexts.at(1), "Download Progress: 49.95%\r\n");
}

TEST_F(FirmwareProcedureTest, DownloadResetsIntoTheBootLoaderWhenTheApplicationRuns) {
    link.partitionMask = 0x3;
    EXPECT_EQ(downloader.DownloadFirmware(1, WriteImage(Image(100)).c_str()),
              FirmwareResult::Succeeded);
    EXPECT_EQ(link.calls, (Calls{"open", "start", "noack reset", "sleep 2000", "open", "mode",
                                 "bininfo", "packet", "close"}));
    EXPECT_EQ(link.opens.at(1).portNumber, link.opens.at(0).portNumber);
    EXPECT_EQ(ReadLe32(&link.binInfo[0]), 0x2u);
    EXPECT_FALSE(downloader.InBootLoader());
}

TEST_F(FirmwareProcedureTest, FailedResetStopsBeforeTheImageIsAnnounced) {
    struct Case {
        std::function<void(ScriptedBootLoaderLink&)> setup;
        Calls calls;
        FirmwareResult result;
    };
    const Case cases[] = {
        {[](ScriptedBootLoaderLink& l) { l.resetWorks = false; },
         {"open", "start", "noack reset", "sleep 2000", "open", "mode", "close"},
         FirmwareResult::Failed},
        {[](ScriptedBootLoaderLink& l) {
             l.openResults = {1, 0};
         },
         {"open", "start", "noack reset", "sleep 2000", "open", "close"},
         FirmwareResult::OpenFailed},
        {[](ScriptedBootLoaderLink& l) { l.faults[kCmdGetRunningMode] = Fault::NoAck; },
         {"open", "start", "noack reset", "sleep 2000", "open", "mode", "close"},
         FirmwareResult::Failed},
        // Neither command mode nor the running mode answered: no sensor.
        {[](ScriptedBootLoaderLink& l) {
             l.startCmdModeResult = 0;
             l.faults[kCmdGetRunningMode] = Fault::NoAck;
         },
         {"open", "start", "noack reset", "sleep 2000", "open", "mode", "close"},
         FirmwareResult::NoSensor},
    };
    for (const Case& c : cases) {
        ScriptedBootLoaderLink scripted;
        c.setup(scripted);
        RecordingFirmwareSink recorded;
        FirmwareDownloader procedures(scripted, recorded);
        procedures.SetPortNumber(downloader.PortNumber());
        EXPECT_EQ(procedures.DownloadFirmware(0, WriteImage(Image(10)).c_str()), c.result);
        EXPECT_EQ(scripted.calls, c.calls);
        EXPECT_EQ(recorded.InfoText(), "Software-Reset Failed!\r\n");
        EXPECT_TRUE(recorded.boxes.empty());
        EXPECT_FALSE(scripted.connected);
    }
}

TEST_F(FirmwareProcedureTest, DownloadRefusalsAreReportedWithTheirCodes) {
    struct Case {
        std::function<void(ScriptedBootLoaderLink&)> setup;
        std::string lastLine;
        size_t packets;
    };
    const Case cases[] = {
        {[](ScriptedBootLoaderLink& l) { l.refusedPackets[1] = 0xA002; },
         "Failed to download, serial no.: 1, error code: 40962\r\n", 1},
        {[](ScriptedBootLoaderLink& l) { l.refusedPackets[0] = 0xA001; },
         "Failed to download, serial no.: 0, error code: 40961\r\n", 0},
        {[](ScriptedBootLoaderLink& l) { l.faults[kCmdSendBinFileInfo] = Fault::Refuse; },
         "Failed to send bin file information, error code: 40962\r\n", 0},
        // No 6-byte acknowledgement: the code is what the previous answer left (running mode 1).
        {[](ScriptedBootLoaderLink& l) { l.faults[kCmdSendBinFileInfo] = Fault::ShortAck; },
         "Failed to send bin file information, error code: 1\r\n", 0},
        {[](ScriptedBootLoaderLink& l) { l.packetSize = 20; },
         "Each pack must be more than 20 byte\r\n", 0},
        {[](ScriptedBootLoaderLink& l) { l.packetSize = 0x10000 + 20; },
         "Each pack must be more than 20 byte\r\n", 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        ScriptedBootLoaderLink scripted;
        c.setup(scripted);
        RecordingFirmwareSink recorded;
        FirmwareDownloader procedures(scripted, recorded);
        procedures.SetPortNumber(downloader.PortNumber());
        EXPECT_EQ(procedures.DownloadFirmware(0, WriteImage(Image(2050)).c_str()),
                  FirmwareResult::Failed);
        ASSERT_FALSE(recorded.infoLines.empty());
        EXPECT_EQ(recorded.infoLines.back(), c.lastLine);
        EXPECT_EQ(scripted.packets.size(), c.packets);
        EXPECT_EQ(std::count(recorded.infoLines.begin(), recorded.infoLines.end(),
                             "Download successful! \r\n"),
                  0);
        EXPECT_TRUE(recorded.boxes.empty());
        EXPECT_EQ(scripted.calls.back(), "close");
        EXPECT_EQ(recorded.downloadingVisible.back(), false);
        EXPECT_EQ(recorded.scrolls, 1);
    }
}

TEST_F(FirmwareProcedureTest, DownloadInputErrorsAreMessageBoxes) {
    const std::u16string good = WriteImage(Image(8));
    const std::u16string empty = WriteImage({}, "empty.bin");
    const std::u16string missing = Utf8ToUtf16Lossy(dir.File("missing.bin"));
    const std::u16string folder = Utf8ToUtf16Lossy(dir.Path().string());
    // Larger than any image may be: a sparse file, so nothing big is written.
    const std::string hugePath = dir.File("huge.bin");
    { std::ofstream(hugePath, std::ios::binary).put('x'); }
    ASSERT_EQ(truncate(hugePath.c_str(), static_cast<off_t>(kMaxFirmwareImageBytes + 1)), 0);
    const std::u16string huge = Utf8ToUtf16Lossy(hugePath);

    struct Case {
        int port;
        int partition;
        const std::u16string* path;
        int openResult;
        std::string box;
        Calls calls;
        FirmwareResult result;
    };
    using R = FirmwareResult;
    const Case cases[] = {
        {0, 0, &good, 1, "Port No. cannot be NULL!", {}, R::NoPort},
        {-1, 0, &good, 1, "Port No. cannot be NULL!", {}, R::NoPort},
        {3, 0, &good, 0, "Failed to open the port device!", {"open"}, R::OpenFailed},
        {3,
         -1,
         &good,
         1,
         "Please choose the download partition!",
         {"open", "close"},
         R::NoPartition},
        {3,
         32,
         &good,
         1,
         "Please choose the download partition!",
         {"open", "close"},
         R::NoPartition},
        {3, 0, &missing, 1, "Bin file error!", {"open", "close"}, R::BadImage},
        {3, 0, &empty, 1, "Bin file error!", {"open", "close"}, R::BadImage},
        {3, 0, &folder, 1, "Bin file error!", {"open", "close"}, R::BadImage},
        {3, 0, &huge, 1, "Bin file error!", {"open", "close"}, R::BadImage},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        ScriptedBootLoaderLink scripted;
        scripted.openResults = {c.openResult};
        RecordingFirmwareSink recorded;
        FirmwareDownloader procedures(scripted, recorded);
        procedures.SetPortNumber(c.port);
        EXPECT_EQ(procedures.DownloadFirmware(c.partition, c.path->c_str()), c.result);
        ASSERT_EQ(recorded.boxes.size(), 1u);
        EXPECT_EQ(recorded.boxes[0].title, "Note");
        EXPECT_EQ(recorded.boxes[0].text, c.box);
        EXPECT_EQ(scripted.calls, c.calls);
        EXPECT_TRUE(recorded.infoLines.empty());
        EXPECT_FALSE(scripted.connected);
    }
}

TEST(FirmwareImageFile, ReadsWholeFilesAndAcceptsBackslashSeparators) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "sub");
    const std::vector<uint8_t> bytes = Image(3000);
    std::ofstream(dir.File("sub/x.bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<uint8_t> read;
    ASSERT_TRUE(ReadFirmwareImage(Utf8ToUtf16Lossy(dir.File("sub\\x.bin")).c_str(), read));
    EXPECT_EQ(read, bytes);
    EXPECT_FALSE(ReadFirmwareImage(nullptr, read));
    EXPECT_TRUE(read.empty());
    const std::u16string tooLong(300, u'a');
    EXPECT_FALSE(ReadFirmwareImage(tooLong.c_str(), read));
    const char16_t unpaired[] = {u'/', 0xD800, u'x', 0};
    EXPECT_FALSE(ReadFirmwareImage(unpaired, read));
}

TEST_F(FirmwareProcedureTest, TextsFollowTheSelectedLanguage) {
    SetSelectedLanguage(UiLanguage::Chinese);
    link.faults[kCmdGetDeviceId] = Fault::NoAck;
    EXPECT_EQ(downloader.GetFirmwareInfo(), FirmwareResult::Failed);
    SetSelectedLanguage(UiLanguage::English);
    EXPECT_EQ(sink.InfoText(), "开始获取固件信息\r\n获取设备ID失败\r\n");
    EXPECT_EQ(sink.Label(FirmwareLabel::RunningMode), "当前运行固件: App0");
    EXPECT_EQ(sink.Label(FirmwareLabel::DeviceId), "设备ID: Unknown");
}

TEST(FirmwareLabels, NamesAreTheWindowsControlNames) {
    EXPECT_STREQ(FirmwareLabelName(FirmwareLabel::RunningMode), "RunningMode");
    EXPECT_STREQ(FirmwareLabelName(FirmwareLabel::DeviceId), "DeviceId");
    EXPECT_STREQ(FirmwareLabelName(FirmwareLabel::FileSize), "FileSize");
    EXPECT_STREQ(FirmwareLabelName(FirmwareLabel::FileVerifyNum), "FileVerifyNum");
    EXPECT_STREQ(FirmwareLabelName(FirmwareLabel::DownloadProgressText), "DownloadProgressText");
}

}  // namespace
