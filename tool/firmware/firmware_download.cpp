#include "firmware/firmware_download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/dbg_output.h"
#include "core/size_limits.h"
#include "core/unique_fd.h"
#include "core/utf_convert.h"
#include "dataprocess/radar_device_interface.h"
#include "firmware/boot_loader_link.h"
#include "firmware/firmware_protocol.h"
#include "firmware/firmware_sink.h"
#include "firmware/firmware_texts.h"
#include "resources/string_table.h"

namespace {

// The byte path of a UTF-16 path: exact conversion, '\\' taken as a separator, at most
// kMaxPathChars units.
bool ToBytePath(const WCHAR* path, std::string& out) {
    if (path == nullptr) return false;
    const size_t length = WideLength(path);
    if (length == 0 || length > static_cast<size_t>(kMaxPathChars)) return false;
    if (!Utf16ToUtf8(std::u16string_view(path, length), out)) return false;
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return true;
}

// Closes a procedure's port on every exit. Given the in-boot-loader flag, it leaves command mode
// first unless the flag is set by then: the boot loader stays in command mode for a download.
class PortGuard {
public:
    explicit PortGuard(IBootLoaderLink& link, const bool* inBootLoader = nullptr)
        : m_link(link), m_inBootLoader(inBootLoader) {}
    ~PortGuard() { Close(); }
    PortGuard(const PortGuard&) = delete;
    PortGuard& operator=(const PortGuard&) = delete;

    // Closes now (once).
    void Close() {
        if (m_closed) return;
        m_closed = true;
        if (m_inBootLoader != nullptr && !*m_inBootLoader) {
            m_link.StopCmdMode(kStopCmdModeTimeoutMs);
        }
        m_link.Close();
    }

private:
    IBootLoaderLink& m_link;
    const bool* m_inBootLoader;
    bool m_closed = false;
};

}  // namespace

bool ReadFirmwareImage(const WCHAR* path, std::vector<uint8_t>& image) {
    image.clear();
    std::string bytePath;
    if (!ToBytePath(path, bytePath)) {
        DbgOutputA(kDbgLevelWarning,
                   "Firmware image path is empty, too long or not valid UTF-16\r\n");
        return false;
    }
    UniqueFd fd(open(bytePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0) {
        DbgOutputA(kDbgLevelWarning, "Firmware image %s cannot be opened: %s\r\n", bytePath.c_str(),
                   strerror(errno));
        return false;
    }
    if (!S_ISREG(info.st_mode) || info.st_size <= 0) {
        DbgOutputA(kDbgLevelWarning, "Firmware image %s is empty or not a regular file\r\n",
                   bytePath.c_str());
        return false;
    }
    const auto size = static_cast<uint64_t>(info.st_size);
    if (size > kMaxFirmwareImageBytes) {
        DbgOutputA(kDbgLevelWarning,
                   "Firmware image %s has %llu bytes, more than the %llu an image may have\r\n",
                   bytePath.c_str(), static_cast<unsigned long long>(size),
                   static_cast<unsigned long long>(kMaxFirmwareImageBytes));
        return false;
    }
    image.resize(size);
    size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = read(fd.Get(), image.data() + done, image.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            DbgOutputA(kDbgLevelWarning, "Reading firmware image %s failed: %s\r\n",
                       bytePath.c_str(), strerror(errno));
            image.clear();
            return false;
        }
        if (n == 0) break;  // the file shrank meanwhile: what it holds now
        done += static_cast<size_t>(n);
    }
    image.resize(done);
    return !image.empty();
}

FirmwareDownloader::FirmwareDownloader(IBootLoaderLink& link, IFirmwareSink& sink)
    : m_link(link), m_sink(sink) {}

int FirmwareDownloader::OpenPort() {
    const int ok = m_link.OpenByPortNum(
        m_portNumber, m_line.baudRate, m_line.byteSize, m_line.parity, m_line.stopBits,
        kCmdModeProtocolVersion, kFirmwareOpenReadSerialNumber, kFirmwareOpenReadVersion,
        kFirmwareOpenKeepCmdMode, kCmdModeAckTimeoutMs, kFirmwareSettleMs);
    if (ok == 0) {
        DbgOutputA(kDbgLevelWarning, "Firmware: opening port number %d at %u baud failed\r\n",
                   m_portNumber, m_line.baudRate);
    }
    return ok;
}

void FirmwareDownloader::ShowNote(int textId) {
    m_sink.ShowMessageBox(FirmwareText(kStrNote), FirmwareText(textId),
                          FirmwareMessageIcon::Information);
}

bool FirmwareDownloader::StartCmdMode() {
    const bool started =
        m_link.StartCmdMode(kCmdModeProtocolVersion, kCmdModeAckTimeoutMs, kFirmwareSettleMs) != 0;
    m_answered = m_answered || started;
    return started;
}

uint16_t FirmwareDownloader::SendCommand(uint16_t code, const uint8_t* payload, uint32_t length,
                                         uint32_t* answer, uint32_t timeoutMs) {
    const uint16_t result = m_link.SendCommand(code, payload, length, answer, timeoutMs);
    m_answered = m_answered || result != kRadarAckMissing;
    return result;
}

FirmwareResult FirmwareDownloader::StepFailure() const {
    return m_answered ? FirmwareResult::Failed : FirmwareResult::NoSensor;
}

bool FirmwareDownloader::QueryRunningMode(uint32_t& answer) {
    const uint16_t code =
        SendCommand(kCmdGetRunningMode, nullptr, 0, &answer, kBootLoaderQueryTimeoutMs);
    if (code != 0) {
        DbgOutputA(kDbgLevelWarning, "Firmware: running mode question failed, code 0x%04x\r\n",
                   code);
        return false;
    }
    DbgOutputA(kDbgLevelInfo, "Firmware: running mode %u (%s)\r\n", answer,
               RunningModeName(answer));
    return true;
}

FirmwareResult FirmwareDownloader::GetFirmwareInfo() {
    m_answered = false;
    if (m_portNumber == -1) {
        ShowNote(kStrPortEmpty);
        return FirmwareResult::NoPort;
    }
    if (OpenPort() == 0) {
        ShowNote(kStrOpenPortFailed);
        return FirmwareResult::OpenFailed;
    }
    const PortGuard port(m_link, &m_inBootLoader);
    m_sink.AppendInfoText(FirmwareText(kStrObtainingFwInfo));
    if (!StartCmdMode()) {
        DbgOutputA(kDbgLevelWarning, "Firmware: command mode could not be entered\r\n");
        m_sink.AppendInfoText(FirmwareText(kStrEnableProgramFailed));
    }

    uint32_t answer = 0;
    if (!QueryRunningMode(answer)) {
        m_sink.AppendInfoText(FirmwareText(kStrRunningModeFailed));
        m_sink.SetLabelText(FirmwareLabel::RunningMode, CurrentFirmwareText(std::nullopt));
        return StepFailure();
    }
    m_inBootLoader = answer == kRunningModeBootLoader;
    m_sink.SetLabelText(FirmwareLabel::RunningMode, CurrentFirmwareText(answer));

    uint16_t code = SendCommand(kCmdGetDeviceId, nullptr, 0, &answer, kBootLoaderQueryTimeoutMs);
    if (code != 0) {
        DbgOutputA(kDbgLevelWarning, "Firmware: device identifier question failed, code 0x%04x\r\n",
                   code);
        m_sink.AppendInfoText(FirmwareText(kStrDeviceIdFailed));
        m_sink.SetLabelText(FirmwareLabel::DeviceId, FirmwareText(kStrDeviceIdUnknown));
        return StepFailure();
    }
    const std::string idText = DeviceIdText(answer);
    m_sink.AppendInfoText(idText);
    m_sink.SetLabelText(FirmwareLabel::DeviceId, idText);

    code = SendCommand(kCmdGetPartitionInfo, nullptr, 0, &answer, kBootLoaderQueryTimeoutMs);
    if (code != 0) {
        DbgOutputA(kDbgLevelWarning, "Firmware: partition question failed, code 0x%04x\r\n", code);
        m_sink.AppendInfoText(FirmwareText(kStrPartitionInfoFailed));
        return StepFailure();
    }
    std::vector<FirmwarePartitionItem> items;
    for (int i = 0; i < kMaxFirmwarePartitions; ++i) {
        if ((answer >> i) & 1u) items.push_back({PartitionItemText(i), i});
    }
    m_selectedPartition = items.empty() ? -1 : items.front().tag;
    m_sink.SetPartitionItems(items, items.empty() ? -1 : 0);
    DbgOutputA(kDbgLevelInfo, "Firmware: partitions 0x%08x\r\n", answer);
    return FirmwareResult::Succeeded;
}

FirmwareResult FirmwareDownloader::SwitchToBootLoader() {
    DbgOutputA(kDbgLevelInfo, "Firmware: software reset into the boot loader\r\n");
    StartCmdMode();
    m_link.SendCommandNoCheckAck(kCmdSoftwareReset);
    m_link.Sleep(kSoftwareResetWaitMs);
    // Opened again without closing: the library closes and reopens an open link.
    if (OpenPort() == 0) return FirmwareResult::OpenFailed;
    uint32_t answer = 0;
    if (!QueryRunningMode(answer)) return StepFailure();
    if (answer != kRunningModeBootLoader) return FirmwareResult::Failed;
    return FirmwareResult::Succeeded;
}

FirmwareResult FirmwareDownloader::DownloadFirmware(int partition, const WCHAR* path) {
    m_answered = false;
    if (m_portNumber <= 0) {
        ShowNote(kStrPortEmpty);
        return FirmwareResult::NoPort;
    }
    if (OpenPort() == 0) {
        ShowNote(kStrOpenPortFailed);
        return FirmwareResult::OpenFailed;
    }
    PortGuard port(m_link);
    FirmwareResult result = FirmwareResult::Succeeded;
    std::vector<uint8_t> image;
    if (partition < 0 || partition >= kMaxFirmwarePartitions) {
        // Anything outside 0 to 31 would shift the partition mask out of its 32 bits.
        DbgOutputA(kDbgLevelWarning, "Firmware: no download partition (%d)\r\n", partition);
        ShowNote(kStrNoPartition);
        result = FirmwareResult::NoPartition;
    } else if (!ReadFirmwareImage(path, image)) {
        ShowNote(kStrBinFileError);
        result = FirmwareResult::BadImage;
    } else {
        result = SendImage(partition, image);
    }
    m_sink.ScrollInfoToEnd();
    port.Close();
    m_sink.SetDownloadingInfoVisible(false);
    const bool succeeded = result == FirmwareResult::Succeeded;
    DbgOutputA(succeeded ? kDbgLevelInfo : kDbgLevelWarning,
               "Firmware: download into partition %d %s\r\n", partition,
               succeeded ? "succeeded" : "failed");
    return result;
}

FirmwareResult FirmwareDownloader::SendImage(int partition, const std::vector<uint8_t>& image) {
    // The answer keeps the value of the previous command when an acknowledgement is not 6 bytes
    // long: that is the error code the failure lines show.
    uint32_t answer = 0;
    if (!m_inBootLoader) {
        const FirmwareResult switched = SwitchToBootLoader();
        if (switched != FirmwareResult::Succeeded) {
            DbgOutputA(kDbgLevelWarning,
                       "Firmware: the sensor did not restart into its boot loader (%s)\r\n",
                       switched == FirmwareResult::OpenFailed ? "port did not open again"
                                                              : "running mode");
            m_sink.AppendInfoText(FirmwareText(kStrSoftResetFailed));
            return switched;
        }
        answer = kRunningModeBootLoader;  // what the running mode question left in it
    }

    const auto size = static_cast<uint32_t>(image.size());  // bounded by kMaxFirmwareImageBytes
    const uint32_t checksum = ImageChecksum(image.data(), image.size());
    m_sink.SetLabelText(FirmwareLabel::FileSize, BinFileSizeText(size));
    m_sink.SetLabelText(FirmwareLabel::FileVerifyNum, BinFileChecksumText(checksum));
    m_sink.SetLabelText(FirmwareLabel::DownloadProgressText, DownloadProgressText(0.0));
    m_sink.SetProgressRange(size);
    m_sink.SetProgressValue(0);
    m_sink.SetDownloadingInfoVisible(true);

    const auto info = BuildBinFileInfo(partition, size, checksum);
    DbgOutputA(kDbgLevelInfo, "Firmware: image of %u bytes, checksum 0x%08x, for partition %d\r\n",
               size, checksum, partition);
    uint16_t code =
        SendCommand(kCmdSendBinFileInfo, info.data(), info.size(), &answer, kBinFileInfoTimeoutMs);
    if (code != 0) {
        DbgOutputA(kDbgLevelWarning,
                   "Firmware: bin file information refused, code 0x%04x, answer %u\r\n", code,
                   answer);
        m_sink.AppendInfoText(SendBinInfoFailedText(answer));
        return StepFailure();
    }
    uint32_t packetSize = answer & 0xFFFFu;
    if (packetSize <= kPacketOverheadBytes) {
        DbgOutputA(kDbgLevelWarning, "Firmware: packet size %u leaves no room for data\r\n",
                   packetSize);
        m_sink.AppendInfoText(FirmwareText(kStrPacketTooSmall));
        return FirmwareResult::Failed;
    }
    if (packetSize > kMaxPacketSize) {
        // No command frame can carry more; smaller packets are always accepted.
        DbgOutputA(kDbgLevelWarning, "Firmware: packet size %u beyond a command frame, %u used\r\n",
                   packetSize, kMaxPacketSize);
        packetSize = kMaxPacketSize;
    }
    m_sink.AppendInfoText(FirmwareText(kStrDownloading));

    const size_t dataPerPacket = packetSize - kPacketOverheadBytes;
    std::vector<uint8_t> packet;
    packet.reserve(kPacketHeaderBytes + dataPerPacket + 3);
    uint32_t sequence = 0;
    size_t sent = 0;
    for (;;) {
        const PacketSlice slice = NextPacketSlice(sent, image.size(), dataPerPacket);
        BuildPacket(sequence, image.data() + slice.offset, slice.count, slice.padding, packet);
        code = SendCommand(kCmdSendPacket, packet.data(), static_cast<uint32_t>(packet.size()),
                           &answer, kPacketTimeoutMs);
        if (code != 0) {
            DbgOutputA(kDbgLevelWarning, "Firmware: packet %u refused, code 0x%04x, answer %u\r\n",
                       sequence, code, answer);
            m_sink.AppendInfoText(PacketFailedText(sequence, answer));
            return StepFailure();
        }
        ++sequence;
        sent += slice.count;
        m_sink.SetLabelText(FirmwareLabel::DownloadProgressText,
                            DownloadProgressText(static_cast<double>(sent) * 100.0 / size));
        m_sink.SetProgressValue(static_cast<uint32_t>(sent));
        if (slice.last) {
            m_sink.AppendInfoText(FirmwareText(kStrDownloadSucceeded));
            return FirmwareResult::Succeeded;
        }
    }
}
