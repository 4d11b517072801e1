#include "pages/params/param_setting_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "app/app_config.h"
#include "controls/digital_edit.h"
#include "core/text_format.h"
#include "device/radar_device_stream_link.h"
#include "pages/params/param_diff.h"
#include "pages/params/param_sequence_worker.h"
#include "pages/params/radar_param_device.h"
#include "pages/params/sensing_generator_dlg.h"
#include "platform/dialog_builder.h"
#include "platform/dialog_items.h"
#include "platform/user_prompts.h"
#include "platform/window_message.h"

namespace {

constexpr double kLimitTolerance = 1e-16;
constexpr uint64_t kMinAbsenceSeconds = 10;
constexpr uint64_t kMaxAbsenceSeconds = 255;
constexpr uint64_t kSuggestedMinAbsenceSeconds = 15;
constexpr char16_t kShortAbsenceWarning[] = u"低帧频下较短的无人上报时间可能会影响检测性能";
constexpr uint64_t kMinThresholdDb = 10;
constexpr uint64_t kMaxThresholdDb = 95;

CDigitalEdit* MakeDigitalEdit(QWidget* page, int id, int type) {
    auto* edit = new CDigitalEdit;
    edit->SetValueType(type);
    ReplaceDlgItem(page, id, edit);
    return edit;
}

void SetLimits(CDigitalEdit* edit, uint64_t minValue, uint64_t maxValue) {
    edit->SetMinValue(minValue, kLimitTolerance);
    edit->SetMaxValue(maxValue, kLimitTolerance);
}

// A list entry's text read as a number.
double ListNumber(const QComboBox* list) {
    return list != nullptr ? ParseLeadingDecimal(list->currentText().toStdU16String()) : 0.0;
}

// An edit's text read as a signed integer (its leading number; 0 for text that is none).
uint32_t ReadSignedInt(const QWidget* page, int id) {
    const std::string text = GetDlgItemText(page, id).toStdString();
    return static_cast<uint32_t>(static_cast<int32_t>(std::strtoll(text.c_str(), nullptr, 10)));
}

void ShowSignedInt(QWidget* page, int id, uint32_t value) {
    SetDlgItemText(page, id, QString::number(static_cast<int32_t>(value)));
}

void CopyThresholds(const RadarParamSetting& from, RadarParamSetting& to) {
    std::copy(std::begin(from.TriggerThreshold), std::end(from.TriggerThreshold),
              to.TriggerThreshold);
    std::copy(std::begin(from.HoldThreshold), std::end(from.HoldThreshold), to.HoldThreshold);
}

int EditId(RangeEdit edit) {
    return edit == RangeEdit::Min ? kIdcRangeMin : kIdcRangeMax;
}

}  // namespace

CParamSettingDlg::CParamSettingDlg(QWidget* parent, UiLanguage language)
    : QWidget(parent), m_language(language), m_config(&gAppConfig) {
    BuildDialogFromTemplate(this, kParamPageTemplate, language);
    m_target = std::make_unique<WindowMessageTarget>([](uint32_t, uint64_t, int64_t) {}, this);
    SetUpEdits();
    if (QComboBox* list = GetDlgList(this, kIdcRangeReportFreq)) {
        for (double hz : kReportFrequencies)
            AddListEntry(list, QString::fromStdString(FrequencyText(hz)));
    }
    if (QComboBox* list = GetDlgList(this, kIdcStateReportFreq)) {
        for (double hz : kReportFrequencies)
            AddListEntry(list, QString::fromStdString(FrequencyText(hz)));
    }
    SetDevice(nullptr);
    ConnectControls();
}

CParamSettingDlg::~CParamSettingDlg() {
    // The generation dialog uses the stream link; it stops its worker before the link goes.
    delete m_generator.data();
    // A sequence still running ends by its own time limits; its result is dropped with the target.
    m_worker.reset();
    SetBusy(false);
    if (m_initialised) SaveRecord();
}

void CParamSettingDlg::SetUpEdits() {
    MakeDigitalEdit(this, kIdcRangeMin, Double);
    MakeDigitalEdit(this, kIdcRangeMax, Double);
    CDigitalEdit* absence = MakeDigitalEdit(this, kIdcAbsenceDelay, UInt32);
    SetLimits(absence, kMinAbsenceSeconds, kMaxAbsenceSeconds);
    absence->SuggestMinLimits().clear();
    ValueLimit suggestion;
    suggestion.type = UInt32;
    suggestion.value = kSuggestedMinAbsenceSeconds;
    suggestion.tolerance = kLimitTolerance;
    suggestion.label = kShortAbsenceWarning;
    absence->SuggestMinLimits().push_back(suggestion);
    for (int gate = 0; gate < kGateCount; ++gate) {
        SetLimits(MakeDigitalEdit(this, kIdcFirstTriggerThreshold + gate, UInt32), kMinThresholdDb,
                  kMaxThresholdDb);
        SetLimits(MakeDigitalEdit(this, kIdcFirstHoldThreshold + gate, UInt32), kMinThresholdDb,
                  kMaxThresholdDb);
    }
}

void CParamSettingDlg::ConnectControls() {
    for (int id : {kIdcRangeMin, kIdcRangeMax}) {
        if (auto* edit = qobject_cast<CXEdit*>(GetDlgItem(this, id))) {
            connect(edit, &CXEdit::EditChanged, this,
                    [this](int changed) { OnEditChanged(changed); });
        }
    }
    if (QComboBox* list = GetDlgList(this, kIdcStateReportFreq)) {
        connect(list, &QComboBox::currentIndexChanged, this, [this] { OnStateListChanged(); });
    }
    if (QComboBox* list = GetDlgList(this, kIdcRangeReportFreq)) {
        connect(list, &QComboBox::currentIndexChanged, this, [this] { OnRangeListChanged(); });
    }
    const std::pair<int, void (CParamSettingDlg::*)()> buttons[] = {
        {kIdcParamRead, &CParamSettingDlg::OnRead},
        {kIdcParamWrite, &CParamSettingDlg::OnWrite},
        {kIdcParamReset, &CParamSettingDlg::OnReset},
        {kIdcParamGenerate, &CParamSettingDlg::OnGenerate},
        {kIdcParamSave, &CParamSettingDlg::OnSave},
    };
    for (const auto& [id, handler] : buttons) {
        if (auto* button = qobject_cast<QPushButton*>(GetDlgItem(this, id))) {
            connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
        }
    }
}

void CParamSettingDlg::SetDevice(IRadarDevice* device) {
    if (m_busy) return;
    delete m_generator.data();
    m_worker.reset();
    m_device = device;
    m_paramLink = std::make_unique<RadarDeviceParamLink>(device);
    m_streamLink = std::make_unique<RadarDeviceStreamLink>(device);
    m_worker = std::make_unique<ParamSequenceWorker>(*m_paramLink);
}

void CParamSettingDlg::SetParamRecord(RadarParamSetting* record) {
    if (m_busy) return;
    m_record = record;
}

void CParamSettingDlg::InitPage() {
    if (m_record != nullptr && m_config != nullptr) LoadFromConfig(*m_record, *m_config);
    m_initialised = true;
    RefreshControls();
}

void CParamSettingDlg::RefreshControls() {
    if (m_record == nullptr) return;
    RadarParamSetting& record = *m_record;
    SetDlgItemDouble(this, kIdcRangeMin, record.DetectRangeMin);
    SetDlgItemDouble(this, kIdcRangeMax, record.DetectRangeMax);
    CheckRadioButton(this, kIdcResponseNormal, kIdcResponseFast,
                     IsFastResponse(record.ResponseFreq) ? kIdcResponseFast : kIdcResponseNormal);
    if (QComboBox* list = GetDlgList(this, kIdcRangeReportFreq)) {
        const std::vector<double> entries(std::begin(kReportFrequencies),
                                          std::end(kReportFrequencies));
        const int index = NearestFrequencyIndex(entries, record.RangeReportFreq);
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(index);
        record.RangeReportFreq = entries[index];
    }
    RebuildStateList();
    ShowSignedInt(this, kIdcAbsenceDelay, record.ObjectDisappearReportTime);
    for (int gate = 0; gate < kGateCount; ++gate) {
        ShowSignedInt(this, kIdcFirstTriggerThreshold + gate, record.TriggerThreshold[gate]);
        ShowSignedInt(this, kIdcFirstHoldThreshold + gate, record.HoldThreshold[gate]);
    }
}

void CParamSettingDlg::TakeConnectRead(int result) {
    if (m_record == nullptr) return;
    if (result == kParamResultSuccess) {
        m_sensorValues = *m_record;
    } else {
        m_sensorValues.reset();
    }
    RefreshControls();
}

void CParamSettingDlg::RebuildStateList() {
    QComboBox* list = GetDlgList(this, kIdcStateReportFreq);
    if (list == nullptr || m_record == nullptr) return;
    const QSignalBlocker quiet(list);
    list->clear();
    const std::vector<double> entries = StateReportFrequencies(m_record->RangeReportFreq);
    for (double hz : entries) AddListEntry(list, QString::fromStdString(FrequencyText(hz)));
    const int index = NearestFrequencyIndex(entries, m_record->StateReportFreq);
    if (index < 0) return;
    list->setCurrentIndex(index);
    m_record->StateReportFreq = entries[index];
}

void CParamSettingDlg::OnStateListChanged() {
    if (m_record != nullptr)
        m_record->StateReportFreq = ListNumber(GetDlgList(this, kIdcStateReportFreq));
}

void CParamSettingDlg::OnRangeListChanged() {
    if (m_record == nullptr) return;
    m_record->RangeReportFreq = ListNumber(GetDlgList(this, kIdcRangeReportFreq));
    RebuildStateList();
}

void CParamSettingDlg::OnEditChanged(int id) {
    if (m_record == nullptr) return;
    if (id == kIdcRangeMin) CheckMinRange(*m_record, *this);
    if (id == kIdcRangeMax) CheckMaxRange(*m_record, *this);
}

double CParamSettingDlg::ReadRangeEdit(RangeEdit edit) {
    return GetDlgItemDouble(this, EditId(edit));
}

void CParamSettingDlg::WriteRangeEdit(RangeEdit edit, double metres) {
    SetDlgItemDouble(this, EditId(edit), metres);
}

void CParamSettingDlg::ShowRangeTip(RangeEdit edit, const std::u16string& text, int id) {
    if (auto* control = qobject_cast<CXEdit*>(GetDlgItem(this, EditId(edit)))) {
        control->ShowInputBalloon(kRangeTipTitle, text, kRangeTipIcon, id);
    }
}

void CParamSettingDlg::TakeControlsIntoRecord() {
    RadarParamSetting& record = *m_record;
    record.DetectRangeMin = GetDlgItemDouble(this, kIdcRangeMin);
    record.DetectRangeMax = GetDlgItemDouble(this, kIdcRangeMax);
    record.ResponseFreq =
        GetCheckedRadioButton(this, kIdcResponseNormal, kIdcResponseFast) == kIdcResponseNormal
            ? kNormalResponseFreq
            : kFastResponseFreq;
    record.StateReportFreq = ListNumber(GetDlgList(this, kIdcStateReportFreq));
    record.RangeReportFreq = ListNumber(GetDlgList(this, kIdcRangeReportFreq));
    record.ObjectDisappearReportTime = ReadSignedInt(this, kIdcAbsenceDelay);
    for (int gate = 0; gate < kGateCount; ++gate) {
        record.TriggerThreshold[gate] = ReadSignedInt(this, kIdcFirstTriggerThreshold + gate);
        record.HoldThreshold[gate] = ReadSignedInt(this, kIdcFirstHoldThreshold + gate);
    }
}

void CParamSettingDlg::OnRead() {
    StartSequence(Action::Read);
}

void CParamSettingDlg::OnWrite() {
    if (m_busy || m_record == nullptr) return;
    TakeControlsIntoRecord();
    if (!ConfirmChanges()) return;
    StartSequence(Action::Write);
}

bool CParamSettingDlg::ConfirmChanges() {
    // Without a sensor the write fails with its own message; a question first would be noise.
    if (!m_sensorValues || !m_paramLink->IsConnected()) return true;
    const std::vector<ParamChange> changes = DiffParamRecords(*m_sensorValues, *m_record);
    if (changes.empty()) return true;
    std::string lines;
    for (const ParamChange& change : changes) lines += ParamChangeText(change) + "\r\n";
    std::string text;
    FormatText(text, LoadStringText(kStrConfirmWriteParams, m_language), lines.c_str());
    return MessageBox(this, QString::fromStdString(text), Text(kStrConfirm),
                      kMbYesNo | kMbIconQuestion) == kIdYes;
}

void CParamSettingDlg::OnReset() {
    if (m_busy || m_record == nullptr) return;
    ResetToDefaults(*m_record);
    RefreshControls();
    StartSequence(Action::Reset);
}

void CParamSettingDlg::OnGenerate() {
    if (m_busy || m_generator != nullptr) return;
    m_generator = new CSensingGeneratorDlg(this, *m_streamLink, m_language);
    connect(m_generator, &QDialog::finished, this, [this](int code) { OnGeneratorFinished(code); });
    m_generator->setWindowModality(Qt::ApplicationModal);
    m_generator->show();
}

void CParamSettingDlg::OnGeneratorFinished(int code) {
    if (m_generator != nullptr) m_generator->deleteLater();
    m_generator = nullptr;
    if (code == kGenerationDialogSucceeded) StartSequence(Action::ReadThresholds);
}

void CParamSettingDlg::OnSave() {
    SaveRecord();
    MessageBox(this, Text(kStrSaveParamsSucceeded), Text(kStrNote), kMbIconInformation);
}

void CParamSettingDlg::SaveRecord() {
    if (m_record != nullptr && m_config != nullptr) SaveToConfig(*m_record, *m_config);
}

void CParamSettingDlg::StartSequence(Action action) {
    if (m_busy || m_record == nullptr) return;
    const ParamSequence sequence = action == Action::Read ? ParamSequence::Read
                                   : action == Action::ReadThresholds
                                       ? ParamSequence::ReadThresholds
                                       : ParamSequence::Write;
    const HWND target = m_target->Handle();
    SetBusy(true);
    const int started = m_worker->Start(
        sequence, *m_record, [this, target, action](int result, const RadarParamSetting& copy) {
            // Runs only while the page exists (the work is dropped with its target).
            RunOnWindowThread(
                target, [this, action, result, copy] { OnSequenceDone(action, result, copy); });
        });
    if (!started) OnSequenceDone(action, kParamResultFailed, *m_record);
}

void CParamSettingDlg::OnSequenceDone(Action action, int result, const RadarParamSetting& copy) {
    SetBusy(false);
    if (result == kParamResultSuccess && m_record != nullptr) {
        if (action == Action::Read) {
            *m_record = copy;
        } else if (action == Action::ReadThresholds) {
            CopyThresholds(copy, *m_record);
            if (m_sensorValues) CopyThresholds(copy, *m_sensorValues);
        }
        // What was read, or what the sensor took (the sequence's copy: the record as it began).
        if (action != Action::ReadThresholds) m_sensorValues = copy;
    } else if (action == Action::ReadThresholds) {
        // Generation changed the sensor's thresholds to values not known here.
        m_sensorValues.reset();
    }
    if (action == Action::ReadThresholds ||
        (action == Action::Read && result == kParamResultSuccess)) {
        RefreshControls();
    }
    if (action != Action::ReadThresholds) ShowResultMessage(action, result);
    emit SequenceFinished(result);
}

void CParamSettingDlg::ShowResultMessage(Action action, int result) {
    const bool read = action == Action::Read;
    if (result == kParamResultSuccess) {
        MessageBox(this, Text(read ? kStrReadParamsSucceeded : kStrSetParamsSucceeded),
                   Text(kStrSuccess), kMbIconInformation);
    } else if (result == kParamResultNotConnected) {
        MessageBox(this, Text(kStrDeviceNotConnected), Text(kStrError), kMbIconError);
    } else {
        MessageBox(this, Text(read ? kStrReadParamsFailed : kStrSetParamsFailed), Text(kStrError),
                   kMbIconError);
    }
}

void CParamSettingDlg::SetBusy(bool busy) {
    m_busy = busy;
    setEnabled(!busy);
    if (busy && !m_busyCursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!busy && m_busyCursor) QApplication::restoreOverrideCursor();
    m_busyCursor = busy;
}

void CParamSettingDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    RefreshControls();
}

void CParamSettingDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();  // no OK or cancel on a page
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

QString CParamSettingDlg::Text(int id) const {
    return QString::fromUtf8(LoadStringText(id, m_language));
}
