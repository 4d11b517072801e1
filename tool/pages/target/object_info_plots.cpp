// The target page's two plots: their configuration, what the page draws into them (the state
// band, the shading of the inactive gates) and their tooltips.
#include <QPainter>
#include <QRegion>

#include <string>

#include "controls/pixel_shade.h"
#include "pages/params/radar_param_setting.h"
#include "pages/target/object_info_dlg.h"
#include "pages/target/plot_extras.h"
#include "pages/target/target_plot_math.h"
#include "resources/string_table.h"

namespace {

constexpr uint32_t kPlotOuterColour = 0x2A323C;
constexpr uint32_t kEnergyWaveColour = 0xFF00FF00;   // green, 0xAABBGGRR
constexpr uint32_t kTriggerWaveColour = 0xFF0000FF;  // red
constexpr uint32_t kHoldWaveColour = 0xFF00FFFF;     // yellow
constexpr uint32_t kDistanceWaveColour = 0xFF0000FF;
constexpr uint32_t kDistanceBackground = 0xFF000000;
constexpr uint32_t kPlotGridColour = 0xFF005F20;
constexpr uint32_t kPlotCentreColour = 0xFFFF0000;
constexpr uint32_t kTextColour = 0xFFFFFFFF;
constexpr uint32_t kLegendColours[] = {0xFF00FF00, 0xFFFF0000, 0xFFFFFF00};
constexpr int kLegendStrings[] = {kStrEnergyLegendValue, kStrEnergyLegendTrigger,
                                  kStrEnergyLegendHold};
constexpr int kEnergyWaveCount = 3;
constexpr double kTitlePoints = 15.0;
constexpr double kAxisTitlePoints = 10.0;
constexpr double kAxisLabelPoints = 8.0;
constexpr double kLeftPanelPixels = 50.0;
constexpr double kBottomPanelPixels = 24.0;
constexpr double kLegendFirstOffset = 10.0;
constexpr double kLegendStep = 20.0;
constexpr int kEnergyXLabels = 6;
constexpr int kYLabels = 5;
constexpr int kDistanceXLabels = 5;
constexpr double kNoWrap = -1.0;
// Text alignments of SetText: near, centre, far.
constexpr int kNear = 0;
constexpr int kCentre = 1;
constexpr int kFar = 2;
// Text ids of the plots: title, value axis, other axis, then the energy legend.
constexpr uint64_t kTitleText = 0;
constexpr uint64_t kValueAxisText = 1;
constexpr uint64_t kOtherAxisText = 2;
constexpr uint64_t kFirstLegendText = 3;
// The distance plot's time labels: "T0-60" ... "T0-15", then "T0".
constexpr int kTimeLabelSeconds[] = {60, 45, 30, 15};

QString Text(int id) {
    return QString::fromUtf8(LoadStringText(id));
}

}  // namespace

void CObjectInfoDlg::SetScale(double scale) {
    m_scale = scale;
    ConfigurePlots();
}

void CObjectInfoDlg::ConfigurePlots() {
    ConfigureEnergyPlot();
    ConfigureDistancePlot();
}

void CObjectInfoDlg::ApplyPlotFrame(CWaveWnd& plot, uintptr_t context, int waveCount) {
    plot.SetDrawListener(this, context);
    plot.SetTooltipListener(this, context);
    plot.SetOuterColour(kPlotOuterColour);
    plot.SetWaveCount(waveCount);
}

void CObjectInfoDlg::ApplyPlotBackground(CWaveWnd& plot, uint32_t colour) {
    plot.SetBackground(1);
    plot.SetBackgroundMode(0);
    plot.SetBackgroundColour(colour);
    plot.SetGrid(0);
    plot.SetGridLineThickness(1);
    plot.SetGridColour(kPlotGridColour);
    plot.SetCentreColour(kPlotCentreColour);
    plot.SetDoubleSamples();
}

void CObjectInfoDlg::ApplyPlotTitles(CWaveWnd& plot, int title, int valueAxis, int otherAxis) {
    plot.SetText(kTitleText, Text(title), ScaledSize(kTitlePoints, m_scale), kTextColour, kCentre,
                 kNear, nullptr);
    plot.SetText(kValueAxisText, Text(valueAxis), ScaledSize(kAxisTitlePoints, m_scale),
                 kTextColour, kNear, kNear, nullptr);
    plot.SetText(kOtherAxisText, Text(otherAxis), ScaledSize(kAxisTitlePoints, m_scale),
                 kTextColour, kFar, kFar, nullptr);
}

void CObjectInfoDlg::ConfigureEnergyPlot() {
    CWaveWnd& plot = *m_energyPlot;
    const double s = m_scale;
    ApplyPlotFrame(plot, kEnergyPlotContext, kEnergyWaveCount);
    const int width = ScaledSize(m_settings.energyWaveLineWidth, s);
    plot.SetWaveStyle(kEnergyWave, kEnergyWaveColour, width);
    plot.SetWaveStyle(kTriggerWave, kTriggerWaveColour, width);
    plot.SetWaveStyle(kHoldWave, kHoldWaveColour, width);
    // Handed over unchanged: the plot reads it as 0xAABBGGRR.
    ApplyPlotBackground(plot, m_settings.energyActiveColor);
    plot.SetAutoScale(m_settings.energyValueAutoScale);
    plot.SetYRange(0, m_settings.energyValueDisplayMax);
    plot.SetWaveLength(kGateCount);
    plot.SetWholeFramesOnly(1);
    plot.SetFrameCounter(0);
    // Only the energy curve moves from report to report; the extras turn this off while what
    // they draw over the curves changes with every report.
    plot.SetIncrementalFrames(1);
    plot.ClearData();
    for (int wave = 0; wave < kEnergyWaveCount; ++wave) {
        if (CWaveBuffer* buffer = plot.GetWaveBuffer(wave)) buffer->ResetFramesReceived();
    }
    plot.update();
    ApplyPlotTitles(plot, kStrEnergyPlotTitle, kStrEnergyPlotValueAxis, kStrEnergyPlotGateAxis);
    plot.ShowAxisPanel(kPanelLeft, 1, ScaledSize(kLeftPanelPixels, s), nullptr);
    plot.ShowAxisPanel(kPanelBottom, 1, ScaledSize(kBottomPanelPixels, s), nullptr);
    plot.SetXAxisFont(ScaledSize(kAxisLabelPoints, s));
    plot.SetYAxisFont(ScaledSize(kAxisLabelPoints, s), 0);
    plot.SetXLabelCount(kEnergyXLabels);
    plot.SetXRange(0, kGateCount - 1, kNoWrap);
    plot.SetYLabelCount(kYLabels);
    plot.Initialize();
    plot.RecreateImages();

    RECT legend = plot.GetPlotRect();
    legend.top += ScaledSize(kLegendFirstOffset, s);
    for (int i = 0; i < kEnergyWaveCount; ++i) {
        if (i > 0) legend.top += ScaledSize(kLegendStep, s);
        plot.SetText(kFirstLegendText + i, Text(kLegendStrings[i]), ScaledSize(kAxisTitlePoints, s),
                     kLegendColours[i], kFar, kNear, &legend);
    }
    AddThresholdCurves();
    if (m_extras) m_extras->ApplyToEnergyPlot(s);
}

void CObjectInfoDlg::ConfigureDistancePlot() {
    CWaveWnd& plot = *m_distancePlot;
    const double s = m_scale;
    ApplyPlotFrame(plot, kDistancePlotContext, 1);
    plot.SetWaveStyle(0, kDistanceWaveColour, ScaledSize(m_settings.distanceWaveLineWidth, s));
    ApplyPlotBackground(plot, kDistanceBackground);
    plot.SetYRange(m_record->DetectRangeMin, m_record->DetectRangeMax);
    plot.SetWaveLength(kStateHistoryLength);
    plot.SetWholeFramesOnly(0);
    plot.SetFrameCounter(0);
    ApplyPlotTitles(plot, kStrDistancePlotTitle, kStrDistancePlotValueAxis,
                    kStrDistancePlotTimeAxis);
    plot.ShowAxisPanel(kPanelLeft, 1, ScaledSize(kLeftPanelPixels, s), nullptr);
    plot.SetYAxisFont(ScaledSize(kAxisLabelPoints, s), 1);
    plot.SetYLabelCount(kYLabels);
    plot.ShowAxisPanel(kPanelBottom, 1, ScaledSize(kBottomPanelPixels, s), nullptr);
    plot.SetXAxisFont(ScaledSize(kAxisLabelPoints, s));
    plot.SetXRange(kDistancePlotSeconds, 0, kNoWrap);
    for (WavePanel panel : {kPanelTop, kPanelBottom}) {
        CCoordinate* coordinate = plot.GetCoordinate(panel);
        if (coordinate == nullptr) continue;
        coordinate->ClearCustomLabels();
        int index = 0;
        for (const int seconds : kTimeLabelSeconds) {
            coordinate->AddCustomLabel(
                index++, u"T0-" + std::u16string(QString::number(seconds).toStdU16String()));
        }
        coordinate->AddCustomLabel(index, u"T0");
        plot.MarkPanelDirty(panel);
    }
    plot.SetXLabelCount(kDistanceXLabels);
    plot.Initialize();
    plot.RecreateImages();
}

void CObjectInfoDlg::UpdateThresholdCurves() {
    m_energyPlot->ClearData();
    AddThresholdCurves();
    m_distancePlot->SetYRange(m_record->DetectRangeMin, m_record->DetectRangeMax);
    m_distancePlot->update();
    // The shading follows the detection range: the energy plot is drawn whole.
    m_energyPlot->update();
}

void CObjectInfoDlg::AddThresholdCurves() {
    for (int gate = 0; gate < kGateCount; ++gate) {
        m_triggerThresholds[gate] = m_record->TriggerThreshold[gate];
        m_holdThresholds[gate] = m_record->HoldThreshold[gate];
    }
    const struct {
        int wave;
        const double* values;
    } curves[] = {{kTriggerWave, m_triggerThresholds}, {kHoldWave, m_holdThresholds}};
    for (const auto& curve : curves) {
        if (curve.wave >= m_energyPlot->GetWaveCount()) continue;
        if (CWaveBuffer* buffer = m_energyPlot->GetWaveBuffer(curve.wave)) {
            buffer->AddSamples(curve.values, kGateCount);
            m_energyPlot->RequestRepaint();
        }
    }
    if (m_extras) m_extras->RefreshMaxHoldCurve();
}

std::vector<StateBandRun> CObjectInfoDlg::CurrentBandRuns() const {
    const RECT plot = m_distancePlot->GetPlotRect();
    return StateBandRuns(m_engine.GetStateHistory(), 0, plot.right - plot.left, m_settings);
}

void CObjectInfoDlg::RefreshStateBand() {
    std::vector<StateBandRun> runs = CurrentBandRuns();
    if (runs == m_paintedBand) return;
    m_distancePlot->SetBackgroundDirty();
}

void CObjectInfoDlg::OnDrawBackground(QPainter* painter, QImage* /*plotImage*/,
                                      uint32_t* /*pixels*/, int /*width*/, int /*height*/,
                                      int /*stride*/, const RECT& rect, uintptr_t context) {
    if (context != kDistancePlotContext || painter == nullptr) return;
    // Whenever the background is repainted, the band is repainted with it.
    const int bandHeight = ScaledSize(m_settings.distanceStateHeight, m_scale);
    m_paintedBand = StateBandRuns(m_engine.GetStateHistory(), rect.left, rect.right, m_settings);
    for (const StateBandRun& run : m_paintedBand) {
        painter->fillRect(QRect(run.left, rect.top, run.right - run.left, bandHeight),
                          QColor::fromRgba(run.colour));
    }
}

void CObjectInfoDlg::OnDrawEnd(QPainter* painter, QImage* /*windowImage*/, uint32_t* pixels,
                               int width, int height, int stride, const RECT& plot,
                               uintptr_t context) {
    if (context != kEnergyPlotContext || painter == nullptr) return;
    m_extras->DrawEnergyEnd(painter, plot);
    const int start = InactiveGateStart(plot.left, plot.right, *m_record);
    if (start >= plot.right) return;
    const QRect shaded(start, plot.top, plot.right - start, plot.bottom - plot.top);
    // Inside the painter's clip only: an incremental frame leaves the rest shaded already.
    const QRegion area = painter->hasClipping() ? painter->clipRegion() & shaded : QRegion(shaded);
    for (const QRect& r : area) {
        ShadeArea(pixels, width, height, stride,
                  RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1},
                  m_settings.energyInactiveColor);
    }
}

QString CObjectInfoDlg::GetTooltipText(int wave, int sampleIndex, int /*xOffset*/,
                                       int /*waveLength*/, double value, double /*xFirst*/,
                                       double /*xLast*/, POINT /*point*/, const RECT* /*plot*/,
                                       uintptr_t context) {
    return m_extras->Tooltip(
        context, wave, sampleIndex, value,
        QString::fromStdString(TargetPlotTooltip(context, wave, sampleIndex, value)));
}
