// The target page's two plots as the page sets them up, for the plot window's screenshot test
// and its paint benchmark: the energy plot (16 gates, trigger and hold threshold curves, the
// gates beyond the detection range shaded) and the distance plot (240 reports of distance over
// a band of target states), fed with reports of the simulated sensor's room. Header-only; the
// user links tool_ui and sim_core.
#pragma once

#include <QPainter>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "controls/wave_wnd.h"
#include "presence_detector.h"
#include "room_scenario.h"
#include "sensor_parameters.h"

namespace target_plots {

constexpr int kGates = 16;
constexpr int kHistory = 240;
constexpr uint8_t kNoReport = 0xFF;
constexpr double kGateMetres = 0.7;
constexpr double kDetectRangeMax = 6.3;
constexpr uint32_t kOuterColour = 0x2A323C;
constexpr int kLineWidth = 5;
constexpr int kStateHeight = 50;
constexpr uint32_t kNobodyColour = 0xFF15BC59;
constexpr uint32_t kMotionColour = 0xFFFC5D45;
constexpr uint32_t kMotionlessColour = 0xFF3478FF;
constexpr uint32_t kInactiveColour = 0xBFC3C3C3;
constexpr int kEnergyDisplayMax = 100;

// One report as the page reads it.
struct Report {
    int state = 0;
    double distanceM = 0.0;
    double energyDb[kGates] = {};
};

// `count` consecutive reports of the simulated room, one every periodMs of sensor time.
inline std::vector<Report> SimulatedReports(int count, uint64_t startMs, uint64_t periodMs) {
    RoomScenario room(ScenarioKind::Room, 7);
    PresenceDetector detector;
    SensorParameters params;
    std::vector<Report> reports;
    for (int i = 0; i < count; ++i) {
        const uint64_t t = startMs + uint64_t(i) * periodMs;
        const GateEnergies energies = room.EnergiesAt(t);
        const Detection detection = detector.Update(energies, params, t);
        Report report;
        report.state = int(detection.state);
        report.distanceM = detection.distanceCm / 100.0;
        for (int g = 0; g < kGates; ++g) report.energyDb[g] = EnergyDb(energies[size_t(g)]);
        reports.push_back(report);
    }
    return reports;
}

// The page's drawing into both plots: the state band under the distance curve and the shading
// of inactive gates over the energy curves; context 0 is the energy plot, 1 the distance plot.
class PagePainter : public IWaveWndDrawListener, public IWaveWndTooltipListener {
public:
    PagePainter() { states.fill(kNoReport); }

    void OnDrawBackground(QPainter* painter, QImage*, uint32_t*, int width, int, int, const RECT& r,
                          uintptr_t context) override {
        if (context != 1) return;
        const int bottom = r.top + int(kStateHeight * scale);
        auto classOf = [](uint8_t state) -> int {
            if (state == kNoReport) return 0;
            if (state <= 1) return 1;
            if (state <= 3) return state;
            return -1;
        };
        const uint32_t colours[4] = {0xFF000000, kNobodyColour, kMotionColour, kMotionlessColour};
        int runClass = classOf(states[0]);
        if (runClass < 0) return;
        int runStart = r.left;
        for (int x = r.left; x < r.right; ++x) {
            const int slot =
                std::min(int(std::lround(double(x - r.left) * kHistory / width)), kHistory - 1);
            const int c = classOf(states[size_t(slot)]);
            if (c < 0 || c == runClass) continue;
            painter->fillRect(runStart, r.top, x - runStart, bottom - r.top,
                              QColor::fromRgba(colours[runClass]));
            runClass = c;
            runStart = x;
        }
        painter->fillRect(runStart, r.top, r.right - runStart, bottom - r.top,
                          QColor::fromRgba(colours[runClass]));
    }

    void OnDrawEnd(QPainter* painter, QImage*, uint32_t*, int, int, int, const RECT& r,
                   uintptr_t context) override {
        if (context != 0) return;
        const int x0 =
            r.left + int((int(kDetectRangeMax / kGateMetres) + 1) * (r.right - r.left) * 0.0625);
        painter->fillRect(x0, r.top, r.right - x0, r.bottom - r.top,
                          QColor::fromRgba(kInactiveColour));
    }

    QString GetTooltipText(int wave, int sample, int, int n, double value, double, double, POINT,
                           const RECT*, uintptr_t context) override {
        if (context == 1 && wave == 0)
            return QString::asprintf("No. %.1fs Range: %.1f m", (n - sample) * 60.0 / n, value);
        static const char* const kEnergy[] = {"RG No.%d Target Energy: %.1f dB",
                                              "RG No.%d Trigger Energy: %.1f dB",
                                              "RG No.%d Hold Energy: %.1f dB"};
        if (context == 0 && wave >= 0 && wave < 3)
            return QString::asprintf(kEnergy[wave], sample, value);
        return QString();
    }

    std::array<uint8_t, kHistory> states{};
    double scale = 1.0;
};

// Both plots: a black background without grid (grid settings as the page gives them).
inline void SetPageBackground(CWaveWnd* plot) {
    plot->SetBackground(1);
    plot->SetBackgroundColour(0xFF000000);
    plot->SetBackgroundMode(0);
    plot->SetGrid(0);
    plot->SetGridLineThickness(1);
    plot->SetGridColour(0xFF005F20);
    plot->SetCentreColour(0xFFFF0000);
}

inline void ConfigureEnergyPlot(CWaveWnd* plot, PagePainter* page, double s) {
    const int width = int(kLineWidth * s);
    plot->SetDrawListener(page, 0);
    plot->SetTooltipListener(page, 0);
    plot->SetOuterColour(kOuterColour);
    plot->SetWaveCount(3);
    plot->SetWaveStyle(0, 0xFF00FF00, width);
    plot->SetWaveStyle(1, 0xFF0000FF, width);
    plot->SetWaveStyle(2, 0xFF00FFFF, width);
    SetPageBackground(plot);
    plot->SetDoubleSamples();
    plot->SetAutoScale(0);
    plot->SetYRange(0, kEnergyDisplayMax);
    plot->SetWaveLength(kGates);
    plot->SetWholeFramesOnly(1);
    plot->SetFrameCounter(0);
    plot->ClearData();
    for (int i = 0; i < 3; ++i) plot->GetWaveBuffer(i)->ResetFramesReceived();
    plot->SetText(0, QStringLiteral("FP VS RG"), int(15 * s), 0xFFFFFFFF, 1, 0, nullptr);
    plot->SetText(1, QStringLiteral("Fraction Power (dB)"), int(10 * s), 0xFFFFFFFF, 0, 0, nullptr);
    plot->SetText(2, QStringLiteral("0.7 m/Range Gate"), int(10 * s), 0xFFFFFFFF, 2, 2, nullptr);
    plot->ShowAxisPanel(kPanelLeft, 1, int(50 * s), nullptr);
    plot->ShowAxisPanel(kPanelBottom, 1, int(24 * s), nullptr);
    plot->SetXAxisFont(int(8 * s));
    plot->SetYAxisFont(int(8 * s), 0);
    plot->SetXLabelCount(6);
    plot->SetXRange(0, 15, -1);
    plot->SetYLabelCount(5);
    plot->Initialize();
    plot->RecreateImages();
    RECT legend = plot->GetPlotRect();
    legend.top += int(10 * s);
    const QString legends[3] = {QStringLiteral("--Energy Value"),
                                QStringLiteral("--Trigger Threshold"),
                                QStringLiteral("--Hold Threshold")};
    const uint32_t colours[3] = {0xFF00FF00, 0xFFFF0000, 0xFFFFFF00};
    for (int i = 0; i < 3; ++i) {
        plot->SetText(uint64_t(3 + i), legends[i], int(10 * s), colours[i], 2, 0, &legend);
        legend.top += int(20 * s);
    }
    SensorParameters params;
    double trigger[kGates];
    double hold[kGates];
    for (int g = 0; g < kGates; ++g) {
        trigger[g] = params.trigger[size_t(g)];
        hold[g] = params.hold[size_t(g)];
    }
    plot->GetWaveBuffer(1)->AddSamples(trigger, kGates);
    plot->RequestRepaint();
    plot->GetWaveBuffer(2)->AddSamples(hold, kGates);
    plot->RequestRepaint();
}

inline void ConfigureDistancePlot(CWaveWnd* plot, PagePainter* page, double s) {
    page->scale = s;
    plot->SetDrawListener(page, 1);
    plot->SetTooltipListener(page, 1);
    plot->SetOuterColour(kOuterColour);
    plot->SetWaveCount(1);
    plot->SetWaveStyle(0, 0xFF0000FF, int(kLineWidth * s));
    SetPageBackground(plot);
    plot->SetDoubleSamples();
    plot->SetYRange(0.0, kDetectRangeMax);
    plot->SetWaveLength(kHistory);
    plot->SetWholeFramesOnly(0);
    plot->SetFrameCounter(0);
    plot->SetText(0, QStringLiteral("Range VS Time"), int(15 * s), 0xFFFFFFFF, 1, 0, nullptr);
    plot->SetText(1, QStringLiteral("Range (m)"), int(10 * s), 0xFFFFFFFF, 0, 0, nullptr);
    plot->SetText(2, QStringLiteral("Time (sec.)"), int(10 * s), 0xFFFFFFFF, 2, 2, nullptr);
    plot->ShowAxisPanel(kPanelLeft, 1, int(50 * s), nullptr);
    plot->SetYAxisFont(int(8 * s), 1);
    plot->SetYLabelCount(5);
    plot->ShowAxisPanel(kPanelBottom, 1, int(24 * s), nullptr);
    plot->SetXAxisFont(int(8 * s));
    plot->SetXRange(60, 0, -1);
    for (WavePanel panel : {kPanelTop, kPanelBottom}) {
        CCoordinate* c = plot->GetCoordinate(panel);
        c->ClearCustomLabels();
        for (int i = 0; i < 4; ++i)
            c->AddCustomLabel(i, QStringLiteral("T0-%1").arg(60 - 15 * i).toStdU16String());
        c->AddCustomLabel(4, u"T0");
        plot->MarkPanelDirty(panel);
    }
    plot->SetXLabelCount(5);
    plot->Initialize();
    plot->RecreateImages();
}

// What the page does with one report: the gate energies to the energy plot, the distance and
// the state to the distance plot's history, and a repaint of both.
inline void FeedReport(CWaveWnd* energy, CWaveWnd* distance, PagePainter* page,
                       const Report& report) {
    energy->GetWaveBuffer(0)->AddSamples(report.energyDb, kGates);
    energy->RequestRepaint();
    distance->GetWaveBuffer(0)->AddSamples(&report.distanceM, 1);
    std::rotate(page->states.begin(), page->states.begin() + 1, page->states.end());
    page->states.back() = uint8_t(report.state);
    distance->SetBackgroundDirty();
    distance->RequestRepaint();
}

}  // namespace target_plots
