// COrbo_Zorvan_ToolDlg: the program's only top-level window (template 1000). Its left column
// holds the three page buttons, the port list, the baud field, Refresh, Connect/Disconnect and
// the sensor's version label; the rest is the page area, showing one page at a time: the
// parameter page, the target information page or the firmware page. It owns the device, the
// parameter record the pages share, the run's log file and the scaling of every control.
//
// The device library's link notifications arrive on its threads (the reader thread when the
// sensor vanishes); they are handed to the window thread and handled there, never directly, so
// no notification ever stops acquisition (joins "ReadData") from a library or worker thread. A
// disconnect by the button, and a switch to the firmware page, stop the target page's
// acquisition before the link is closed.
//
// Window thread only (except the two notifications, which only queue work).
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/run_log_file.h"
#include "app/tool_options.h"
#include "controls/wnd_resize_tool.h"
#include "dataprocess/radar_device_interface.h"
#include "device/device_connection.h"
#include "pages/params/param_setting_dlg.h"
#include "pages/params/radar_param_setting.h"
#include "platform/window_message.h"
#include "serial/serial_port_open.h"

class CDownloadDlg;

class CObjectInfoDlg;
class QComboBox;

// Control ids of template 1000.
constexpr int kIdcParamPageButton = 1187;
constexpr int kIdcTargetPageButton = 1188;
constexpr int kIdcFirmwarePageButton = 1189;
constexpr int kIdcRefresh = 1100;
constexpr int kIdcPortList = 1101;
constexpr int kIdcBaudRate = 1102;
constexpr int kIdcConnect = 1103;
constexpr int kIdcVersionLabel = 1104;
constexpr int kIdcPageArea = 1200;

// Settings of the root "AppConfig" the window reads and writes.
constexpr const char* kKeyBaudRate = "BaudRate";
constexpr const char* kKeyByteSize = "ByteSize";
constexpr const char* kKeyParityMode = "ParityMode";
constexpr const char* kKeyStopBits = "StopBits";

// The name of the firmware page's window.
constexpr const char* kFirmwarePageName = "DownloadDlg";

class COrbo_Zorvan_ToolDlg : public QDialog, private IRadarDeviceListener {
    Q_OBJECT

public:
    // Builds the window and its pages. The options' port, connect and page take effect once the
    // window is shown, as the user's own clicks would (connect first, then the page).
    explicit COrbo_Zorvan_ToolDlg(const ToolOptions& options = ToolOptions(),
                                  QWidget* parent = nullptr);
    // Destroys the pages (the target page stops and saves), removes the listener, closes the link
    // and destroys the device, writes "BaudRate", closes the log.
    ~COrbo_Zorvan_ToolDlg() override;

    // Where the port list comes from (default: the serial port enumeration); tests give their own
    // list, then RefreshPortList.
    using PortEnumerator = std::function<std::vector<std::string>()>;
    void SetPortEnumerator(PortEnumerator enumerator);

    // The handlers, as the controls call them.
    void RefreshPortList();
    void ApplyPortSelection();
    void OnConnectClicked();
    void ShowPage(ToolPage page);

    // State, for tests.
    int PortNumber() const { return m_portNumber; }
    int32_t BaudRate() const { return static_cast<int32_t>(m_line.baudRate); }
    double Scale() const { return m_scale; }
    ToolPage CurrentPage() const { return m_page; }
    IRadarDevice* Device() const { return m_connection.Device(); }
    bool IsConnected() const;
    CObjectInfoDlg* TargetPage() const { return m_targetPage; }
    CParamSettingDlg* ParamPage() const { return m_paramPage; }
    CDownloadDlg* FirmwarePage() const { return m_firmwarePage; }
    const RadarParamSetting& Record() const { return m_record; }
    const RunLogFile& LogFile() const { return m_logFile; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Refused while the firmware page runs a job (it says why).
    void closeEvent(QCloseEvent* event) override;

private:
    // IRadarDeviceListener: any thread; both only queue the handling on the window thread.
    void OnRadarDeviceConnected(IRadarDevice* device) override;
    void OnRadarDeviceDisconnected(IRadarDevice* device) override;
    void HandleConnected();
    void HandleDisconnected();

    void CreatePages();
    // The parameter page takes the record just read from the sensor (with the read's result)
    // into its controls.
    void RefreshParamPageFromRecord(int readResult);
    void LoadSerialSettings();
    void SaveBaudRate();
    void OnBaudTextChanged();
    // The firmware page opens the port itself with the main window's serial settings.
    void CopySerialSettingsToFirmwarePage();
    void ApplyStartOptions();

    ToolOptions m_options;
    PortEnumerator m_enumerator;
    bool m_startOptionsApplied = false;
    CWndResizeTool m_resizeTool;
    double m_scale = 1.0;
    CParamSettingDlg* m_paramPage = nullptr;
    CObjectInfoDlg* m_targetPage = nullptr;
    CDownloadDlg* m_firmwarePage = nullptr;
    QComboBox* m_portList = nullptr;
    int m_portNumber = 0;
    SerialLineSettings m_line;
    ToolPage m_page = ToolPage::Params;
    DeviceConnection m_connection;
    RadarParamSetting m_record;
    RunLogFile m_logFile;
    // The notifications queue their handling for this handle; once the target is gone (the
    // window going away) queued and later work is dropped.
    std::unique_ptr<WindowMessageTarget> m_messages;
    HWND m_handle = 0;
};
