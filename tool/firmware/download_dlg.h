// The firmware page: what the sensor runs, its device identifier and partitions; a local image
// file or a version of the online firmware service written into a partition. Its controls come
// from the skin file Skin/<ENG|CHS>/Download/Download_FW.xml (platform/skin_reader.h) and it
// reacts to their notifications by name.
//
// Every procedure runs as a job on the window's one worker (firmware/firmware_jobs.h): the serial
// information and download, the online version listing and fetch, and the fetch followed by a
// download. While a job runs the window and the main window are disabled, the progress bars
// move, and the window refuses to be closed (IsBusy, RefuseCloseWhileBusy for the main window's
// own close). The worker never touches a widget: every change and every message box is passed to
// the window thread.
//
// The main window creates it in its page area with its language and copies its serial settings
// in with SetSerialSettings whenever they change; the window opens and closes the port itself for
// each job. Window thread only.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "firmware/firmware_jobs.h"
#include "resources/string_table.h"
#include "serial/serial_port_open.h"

class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class SkinView;
class WindowMessageTarget;

class CDownloadDlg : public QWidget, public IFirmwareJobEvents {
public:
    // The window's object name, as the main window's page area knows it.
    static constexpr const char* kWindowName = "DownloadDlg";

    CDownloadDlg(QWidget* parent, UiLanguage language);
    // Waits for a running job (a flash is never cut off), then closes and frees the device.
    ~CDownloadDlg() override;
    CDownloadDlg(const CDownloadDlg&) = delete;
    CDownloadDlg& operator=(const CDownloadDlg&) = delete;

    // The main window's serial settings: port number in the port table, line settings. Taken
    // for the next job (a running one keeps those it started with).
    void SetSerialSettings(int portNumber, const SerialLineSettings& line);
    int PortNumber() const { return m_portNumber; }
    const SerialLineSettings& LineSettings() const { return m_line; }

    // True while a job runs (from its start until the window has taken its end).
    bool IsBusy() const;
    // For a close request: while busy, shows why the close is refused and returns true.
    bool RefuseCloseWhileBusy();

    // False when the skin could not be loaded (SkinError tells why; the window then shows the
    // reason and does nothing).
    bool SkinLoaded() const { return m_controlsFound; }
    const QString& SkinError() const { return m_skinError; }
    const QString& SkinPath() const { return m_skinPath; }
    const SkinView& Skin() const { return *m_skin; }
    // The download file path as the window keeps it.
    const std::u16string& DownloadFilePath() const { return m_downloadPath; }
    // The partition the next download writes (-1: none).
    int SelectedPartition();

    // The online download's progress (any thread): percent as FirmwareFetchPercent gives it
    // (-1 while the total is unknown, shown as 0).
    void OnFirmwareFetchProgress(int percent, uint64_t doneBytes, uint64_t totalBytes,
                                 double bytesPerMs, const std::string& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class Sink;

    void LoadSkin(UiLanguage language);
    bool FindControls();
    void OnNotify(const QString& type, const QString& sender);
    void OnClick(const QString& sender);
    bool StartJob(FirmwareJob job);
    void OnFirmwareJobEnded(const FirmwareJobOutcome& outcome) override;
    void FinishJob(const FirmwareJobOutcome& outcome);
    void SetVersionControlsEnabled(bool enabled);
    void ShowDownloadPath();
    void ChooseFile();
    void ShowMessage(const QString& title, const QString& text, uint32_t icon);

    std::unique_ptr<SkinView> m_skin;
    QString m_skinPath;
    QString m_skinError;
    bool m_controlsFound = false;
    // The named controls (valid when m_controlsFound).
    QLabel* m_getVersionProgressText = nullptr;
    QComboBox* m_appCombo = nullptr;
    QComboBox* m_versionCombo = nullptr;
    QProgressBar* m_downloadProgress = nullptr;
    QProgressBar* m_getVersionProgress = nullptr;
    QPlainTextEdit* m_infoEdit = nullptr;
    QLineEdit* m_pathEdit = nullptr;
    QWidget* m_downloadingInfo = nullptr;

    int m_portNumber = 0;
    SerialLineSettings m_line{.baudRate = kFirmwareDefaultBaudRate};
    std::u16string m_downloadPath;
    QWidget* m_disabledMainWindow = nullptr;  // the window disabled with this one during a job
    bool m_jobRunning = false;                // until the window took the job's end

    std::unique_ptr<WindowMessageTarget> m_target;
    std::unique_ptr<Sink> m_sink;
    // The device and the worker; the runner is last, so it is stopped first.
    struct Device;
    std::unique_ptr<Device> m_device;
};
