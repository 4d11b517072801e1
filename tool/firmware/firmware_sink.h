// What the firmware procedures show, as a small interface: the firmware window implements it
// with its widgets, zorvan-cli with terminal output, tests with a recorder.
//
// Every call comes on the thread that runs the procedure (the window's worker or its interface
// thread); an implementation that owns widgets passes the change to its window thread. Texts are
// UTF-8 from the string table, already formatted, with their "\r\n" line ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The labels the procedures set.
enum class FirmwareLabel {
    RunningMode,           // "Current Firmware: ..."
    DeviceId,              // device identifier text
    FileSize,              // size of the bin file
    FileVerifyNum,         // image checksum
    DownloadProgressText,  // download progress in percent
};

// The window's control name of a label ("RunningMode", "DeviceId", "FileSize", "FileVerifyNum",
// "DownloadProgressText").
const char* FirmwareLabelName(FirmwareLabel label);

// One entry of the partition list: its text ("App%d") and its tag (the partition number).
struct FirmwarePartitionItem {
    std::string text;
    int tag = 0;
};

enum class FirmwareMessageIcon { Information, Error };

class IFirmwareSink {
public:
    virtual ~IFirmwareSink() = default;

    virtual void SetLabelText(FirmwareLabel label, const std::string& text) = 0;
    // Appends to the information box (the text carries its own line end).
    virtual void AppendInfoText(const std::string& text) = 0;
    // Scrolls the information box to its last line.
    virtual void ScrollInfoToEnd() = 0;
    // Replaces the partition list ("DownLoadAppCombo") and selects the item at `selectedIndex`
    // (-1: none).
    virtual void SetPartitionItems(const std::vector<FirmwarePartitionItem>& items,
                                   int selectedIndex) = 0;
    // The download progress bar ("DownloadProgress"), counted in image bytes.
    virtual void SetProgressRange(uint32_t maximum) = 0;
    virtual void SetProgressValue(uint32_t value) = 0;
    // Shows or hides the "DownloadingInfoLable" label, visible only during a download.
    virtual void SetDownloadingInfoVisible(bool visible) = 0;
    // A top-most message box; it may block until the user dismisses it.
    virtual void ShowMessageBox(const std::string& title, const std::string& text,
                                FirmwareMessageIcon icon) = 0;
};
