#include "firmware/download_dlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/app_config.h"
#include "app/program_icon.h"
#include "core/dbg_output.h"
#include "core/size_limits.h"
#include "core/utf_convert.h"
#include "device/device_connection.h"
#include "firmware/boot_loader_device.h"
#include "firmware/download_settings.h"
#include "firmware/firmware_texts.h"
#include "platform/dialog_items.h"
#include "platform/skin_reader.h"
#include "platform/user_prompts.h"
#include "platform/window_message.h"

namespace {

constexpr int kPercentMaximum = 100;
constexpr const char* kFileFilter = "Download Files (*.bin);;All Files (*)";

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text);
}

QString FromUtf16(const std::u16string& text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

std::u16string ToUtf16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}

XMLNode SettingsRoot() {
    XMLNode root;
    gAppConfig.FindRootNode(kAppConfigRootName, root);
    return root;
}

// The controls the window uses besides the buttons.
const char* const kRequiredControls[] = {
    "RunningMode",
    "DeviceId",
    "DownLoadAppCombo",
    "DownloadingInfoLable",
    "FileSize",
    "FileVerifyNum",
    "DownloadProgressText",
    "DownloadProgress",
    "DownloadInfoEdit",
    "DownloadFilePath",
    "VersionCombo",
    "GetVersionProgress",
    "GetVersionProgressText",
    "GetFWButton",
    "GetFWAndDownloadButton",
    "UpdateFWInfoButton",
    "PathButton",
    "DownloadButton",
    "CheckVersionButton",
    "ClearEditButton",
};

}  // namespace

// What the procedures show, passed to the window thread; work for a window that is gone by then
// is dropped by the window layer.
class CDownloadDlg::Sink : public IFirmwareSink {
public:
    Sink(CDownloadDlg& window, HWND handle) : m_window(window), m_handle(handle) {}

    void SetLabelText(FirmwareLabel label, const std::string& text) override {
        // A label shows one line: the texts' own line ends would push it off its row.
        QString shown = FromUtf8(text);
        while (shown.endsWith(QLatin1Char('\n')) || shown.endsWith(QLatin1Char('\r'))) {
            shown.chop(1);
        }
        Post([this, name = QString::fromLatin1(FirmwareLabelName(label)), shown] {
            SetControlText(m_window.m_skin->FindControl(name), shown);
        });
    }
    void AppendInfoText(const std::string& text) override {
        Post([this, text = FromUtf8(text)] {
            QString shown = text;
            shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            QPlainTextEdit* box = m_window.m_infoEdit;
            box->moveCursor(QTextCursor::End);
            box->insertPlainText(shown);
        });
    }
    void ScrollInfoToEnd() override {
        Post([this] {
            QScrollBar* bar = m_window.m_infoEdit->verticalScrollBar();
            bar->setValue(bar->maximum());
        });
    }
    void SetPartitionItems(const std::vector<FirmwarePartitionItem>& items,
                           int selectedIndex) override {
        Post([this, items, selectedIndex] {
            // The job set the partition itself; the list only shows it.
            QComboBox* list = m_window.m_appCombo;
            const QSignalBlocker quiet(list);
            list->clear();
            for (const FirmwarePartitionItem& item : items) {
                list->addItem(FromUtf8(item.text), QVariant::fromValue<qint64>(item.tag));
            }
            list->setCurrentIndex(selectedIndex);
        });
    }
    void SetProgressRange(uint32_t maximum) override {
        Post([this, maximum] {
            // A range of 0 would turn the bar into a busy indicator; it stays at 0 of 1 instead.
            const int top =
                maximum == 0 ? 1 : static_cast<int>(std::min<uint32_t>(maximum, INT32_MAX));
            m_window.m_downloadProgress->setRange(0, top);
        });
    }
    void SetProgressValue(uint32_t value) override {
        Post([this, value] {
            QProgressBar* bar = m_window.m_downloadProgress;
            bar->setValue(static_cast<int>(std::min<uint32_t>(value, bar->maximum())));
        });
    }
    void SetDownloadingInfoVisible(bool visible) override {
        Post([this, visible] { m_window.m_downloadingInfo->setVisible(visible); });
    }
    void ShowMessageBox(const std::string& title, const std::string& text,
                        FirmwareMessageIcon icon) override {
        const uint32_t type =
            icon == FirmwareMessageIcon::Error ? kMbIconError : kMbIconInformation;
        Post([this, title = FromUtf8(title), text = FromUtf8(text), type] {
            m_window.ShowMessage(title, text, type);
        });
    }

    void Post(std::function<void()> work) {
        if (!m_window.m_controlsFound) return;
        RunOnWindowThread(m_handle, std::move(work));
    }

private:
    CDownloadDlg& m_window;
    HWND m_handle;
};

struct CDownloadDlg::Device {
    Device(IFirmwareSink& sink, IFirmwareJobEvents& events)
        : device(Orbo_Interface_RadarDevice_Serial_Create()),
          link(device.get()),
          runner(link, device.get(), sink, events) {}

    RadarDevicePtr device;
    RadarDeviceBootLoaderLink link;
    FirmwareJobRunner runner;  // last: stopped before the link and the device go away
};

CDownloadDlg::CDownloadDlg(QWidget* parent, UiLanguage language)
    : QWidget(parent), m_skin(std::make_unique<SkinView>()) {
    setObjectName(QString::fromLatin1(kWindowName));
    m_target = std::make_unique<WindowMessageTarget>([](uint32_t, uint64_t, int64_t) {}, this);
    m_sink = std::make_unique<Sink>(*this, m_target->Handle());
    m_device = std::make_unique<Device>(*m_sink, *this);
    LoadSkin(language);
    if (!m_controlsFound) return;

    m_downloadPath =
        InitialDownloadFilePath(SettingsRoot(), ToUtf16(QCoreApplication::applicationDirPath()));
    m_pathEdit->setMaxLength(kMaxPathChars);
    ShowDownloadPath();
    SetVersionControlsEnabled(false);
    m_downloadingInfo->setVisible(false);
    m_skin->SetNotifyHandler(
        [this](const QString& type, const QString& sender) { OnNotify(type, sender); });
}

CDownloadDlg::~CDownloadDlg() {
    m_skin->SetNotifyHandler(nullptr);
    m_device.reset();  // waits for the job, then closes and frees the device
    m_sink.reset();
    m_target.reset();
    // A main window disabled for a job is not touched here: it is the one destroying this window.
}

void CDownloadDlg::LoadSkin(UiLanguage language) {
    const QString relative = QString::fromStdString(FirmwareSkinRelativePath(language));
    m_skinPath = FindSkinFile(relative);
    if (m_skinPath.isEmpty()) {
        m_skinError = QStringLiteral("the skin file Skin/%1 is missing").arg(relative);
    } else if (m_skin->LoadFile(this, m_skinPath, &m_skinError)) {
        m_controlsFound = FindControls();
    }
    if (m_controlsFound) {
        if (!m_skin->InitialSize().isEmpty()) resize(m_skin->InitialSize());
        return;
    }
    DbgOutputA(kDbgLevelError, "firmware window: %s\r\n", m_skinError.toUtf8().constData());
    if (layout() == nullptr) {
        auto* fallback = new QVBoxLayout(this);
        fallback->addWidget(new QLabel(m_skinError));
    }
}

bool CDownloadDlg::FindControls() {
    for (const char* name : kRequiredControls) {
        if (m_skin->FindControl(QString::fromLatin1(name)) == nullptr) {
            m_skinError = m_skinPath + QStringLiteral(" lacks the control ") + name;
            return false;
        }
    }
    m_getVersionProgressText = m_skin->Find<QLabel>(QStringLiteral("GetVersionProgressText"));
    m_appCombo = m_skin->Find<QComboBox>(QStringLiteral("DownLoadAppCombo"));
    m_versionCombo = m_skin->Find<QComboBox>(QStringLiteral("VersionCombo"));
    m_downloadProgress = m_skin->Find<QProgressBar>(QStringLiteral("DownloadProgress"));
    m_getVersionProgress = m_skin->Find<QProgressBar>(QStringLiteral("GetVersionProgress"));
    m_infoEdit = m_skin->Find<QPlainTextEdit>(QStringLiteral("DownloadInfoEdit"));
    m_pathEdit = m_skin->Find<QLineEdit>(QStringLiteral("DownloadFilePath"));
    m_downloadingInfo = m_skin->FindControl(QStringLiteral("DownloadingInfoLable"));
    if (m_getVersionProgressText == nullptr || m_appCombo == nullptr || m_versionCombo == nullptr ||
        m_downloadProgress == nullptr || m_getVersionProgress == nullptr || m_infoEdit == nullptr ||
        m_pathEdit == nullptr) {
        m_skinError = m_skinPath + QStringLiteral(" gives a control of the wrong kind");
        return false;
    }
    return true;
}

void CDownloadDlg::SetSerialSettings(int portNumber, const SerialLineSettings& line) {
    m_portNumber = portNumber;
    m_line = line;
}

bool CDownloadDlg::IsBusy() const {
    return m_jobRunning || m_device->runner.Busy();
}

int CDownloadDlg::SelectedPartition() {
    return m_device->runner.Downloader().SelectedPartition();
}

bool CDownloadDlg::RefuseCloseWhileBusy() {
    if (!IsBusy()) return false;
    ShowMessage(FromUtf8(FirmwareText(kStrNote)), FromUtf8(FirmwareText(kStrFirmwareBusy)),
                kMbIconInformation);
    return true;
}

void CDownloadDlg::closeEvent(QCloseEvent* event) {
    if (RefuseCloseWhileBusy()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void CDownloadDlg::ShowMessage(const QString& title, const QString& text, uint32_t icon) {
    MessageBox(this, text, title, kMbOk | icon | kMbTopMost);
}

void CDownloadDlg::OnNotify(const QString& type, const QString& sender) {
    if (type == QLatin1String(kSkinNotifyClick)) {
        OnClick(sender);
    } else if (type == QLatin1String(kSkinNotifyTextChanged) &&
               sender == QLatin1String("DownloadFilePath")) {
        m_downloadPath = LimitDownloadFilePath(ToUtf16(m_pathEdit->text()));
        m_pathEdit->setToolTip(FromUtf16(m_downloadPath));
    } else if (type == QLatin1String(kSkinNotifyItemSelect) &&
               sender == QLatin1String("DownLoadAppCombo")) {
        // A job owns the partition while it runs (the window is disabled then anyway).
        if (m_appCombo->count() > 0 && m_appCombo->currentIndex() >= 0 && !IsBusy()) {
            m_device->runner.Downloader().SetSelectedPartition(
                static_cast<int>(m_appCombo->currentData().toLongLong()));
        }
    }
}

void CDownloadDlg::OnClick(const QString& sender) {
    if (sender == QLatin1String("UpdateFWInfoButton")) {
        StartJob(FirmwareJob(FirmwareJobKind::Info));
    } else if (sender == QLatin1String("DownloadButton")) {
        if (!QFileInfo(FromUtf16(m_downloadPath)).isFile()) {
            ShowMessage(FromUtf8(FirmwareText(kStrNote)), FromUtf8(FirmwareText(kStrOpenBinFailed)),
                        kMbIconError);
            return;
        }
        FirmwareJob job(FirmwareJobKind::Download);
        job.imagePath = m_downloadPath;
        StartJob(job);
    } else if (sender == QLatin1String("GetFWAndDownloadButton")) {
        FirmwareJob job(FirmwareJobKind::FetchAndDownload);
        if (m_versionCombo->count() > 0) job.version = m_versionCombo->currentText().toStdString();
        StartJob(job);
    } else if (sender == QLatin1String("GetFWButton")) {
        if (m_versionCombo->count() == 0 || m_versionCombo->currentText().isEmpty()) return;
        FirmwareJob job(FirmwareJobKind::Fetch);
        job.version = m_versionCombo->currentText().toStdString();
        StartJob(job);
    } else if (sender == QLatin1String("CheckVersionButton")) {
        m_versionCombo->clear();
        SetVersionControlsEnabled(false);
        StartJob(FirmwareJob(FirmwareJobKind::ListVersions));
    } else if (sender == QLatin1String("PathButton")) {
        ChooseFile();
    } else if (sender == QLatin1String("ClearEditButton")) {
        m_infoEdit->clear();
    }
}

bool CDownloadDlg::StartJob(FirmwareJob job) {
    if (IsBusy()) return false;
    FirmwareDownloader& downloader = m_device->runner.Downloader();
    downloader.SetPortNumber(m_portNumber);
    downloader.SetLineSettings(m_line);
    const bool online = job.kind == FirmwareJobKind::ListVersions ||
                        job.kind == FirmwareJobKind::Fetch ||
                        job.kind == FirmwareJobKind::FetchAndDownload;
    if (online) {
        std::string configured;
        if (ConfigureFirmwareService(SettingsRoot(), configured) != FirmwareServiceSetup::Ok) {
            // The job's log-on fails and says so.
            DbgOutputA(kDbgLevelWarning,
                       "firmware window: no usable firmware service address (\"%s\"; %s in the "
                       "%s section, or %s)\r\n",
                       configured.c_str(), kServiceUrlAttribute, kDownloadSection,
                       kServiceUrlVariable);
        }
    }
    if (job.kind == FirmwareJobKind::Fetch || job.kind == FirmwareJobKind::FetchAndDownload) {
        m_getVersionProgress->setRange(0, kPercentMaximum);
        m_getVersionProgress->setValue(0);
    }
    QWidget* main = window();
    m_disabledMainWindow = main != this && main->isEnabled() ? main : nullptr;
    if (m_disabledMainWindow != nullptr) m_disabledMainWindow->setEnabled(false);
    setEnabled(false);
    m_jobRunning = true;
    if (!m_device->runner.Start(job)) {
        m_jobRunning = false;
        setEnabled(true);
        if (m_disabledMainWindow != nullptr) m_disabledMainWindow->setEnabled(true);
        m_disabledMainWindow = nullptr;
        return false;
    }
    return true;
}

void CDownloadDlg::OnFirmwareJobEnded(const FirmwareJobOutcome& outcome) {
    RunOnWindowThread(m_target->Handle(), [this, outcome] { FinishJob(outcome); });
}

void CDownloadDlg::FinishJob(const FirmwareJobOutcome& outcome) {
    // The worker's last step; waiting for it is at most the return from its body.
    m_device->runner.Wait();
    m_jobRunning = false;
    setEnabled(true);
    if (m_disabledMainWindow != nullptr) m_disabledMainWindow->setEnabled(true);
    m_disabledMainWindow = nullptr;
    if (outcome.kind == FirmwareJobKind::ListVersions && outcome.succeeded) {
        for (const std::string& version : outcome.versions) {
            m_versionCombo->addItem(FromUtf8(version));
        }
        if (m_versionCombo->count() > 0) {
            m_versionCombo->setCurrentIndex(0);
            SetVersionControlsEnabled(true);
        }
    } else if (outcome.kind == FirmwareJobKind::Fetch && outcome.succeeded) {
        m_downloadPath = LimitDownloadFilePath(Utf8ToUtf16Lossy(outcome.imagePath));
        ShowDownloadPath();
    }
}

void CDownloadDlg::OnFirmwareFetchProgress(int percent, uint64_t, uint64_t, double,
                                           const std::string& text) {
    RunOnWindowThread(m_target->Handle(), [this, percent, text = FromUtf8(text)] {
        if (!m_controlsFound) return;
        m_getVersionProgress->setValue(std::clamp(percent, 0, kPercentMaximum));
        SetControlText(m_getVersionProgressText, text);
    });
}

void CDownloadDlg::SetVersionControlsEnabled(bool enabled) {
    for (const char* name : {"VersionCombo", "GetFWButton", "GetFWAndDownloadButton"}) {
        m_skin->FindControl(QString::fromLatin1(name))->setEnabled(enabled);
    }
}

void CDownloadDlg::ShowDownloadPath() {
    const QString path = FromUtf16(m_downloadPath);
    {
        // The text is the path already; the notification would only repeat it.
        const QSignalBlocker quiet(m_pathEdit);
        m_pathEdit->setText(path);
    }
    m_pathEdit->setToolTip(path);
}

void CDownloadDlg::ChooseFile() {
    const QString chosen =
        ::ChooseOpenFile(this, QString(), m_pathEdit->text(), QString::fromLatin1(kFileFilter));
    if (chosen.isEmpty()) return;
    m_downloadPath = LimitDownloadFilePath(ToUtf16(chosen));
    StoreDownloadFilePath(SettingsRoot(), m_downloadPath);
    ShowDownloadPath();
}
