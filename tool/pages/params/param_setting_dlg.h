// CParamSettingDlg: the parameter page (template 2000) of the main window. It shows and edits the
// shared parameter record: the detection window with its range checks and tips, the two report
// frequency lists, the response speed, the absence delay and the 16 + 16 thresholds; it reads
// them from the sensor, writes them, resets them to the factory defaults, starts threshold
// generation and saves them into the settings ("ParamSetting").
//
// Use: construct with the parent and the language, SetDevice and SetParamRecord, then InitPage
// (loads the record from the settings and shows it). RefreshControls shows the record again;
// TakeConnectRead does so after the main window read the parameters on connecting. The page
// saves the record into the settings when it is destroyed.
//
// Device sequences run on a worker ("ParamSequence") with the page's inputs disabled and a busy
// cursor; a click meanwhile does nothing. A read fills a copy that replaces the record only when
// every read succeeded.
//
// The page keeps the sensor's values as last known (a successful read, the main window's read on
// connecting, a successful write or reset). Write Config. asks first when the page's values
// differ from them, listing each change; with none known, nothing differs or no sensor
// connected, it writes without asking. Window thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

#include "core/platform_types.h"
#include "pages/params/param_page_rules.h"
#include "pages/params/sensing_generator_dlg.h"
#include "resources/string_table.h"

class ParamSequenceWorker;
class RadarDeviceParamLink;
class RadarDeviceStreamLink;
class WindowMessageTarget;
class XMLParser;
class IRadarDevice;

// Control ids.
constexpr int kIdcParamReset = 2001;
constexpr int kIdcParamRead = 2002;
constexpr int kIdcParamWrite = 2003;
constexpr int kIdcParamGenerate = 2004;
constexpr int kIdcParamSave = 2005;
constexpr int kIdcRangeMin = 2010;
constexpr int kIdcRangeMax = 2011;
constexpr int kIdcStateReportFreq = 2012;
constexpr int kIdcRangeReportFreq = 2013;
constexpr int kIdcResponseNormal = 2014;
constexpr int kIdcResponseFast = 2015;
constexpr int kIdcAbsenceDelay = 2016;
constexpr int kIdcFirstTriggerThreshold = 2020;
constexpr int kIdcFirstHoldThreshold = 2040;

class CParamSettingDlg : public QWidget, private IRangeCheckView {
    Q_OBJECT
public:
    CParamSettingDlg(QWidget* parent, UiLanguage language);
    // Waits for a running sequence, closes the generation dialog (stopping its worker) and saves
    // the record into the settings, silently.
    ~CParamSettingDlg() override;

    // Neither is owned; both must outlive the page. Not while a sequence runs.
    void SetDevice(IRadarDevice* device);
    void SetParamRecord(RadarParamSetting* record);
    // The settings document the page loads from and saves to (default: the tool's own).
    void SetConfigDocument(XMLParser* document) { m_config = document; }

    // Loads the record from the "ParamSetting" section (added when missing) and shows it.
    void InitPage();
    // Writes the record into the controls (no range check runs).
    void RefreshControls();
    // The main window read the record from the sensor on connecting, with that result: on
    // success the record becomes the last known sensor values, otherwise none are known (another
    // sensor may be connected now). Shows the record either way.
    void TakeConnectRead(int result);

    // True while a device sequence runs.
    bool IsBusy() const { return m_busy; }
    // The open generation dialog, or null.
    CSensingGeneratorDlg* GeneratorDialog() const { return m_generator; }

signals:
    // A device sequence ended and its result was shown (tests and the main window wait on it).
    void SequenceFinished(int result);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Action { Read, Write, Reset, ReadThresholds };

    // IRangeCheckView.
    double ReadRangeEdit(RangeEdit edit) override;
    void WriteRangeEdit(RangeEdit edit, double metres) override;
    void ShowRangeTip(RangeEdit edit, const std::u16string& text, int id) override;

    void SetUpEdits();
    void ConnectControls();
    void OnEditChanged(int id);
    void OnStateListChanged();
    void OnRangeListChanged();
    void RebuildStateList();
    void TakeControlsIntoRecord();
    void OnRead();
    void OnWrite();
    // True when the write may go ahead: no known sensor values, no difference, or a Yes.
    bool ConfirmChanges();
    void OnReset();
    void OnGenerate();
    void OnGeneratorFinished(int code);
    void OnSave();
    void StartSequence(Action action);
    void OnSequenceDone(Action action, int result, const RadarParamSetting& copy);
    void ShowResultMessage(Action action, int result);
    void SaveRecord();
    void SetBusy(bool busy);
    QString Text(int id) const;

    UiLanguage m_language;
    IRadarDevice* m_device = nullptr;
    RadarParamSetting* m_record = nullptr;
    std::optional<RadarParamSetting> m_sensorValues;  // as last read from or written to the sensor
    XMLParser* m_config;
    bool m_initialised = false;
    bool m_busy = false;
    std::unique_ptr<WindowMessageTarget> m_target;
    std::unique_ptr<RadarDeviceParamLink> m_paramLink;
    std::unique_ptr<RadarDeviceStreamLink> m_streamLink;
    std::unique_ptr<ParamSequenceWorker> m_worker;  // after the links it uses
    bool m_busyCursor = false;                      // the busy cursor is set
    QPointer<CSensingGeneratorDlg> m_generator;
};
