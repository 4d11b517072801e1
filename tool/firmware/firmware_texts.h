// The texts the firmware procedures show, formatted from the string table in the selected
// language. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A string table text as it stands.
std::string FirmwareText(int id);

// "Current Firmware: %s" with the running mode's name (RunningModeName); "Unknown" when the
// question failed (no mode).
std::string CurrentFirmwareText(std::optional<uint32_t> mode);
// "Device ID: 0x%x\r\n".
std::string DeviceIdText(uint32_t deviceId);
// "Size of bin file: %d byte\r\n".
std::string BinFileSizeText(uint32_t size);
// "Checksum: 0x%08x\r\n".
std::string BinFileChecksumText(uint32_t checksum);
// "Download Progress: %.2f%%\r\n".
std::string DownloadProgressText(double percent);
// "Failed to send bin file information, error code: %d\r\n".
std::string SendBinInfoFailedText(uint32_t errorCode);
// "Failed to download, serial no.: %d, error code: %d\r\n".
std::string PacketFailedText(uint32_t sequence, uint32_t errorCode);
// "App%d": a partition's entry in the partition list.
std::string PartitionItemText(int partition);
