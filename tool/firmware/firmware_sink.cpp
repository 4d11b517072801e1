#include "firmware/firmware_sink.h"

const char* FirmwareLabelName(FirmwareLabel label) {
    switch (label) {
        case FirmwareLabel::RunningMode:
            return "RunningMode";
        case FirmwareLabel::DeviceId:
            return "DeviceId";
        case FirmwareLabel::FileSize:
            return "FileSize";
        case FirmwareLabel::FileVerifyNum:
            return "FileVerifyNum";
        case FirmwareLabel::DownloadProgressText:
            return "DownloadProgressText";
    }
    return "";
}
