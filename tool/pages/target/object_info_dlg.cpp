#include "pages/target/object_info_dlg.h"

#include <QCheckBox>
#include <QHideEvent>
#include <QPushButton>
#include <QShowEvent>

#include <cstring>

#include "app/app_config.h"
#include "app/program_icon.h"
#include "controls/color_static.h"
#include "core/dbg_output.h"
#include "core/size_limits.h"
#include "dataprocess/radar_device_interface.h"
#include "pages/params/radar_param_setting.h"
#include "pages/target/plot_extras.h"
#include "pages/target/target_plot_math.h"
#include "platform/dialog_builder.h"
#include "platform/dialog_items.h"
#include "platform/user_prompts.h"
#include "resources/dialog_templates.h"
#include "resources/string_table.h"

namespace {

constexpr double kStatusFontPoints = 8.0;
constexpr double kIndicatorFontPoints = 9.0;
constexpr const char* kPictureFiles[] = {"Nobody.png", "Motion.png", "Motionless.png"};
constexpr const char* kReplayFilter = "ABD Data File(*.dat);;All Files (*.*)";
constexpr const char* kKeepAwakeReason = "Showing the sensor's reports";

QString Text(int id) {
    return QString::fromUtf8(LoadStringText(id));
}

std::string FieldText(const QString& text) {
    return text.left(kMaxSaveFolderChars).toStdString();
}

}  // namespace

CObjectInfoDlg::CObjectInfoDlg(IRadarDevice* device, RadarParamSetting* record, QWidget* parent)
    : QWidget(parent), m_device(device), m_record(record), m_engine(*this) {
    if (m_device != nullptr) {
        m_link.emplace(m_device);
        m_engine.SetLink(&*m_link);
    }
    m_messages = std::make_unique<WindowMessageTarget>(
        [this](uint32_t msg, uint64_t wParam, int64_t lParam) { OnMessage(msg, wParam, lParam); },
        this);
    BuildDialogFromTemplate(this, kTargetPageTemplate, GetSelectedLanguage());

    m_status = new CColorStatic;
    ReplaceDlgItem(this, kIdcTargetStatus, m_status);
    m_indicator = new CColorStatic;
    ReplaceDlgItem(this, kIdcTargetIndicator, m_indicator);
    m_energyPlot = new CWaveWnd;
    ReplaceDlgItem(this, kIdcEnergyPlot, m_energyPlot);
    m_distancePlot = new CWaveWnd;
    ReplaceDlgItem(this, kIdcDistancePlot, m_distancePlot);
    // The hosts of the template are hidden placeholders; the controls are what the page shows.
    for (QWidget* control :
         {static_cast<QWidget*>(m_status), static_cast<QWidget*>(m_indicator),
          static_cast<QWidget*>(m_energyPlot), static_cast<QWidget*>(m_distancePlot)}) {
        control->show();
    }
    m_extras = std::make_unique<CTargetPlotExtras>(this, m_energyPlot, m_distancePlot, m_record);
    m_saveData = qobject_cast<QCheckBox*>(GetDlgItem(this, kIdcSaveData));
    m_steering = std::make_unique<CReplaySteering>(this, m_engine, m_status);

    auto connectButton = [this](int id, void (CObjectInfoDlg::*handler)()) {
        if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(this, id))) {
            connect(button, &QAbstractButton::clicked, this, handler);
        }
    };
    connectButton(kIdcTargetStart, &CObjectInfoDlg::OnStartClicked);
    connectButton(kIdcTargetReplay, &CObjectInfoDlg::OnReplayClicked);
    connectButton(kIdcSaveData, &CObjectInfoDlg::OnSaveDataToggled);
    connectButton(kIdcBrowseSavePath, &CObjectInfoDlg::OnBrowseClicked);

    LoadPictures();
    LoadPageSettings();
    m_status->SetStaticStyle(nullptr, nullptr, ScaledSize(kStatusFontPoints, m_scale));
    const QString empty;
    m_indicator->SetStaticStyle(nullptr, &empty, ScaledSize(kIndicatorFontPoints, m_scale));
    ConfigurePlots();
    RefreshTargetStatus();
}

CObjectInfoDlg::~CObjectInfoDlg() {
    StopAcquisition();
    TakeSaveFolderFromField();
    SavePageSettings();
}

void CObjectInfoDlg::LoadPictures() {
    for (size_t i = 0; i < std::size(kPictureFiles); ++i) {
        const QString path = FindImageFile(QString::fromLatin1(kPictureFiles[i]));
        // A missing picture leaves that state without one.
        if (!path.isEmpty()) m_pictures[i].load(path);
    }
}

void CObjectInfoDlg::LoadPageSettings() {
    XMLNode root;
    gAppConfig.FindRootNode(kAppConfigRootName, root);
    m_acquisition = DefaultAcquisitionSettings();
    LoadAcquisitionSettings(root, m_acquisition);
    CheckDlgButton(this, kIdcSaveData, m_acquisition.saveData ? 1 : 0);
    OnSaveDataToggled();
    SetDlgItemText(this, kIdcSavePath, QString::fromStdString(m_acquisition.saveFolder));
    LoadTargetPageSettings(FindTargetPageSection(gAppConfig), m_settings);
}

void CObjectInfoDlg::SavePageSettings() {
    XMLNode root;
    if (gAppConfig.FindRootNode(kAppConfigRootName, root) == 0) return;
    SaveAcquisitionSettings(root, m_acquisition);
    XMLNode section = FindTargetPageSection(gAppConfig);
    SaveTargetPageSettings(section, m_settings);
}

void CObjectInfoDlg::TakeSaveFolderFromField() {
    m_acquisition.saveFolder = FieldText(GetDlgItemText(this, kIdcSavePath));
}

// --- Acquisition ---------------------------------------------------------------------------

void CObjectInfoDlg::StartLive() {
    StartAcquisition(AcquisitionMode::Live);
}

void CObjectInfoDlg::StartReplay(const std::string& file) {
    m_acquisition.replayFile = file;
    StartAcquisition(AcquisitionMode::Replay);
}

void CObjectInfoDlg::StartAcquisition(AcquisitionMode mode) {
    TakeSaveFolderFromField();
    SavePageSettings();
    const AcquisitionRun run = MakeAcquisitionRun(m_acquisition, mode);
    m_steering->PrepareRun(run);
    m_engine.StartAcquisition(run);
}

void CObjectInfoDlg::StopAcquisition() {
    m_engine.StopAcquisition();
}

void CObjectInfoDlg::OnStartClicked() {
    if (IsRunning()) {
        StopAcquisition();
    } else {
        StartLive();
    }
}

void CObjectInfoDlg::OnReplayClicked() {
    if (IsRunning()) {
        StopAcquisition();
        return;
    }
    const QString file =
        ChooseOpenFile(this, Text(kStrReplay), QString::fromStdString(m_acquisition.replayFile),
                       QString::fromLatin1(kReplayFilter));
    if (file.isEmpty()) return;
    StartReplay(file.left(kMaxPathChars).toStdString());
}

void CObjectInfoDlg::OnSaveDataToggled() {
    const bool on = IsDlgButtonChecked(this, kIdcSaveData) != 0;
    m_acquisition.saveData = on;
    EnableDlgItem(this, kIdcSavePath, on);
    EnableDlgItem(this, kIdcBrowseSavePath, on);
}

void CObjectInfoDlg::OnBrowseClicked() {
    const QString folder = ChooseFolder(this, QString(), GetDlgItemText(this, kIdcSavePath));
    if (!folder.isEmpty()) SetDlgItemText(this, kIdcSavePath, folder);
}

void CObjectInfoDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A minimised window coming back is no page switch.
    if (event->spontaneous()) return;
    UpdateThresholdCurves();
    if (m_device != nullptr && Orbo_Interface_RadarDevice_IsConnected(m_device) && !IsRunning()) {
        StartLive();
    }
}

void CObjectInfoDlg::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous()) return;
    StopAcquisition();
}

// --- The sink ------------------------------------------------------------------------------

void CObjectInfoDlg::OnDeviceNotConnected() {
    MessageBox(this, Text(kStrDeviceNotConnected), Text(kStrError), kMbOk | kMbIconError);
}

void CObjectInfoDlg::OnDisplayReset() {
    m_extras->OnDisplayReset();
    ++m_runNumber;
    m_steering->OnRunStarted();
    RefreshTargetStatus();
    m_energyPlot->ClearData();
    AddThresholdCurves();
    m_distancePlot->ClearData();
    m_distancePlot->SetBackgroundDirty();
    m_distancePlot->update();
}

void CObjectInfoDlg::OnRunStateChanged(AcquisitionRunState state) {
    const bool idle = state == AcquisitionRunState::Idle;
    auto* start = GetDlgItem(this, kIdcTargetStart);
    auto* replay = GetDlgItem(this, kIdcTargetReplay);
    if (idle) {
        SetControlText(start, Text(kStrStart));
        SetControlText(replay, Text(kStrReplay));
    } else if (state == AcquisitionRunState::Live) {
        SetControlText(start, Text(kStrStop));
    } else {
        SetControlText(replay, Text(kStrStop));
    }
    EnableDlgItem(this, kIdcTargetStart, state != AcquisitionRunState::Replay);
    EnableDlgItem(this, kIdcTargetReplay, state != AcquisitionRunState::Live);
    EnableDlgItem(this, kIdcSaveData, idle);
    EnableDlgItem(this, kIdcSavePath, idle && m_acquisition.saveData);
    EnableDlgItem(this, kIdcBrowseSavePath, idle && m_acquisition.saveData);
    m_steering->OnRunStateChanged(state);
    if (idle) {
        m_keepAwake.Release();
        // The stopped engine holds a report without a target.
        RefreshTargetStatus();
    } else {
        m_keepAwake.Inhibit(QString::fromLatin1(kKeepAwakeReason));
    }
}

void CObjectInfoDlg::OnReport(const TargetReport& report) {
    // ReadData: the wave buffers carry their own locks. The repaints are asked for on the window
    // thread, when the message arrives. A frozen display takes nothing (the recording and the
    // run's summary do).
    m_steering->OnReport(report);
    if (!m_extras->TakeReport(report)) return;
    if (CWaveBuffer* energy = m_energyPlot->GetWaveBuffer(kEnergyWave)) {
        energy->AddSamples(report.gateEnergy, kGateCount);
    }
    if (CWaveBuffer* distance = m_distancePlot->GetWaveBuffer(0)) {
        const double metres = report.distance / 100.0;
        distance->AddSamples(&metres, 1);
    }
    // One message waits at a time: the handler shows the latest report, and a fast replay must
    // not pile up events faster than the window thread takes them.
    if (!m_reportPosted.exchange(true)) m_messages->Post(WM_TARGET_REPORT, 0, 0);
}

void CObjectInfoDlg::OnRunEnded(AcquisitionEnd reason) {
    (void)reason;
    m_messages->Post(WM_ACQUISITION_END, m_runNumber.load(), 0);
}

void CObjectInfoDlg::OnRecordingFailed(const RecordingFailure& failure) {
    // The engine logged it; the user learns it on the window thread.
    const QString text = QStringLiteral("%1\n%2").arg(
        QString::fromStdString(failure.path), QString::fromUtf8(std::strerror(failure.error)));
    RunOnWindowThread(m_messages->Handle(), [this, text] {
        MessageBox(this, text, Text(kStrError), kMbOk | kMbIconError);
    });
}

void CObjectInfoDlg::OnMessage(uint32_t msg, uint64_t wParam, int64_t /*lParam*/) {
    if (msg == WM_TARGET_REPORT) {
        m_reportPosted = false;
        ++m_reportsShown;
        RefreshTargetStatus();
        // The band is part of the distance plot's background, repainted when it looks different.
        if (m_engine.TakeBandChanged()) RefreshStateBand();
        m_extras->RefreshMaxHoldCurve();
        m_energyPlot->RequestRepaint();
        m_distancePlot->RequestRepaint();
        m_steering->OnReportShown();
    } else if (msg == WM_ACQUISITION_END && wParam == m_runNumber.load()) {
        StopAcquisition();
    }
}

void CObjectInfoDlg::RefreshTargetStatus() {
    const TargetReport report = m_engine.GetLatestReport();
    // Only what changed is repainted: at ten reports a second the picture rarely does.
    const TargetPicture picture = TargetStatePicture(report.state);
    if (picture != TargetPicture::Unchanged && picture != m_shownPicture) {
        const QImage& image = m_pictures[static_cast<int>(picture) - 1];
        m_indicator->SetBackgroundImage(image.isNull() ? nullptr : &image);
        m_shownPicture = picture;
        m_indicator->update();
    }
    const QString text =
        QString::fromStdString(FormatTargetStatus(report, m_settings.current, *m_record));
    if (text != m_status->text()) m_status->SetWindowText(text);
}
