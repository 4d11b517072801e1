// CSensingGeneratorDlg: the threshold generation dialog (template 3500). The user picks the
// coefficients and the scan time (30 s or 120 s; a hidden Ctrl-triple-click on the warning shows
// a free scan time edit instead), presses Start, and follows the sensor's progress; the worker
// ("SensingGenerate", ThresholdGenerator) reports through the dialog's messages 0x500 (progress)
// and 0x501 (finished), delivered on the window thread.
//
// Ends with 1 when the last run succeeded, else 2. Close requests are ignored while a worker
// exists; Escape is always ignored. Destroying the dialog (its parent closing) stops the worker
// and waits for it first, so nothing of the run reaches a destroyed dialog.
//
// Window thread only.
#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>

#include "core/platform_types.h"
#include "pages/params/threshold_generation.h"
#include "resources/string_table.h"

class IRadarStreamLink;
class WindowMessageTarget;

// The dialog's messages.
constexpr uint32_t kMsgGenerationProgress = 0x500;  // wParam: percent
constexpr uint32_t kMsgGenerationFinished = 0x501;  // wParam: 1 success, 0 failure

// Control ids.
constexpr int kIdcTriggerCoefficient = 3501;
constexpr int kIdcHoldCoefficient = 3502;
constexpr int kIdcScanTimeLabel = 3503;
constexpr int kIdcScanTime = 3504;
constexpr int kIdcComplicatedEnv = 3505;
constexpr int kIdcPureEnv = 3506;
constexpr int kIdcGenerationProgress = 3507;
constexpr int kIdcStartStop = 3510;
constexpr int kIdcGenerationWarning = 3511;
constexpr int kIdcGenerationStatus = 3512;

// The dialog's end codes.
constexpr int kGenerationDialogSucceeded = 1;
constexpr int kGenerationDialogNotSucceeded = 2;

// The hidden gesture: three Ctrl-clicks on the warning, each within this of the one before.
constexpr uint64_t kScanTimeGestureClickMs = 500;
constexpr int kScanTimeGestureClicks = 3;

class CSensingGeneratorDlg : public QDialog, private IThresholdGenerationSink {
    Q_OBJECT
public:
    // The link is not owned and must outlive the dialog.
    CSensingGeneratorDlg(QWidget* parent, IRadarStreamLink& link, UiLanguage language,
                         const ThresholdGenerationRequest& preset = {});
    ~CSensingGeneratorDlg() override;

    // 1 after a successful run, else 0.
    int Result() const { return m_result; }
    // True from Start until the run ended or was stopped.
    bool IsRunning() const { return m_running; }
    // The dialog's message target.
    HWND Handle() const { return m_handle; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // IThresholdGenerationSink, from the worker: posted as the two messages.
    void OnGenerationProgress(int percent) override;
    void OnGenerationFinished(int success) override;

    void OnMessage(uint32_t msg, uint64_t wParam);
    void OnStartStop();
    void StartRun();
    void EndRun();
    void EnableInputs(bool enable);
    void SetStatus(const QString& text);
    void OnScanTimeGestureClick(bool insideWarning);

    UiLanguage m_language;
    ThresholdGenerationRequest m_preset;
    int m_result = 0;
    bool m_running = false;
    uint64_t m_lastClickMs = 0;
    int m_clickCount = 0;
    std::unique_ptr<WindowMessageTarget> m_target;
    HWND m_handle = 0;  // the target's handle, for the worker's posts
    // Last member: destroyed (stopped and joined) first.
    std::unique_ptr<ThresholdGenerator> m_generator;
};
