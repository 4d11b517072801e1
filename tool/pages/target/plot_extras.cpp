#include "pages/target/plot_extras.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "controls/wave_wnd.h"
#include "core/mono_clock.h"
#include "core/text_format.h"
#include "device/report_csv.h"
#include "pages/params/radar_param_setting.h"
#include "pages/target/plot_context_menu.h"
#include "pages/target/target_plot_math.h"
#include "platform/user_prompts.h"
#include "resources/string_table.h"

namespace {

constexpr uint32_t kMaxHoldColour = 0xFFFF00FF;        // magenta, 0xAABBGGRR
constexpr uint32_t kMaxHoldLegendColour = 0xFFFF00FF;  // magenta, 0xAARRGGBB
constexpr uint32_t kNegativeHeadroomColour = 0xFFFF3030;
constexpr int kPlotWaveCount = 3;  // the page's own waves
constexpr uint64_t kMaxHoldLegendText = 6;
constexpr double kLegendTop = 70.0;  // below the page's three legend lines
constexpr double kLegendPoints = 10.0;
constexpr int kFar = 2;
constexpr int kNear = 0;
constexpr double kMarkPixels = 12.0;
// More than the value axis ever shows.
constexpr int kMaxValueLabels = 64;
constexpr const char* kPngSuffix = ".png";
constexpr const char* kCsvSuffix = ".csv";

QString Text(int id) {
    return QString::fromUtf8(LoadStringText(id));
}

QString Formatted(int id, auto... args) {
    std::string text;
    FormatText(text, LoadStringText(id), args...);
    return QString::fromStdString(text);
}

QString WithSuffix(QString path, const char* suffix) {
    if (!path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) path += QLatin1String(suffix);
    return path;
}

}  // namespace

CTargetPlotExtras::CTargetPlotExtras(QWidget* owner, CWaveWnd* energyPlot, CWaveWnd* distancePlot,
                                     const RadarParamSetting* record)
    : QObject(owner),
      m_owner(owner),
      m_energy(energyPlot),
      m_distance(distancePlot),
      m_record(record),
      m_startMs(MonoTimeMs()) {
    for (CWaveWnd* plot : {m_energy, m_distance}) {
        plot->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(plot, &QWidget::customContextMenuRequested, this,
                [this, plot](const QPoint& position) { OnContextMenu(plot, position); });
    }
}

// --- Reports -------------------------------------------------------------------------------

bool CTargetPlotExtras::TakeReport(const TargetReport& report) {
    if (m_frozen.load()) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_hold.Add(report);
    m_waterfall.Add(report);
    const double seconds = static_cast<double>(MonoTimeMs() - m_startMs) / 1000.0;
    m_rows.push_back(Row{report, seconds});
    if (m_rows.size() > kExportedReports) m_rows.pop_front();
    return true;
}

void CTargetPlotExtras::OnDisplayReset() {
    // A run started while frozen is shown: the freeze holds one run's picture.
    m_frozen.store(false);
    std::lock_guard<std::mutex> guard(m_lock);
    m_hold.Reset();
    m_waterfall.Clear();
    m_rows.clear();
    m_startMs = MonoTimeMs();
}

MaxHold CTargetPlotExtras::HoldCopy() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_hold;
}

WaterfallModel CTargetPlotExtras::WaterfallCopy() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_waterfall;
}

std::string CTargetPlotExtras::CsvText() const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::string text = ReportCsvHeader() + "\n";
    for (const Row& row : m_rows) text += ReportCsvRow(row.report, row.seconds) + "\n";
    return text;
}

// --- The energy plot -----------------------------------------------------------------------

void CTargetPlotExtras::ApplyToEnergyPlot(double scale) {
    m_scale = scale;
    ApplyFrameMode();
    CWaveWnd& plot = *m_energy;
    plot.SetWaveCount(m_maxHoldOn ? kMaxHoldCurveWave + 1 : kPlotWaveCount);
    if (m_maxHoldOn) {
        plot.SetWaveStyle(kMaxHoldCurveWave, kMaxHoldColour, plot.GetWaveLineWidth(0));
        // Stored as the page's energy curve is: one frame of the gates' values in dB.
        if (CWaveBuffer* buffer = plot.GetWaveBuffer(kMaxHoldCurveWave)) {
            buffer->SetSampleType(WaveSampleType::Double);
            buffer->SetFrameLength(kGateCount);
            buffer->SetHistoryFrames(1);
            buffer->SetWholeFramesOnly(1);
        }
    }
    RECT legend = plot.GetPlotRect();
    legend.top += ScaledSize(kLegendTop, scale);
    plot.SetText(kMaxHoldLegendText, m_maxHoldOn ? Text(kStrEnergyLegendMaxHold) : QString(),
                 ScaledSize(kLegendPoints, scale), kMaxHoldLegendColour, kFar, kNear, &legend);
    RefreshMaxHoldCurve();
}

void CTargetPlotExtras::RefreshMaxHoldCurve() {
    if (!m_maxHoldOn) return;
    const MaxHold hold = HoldCopy();
    // Without a maximum there is no curve (a zero-filled one would read as 0 dB).
    m_energy->SetWaveVisible(kMaxHoldCurveWave, hold.Count() > 0 ? 1 : 0);
    if (hold.Count() == 0) return;
    if (CWaveBuffer* buffer = m_energy->GetWaveBuffer(kMaxHoldCurveWave)) {
        buffer->AddSamples(hold.Maxima().data(), kGateCount);
    }
}

void CTargetPlotExtras::DrawEnergyEnd(QPainter* painter, const RECT& plot) {
    if (painter == nullptr || plot.right <= plot.left || plot.bottom <= plot.top) return;
    if (m_waterfallOn) DrawWaterfall(painter, plot);
    if (m_maxHoldOn) DrawHeadroomMarks(painter, plot);
}

void CTargetPlotExtras::DrawWaterfall(QPainter* painter, const RECT& plot) const {
    // One image row per possible report (oldest at the top), gates across; rows not yet
    // filled keep the colour of no energy. Scaled without smoothing: each row stays one colour.
    const WaterfallModel model = WaterfallCopy();
    QImage image(kGateCount, static_cast<int>(model.MaxRows()), QImage::Format_RGB32);
    image.fill(model.EnergyColour(kWaterfallFloorDb));
    for (size_t row = 0; row < model.RowCount(); ++row) {
        const WaterfallPixels pixels = model.RowPixels(row);
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(static_cast<int>(row)));
        std::copy(pixels.begin(), pixels.end(), line);
    }
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(QRect(plot.left, plot.top, plot.right - plot.left, plot.bottom - plot.top),
                       image);
    painter->restore();
}

void CTargetPlotExtras::DrawHeadroomMarks(QPainter* painter, const RECT& plot) const {
    const MaxHold hold = HoldCopy();
    if (hold.Count() == 0) return;
    const GateValues headroom = hold.Headroom(m_record->TriggerThreshold);
    const double width = plot.right - plot.left;
    const int mark = ScaledSize(kMarkPixels, m_scale);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor::fromRgba(kNegativeHeadroomColour));
    for (int gate = 0; gate < kGateCount; ++gate) {
        if (headroom[gate] >= 0.0) continue;
        // Over the gate's column of the waterfall, or its point on the curves.
        const double x = m_waterfallOn ? plot.left + (gate + 0.5) * width / kGateCount
                                       : plot.left + gate * (width - 1) / (kGateCount - 1);
        const int cx = static_cast<int>(std::lround(x));
        const QPolygon triangle({QPoint(cx - mark / 2, plot.top), QPoint(cx + mark / 2, plot.top),
                                 QPoint(cx, plot.top + mark)});
        painter->drawPolygon(triangle);
    }
    painter->restore();
}

QString CTargetPlotExtras::Tooltip(uintptr_t context, int wave, int sampleIndex, double value,
                                   const QString& base) const {
    if (context != kEnergyPlotContext || !m_maxHoldOn) return base;
    if (sampleIndex < 0 || sampleIndex >= kGateCount) return base;
    const MaxHold hold = HoldCopy();
    if (hold.Count() == 0) return base;
    QString text = wave == kMaxHoldCurveWave ? Formatted(kStrMaxHoldTip, sampleIndex, value) : base;
    const double headroom = hold.Headroom(m_record->TriggerThreshold)[sampleIndex];
    if (!text.isEmpty()) text += QLatin1Char('\n');
    return text + Formatted(kStrHeadroomTip, headroom);
}

// --- The menu ------------------------------------------------------------------------------

void CTargetPlotExtras::FillMenu(QMenu* menu, CWaveWnd* plot) {
    auto add = [&](PlotAction id, int text, bool checkable, bool checked, auto handler) {
        QAction* action = menu->addAction(Text(text));
        action->setData(static_cast<int>(id));
        action->setCheckable(checkable);
        action->setChecked(checked);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    if (plot == m_energy) {
        add(PlotAction::MaxHold, kStrMenuMaxHold, true, m_maxHoldOn,
            [this](bool on) { SetMaxHold(on); });
        add(PlotAction::ResetMaxHold, kStrMenuResetMaxHold, false, false, [this] {
            ResetMaxHold();
        })->setEnabled(m_maxHoldOn);
        add(PlotAction::Waterfall, kStrMenuWaterfall, true, m_waterfallOn,
            [this](bool on) { SetWaterfall(on); });
        menu->addSeparator();
    }
    add(PlotAction::SavePng, kStrMenuSavePng, false, false, [this, plot] { SavePng(plot); });
    add(PlotAction::CopyImage, kStrMenuCopyImage, false, false, [this, plot] { CopyImage(plot); });
    add(PlotAction::ExportCsv, kStrMenuExportCsv, false, false, [this] { ExportCsv(); });
    menu->addSeparator();
    add(PlotAction::Freeze, kStrMenuFreeze, true, IsFrozen(), [this](bool on) { SetFrozen(on); });
}

void CTargetPlotExtras::OnContextMenu(CWaveWnd* plot, const QPoint& position) {
    QMenu menu(plot);
    FillMenu(&menu, plot);
    RunPlotMenu(menu, plot->mapToGlobal(position));
}

void CTargetPlotExtras::Repaint() {
    ApplyFrameMode();
    m_energy->SetBackgroundDirty();
    m_energy->update();
}

void CTargetPlotExtras::ApplyFrameMode() {
    // The waterfall and the headroom marks change with every report, all over the plot.
    m_energy->SetIncrementalFrames(m_waterfallOn || m_maxHoldOn ? 0 : 1);
}

void CTargetPlotExtras::SetMaxHold(bool on) {
    m_maxHoldOn = on;
    ApplyToEnergyPlot(m_scale);
    Repaint();
}

void CTargetPlotExtras::ResetMaxHold() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hold.Reset();
    }
    // The curve leaves until the next report brings a maximum again.
    if (CWaveBuffer* buffer = m_energy->GetWaveBuffer(kMaxHoldCurveWave)) buffer->ClearSamples();
    RefreshMaxHoldCurve();
    Repaint();
}

void CTargetPlotExtras::SetWaterfall(bool on) {
    m_waterfallOn = on;
    // The value axis's dB labels mean nothing over rows of time: blank while the waterfall shows.
    for (WavePanel panel : {kPanelLeft, kPanelRight}) {
        CCoordinate* coordinate = m_energy->GetCoordinate(panel);
        if (coordinate == nullptr) continue;
        coordinate->ClearCustomLabels();
        if (on) {
            for (int label = 0; label < kMaxValueLabels; ++label) {
                coordinate->AddCustomLabel(label, std::u16string());
            }
        }
        m_energy->MarkPanelDirty(panel);
    }
    Repaint();
}

void CTargetPlotExtras::SetFrozen(bool on) {
    m_frozen.store(on);
}

QImage CTargetPlotExtras::PlotImage(CWaveWnd* plot) const {
    return plot->grab().toImage();
}

void CTargetPlotExtras::SaveFailed(const QString& path) {
    MessageBox(m_owner, Formatted(kStrSaveFailed, path.toUtf8().constData()), Text(kStrError),
               kMbOk | kMbIconError);
}

bool CTargetPlotExtras::SavePng(CWaveWnd* plot) {
    QString path = ChooseSaveFile(m_owner, Text(kStrMenuSavePng), QString(), Text(kStrPngFilter));
    if (path.isEmpty()) return false;
    path = WithSuffix(path, kPngSuffix);
    if (PlotImage(plot).save(path, "PNG")) return true;
    SaveFailed(path);
    return false;
}

void CTargetPlotExtras::CopyImage(CWaveWnd* plot) {
    QGuiApplication::clipboard()->setImage(PlotImage(plot));
}

bool CTargetPlotExtras::ExportCsv() {
    QString path = ChooseSaveFile(m_owner, Text(kStrMenuExportCsv), QString(), Text(kStrCsvFilter));
    if (path.isEmpty()) return false;
    path = WithSuffix(path, kCsvSuffix);
    const std::string text = CsvText();
    std::ofstream file(path.toStdString(), std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (file) return true;
    SaveFailed(path);
    return false;
}
