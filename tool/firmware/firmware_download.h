// The serial firmware download procedures: asking the sensor what it runs, its device identifier
// and its partitions (GetFirmwareInfo), and writing a firmware image into one partition through
// its boot loader (DownloadFirmware).
//
// A FirmwareDownloader holds what the firmware window keeps for them: the serial settings, the
// in-boot-loader flag (set only by GetFirmwareInfo) and the selected partition (set by
// GetFirmwareInfo and by the window's list selection). Both procedures open the port themselves
// and close it on every exit; they report through an IFirmwareSink and reach the sensor through
// an IBootLoaderLink (boot_loader_device.h binds one to a radar device).
//
// Not guarded: one thread at a time. A procedure blocks its thread for the whole exchange (a
// download: seconds); the firmware window runs it on its worker while both windows are disabled.
#pragma once

#include <cstdint>
#include <vector>

#include "core/platform_types.h"
#include "serial/serial_port_open.h"

class IBootLoaderLink;
class IFirmwareSink;

// The line rate the firmware window starts with.
constexpr uint32_t kFirmwareDefaultBaudRate = 256000;

// How a firmware procedure ended. Every failure was shown through the sink before it returns.
enum class FirmwareResult {
    Succeeded,
    NoPort,       // no port number (message box)
    OpenFailed,   // the port did not open, at the start or again after the restart into the boot
                  // loader (message box, or the information box's reset line)
    NoSensor,     // the port opened but nothing answered: no command mode, no acknowledgement
    Failed,       // the sensor answered but a step failed (a line in the information box)
    NoPartition,  // DownloadFirmware: a partition outside 0 to 31 (message box)
    BadImage,     // DownloadFirmware: the image file is unusable (message box)
};

class FirmwareDownloader {
public:
    // Both must outlive the downloader.
    FirmwareDownloader(IBootLoaderLink& link, IFirmwareSink& sink);

    // The port by its number in the port table (-1: no port) and its line settings.
    int PortNumber() const { return m_portNumber; }
    void SetPortNumber(int portNumber) { m_portNumber = portNumber; }
    const SerialLineSettings& LineSettings() const { return m_line; }
    void SetLineSettings(const SerialLineSettings& line) { m_line = line; }

    // True when the last running-mode answer of GetFirmwareInfo was the boot loader.
    bool InBootLoader() const { return m_inBootLoader; }
    // Partition 0 to 31 chosen for a download, -1 for none.
    int SelectedPartition() const { return m_selectedPartition; }
    void SetSelectedPartition(int partition) { m_selectedPartition = partition; }

    // Port number -1: message box, NoPort. Otherwise opens the port (message box on failure,
    // OpenFailed), enters command mode, asks the running mode, the device identifier and the
    // partitions, filling "RunningMode", "DeviceId" and the partition list (the first partition
    // selected, or none); leaves command mode unless the boot loader runs and closes the port.
    // Succeeded when all three answers arrived; the first failed question is a line in the
    // information box and ends the query (Failed, or NoSensor when nothing answered).
    FirmwareResult GetFirmwareInfo();

    // Writes the file at `path` (UTF-16, '\\' accepted as a separator) into `partition`:
    // switches the sensor into its boot loader first unless GetFirmwareInfo found it there,
    // announces the image, then sends it in packets of the size the sensor answers, showing the
    // progress. Succeeded only when the last packet was acknowledged. A port number <= 0
    // (NoPort), a port that does not open (OpenFailed), a partition outside 0 to 31
    // (NoPartition) and a file that is missing, unreadable, empty or larger than
    // kMaxFirmwareImageBytes (BadImage) are message boxes; later failures are lines in the
    // information box. The port is closed on every exit; the sensor is neither reset nor taken
    // out of command mode after the last packet.
    FirmwareResult DownloadFirmware(int partition, const WCHAR* path);

private:
    int OpenPort();
    void ShowNote(int textId);
    // The link's calls that count whether the sensor answered anything in this procedure.
    bool StartCmdMode();
    uint16_t SendCommand(uint16_t code, const uint8_t* payload, uint32_t length, uint32_t* answer,
                         uint32_t timeoutMs);
    // The result of a failed step: Failed once the sensor answered anything in this procedure,
    // NoSensor before.
    FirmwareResult StepFailure() const;
    bool QueryRunningMode(uint32_t& answer);
    FirmwareResult SwitchToBootLoader();
    FirmwareResult SendImage(int partition, const std::vector<uint8_t>& image);

    IBootLoaderLink& m_link;
    IFirmwareSink& m_sink;
    int m_portNumber = 0;
    SerialLineSettings m_line{.baudRate = kFirmwareDefaultBaudRate};
    bool m_inBootLoader = false;
    int m_selectedPartition = -1;
    bool m_answered = false;  // in the running procedure
};

// Reads the firmware image at `path` into `image`. False (logged) when the path does not convert
// or the file is missing, not a regular file, unreadable, empty or larger than
// kMaxFirmwareImageBytes; the size is checked before anything is allocated.
bool ReadFirmwareImage(const WCHAR* path, std::vector<uint8_t>& image);
