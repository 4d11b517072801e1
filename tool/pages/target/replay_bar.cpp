#include "pages/target/replay_bar.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <climits>

#include "controls/color_static.h"
#include "core/mono_clock.h"
#include "device/replay_speed.h"
#include "pages/target/object_info_dlg.h"
#include "pages/target/run_summary_text.h"
#include "platform/dialog_items.h"
#include "resources/string_table.h"

namespace {

// The "Save Data" row of template 3000, whose place the bar takes.
constexpr int kSaveRowIds[] = {kIdcSaveData, kIdcSavePath, kIdcBrowseSavePath};

// Shares of the bar's width: pause button, speed list, slider; the position text takes the rest.
constexpr double kPauseShare = 0.13;
constexpr double kSpeedShare = 0.12;
constexpr double kSliderShare = 0.50;
constexpr int kGapPixels = 4;
// Slider steps per page (a click beside the handle).
constexpr int kSliderPageReports = 10;
constexpr double kMsPerSecond = 1000.0;

struct BarText {
    const char* english;
    const char* chinese;
};
constexpr BarText kPauseText = {"Pause", "暂停"};
constexpr BarText kResumeText = {"Resume", "继续"};
constexpr BarText kMaxSpeedText = {"Max", "最快"};
constexpr BarText kSummaryTip = {"Double-click: the summary of the last run",
                                 "双击：上次运行的摘要"};
constexpr BarText kReportText = {"Report", "报告"};

QString Text(const BarText& text) {
    return QString::fromUtf8(GetSelectedLanguage() == UiLanguage::Chinese ? text.chinese
                                                                          : text.english);
}

QString SpeedText(double speed) {
    if (speed == kReplaySpeedMax) return Text(kMaxSpeedText);
    if (speed == 0.25) return QStringLiteral("¼×");
    if (speed == 0.5) return QStringLiteral("½×");
    return QStringLiteral("%1×").arg(speed);
}

constexpr int kOneXIndex = 2;  // kReplaySpeeds[2] is 1x
static_assert(kReplaySpeeds[kOneXIndex] == 1.0);

}  // namespace

// --- The bar ---------------------------------------------------------------------------------

CReplayBar::CReplayBar(QWidget* parent)
    : QWidget(parent),
      m_pause(new QPushButton(Text(kPauseText), this)),
      m_speed(new QComboBox(this)),
      m_slider(new QSlider(Qt::Horizontal, this)),
      m_position(new QLabel(this)) {
    setObjectName(QStringLiteral("ReplayBar"));
    for (const double speed : kReplaySpeeds) m_speed->addItem(SpeedText(speed), speed);
    m_speed->setCurrentIndex(kOneXIndex);
    m_slider->setPageStep(kSliderPageReports);
    m_slider->setFocusPolicy(Qt::StrongFocus);
    connect(m_pause, &QPushButton::clicked, this, &CReplayBar::PauseClicked);
    connect(m_speed, &QComboBox::activated, this,
            [this](int index) { emit SpeedChosen(m_speed->itemData(index).toDouble()); });
    connect(m_slider, &QSlider::valueChanged, this, &CReplayBar::OnSliderValue);
    connect(m_slider, &QSlider::sliderReleased, this,
            [this] { emit SeekRequested(static_cast<uint64_t>(m_slider->value())); });
}

void CReplayBar::PlaceControls() {
    const int w = width();
    const int h = height();
    int x = 0;
    auto place = [&](QWidget* control, int share) {
        control->setGeometry(x, 0, std::max(share - kGapPixels, 1), h);
        x += share;
    };
    place(m_pause, static_cast<int>(w * kPauseShare));
    place(m_speed, static_cast<int>(w * kSpeedShare));
    place(m_slider, static_cast<int>(w * kSliderShare));
    m_position->setGeometry(x, 0, std::max(w - x, 1), h);
}

void CReplayBar::Begin(uint64_t count, int intervalMs) {
    m_count = count;
    m_intervalMs = intervalMs;
    m_moving = true;
    m_slider->setRange(0, static_cast<int>(std::min<uint64_t>(count > 0 ? count - 1 : 0, INT_MAX)));
    m_slider->setValue(0);
    m_moving = false;
    m_speed->setCurrentIndex(kOneXIndex);
    ShowPaused(false);
    ShowPositionText(0);
}

void CReplayBar::ShowPosition(uint64_t report) {
    if (m_slider->isSliderDown()) return;
    m_moving = true;
    m_slider->setValue(static_cast<int>(std::min<uint64_t>(report, INT_MAX)));
    m_moving = false;
    ShowPositionText(report);
}

void CReplayBar::ShowPaused(bool paused) {
    m_pause->setText(Text(paused ? kResumeText : kPauseText));
}

void CReplayBar::ShowPositionText(uint64_t report) {
    if (m_count == 0) {  // a file that could not be indexed
        m_position->clear();
        return;
    }
    // Numbered from 1 as people count; the time is the report's place in the recording at 1x.
    const double seconds = static_cast<double>(ReportTimeMs(report, m_intervalMs)) / kMsPerSecond;
    m_position->setText(QStringLiteral("%1 %2 / %3  %4 s")
                            .arg(Text(kReportText))
                            .arg(report + 1)
                            .arg(m_count)
                            .arg(seconds, 0, 'f', 1));
}

void CReplayBar::OnSliderValue(int value) {
    if (m_moving) return;
    ShowPositionText(static_cast<uint64_t>(value));
    // While the handle is dragged the text follows; the release seeks.
    if (!m_slider->isSliderDown()) emit SeekRequested(static_cast<uint64_t>(value));
}

// --- The steering ----------------------------------------------------------------------------

CReplaySteering::CReplaySteering(QWidget* page, AcquisitionEngine& engine, CColorStatic* status)
    : QObject(page), m_page(page), m_engine(engine), m_status(status), m_bar(new CReplayBar(page)) {
    QRect row;
    for (const int id : kSaveRowIds) {
        if (QWidget* control = GetDlgItem(page, id)) row = row.united(control->geometry());
    }
    m_bar->setGeometry(row);
    m_bar->PlaceControls();
    m_bar->hide();
    connect(m_bar, &CReplayBar::PauseClicked, this, &CReplaySteering::TogglePause);
    connect(m_bar, &CReplayBar::SpeedChosen, this, &CReplaySteering::ChooseSpeed);
    connect(m_bar, &CReplayBar::SeekRequested, this, &CReplaySteering::Seek);
    m_status->setToolTip(Text(kSummaryTip));
    m_status->installEventFilter(this);
}

void CReplaySteering::PrepareRun(const AcquisitionRun& run) {
    m_first = 0;
    m_shown = 0;
    m_speed = 1.0;
    m_paused = false;
    m_intervalMs = EffectiveReplayInterval(run.replayIntervalMs);
    if (run.mode != AcquisitionMode::Replay) return;
    m_run = run;
    // A file that cannot be indexed leaves an empty slider; the replay itself says why it ends.
    if (!m_index.Build(run.replayFile)) m_index.Reset();
    m_bar->Begin(m_index.Count(), m_intervalMs);
}

void CReplaySteering::OnRunStarted() {
    std::lock_guard<std::mutex> guard(m_summaryLock);
    m_summary.Reset();
    m_summaryReports = 0;
    m_summaryIntervalMs = m_engine.IsReplay() ? m_intervalMs : -1;
    m_startMs = MonoTimeMs();
    m_summaryReady = false;
}

void CReplaySteering::OnReport(const TargetReport& report) {
    std::lock_guard<std::mutex> guard(m_summaryLock);
    m_summary.Add(report, SummaryTimeMs(m_summaryIntervalMs, m_first + m_summaryReports,
                                        MonoTimeMs() - m_startMs));
    ++m_summaryReports;
}

void CReplaySteering::OnReportShown() {
    if (!m_engine.IsReplay()) return;
    const uint64_t reports = m_engine.GetTally().reports;
    if (reports == 0) return;
    m_shown = m_first + reports - 1;
    m_bar->ShowPosition(m_shown);
}

void CReplaySteering::OnRunStateChanged(AcquisitionRunState state) {
    if (m_seeking) return;
    if (state == AcquisitionRunState::Idle) {
        {
            std::lock_guard<std::mutex> guard(m_summaryLock);
            m_endMs = MonoTimeMs() - m_startMs;
            m_summaryReady = m_summaryReports > 0;
        }
        ShowBar(false);
    } else {
        ShowBar(state == AcquisitionRunState::Replay);
    }
}

void CReplaySteering::ShowBar(bool show) {
    for (const int id : kSaveRowIds) ShowDlgItem(m_page, id, !show);
    m_bar->setVisible(show);
    if (show) m_bar->raise();
}

void CReplaySteering::TogglePause() {
    m_paused = !m_paused;
    m_engine.SetReplayPaused(m_paused);
    m_bar->ShowPaused(m_paused);
}

void CReplaySteering::ChooseSpeed(double speed) {
    m_speed = speed;
    m_engine.SetReplayInterval(PacedReplayIntervalMs(m_intervalMs, speed));
}

void CReplaySteering::Seek(uint64_t report) {
    if (!m_engine.IsRunning() || !m_engine.IsReplay() || report >= m_index.Count()) return;
    AcquisitionRun run = m_run;
    run.replayFirstByte = m_index.ReportOffset(report);
    run.replayIntervalMs = m_engine.ReplayIntervalMs();
    run.replayPaused = m_paused;
    // The stop and the start are one step for the page: the bar stays.
    m_seeking = true;
    m_engine.StopAcquisition();
    m_first = report;
    m_shown = report;
    m_engine.StartAcquisition(run);
    m_seeking = false;
    if (!m_engine.IsRunning()) OnRunStateChanged(AcquisitionRunState::Idle);
}

RunSummaryFigures CReplaySteering::SummaryFigures() const {
    std::lock_guard<std::mutex> guard(m_summaryLock);
    return m_summary.Figures(
        SummaryTimeMs(m_summaryIntervalMs, m_first + m_summaryReports, m_endMs));
}

bool CReplaySteering::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_status && event->type() == QEvent::MouseButtonDblClick) {
        ShowSummary();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void CReplaySteering::ShowSummary() {
    if (!m_summaryReady || m_engine.IsRunning()) return;
    QString text =
        QString::fromStdString(FormatRunSummary(SummaryFigures(), RunSummaryLayout::Compact))
            .trimmed();
    m_status->SetWindowText(text.replace('\n', QStringLiteral("\r\n")));
}
