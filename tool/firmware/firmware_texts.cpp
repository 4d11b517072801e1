#include "firmware/firmware_texts.h"

#include "core/text_format.h"
#include "firmware/firmware_protocol.h"
#include "resources/string_table.h"

namespace {

// Formats a string table text; the text's conversions are those named beside its id.
std::string Format(int id, ...) {
    std::string out;
    va_list args;
    va_start(args, id);
    FormatTextV(out, LoadStringText(id), args);
    va_end(args);
    return out;
}

}  // namespace

std::string FirmwareText(int id) {
    return LoadStringText(id);
}

std::string CurrentFirmwareText(std::optional<uint32_t> mode) {
    return Format(kStrCurrentFirmware, mode ? RunningModeName(*mode) : "Unknown");
}

std::string DeviceIdText(uint32_t deviceId) {
    return Format(kStrDeviceId, static_cast<unsigned>(deviceId));
}

std::string BinFileSizeText(uint32_t size) {
    return Format(kStrBinFileSize, static_cast<int>(size));
}

std::string BinFileChecksumText(uint32_t checksum) {
    return Format(kStrBinFileChecksum, static_cast<unsigned>(checksum));
}

std::string DownloadProgressText(double percent) {
    return Format(kStrDownloadProgress, percent);
}

std::string SendBinInfoFailedText(uint32_t errorCode) {
    return Format(kStrSendBinInfoFailed, static_cast<int>(errorCode));
}

std::string PacketFailedText(uint32_t sequence, uint32_t errorCode) {
    return Format(kStrPacketFailed, static_cast<int>(sequence), static_cast<int>(errorCode));
}

std::string PartitionItemText(int partition) {
    std::string out;
    FormatText(out, "App%d", partition);
    return out;
}
