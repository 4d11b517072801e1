// CTargetPlotExtras: what the target page's plots offer beyond the template through their
// context menus: on the energy plot a max-hold curve with each gate's headroom (tooltips, marks
// on gates below 0 dB) and a waterfall view; on either plot saving as PNG, copying to the
// clipboard, exporting the shown reports as CSV and freezing the display while the run (and its
// recording) goes on. The models are tool_core's (MaxHold, WaterfallModel, ReportCsvRow); this
// class only feeds, draws and menus them.
//
// Threads: TakeReport runs on "ReadData" and takes each report into the models under their own
// lock (every report counts, also those the window shows only as the newest); everything else
// runs on the window thread.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "core/platform_types.h"
#include "device/report_frame.h"
#include "pages/target/max_hold.h"
#include "pages/target/waterfall_model.h"

class CWaveWnd;
class QImage;
class QMenu;
class QPainter;
class QWidget;
struct RadarParamSetting;

// The energy plot's wave of the max-hold curve (after the value and the two thresholds).
constexpr int kMaxHoldCurveWave = 3;
// The reports the CSV export holds: as many as the distance plot shows.
constexpr size_t kExportedReports = 240;

// The context menu's actions (their QAction::data), for the page's tests.
enum class PlotAction { MaxHold, ResetMaxHold, Waterfall, SavePng, CopyImage, ExportCsv, Freeze };

class CTargetPlotExtras : public QObject {
    Q_OBJECT

public:
    // The plots and the record must outlive the extras; `owner` owns the prompts.
    CTargetPlotExtras(QWidget* owner, CWaveWnd* energyPlot, CWaveWnd* distancePlot,
                      const RadarParamSetting* record);

    // ReadData. False while the display is frozen: the page then shows nothing of the report.
    bool TakeReport(const TargetReport& report);
    // A new run: the models start empty, the clock of the CSV's seconds from now, the display
    // thawed.
    void OnDisplayReset();
    // After the energy plot was configured (wave count, legend) for `scale`.
    void ApplyToEnergyPlot(double scale);
    // After the energy plot's data were cleared or a report was shown: the max-hold curve.
    void RefreshMaxHoldCurve();

    // The energy plot's drawing after its curves (window image), and the tooltip of any plot
    // (`base`: the page's own text).
    void DrawEnergyEnd(QPainter* painter, const RECT& plot);
    QString Tooltip(uintptr_t context, int wave, int sampleIndex, double value,
                    const QString& base) const;

    // The menu of `plot` (the actions belong to `menu`).
    void FillMenu(QMenu* menu, CWaveWnd* plot);
    void OnContextMenu(CWaveWnd* plot, const QPoint& position);

    // What the menu does.
    void SetMaxHold(bool on);
    void ResetMaxHold();
    void SetWaterfall(bool on);
    void SetFrozen(bool on);
    bool SavePng(CWaveWnd* plot);
    void CopyImage(CWaveWnd* plot);
    bool ExportCsv();

    bool IsMaxHoldOn() const { return m_maxHoldOn; }
    bool IsWaterfallOn() const { return m_waterfallOn; }
    bool IsFrozen() const { return m_frozen.load(); }
    // Copies of the models, for the page's tests.
    MaxHold HoldCopy() const;
    WaterfallModel WaterfallCopy() const;
    // The CSV of the reports kept (header line first, "\n" line ends).
    std::string CsvText() const;

private:
    void Repaint();
    void ApplyFrameMode();
    QImage PlotImage(CWaveWnd* plot) const;
    void DrawWaterfall(QPainter* painter, const RECT& plot) const;
    void DrawHeadroomMarks(QPainter* painter, const RECT& plot) const;
    void SaveFailed(const QString& path);

    QWidget* m_owner;
    CWaveWnd* m_energy;
    CWaveWnd* m_distance;
    const RadarParamSetting* m_record;
    bool m_maxHoldOn = false;
    bool m_waterfallOn = false;
    std::atomic<bool> m_frozen{false};
    double m_scale = 1.0;

    struct Row {
        TargetReport report;
        double seconds;
    };
    mutable std::mutex m_lock;  // guards the models below (ReadData and the window thread)
    MaxHold m_hold;
    WaterfallModel m_waterfall;
    std::deque<Row> m_rows;
    uint64_t m_startMs = 0;
};
