// The firmware window's work, toolkit-free: the serial procedures (information, download), the
// online listing and fetch, and the fetch followed by a download, each run as one job on the
// window's worker thread so that the window thread stays free to paint the progress.
//
// A job reports what the procedures show through the IFirmwareSink (the window passes every
// change on to its window thread), the fetch's progress and the job's end through
// IFirmwareJobEvents. Messages of the online part (failed log-on, list, fetch, an image missing
// from the fetched version) are message boxes of the sink.
//
// Threads: Start, Busy, Wait and Downloader on one thread (the window thread); a job then runs
// on the worker and owns the downloader until it ended, so the downloader's settings (port, line,
// selected partition) are changed between jobs only.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/base_thread.h"
#include "dataprocess/radar_device_interface.h"
#include "firmware/firmware_download.h"
#include "firmware/firmware_fetch.h"

#include "firmware/firmware_sink.h"

class IBootLoaderLink;

enum class FirmwareJobKind {
    Download,          // DownloadFirmware with the partition and the image path
    Info,              // GetFirmwareInfo
    FetchAndDownload,  // GetFirmwareInfo, fetch the version, download its image of the partition
    ListVersions,      // the sensor's version, then the service's newer versions
    Fetch,             // fetch the version; the image for the path box
};

struct FirmwareJob {
    FirmwareJob() = default;
    explicit FirmwareJob(FirmwareJobKind jobKind) : kind(jobKind) {}

    FirmwareJobKind kind = FirmwareJobKind::Info;
    std::u16string imagePath;  // Download
    std::string version;       // Fetch, FetchAndDownload
    std::string imageFolder;   // Fetch, FetchAndDownload: empty for GetAppFolder's FW_Image
};

struct FirmwareJobOutcome {
    FirmwareJobKind kind = FirmwareJobKind::Info;
    bool succeeded = false;
    // The serial procedure's result (Download, Info, FetchAndDownload).
    FirmwareResult firmware = FirmwareResult::Failed;
    // The online part's status (ListVersions, Fetch, FetchAndDownload).
    FirmwareServiceStatus service = FirmwareServiceStatus::Ok;
    std::string sensorVersion;          // ListVersions: empty when the port did not open
    std::vector<std::string> versions;  // ListVersions: the newer ones, in the service's order
    // Fetch: the image for the path box (APP<partition>.bin, else the first ".bin"; empty when
    // none); FetchAndDownload: the image written.
    std::string imagePath;
};

class IFirmwareJobEvents : public IFirmwareFetchProgress {
public:
    // The job's last call, on the thread that ran it.
    virtual void OnFirmwareJobEnded(const FirmwareJobOutcome& outcome) = 0;
};

// Passes everything on to a sink and keeps the last partition list.
class FirmwarePartitionListTap : public IFirmwareSink {
public:
    explicit FirmwarePartitionListTap(IFirmwareSink& sink) : m_sink(sink) {}

    void SetLabelText(FirmwareLabel label, const std::string& text) override;
    void AppendInfoText(const std::string& text) override;
    void ScrollInfoToEnd() override;
    void SetPartitionItems(const std::vector<FirmwarePartitionItem>& items,
                           int selectedIndex) override;
    void SetProgressRange(uint32_t maximum) override;
    void SetProgressValue(uint32_t value) override;
    void SetDownloadingInfoVisible(bool visible) override;
    void ShowMessageBox(const std::string& title, const std::string& text,
                        FirmwareMessageIcon icon) override;

    const std::vector<FirmwarePartitionItem>& Items() const { return m_items; }

private:
    IFirmwareSink& m_sink;
    std::vector<FirmwarePartitionItem> m_items;
};

class FirmwareJobRunner : private IThreadFuncInterface {
public:
    // Worker names.
    static constexpr const char* kDownloadThreadName = "Download";
    static constexpr const char* kGetAndDownloadThreadName = "GetAndDownload";
    static constexpr const char* kServiceThreadName = "FirmwareService";
    static constexpr int kWorkerStackBytes = 0x400000;

    // All must outlive the runner. `device` is the one `link` is bound to (for the sensor's
    // version).
    FirmwareJobRunner(IBootLoaderLink& link, IRadarDevice* device, IFirmwareSink& sink,
                      IFirmwareJobEvents& events);
    // Waits for a running job.
    ~FirmwareJobRunner() override;
    FirmwareJobRunner(const FirmwareJobRunner&) = delete;
    FirmwareJobRunner& operator=(const FirmwareJobRunner&) = delete;

    // Starts the job on the worker; false (nothing started) while a job runs or when no thread
    // can be made.
    bool Start(const FirmwareJob& job);
    // True from Start until the job's end was reported.
    bool Busy() const;
    // Waits until the running job has ended and its thread is gone (none: returns at once).
    void Wait();

    // The procedures' settings (port, line settings, selected partition); changed only while no
    // job runs.
    FirmwareDownloader& Downloader() { return m_downloader; }

    // Runs a job on the calling thread and reports its end.
    FirmwareJobOutcome Run(const FirmwareJob& job);

private:
    int ThreadLoop(uint64_t param) override;
    void SetBusy(bool busy);
    void ListVersions(FirmwareJobOutcome& outcome);
    bool Fetch(const FirmwareJob& job, int titleId, FirmwareFetchResult& fetched);
    void FetchAndDownload(const FirmwareJob& job, FirmwareJobOutcome& outcome);
    void ShowServiceFailure(int titleId, FirmwareServiceStatus status);

    IRadarDevice* m_device;
    IFirmwareSink& m_sink;
    IFirmwareJobEvents& m_events;
    FirmwarePartitionListTap m_tap;
    FirmwareDownloader m_downloader;
    FirmwareJob m_job;  // the worker's job, set before its start
    mutable std::mutex m_busyMutex;
    std::condition_variable m_busyChanged;
    bool m_busy = false;
    CBaseThread m_thread;  // last: stopped before the members it uses go away
};
