#include "firmware/firmware_jobs.h"

#include <algorithm>

#include "core/base_string.h"
#include "core/dbg_output.h"
#include "core/utf_convert.h"
#include "dataprocess/radar_command_mode.h"
#include "firmware/firmware_protocol.h"
#include "firmware/firmware_sink.h"
#include "firmware/firmware_texts.h"
#include "resources/string_table.h"

namespace {

// The sensor's version is read at the open: no serial number, the version, command mode left.
constexpr int kVersionOpenReadSerialNumber = 0;
constexpr int kVersionOpenReadVersion = 1;
constexpr int kVersionOpenKeepCmdMode = 0;

const char* ThreadNameOf(FirmwareJobKind kind) {
    switch (kind) {
        case FirmwareJobKind::Download:
        case FirmwareJobKind::Info:
            return FirmwareJobRunner::kDownloadThreadName;
        case FirmwareJobKind::FetchAndDownload:
            return FirmwareJobRunner::kGetAndDownloadThreadName;
        case FirmwareJobKind::ListVersions:
        case FirmwareJobKind::Fetch:
            break;
    }
    return FirmwareJobRunner::kServiceThreadName;
}

}  // namespace

void FirmwarePartitionListTap::SetLabelText(FirmwareLabel label, const std::string& text) {
    m_sink.SetLabelText(label, text);
}
void FirmwarePartitionListTap::AppendInfoText(const std::string& text) {
    m_sink.AppendInfoText(text);
}
void FirmwarePartitionListTap::ScrollInfoToEnd() {
    m_sink.ScrollInfoToEnd();
}
void FirmwarePartitionListTap::SetPartitionItems(const std::vector<FirmwarePartitionItem>& items,
                                                 int selectedIndex) {
    m_items = items;
    m_sink.SetPartitionItems(items, selectedIndex);
}
void FirmwarePartitionListTap::SetProgressRange(uint32_t maximum) {
    m_sink.SetProgressRange(maximum);
}
void FirmwarePartitionListTap::SetProgressValue(uint32_t value) {
    m_sink.SetProgressValue(value);
}
void FirmwarePartitionListTap::SetDownloadingInfoVisible(bool visible) {
    m_sink.SetDownloadingInfoVisible(visible);
}
void FirmwarePartitionListTap::ShowMessageBox(const std::string& title, const std::string& text,
                                              FirmwareMessageIcon icon) {
    m_sink.ShowMessageBox(title, text, icon);
}

FirmwareJobRunner::FirmwareJobRunner(IBootLoaderLink& link, IRadarDevice* device,
                                     IFirmwareSink& sink, IFirmwareJobEvents& events)
    : m_device(device), m_sink(sink), m_events(events), m_tap(sink), m_downloader(link, m_tap) {}

FirmwareJobRunner::~FirmwareJobRunner() {
    m_thread.StopThread();
}

bool FirmwareJobRunner::Start(const FirmwareJob& job) {
    if (Busy()) return false;
    // The previous worker has reported its end; reap it before its job is replaced.
    m_thread.StopThread();
    m_job = job;
    SetBusy(true);
    if (m_thread.StartThread(ThreadNameOf(job.kind), this, 0, 0, kWorkerStackBytes, 0) == 0) {
        SetBusy(false);
        DbgOutputA(kDbgLevelError, "firmware: no worker thread for the job\r\n");
        return false;
    }
    return true;
}

bool FirmwareJobRunner::Busy() const {
    std::lock_guard<std::mutex> lock(m_busyMutex);
    return m_busy;
}

void FirmwareJobRunner::SetBusy(bool busy) {
    std::lock_guard<std::mutex> lock(m_busyMutex);
    m_busy = busy;
    m_busyChanged.notify_all();
}

void FirmwareJobRunner::Wait() {
    // A stop request before the body ran would drop the job: wait for its end first.
    {
        std::unique_lock<std::mutex> lock(m_busyMutex);
        m_busyChanged.wait(lock, [this] { return !m_busy; });
    }
    m_thread.StopThread();
}

int FirmwareJobRunner::ThreadLoop(uint64_t) {
    Run(m_job);
    SetBusy(false);
    return 0;
}

FirmwareJobOutcome FirmwareJobRunner::Run(const FirmwareJob& job) {
    FirmwareJobOutcome outcome;
    outcome.kind = job.kind;
    switch (job.kind) {
        case FirmwareJobKind::Download:
            outcome.firmware = m_downloader.DownloadFirmware(m_downloader.SelectedPartition(),
                                                             job.imagePath.c_str());
            outcome.succeeded = outcome.firmware == FirmwareResult::Succeeded;
            break;
        case FirmwareJobKind::Info:
            outcome.firmware = m_downloader.GetFirmwareInfo();
            outcome.succeeded = outcome.firmware == FirmwareResult::Succeeded;
            break;
        case FirmwareJobKind::FetchAndDownload:
            FetchAndDownload(job, outcome);
            break;
        case FirmwareJobKind::ListVersions:
            ListVersions(outcome);
            break;
        case FirmwareJobKind::Fetch: {
            FirmwareFetchResult fetched;
            outcome.succeeded = Fetch(job, kStrError, fetched);
            outcome.service = fetched.status;
            if (outcome.succeeded) {
                outcome.imagePath = FirmwareImagePath(fetched.versionFolder,
                                                      m_downloader.SelectedPartition(), true);
            }
            break;
        }
    }
    m_events.OnFirmwareJobEnded(outcome);
    return outcome;
}

void FirmwareJobRunner::ShowServiceFailure(int titleId, FirmwareServiceStatus status) {
    const int textId = FirmwareServiceMessageId(status);
    if (textId == 0) return;
    m_sink.ShowMessageBox(FirmwareText(titleId), FirmwareText(textId),
                          FirmwareMessageIcon::Information);
}

void FirmwareJobRunner::ListVersions(FirmwareJobOutcome& outcome) {
    const SerialLineSettings& line = m_downloader.LineSettings();
    if (m_device != nullptr &&
        Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
            m_device, m_downloader.PortNumber(), line.baudRate, line.byteSize, line.parity,
            line.stopBits, kCmdModeProtocolVersion, kVersionOpenReadSerialNumber,
            kVersionOpenReadVersion, kVersionOpenKeepCmdMode, kCmdModeAckTimeoutMs,
            kFirmwareSettleMs) != 0) {
        CBaseStringA version;
        Orbo_Interface_RadarDevice_GetVersion(m_device, version);
        outcome.sensorVersion = version.GetString();
        Orbo_Interface_RadarDevice_Serial_Close(m_device);
    }
    outcome.service = ListNewerFirmwareVersions(outcome.sensorVersion, outcome.versions);
    outcome.succeeded = outcome.service == FirmwareServiceStatus::Ok;
    if (!outcome.succeeded) ShowServiceFailure(kStrNote, outcome.service);
}

bool FirmwareJobRunner::Fetch(const FirmwareJob& job, int titleId, FirmwareFetchResult& fetched) {
    fetched = FetchFirmwareVersion(job.version, job.imageFolder, &m_events);
    if (fetched.status == FirmwareServiceStatus::Ok) return true;
    // An archive without images shows as the image lookup's failure of the caller.
    if (fetched.status != FirmwareServiceStatus::UnpackFailed) {
        ShowServiceFailure(titleId, fetched.status);
    }
    return false;
}

void FirmwareJobRunner::FetchAndDownload(const FirmwareJob& job, FirmwareJobOutcome& outcome) {
    // The query refills the partition list with its first entry chosen; the partition the user
    // had chosen stays chosen when the sensor still offers it.
    const int chosen = m_downloader.SelectedPartition();
    outcome.firmware = m_downloader.GetFirmwareInfo();
    if (outcome.firmware != FirmwareResult::Succeeded) return;
    const auto kept =
        std::find_if(m_tap.Items().begin(), m_tap.Items().end(),
                     [chosen](const FirmwarePartitionItem& item) { return item.tag == chosen; });
    if (chosen >= 0 && kept != m_tap.Items().end() && chosen != m_downloader.SelectedPartition()) {
        m_downloader.SetSelectedPartition(chosen);
        m_sink.SetPartitionItems(m_tap.Items(), static_cast<int>(kept - m_tap.Items().begin()));
    }

    FirmwareFetchResult fetched;
    const bool got = Fetch(job, kStrError, fetched);
    outcome.service = fetched.status;
    const int partition = m_downloader.SelectedPartition();
    outcome.imagePath = got ? FirmwareImagePath(fetched.versionFolder, partition, false) : "";
    if (outcome.imagePath.empty()) {
        if (got || fetched.status == FirmwareServiceStatus::UnpackFailed) {
            m_sink.ShowMessageBox(FirmwareText(kStrNote), FirmwareText(kStrBinFileError),
                                  FirmwareMessageIcon::Error);
        }
        outcome.firmware = FirmwareResult::BadImage;
        return;
    }
    std::u16string path;
    if (!Utf8ToUtf16(outcome.imagePath, path)) {
        outcome.firmware = FirmwareResult::BadImage;
        return;
    }
    outcome.firmware = m_downloader.DownloadFirmware(partition, path.c_str());
    outcome.succeeded = outcome.firmware == FirmwareResult::Succeeded;
}
