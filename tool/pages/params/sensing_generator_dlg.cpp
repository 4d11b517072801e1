#include "pages/params/sensing_generator_dlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>

#include "controls/color_static.h"
#include "controls/digital_edit.h"
#include "core/message_target.h"
#include "core/mono_clock.h"
#include "core/text_format.h"
#include "platform/dialog_builder.h"
#include "platform/dialog_items.h"
#include "platform/window_message.h"

namespace {

constexpr double kLimitTolerance = 1e-16;
constexpr uint64_t kMinCoefficientDb = 0;
constexpr uint64_t kMaxCoefficientDb = 10;
constexpr uint64_t kMinScanSeconds = 120;
constexpr uint64_t kMaxScanSeconds = 240;
constexpr COLORREF kWarningColour = 0x0000FF;  // red
constexpr int kInputIds[] = {kIdcTriggerCoefficient, kIdcHoldCoefficient, kIdcScanTime,
                             kIdcComplicatedEnv, kIdcPureEnv};

QString Text(int id, UiLanguage language) {
    return QString::fromUtf8(LoadStringText(id, language));
}

// Replaces a template edit with a UInt32 number edit within the limits.
void MakeNumberEdit(QWidget* dialog, int id, uint64_t minValue, uint64_t maxValue) {
    auto* edit = new CDigitalEdit;
    edit->SetValueType(UInt32);
    edit->SetMinValue(minValue, kLimitTolerance);
    edit->SetMaxValue(maxValue, kLimitTolerance);
    ReplaceDlgItem(dialog, id, edit);
}

// Replaces a template label with a colour static: text left-aligned, vertically centred.
CColorStatic* MakeColourLabel(QWidget* dialog, int id) {
    auto* label = new CColorStatic;
    label->SetWindowText(GetDlgItemText(dialog, id));
    label->SetStringFormat(Qt::AlignLeft | Qt::AlignVCenter);
    ReplaceDlgItem(dialog, id, label);
    return label;
}

// The edit's text read as a signed integer (its leading number, 0 when none).
int ReadInt(const QWidget* dialog, int id) {
    return static_cast<int>(GetDlgItemDouble(dialog, id));
}

}  // namespace

CSensingGeneratorDlg::CSensingGeneratorDlg(QWidget* parent, IRadarStreamLink& link,
                                           UiLanguage language,
                                           const ThresholdGenerationRequest& preset)
    : QDialog(parent), m_language(language), m_preset(preset) {
    BuildDialogFromTemplate(this, kThresholdGenTemplate, language);
    MakeNumberEdit(this, kIdcTriggerCoefficient, kMinCoefficientDb, kMaxCoefficientDb);
    MakeNumberEdit(this, kIdcHoldCoefficient, kMinCoefficientDb, kMaxCoefficientDb);
    MakeNumberEdit(this, kIdcScanTime, kMinScanSeconds, kMaxScanSeconds);
    SetDlgItemDouble(this, kIdcTriggerCoefficient, preset.triggerCoefficientDb);
    SetDlgItemDouble(this, kIdcHoldCoefficient, preset.holdCoefficientDb);
    SetDlgItemDouble(this, kIdcScanTime, preset.scanSeconds);
    CheckRadioButton(this, kIdcComplicatedEnv, kIdcPureEnv, kIdcPureEnv);
    ShowDlgItem(this, kIdcScanTimeLabel, false);
    ShowDlgItem(this, kIdcScanTime, false);
    if (auto* bar = qobject_cast<QProgressBar*>(GetDlgItem(this, kIdcGenerationProgress))) {
        bar->setRange(0, kGenerationCompletePercent);
        bar->setValue(0);
    }
    MakeColourLabel(this, kIdcGenerationWarning)->SetTextColour(kWarningColour);
    MakeColourLabel(this, kIdcGenerationStatus);
    SetStatus(QString());
    if (auto* button = qobject_cast<QPushButton*>(GetDlgItem(this, kIdcStartStop))) {
        connect(button, &QPushButton::clicked, this, [this] { OnStartStop(); });
    }
    m_target = std::make_unique<WindowMessageTarget>(
        [this](uint32_t msg, uint64_t wParam, int64_t) { OnMessage(msg, wParam); }, this);
    m_handle = m_target->Handle();
    IThresholdGenerationSink& sink = *this;
    m_generator = std::make_unique<ThresholdGenerator>(link, sink);
}

CSensingGeneratorDlg::~CSensingGeneratorDlg() {
    // The worker posts to this dialog: it ends before anything of the dialog goes.
    m_generator->Stop();
    m_generator.reset();
}

void CSensingGeneratorDlg::OnGenerationProgress(int percent) {
    PostTargetMessage(m_handle, kMsgGenerationProgress, static_cast<uint64_t>(percent), 0);
}

void CSensingGeneratorDlg::OnGenerationFinished(int success) {
    PostTargetMessage(m_handle, kMsgGenerationFinished, success ? 1 : 0, 0);
}

void CSensingGeneratorDlg::OnMessage(uint32_t msg, uint64_t wParam) {
    if (msg == kMsgGenerationProgress) {
        const int percent = static_cast<int>(wParam);
        if (auto* bar = qobject_cast<QProgressBar*>(GetDlgItem(this, kIdcGenerationProgress))) {
            bar->setValue(std::min(percent, kGenerationCompletePercent));
        }
        std::string text;
        FormatText(text, LoadStringText(kStrGenerateProgress, m_language), percent);
        SetStatus(QString::fromStdString(text));
    } else if (msg == kMsgGenerationFinished) {
        m_result = wParam != 0 ? 1 : 0;
        EnableInputs(true);
        SetStatus(Text(m_result ? kStrGenerateSucceeded : kStrGenerateFailed, m_language));
        EndRun();
    }
}

void CSensingGeneratorDlg::OnStartStop() {
    if (m_running) {
        EndRun();
    } else {
        StartRun();
    }
}

void CSensingGeneratorDlg::StartRun() {
    // What a stopped run still had queued belongs to it, not to this one.
    PurgeTargetMessages(m_handle, kMsgGenerationProgress);
    PurgeTargetMessages(m_handle, kMsgGenerationFinished);
    m_running = true;
    m_result = 0;
    SetStatus(QString());
    SetDlgItemText(this, kIdcStartStop, Text(kStrStop, m_language));
    EnableInputs(false);
    ThresholdGenerationRequest request;
    request.triggerCoefficientDb = ReadInt(this, kIdcTriggerCoefficient);
    request.holdCoefficientDb = ReadInt(this, kIdcHoldCoefficient);
    if (IsDlgItemShown(this, kIdcScanTime)) {
        request.scanSeconds = ReadInt(this, kIdcScanTime);
    } else {
        request.scanSeconds = IsDlgButtonChecked(this, kIdcComplicatedEnv)
                                  ? kComplicatedEnvScanSeconds
                                  : kPureEnvScanSeconds;
    }
    // A worker that cannot start leaves the dialog running; Stop brings it back.
    m_generator->Start(request);
}

void CSensingGeneratorDlg::EndRun() {
    m_generator->Stop();
    SetDlgItemText(this, kIdcStartStop, Text(kStrStart, m_language));
    m_running = false;
}

void CSensingGeneratorDlg::EnableInputs(bool enable) {
    for (int id : kInputIds) EnableDlgItem(this, id, enable);
}

void CSensingGeneratorDlg::SetStatus(const QString& text) {
    if (auto* label = qobject_cast<CColorStatic*>(GetDlgItem(this, kIdcGenerationStatus))) {
        label->SetWindowText(text);
    }
}

void CSensingGeneratorDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!m_generator->IsThreadExit()) return;
    done(m_result ? kGenerationDialogSucceeded : kGenerationDialogNotSucceeded);
}

void CSensingGeneratorDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSensingGeneratorDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        const QWidget* warning = GetDlgItem(this, kIdcGenerationWarning);
        if (warning == nullptr || !warning->geometry().contains(event->position().toPoint())) {
            m_lastClickMs = 0;
            m_clickCount = 0;
        }
    }
    QDialog::mousePressEvent(event);
}

void CSensingGeneratorDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        const QWidget* warning = GetDlgItem(this, kIdcGenerationWarning);
        OnScanTimeGestureClick(warning != nullptr &&
                               warning->geometry().contains(event->position().toPoint()));
    }
    QDialog::mouseReleaseEvent(event);
}

void CSensingGeneratorDlg::OnScanTimeGestureClick(bool insideWarning) {
    if (!insideWarning) {
        m_lastClickMs = 0;
        m_clickCount = 0;
        return;
    }
    const uint64_t now = MonoTimeMs();
    if (m_clickCount == 0 || now < m_lastClickMs + kScanTimeGestureClickMs) {
        ++m_clickCount;
    } else {
        m_clickCount = 1;
    }
    m_lastClickMs = now;
    if (m_clickCount < kScanTimeGestureClicks) return;
    m_lastClickMs = 0;
    m_clickCount = 0;
    const bool showEdit = !IsDlgItemShown(this, kIdcScanTime);
    ShowDlgItem(this, kIdcScanTimeLabel, showEdit);
    ShowDlgItem(this, kIdcScanTime, showEdit);
    ShowDlgItem(this, kIdcComplicatedEnv, !showEdit);
    ShowDlgItem(this, kIdcPureEnv, !showEdit);
}
