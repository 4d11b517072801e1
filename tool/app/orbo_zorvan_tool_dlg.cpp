#include "app/orbo_zorvan_tool_dlg.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_config.h"
#include "app/main_window_texts.h"
#include "app/program_icon.h"
#include "core/dbg_output.h"
#include "firmware/download_dlg.h"
#include "pages/params/param_setting_dlg.h"
#include "pages/target/object_info_dlg.h"
#include "platform/dialog_builder.h"
#include "platform/dialog_items.h"
#include "platform/user_prompts.h"
#include "resources/dialog_templates.h"
#include "resources/string_table.h"
#include "serial/serial_port_list.h"

namespace {

QString Text(int id) {
    return QString::fromUtf8(LoadStringText(id));
}

// Shows the wait cursor while it lives.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

std::vector<std::string> EnumeratedPortNames() {
    return ListSerialPortNames(SystemSerialPortRoots());
}

}  // namespace

COrbo_Zorvan_ToolDlg::COrbo_Zorvan_ToolDlg(const ToolOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options), m_enumerator(&EnumeratedPortNames) {
    m_messages = std::make_unique<WindowMessageTarget>([](uint32_t, uint64_t, int64_t) {}, this);
    m_handle = m_messages->Handle();
    BuildDialogFromTemplate(this, kMainWindowTemplate, GetSelectedLanguage());
    setWindowIcon(ProgramIcon());
    setWindowTitle(QString::fromStdString(
        CaptionWithVersion(windowTitle().toStdString(), ProgramVersionText())));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);

    LoadSerialSettings();
    if (IRadarDevice* device = m_connection.CreateDevice()) {
        Orbo_Interface_RadarDevice_Serial_AddRadarDeviceListener(device, this, 0);
    }
    CreatePages();

    m_portList = GetDlgList(this, kIdcPortList);
    if (m_portList != nullptr) {
        connect(m_portList, &QComboBox::currentIndexChanged, this,
                &COrbo_Zorvan_ToolDlg::ApplyPortSelection);
    }
    SetDlgItemText(this, kIdcBaudRate, QString::number(static_cast<int32_t>(m_line.baudRate)));
    if (auto* baud = qobject_cast<QLineEdit*>(GetDlgItem(this, kIdcBaudRate))) {
        connect(baud, &QLineEdit::textChanged, this, &COrbo_Zorvan_ToolDlg::OnBaudTextChanged);
    }
    auto connectButton = [this](int id, auto handler) {
        if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(this, id))) {
            connect(button, &QAbstractButton::clicked, this, handler);
        }
    };
    connectButton(kIdcRefresh, [this] { RefreshPortList(); });
    connectButton(kIdcConnect, [this] { OnConnectClicked(); });
    connectButton(kIdcParamPageButton, [this] { ShowPage(ToolPage::Params); });
    connectButton(kIdcTargetPageButton, [this] { ShowPage(ToolPage::Target); });
    connectButton(kIdcFirmwarePageButton, [this] { ShowPage(ToolPage::Firmware); });

    ShowDlgItem(this, kIdcPageArea, false);
    ShowDlgItem(this, kIdcVersionLabel, false);
    // The label's two lines are its own; wrapping would push the serial number onto a third
    // line, below the label's bottom.
    if (auto* versionLabel = qobject_cast<QLabel*>(GetDlgItem(this, kIdcVersionLabel))) {
        versionLabel->setWordWrap(false);
    }
    CheckRadioButton(this, kIdcParamPageButton, kIdcFirmwarePageButton, kIdcParamPageButton);
    m_targetPage->hide();
    m_firmwarePage->hide();
    m_paramPage->show();
    EnableDlgItem(this, kIdcConnect, true);

    m_logFile.Open();
    RefreshPortList();
    m_resizeTool.AttachWindow(this);
}

COrbo_Zorvan_ToolDlg::~COrbo_Zorvan_ToolDlg() {
    // No queued notification may run on a window going away.
    m_messages.reset();
    delete m_paramPage;
    m_paramPage = nullptr;
    delete m_targetPage;
    m_targetPage = nullptr;
    // Waits for a firmware job still running (a flash is never cut off).
    delete m_firmwarePage;
    m_firmwarePage = nullptr;
    if (IRadarDevice* device = m_connection.Device()) {
        Orbo_Interface_RadarDevice_Serial_DelRadarDeviceListener(device, this);
    }
    m_connection = DeviceConnection();
    SaveBaudRate();
    m_logFile.Close();
}

void COrbo_Zorvan_ToolDlg::CreatePages() {
    const QRect area = GetDlgItem(this, kIdcPageArea) != nullptr
                           ? GetDlgItem(this, kIdcPageArea)->geometry()
                           : QRect();
    m_paramPage = new CParamSettingDlg(this, GetSelectedLanguage());
    m_paramPage->SetDevice(m_connection.Device());
    m_paramPage->SetParamRecord(&m_record);
    m_paramPage->InitPage();
    m_targetPage = new CObjectInfoDlg(m_connection.Device(), &m_record, this);
    m_firmwarePage = new CDownloadDlg(this, GetSelectedLanguage());
    CopySerialSettingsToFirmwarePage();
    for (QWidget* page : {static_cast<QWidget*>(m_paramPage), static_cast<QWidget*>(m_targetPage),
                          static_cast<QWidget*>(m_firmwarePage)}) {
        page->setGeometry(area);
    }
}

void COrbo_Zorvan_ToolDlg::RefreshParamPageFromRecord(int readResult) {
    if (m_paramPage != nullptr) m_paramPage->TakeConnectRead(readResult);
}

void COrbo_Zorvan_ToolDlg::LoadSerialSettings() {
    XMLNode root;
    gAppConfig.FindRootNode(kAppConfigRootName, root);
    int32_t baud = static_cast<int32_t>(m_line.baudRate);
    if (root.GetAttributeInt32(kKeyBaudRate, &baud)) m_line.baudRate = static_cast<uint32_t>(baud);
    root.GetAttributeUInt8(kKeyByteSize, &m_line.byteSize);
    root.GetAttributeUInt8(kKeyParityMode, &m_line.parity);
    root.GetAttributeUInt8(kKeyStopBits, &m_line.stopBits);
}

void COrbo_Zorvan_ToolDlg::SaveBaudRate() {
    XMLNode root;
    if (gAppConfig.FindRootNode(kAppConfigRootName, root) == 0) return;
    root.SetAttributeInt64(kKeyBaudRate, static_cast<int32_t>(m_line.baudRate));
}

void COrbo_Zorvan_ToolDlg::OnBaudTextChanged() {
    m_line.baudRate =
        static_cast<uint32_t>(BaudRateFromText(GetDlgItemText(this, kIdcBaudRate).toStdString()));
    CopySerialSettingsToFirmwarePage();
}

void COrbo_Zorvan_ToolDlg::CopySerialSettingsToFirmwarePage() {
    if (m_firmwarePage != nullptr) m_firmwarePage->SetSerialSettings(m_portNumber, m_line);
}

void COrbo_Zorvan_ToolDlg::closeEvent(QCloseEvent* event) {
    // A flash is never cut off: the close waits for the firmware page's job to end.
    if (m_firmwarePage != nullptr && m_firmwarePage->RefuseCloseWhileBusy()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void COrbo_Zorvan_ToolDlg::SetPortEnumerator(PortEnumerator enumerator) {
    m_enumerator = enumerator ? std::move(enumerator) : PortEnumerator(&EnumeratedPortNames);
}

void COrbo_Zorvan_ToolDlg::RefreshPortList() {
    if (m_portList == nullptr) return;
    const std::vector<std::string> names = m_enumerator();

    const QSignalBlocker quiet(m_portList);
    m_portList->clear();
    int selected = 0;
    for (const PortEntry& entry : MakePortEntries(names, m_options.port)) {
        const int index =
            AddListEntry(m_portList, QString::fromStdString(entry.name), entry.number);
        if (entry.name == m_options.port) selected = index;
    }
    if (m_portList->count() > 0) m_portList->setCurrentIndex(selected);
    ApplyPortSelection();
}

void COrbo_Zorvan_ToolDlg::ApplyPortSelection() {
    // With nothing listed, connecting says "No Device Detected" rather than opening port 0.
    m_portNumber = kNoPortNumber;
    if (m_portList != nullptr && m_portList->currentIndex() >= 0) {
        m_portNumber = static_cast<int>(GetListItemData(m_portList, m_portList->currentIndex()));
    }
    CopySerialSettingsToFirmwarePage();
}

bool COrbo_Zorvan_ToolDlg::IsConnected() const {
    IRadarDevice* device = m_connection.Device();
    return device != nullptr && Orbo_Interface_RadarDevice_IsConnected(device) != 0;
}

void COrbo_Zorvan_ToolDlg::OnConnectClicked() {
    WaitCursor wait;
    if (IsConnected()) {
        // The worker stops before the link it reads goes away.
        m_targetPage->StopAcquisition();
        Orbo_Interface_RadarDevice_Serial_Close(m_connection.Device());
    } else if (m_portNumber == kNoPortNumber) {
        MessageBox(this, Text(kStrNoDeviceDetected), Text(kStrError),
                   kMbOk | kMbIconError | kMbTopMost);
    } else {
        int readResult = 0;
        const DeviceConnectResult result =
            m_connection.ConnectAndReadParameters(m_portNumber, m_line, m_record, readResult);
        if (result != DeviceConnectResult::Connected) {
            MessageBox(this, Text(kStrOpenDeviceFailed), Text(kStrError),
                       kMbOk | kMbIconError | kMbTopMost);
        } else {
            RefreshParamPageFromRecord(readResult);
            m_targetPage->UpdateThresholdCurves();
        }
    }
    SaveBaudRate();
}

void COrbo_Zorvan_ToolDlg::ShowPage(ToolPage page) {
    static constexpr int kButtons[] = {kIdcParamPageButton, kIdcTargetPageButton,
                                       kIdcFirmwarePageButton};
    m_page = page;
    CheckRadioButton(this, kIdcParamPageButton, kIdcFirmwarePageButton,
                     kButtons[static_cast<int>(page)]);
    // Hiding the target page stops its acquisition, before any link is closed below.
    m_paramPage->hide();
    m_targetPage->hide();
    m_firmwarePage->hide();
    switch (page) {
        case ToolPage::Params:
            m_paramPage->show();
            break;
        case ToolPage::Target:
            m_targetPage->show();
            break;
        case ToolPage::Firmware:
            m_firmwarePage->show();
            // The firmware page opens the port itself.
            if (IsConnected()) Orbo_Interface_RadarDevice_Serial_Close(m_connection.Device());
            break;
    }
    EnableDlgItem(this, kIdcConnect, page != ToolPage::Firmware);
}

void COrbo_Zorvan_ToolDlg::OnRadarDeviceConnected(IRadarDevice* /*device*/) {
    RunOnWindowThread(m_handle, [this] { HandleConnected(); });
}

void COrbo_Zorvan_ToolDlg::OnRadarDeviceDisconnected(IRadarDevice* /*device*/) {
    RunOnWindowThread(m_handle, [this] { HandleDisconnected(); });
}

void COrbo_Zorvan_ToolDlg::HandleConnected() {
    IRadarDevice* device = m_connection.Device();
    CBaseStringA version;
    CBaseStringA serialNumber;
    Orbo_Interface_RadarDevice_GetVersion(device, version);
    Orbo_Interface_RadarDevice_GetSerialNumber(device, serialNumber);
    SetDlgItemText(
        this, kIdcVersionLabel,
        QString::fromStdString(VersionLabelText(version.GetString(), serialNumber.GetString())));
    ShowDlgItem(this, kIdcVersionLabel, true);
    SetDlgItemText(this, kIdcConnect, Text(kStrDisconnect));
}

void COrbo_Zorvan_ToolDlg::HandleDisconnected() {
    // On the window thread: stopping joins "ReadData", which never runs this.
    m_targetPage->StopAcquisition();
    SetDlgItemText(this, kIdcConnect, Text(kStrConnect));
    ShowDlgItem(this, kIdcVersionLabel, false);
}

void COrbo_Zorvan_ToolDlg::keyPressEvent(QKeyEvent* event) {
    // The dialog's OK and cancel keys end nothing; only a close request ends the window.
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void COrbo_Zorvan_ToolDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (isMinimized()) return;
    double sx = 1.0;
    double sy = 1.0;
    if (m_resizeTool.ResizeTo(event->size().width(), event->size().height(), &sx, &sy) != 0) {
        m_scale = std::min(sx, sy);
        m_targetPage->SetScale(m_scale);
    }
}

void COrbo_Zorvan_ToolDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_startOptionsApplied) return;
    m_startOptionsApplied = true;
    // Once the window is up, as the user's clicks: connect first, then the page, so that the
    // target page finds the sensor connected and starts live display.
    QTimer::singleShot(0, this, [this] { ApplyStartOptions(); });
}

void COrbo_Zorvan_ToolDlg::ApplyStartOptions() {
    if (m_options.connect && !IsConnected()) OnConnectClicked();
    if (m_options.pageGiven) ShowPage(m_options.page);
}
