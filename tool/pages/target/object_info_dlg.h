// CObjectInfoDlg: the target information page (template 3000). It shows what the sensor reports
// (state picture, status text with the current estimate, the energy plot of the 16 gates with
// the two threshold curves, the distance plot of the last 240 reports over the state band),
// starts and stops live display, records it and replays recordings. The acquisition itself is
// the AcquisitionEngine's; the page is its sink.
//
// Threads: everything runs on the window thread except the sink's report and end calls, which
// come from "ReadData": they feed the plots' wave buffers (their own locks) and post
// WM_TARGET_REPORT (at most one queued) / WM_ACQUISITION_END to the page, whose handler asks the
// plots for their repaint (RequestRepaint, coalescing). The plots' repaint request is
// thread-safe, but its queued Qt call is a hand-over ThreadSanitizer cannot see through the
// uninstrumented Qt; asked from the window thread it is plainly clean. The latest report, the state
// history and the band flag stay in the engine under its lock; the window thread reads copies.
// Stopping (which joins "ReadData") happens on the window thread only.
#pragma once

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "controls/wave_wnd.h"
#include "device/acquisition_engine.h"
#include "device/acquisition_settings.h"
#include "device/radar_device_stream_link.h"
#include "pages/target/replay_bar.h"
#include "pages/target/target_page_settings.h"
#include "pages/target/target_plot_math.h"
#include "platform/screen_saver.h"
#include "platform/window_message.h"

class CColorStatic;
class CTargetPlotExtras;
class IRadarDevice;
class QCheckBox;
struct RadarParamSetting;

// Control ids of template 3000.
constexpr int kIdcTargetIndicator = 3001;
constexpr int kIdcTargetStatus = 3002;
constexpr int kIdcTargetStart = 3003;
constexpr int kIdcTargetReplay = 3004;
constexpr int kIdcDistancePlot = 3010;
constexpr int kIdcEnergyPlot = 3011;
constexpr int kIdcSaveData = 3030;
constexpr int kIdcSavePath = 3031;
constexpr int kIdcBrowseSavePath = 3032;

// The most characters the page takes from the folder field.
constexpr int kMaxSaveFolderChars = 260;
// Wave ids of the energy plot.
constexpr int kEnergyWave = 0;
constexpr int kTriggerWave = 1;
constexpr int kHoldWave = 2;

class CObjectInfoDlg : public QWidget,
                       private IAcquisitionSink,
                       private IWaveWndDrawListener,
                       private IWaveWndTooltipListener {
    Q_OBJECT

public:
    // `device` (the main window's, may be null) and `record` (must outlive the page) are what the
    // main window hands every page. Builds the template's controls, loads the pictures and the
    // settings, configures the plots and shows the empty state. Hidden until shown.
    CObjectInfoDlg(IRadarDevice* device, RadarParamSetting* record, QWidget* parent = nullptr);
    // Stops acquisition and saves the page's settings.
    ~CObjectInfoDlg() override;

    // The size factor of fonts and margins (the main window's resize), then ConfigurePlots.
    void SetScale(double scale);
    double Scale() const { return m_scale; }
    // Applies both plots' settings for the current scale (distance samples are kept).
    void ConfigurePlots();
    // Takes the thresholds and the detection range from the parameter record into the plots.
    void UpdateThresholdCurves();

    // A live run (as the Start button), a replay of `file`, and the stop (safe when idle).
    void StartLive();
    void StartReplay(const std::string& file);
    void StopAcquisition();
    bool IsRunning() const { return m_engine.IsRunning(); }
    bool IsReplay() const { return m_engine.IsReplay(); }

    // For the main window's tests and the smoke test.
    CWaveWnd* EnergyPlot() const { return m_energyPlot; }
    CWaveWnd* DistancePlot() const { return m_distancePlot; }
    // The plots' context menus and what they offer (max-hold, waterfall, export, freeze).
    CTargetPlotExtras* PlotExtras() const { return m_extras.get(); }
    // Times the latest report was shown (WM_TARGET_REPORT handled; reports that came faster than
    // the window thread took them are shown once, as the newest).
    int64_t ReportsShown() const { return m_reportsShown; }
    const AcquisitionEngine& Engine() const { return m_engine; }
    const AcquisitionSettings& Settings() const { return m_acquisition; }
    // The replay bar and the run summary (replay_bar.h).
    CReplaySteering* Steering() const { return m_steering.get(); }
    // The picture the indicator shows (Unchanged: none yet).
    TargetPicture ShownPicture() const { return m_shownPicture; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // IAcquisitionSink
    void OnDeviceNotConnected() override;
    void OnDisplayReset() override;
    void OnRunStateChanged(AcquisitionRunState state) override;
    void OnReport(const TargetReport& report) override;
    void OnRunEnded(AcquisitionEnd reason) override;
    void OnRecordingFailed(const RecordingFailure& failure) override;

    // IWaveWndDrawListener
    void OnDrawBackground(QPainter* painter, QImage* plotImage, uint32_t* pixels, int width,
                          int height, int stride, const RECT& rect, uintptr_t context) override;
    void OnDrawEnd(QPainter* painter, QImage* windowImage, uint32_t* pixels, int width, int height,
                   int stride, const RECT& plot, uintptr_t context) override;
    // IWaveWndTooltipListener
    QString GetTooltipText(int wave, int sampleIndex, int xOffset, int waveLength, double value,
                           double xFirst, double xLast, POINT point, const RECT* plot,
                           uintptr_t context) override;

    void OnMessage(uint32_t msg, uint64_t wParam, int64_t lParam);
    void OnStartClicked();
    void OnReplayClicked();
    void OnSaveDataToggled();
    void OnBrowseClicked();

    void StartAcquisition(AcquisitionMode mode);
    void LoadPictures();
    void LoadPageSettings();
    void SavePageSettings();
    // The save folder as typed (at most kMaxSaveFolderChars characters).
    void TakeSaveFolderFromField();
    void RefreshTargetStatus();
    // The settings both plots share, in the order the plot takes them.
    void ApplyPlotFrame(CWaveWnd& plot, uintptr_t context, int waveCount);
    static void ApplyPlotBackground(CWaveWnd& plot, uint32_t colour);
    void ApplyPlotTitles(CWaveWnd& plot, int title, int valueAxis, int otherAxis);
    void ConfigureEnergyPlot();
    void ConfigureDistancePlot();
    void AddThresholdCurves();
    // Marks the distance plot's background dirty when the band would look different from the
    // one painted last.
    void RefreshStateBand();
    std::vector<StateBandRun> CurrentBandRuns() const;

    IRadarDevice* m_device;
    RadarParamSetting* m_record;
    std::optional<RadarDeviceStreamLink> m_link;
    double m_scale = 1.0;

    CColorStatic* m_status = nullptr;
    CColorStatic* m_indicator = nullptr;
    CWaveWnd* m_energyPlot = nullptr;
    CWaveWnd* m_distancePlot = nullptr;
    QCheckBox* m_saveData = nullptr;
    QImage m_pictures[3];  // Nobody, Motion, Motionless
    TargetPicture m_shownPicture = TargetPicture::Unchanged;

    TargetPageSettings m_settings;
    AcquisitionSettings m_acquisition;
    double m_triggerThresholds[kGateCount] = {};
    double m_holdThresholds[kGateCount] = {};
    int64_t m_reportsShown = 0;
    std::atomic<bool> m_reportPosted{false};  // a WM_TARGET_REPORT is queued
    std::vector<StateBandRun> m_paintedBand;  // in plot image columns
    // Runs started (the display reset): a run's end message stops only that run, not one that a
    // seek or a new replay started after it.
    std::atomic<uint64_t> m_runNumber{0};

    // Before the engine: its worker, which feeds the summary, is gone first.
    std::unique_ptr<CReplaySteering> m_steering;

    ScreenSaverInhibitor m_keepAwake;
    std::unique_ptr<WindowMessageTarget> m_messages;
    std::unique_ptr<CTargetPlotExtras> m_extras;  // fed by ReadData: outlives the engine
    // Last: destroyed first, so no worker outlives what it feeds.
    AcquisitionEngine m_engine;
};
