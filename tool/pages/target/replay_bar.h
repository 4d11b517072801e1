// The target page's replay steering and run summary.
//
// CReplayBar is the row shown only while a replay runs: pause/resume, the speed (¼× to 16× of
// the page's "ReplayInterval", or as fast as possible) and a position slider over every report of
// the recording with the report's number and its time from the start. It takes the place of the
// "Save Data" row (which only concerns live runs and is disabled during a replay) and gives it
// back when the replay ends; it is made with the page, hidden, so that the main window's resize
// tool records it and its controls with the rest. Its controls are placed once, from its own size;
// afterwards only the resize tool moves them.
//
// CReplaySteering joins the bar to the page's engine: it indexes a recording when the page opens
// it (one pass, RecordingIndex), changes the running replay's pause and speed through the engine
// (SetReplayPaused, SetReplayInterval), and seeks by stopping the run and starting it again from
// the report's byte offset, paused or not and at the speed chosen. It also keeps the run's summary
// (RunSummary; a replay's reports timed at the 1x interval, a live run's by the clock; after a
// seek, from the report sought) and shows it in the status area on request: a double-click on
// the status area once a run has ended (its tooltip says so). A context menu would be the other
// way, but a menu is a pop-up window, which the page's offscreen tests cannot open cleanly.
//
// Threads: everything on the window thread, except OnReport, which "ReadData" calls; the summary
// it feeds is under its own lock.
#pragma once

#include <QObject>
#include <QWidget>

#include <cstdint>
#include <mutex>

#include "device/acquisition_engine.h"
#include "device/recording_index.h"
#include "device/run_summary.h"

class CColorStatic;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

class CReplayBar : public QWidget {
    Q_OBJECT

public:
    explicit CReplayBar(QWidget* parent);

    // Places the controls inside the bar's current size.
    void PlaceControls();
    // A replay of `count` reports shown every `intervalMs` at 1x: the slider's range, running, 1x.
    void Begin(uint64_t count, int intervalMs);
    // Moves the slider to report n (no seek) unless the user holds it.
    void ShowPosition(uint64_t report);
    void ShowPaused(bool paused);

    QPushButton* PauseButton() const { return m_pause; }
    QComboBox* SpeedList() const { return m_speed; }
    QSlider* PositionSlider() const { return m_slider; }
    QLabel* PositionLabel() const { return m_position; }

signals:
    void PauseClicked();
    void SpeedChosen(double speed);
    void SeekRequested(uint64_t report);

private:
    void ShowPositionText(uint64_t report);
    void OnSliderValue(int value);

    QPushButton* m_pause;
    QComboBox* m_speed;
    QSlider* m_slider;
    QLabel* m_position;
    uint64_t m_count = 0;
    int m_intervalMs = 0;
    bool m_moving = false;  // the slider is moved by the program
};

class CReplaySteering : public QObject {
    Q_OBJECT

public:
    // `page` holds the "Save Data" row whose place the bar takes; `status` is the status area.
    CReplaySteering(QWidget* page, AcquisitionEngine& engine, CColorStatic* status);

    // A run the page starts: a replay's file is indexed, and it runs from its first report at
    // 1x, not paused (as without the bar).
    void PrepareRun(const AcquisitionRun& run);
    // The engine starts a run (its display reset): the summary begins.
    void OnRunStarted();
    void OnRunStateChanged(AcquisitionRunState state);
    // ReadData: every report goes into the summary.
    void OnReport(const TargetReport& report);
    // The page showed the latest report.
    void OnReportShown();

    CReplayBar* Bar() const { return m_bar; }
    const RecordingIndex& Index() const { return m_index; }
    // The number of the report shown last (from 0).
    uint64_t ShownReport() const { return m_shown; }
    // The summary's figures of the last run that ended; nothing while a run is on or none ended.
    bool HasSummary() const { return m_summaryReady; }
    RunSummaryFigures SummaryFigures() const;

protected:
    // Double-clicks on the status area.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Seek(uint64_t report);
    void TogglePause();
    void ChooseSpeed(double speed);
    void ShowBar(bool show);
    void ShowSummary();

    QWidget* m_page;
    AcquisitionEngine& m_engine;
    CColorStatic* m_status;
    CReplayBar* m_bar;

    RecordingIndex m_index;
    AcquisitionRun m_run;  // the replay as the page started it
    int m_intervalMs = 0;  // the 1x interval
    double m_speed = 1.0;
    bool m_paused = false;
    bool m_seeking = false;
    uint64_t m_first = 0;  // the report the run started at
    uint64_t m_shown = 0;

    mutable std::mutex m_summaryLock;  // the summary and its count, fed on ReadData
    RunSummary m_summary;
    uint64_t m_summaryReports = 0;
    int m_summaryIntervalMs = -1;  // -1: a live run, timed by the clock
    uint64_t m_startMs = 0;
    uint64_t m_endMs = 0;
    bool m_summaryReady = false;
};
