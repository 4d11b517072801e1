// The target page's two plots per report on a 1920 x 1080 screen: the energy plot (16 gates,
// trigger and hold threshold curves, inactive gates shaded) and the distance plot (240 reports
// of distance over the state band, its background repainted at every report). Each plot is
// 1516 x 382 pixels: 335 x 78 of the 340 x 216 dialog units the page fills beside the main
// window's side bar, at 1920 x 1080.
//
// Per report, in the same loop: CWaveWnd (samples in, both plots painted through their paint
// handler into a 1920 x 1080 screen image) against the reference, the same content painted with
// plain QPainter on a QImage (fills, texts, labels, every sample as a polyline, the band and the
// shading) and copied to the screen image the same way. Process CPU time (Qt may use helper
// threads). Counters: ms per report for both, their ratio (ours / reference), and our stages.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <time.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <vector>

#include "controls/coordinate.h"
#include "controls/wave_wnd.h"
#include "platform/font_substitution.h"
#include "support/target_plots.h"

namespace {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kPlotWidth = 1516;
constexpr int kPlotHeight = 382;
constexpr QPoint kEnergyAt(400, 120);
constexpr QPoint kDistanceAt(400, 520);
// The scale of the page at this size (its plots are 670 pixels wide at scale 1).
constexpr double kScale = kPlotWidth / 670.0;
constexpr int kWarmReports = target_plots::kHistory;

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The same two plots with plain QPainter: everything painted again at every report.
class ReferencePlots {
public:
    explicit ReferencePlots(const CWaveWnd& energyLayout, const CWaveWnd& distanceLayout)
        : m_energyImage(kPlotWidth, kPlotHeight, QImage::Format_RGB32),
          m_distanceImage(kPlotWidth, kPlotHeight, QImage::Format_RGB32),
          m_energyPlot(energyLayout.GetPlotRect()),
          m_distancePlot(distanceLayout.GetPlotRect()) {
        for (int g = 0; g < target_plots::kGates; ++g) {
            m_trigger[size_t(g)] = m_params.trigger[size_t(g)];
            m_hold[size_t(g)] = m_params.hold[size_t(g)];
        }
        m_page.scale = kScale;
    }

    void Feed(const target_plots::Report& report) {
        std::copy(report.energyDb, report.energyDb + target_plots::kGates, m_energy.begin());
        std::rotate(m_distance.begin(), m_distance.begin() + 1, m_distance.end());
        m_distance.back() = report.distanceM;
        std::rotate(m_page.states.begin(), m_page.states.begin() + 1, m_page.states.end());
        m_page.states.back() = uint8_t(report.state);
    }

    void Paint(QImage* screen) {
        PaintEnergy();
        PaintDistance();
        QPainter painter(screen);
        painter.drawImage(kEnergyAt, m_energyImage);
        painter.drawImage(kDistanceAt, m_distanceImage);
    }

private:
    static QRect ToQRect(const RECT& r) {
        return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    static QFont Font(int points) {
        QFont font(QStringLiteral("黑体"));
        font.setPointSize(points);
        return font;
    }
    void Frame(QPainter* painter, const RECT& plot) {
        painter->fillRect(QRect(0, 0, kPlotWidth, kPlotHeight), QColor(0x2A, 0x32, 0x3C));
        painter->fillRect(ToQRect(plot), Qt::black);
    }
    void Texts(QPainter* painter, const RECT& plot, const char* title, const char* yTitle,
               const char* xTitle) {
        const QRect r = ToQRect(plot);
        painter->setPen(Qt::white);
        painter->setFont(Font(int(15 * kScale)));
        painter->drawText(r, Qt::AlignHCenter | Qt::AlignTop, QString::fromUtf8(title));
        painter->setFont(Font(int(10 * kScale)));
        painter->drawText(r, Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(yTitle));
        painter->drawText(r, Qt::AlignRight | Qt::AlignBottom, QString::fromUtf8(xTitle));
    }
    void Labels(QPainter* painter, CCoordinate& coordinate) {
        painter->setFont(Font(int(8 * kScale)));
        painter->setPen(Qt::white);
        for (const CoordinateLabel& label : coordinate.LayoutLabels()) {
            int flags = (label.flags & kLabelRight)    ? Qt::AlignRight
                        : (label.flags & kLabelCentre) ? Qt::AlignHCenter
                                                       : Qt::AlignLeft;
            flags |= (label.flags & kLabelBottom)    ? Qt::AlignBottom
                     : (label.flags & kLabelVCentre) ? Qt::AlignVCenter
                                                     : Qt::AlignTop;
            painter->drawText(ToQRect(label.rect), flags, QString::fromStdU16String(label.text));
        }
    }
    template <size_t N>
    void Curve(QPainter* painter, const RECT& plot, const std::array<double, N>& values,
               double yMax, QColor colour) {
        QPolygonF line;
        const double w = plot.right - plot.left - 1;
        const double h = plot.bottom - plot.top;
        for (size_t i = 0; i < N; ++i)
            line << QPointF(plot.left + double(i) * w / double(N - 1),
                            plot.top + (yMax - values[i]) / yMax * h);
        painter->setPen(QPen(colour, int(target_plots::kLineWidth * kScale), Qt::SolidLine,
                             Qt::RoundCap, Qt::RoundJoin));
        painter->drawPolyline(line);
    }

    void PaintEnergy() {
        QPainter painter(&m_energyImage);
        Frame(&painter, m_energyPlot);
        Texts(&painter, m_energyPlot, "FP VS RG", "Fraction Power (dB)", "0.7 m/Range Gate");
        CCoordinate y;
        y.vertical = 1;
        y.rect = RECT{0, m_energyPlot.top, m_energyPlot.left, m_energyPlot.bottom};
        y.rangeMin = 0;
        y.rangeMax = 100;
        y.decimals = 0;
        Labels(&painter, y);
        CCoordinate x;
        x.rect = RECT{m_energyPlot.left, m_energyPlot.bottom, kPlotWidth, kPlotHeight};
        x.count = 6;
        x.rangeMin = 0;
        x.rangeMax = 15;
        x.decimals = 0;
        Labels(&painter, x);
        Curve(&painter, m_energyPlot, m_energy, 100, Qt::green);
        Curve(&painter, m_energyPlot, m_trigger, 100, Qt::red);
        Curve(&painter, m_energyPlot, m_hold, 100, Qt::yellow);
        m_page.OnDrawEnd(&painter, nullptr, nullptr, 0, 0, 0, m_energyPlot, 0);
    }

    void PaintDistance() {
        QPainter painter(&m_distanceImage);
        Frame(&painter, m_distancePlot);
        painter.save();
        painter.translate(m_distancePlot.left, m_distancePlot.top);
        const int w = m_distancePlot.right - m_distancePlot.left;
        const int h = m_distancePlot.bottom - m_distancePlot.top;
        m_page.OnDrawBackground(&painter, nullptr, nullptr, w, h, 0, RECT{0, 0, w, h}, 1);
        painter.restore();
        Texts(&painter, m_distancePlot, "Range VS Time", "Range (m)", "Time (sec.)");
        CCoordinate y;
        y.vertical = 1;
        y.rect = RECT{0, m_distancePlot.top, m_distancePlot.left, m_distancePlot.bottom};
        y.rangeMax = target_plots::kDetectRangeMax;
        y.rangeMin = 0;
        y.decimals = 1;
        Labels(&painter, y);
        CCoordinate x;
        x.rect = RECT{m_distancePlot.left, m_distancePlot.bottom, kPlotWidth, kPlotHeight};
        for (int i = 0; i < 4; ++i)
            x.AddCustomLabel(i, QStringLiteral("T0-%1").arg(60 - 15 * i).toStdU16String());
        x.AddCustomLabel(4, u"T0");
        Labels(&painter, x);
        Curve(&painter, m_distancePlot, m_distance, target_plots::kDetectRangeMax, Qt::red);
    }

    SensorParameters m_params;
    target_plots::PagePainter m_page;
    QImage m_energyImage;
    QImage m_distanceImage;
    RECT m_energyPlot;
    RECT m_distancePlot;
    std::array<double, target_plots::kGates> m_energy{};
    std::array<double, target_plots::kGates> m_trigger{};
    std::array<double, target_plots::kGates> m_hold{};
    std::array<double, target_plots::kHistory> m_distance{};
};

void BM_TargetPlotsPerReport(benchmark::State& state) {
    QWidget page;
    page.resize(kScreenWidth, kScreenHeight);
    auto* energy = new CWaveWnd(&page);
    auto* distance = new CWaveWnd(&page);
    energy->setGeometry(QRect(kEnergyAt, QSize(kPlotWidth, kPlotHeight)));
    distance->setGeometry(QRect(kDistanceAt, QSize(kPlotWidth, kPlotHeight)));
    page.show();
    target_plots::PagePainter painter;
    target_plots::ConfigureEnergyPlot(energy, &painter, kScale);
    target_plots::ConfigureDistancePlot(distance, &painter, kScale);
    ReferencePlots reference(*energy, *distance);
    QImage screen(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    QImage referenceScreen(kScreenWidth, kScreenHeight, QImage::Format_RGB32);

    const auto reports = target_plots::SimulatedReports(kWarmReports + 4000, 0, 250);
    size_t next = 0;
    for (; next < size_t(kWarmReports); ++next) {
        target_plots::FeedReport(energy, distance, &painter, reports[next]);
        reference.Feed(reports[next]);
    }
    WavePaintStageTimes energyStages;
    WavePaintStageTimes distanceStages;
    energy->SetPaintStageTimes(&energyStages);
    distance->SetPaintStageTimes(&distanceStages);
    double ours = 0.0;
    double theirs = 0.0;
    const int64_t paintsBefore = energy->PaintCount() + distance->PaintCount();
    for (auto _ : state) {
        const auto& report = reports[next];
        next = next + 1 < reports.size() ? next + 1 : size_t(kWarmReports);
        target_plots::FeedReport(energy, distance, &painter, report);
        reference.Feed(report);

        const double start = CpuSeconds();
        energy->render(&screen, kEnergyAt, QRegion(), QWidget::DrawChildren);
        distance->render(&screen, kDistanceAt, QRegion(), QWidget::DrawChildren);
        const double mid = CpuSeconds();
        reference.Paint(&referenceScreen);
        const double end = CpuSeconds();
        ours += mid - start;
        theirs += end - mid;
        state.SetIterationTime(mid - start);
        benchmark::DoNotOptimize(screen.constBits());
        benchmark::DoNotOptimize(referenceScreen.constBits());
    }
    if (energy->PaintCount() + distance->PaintCount() - paintsBefore != 2 * state.iterations())
        state.SkipWithError("the plots were not painted once each per report");
    const double n = double(state.iterations());
    const double stagesNs = double(
        energyStages.background + energyStages.polylines + energyStages.copy + energyStages.curves +
        energyStages.panels + distanceStages.background + distanceStages.polylines +
        distanceStages.copy + distanceStages.curves + distanceStages.panels);
    state.counters["ours_ms"] = ours / n * 1e3;
    state.counters["reference_ms"] = theirs / n * 1e3;
    state.counters["ratio"] = ours / theirs;
    auto ms = [n](int64_t a, int64_t b) { return double(a + b) / n * 1e-6; };
    state.counters["bg_ms"] = ms(energyStages.background, distanceStages.background);
    state.counters["points_ms"] = ms(energyStages.polylines, distanceStages.polylines);
    state.counters["copy_ms"] = ms(energyStages.copy, distanceStages.copy);
    state.counters["curves_ms"] = ms(energyStages.curves, distanceStages.curves);
    state.counters["panels_ms"] = ms(energyStages.panels, distanceStages.panels);
    state.counters["screen_ms"] = ours / n * 1e3 - stagesNs / n * 1e-6;
    energy->SetPaintStageTimes(nullptr);
    distance->SetPaintStageTimes(nullptr);
}
BENCHMARK(BM_TargetPlotsPerReport)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // No screen is needed: the plots paint into images.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    InstallFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
