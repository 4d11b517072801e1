#include "radar_device.h"

#include <errno.h>

#include "core/dbg_output.h"
#include "serial/serial_port_table.h"

RadarDevice::RadarDevice() : m_notifier(this) {}

RadarDevice::~RadarDevice() {
    Close();
    m_notifier.WaitIdle();
}

std::shared_ptr<SerialLink> RadarDevice::OpenLink() {
    CAutoBaseLock guard(&m_stateLock);
    if (m_state != LinkState::Open || !m_link || m_link->IsClosing()) return nullptr;
    return m_link;
}

bool RadarDevice::IsConnected() {
    return OpenLink() != nullptr;
}

std::string RadarDevice::Version() {
    CAutoBaseLock guard(&m_stateLock);
    return m_version;
}

SerialOpenFailure RadarDevice::OpenFailure() const {
    CAutoBaseLock guard(&m_stateLock);
    return m_openFailure;
}

std::string RadarDevice::SerialNumber() {
    CAutoBaseLock guard(&m_stateLock);
    return m_serialNumber;
}

void RadarDevice::DetachLink(std::shared_ptr<SerialLink>& lostLink) {
    std::shared_ptr<SerialLink> link;
    LinkState state = LinkState::Closed;
    {
        CAutoBaseLock guard(&m_stateLock);
        link = std::move(m_link);
        m_link.reset();
        state = m_state;
        m_state = LinkState::Closed;
        if (state == LinkState::Open) m_notifier.Queue(DeviceEvent::Disconnected);
    }
    if (!link) return;
    if (state == LinkState::Lost) {
        // Its port is closed already; its reader may be inside a notification that calls us.
        lostLink = std::move(link);
        return;
    }
    // Not lost: its reader never calls a listener once the link is detached, so joining it here
    // cannot wait for one.
    link->Shutdown();
}

bool RadarDevice::Open(int portNumber, const SerialLineSettings& settings,
                       const RadarOpenOptions& options) {
    const uint64_t closeSerial = m_closeSerial.load();
    std::shared_ptr<SerialLink> lostLink;
    bool opened = false;
    std::string path;
    std::string failure;
    SerialOpenFailure cause;
    {
        CAutoBaseLock openGuard(&m_openLock);
        DetachLink(lostLink);
        m_stream.SetDelivery(false);
        {
            CAutoBaseLock guard(&m_stateLock);
            m_version.clear();
            m_serialNumber.clear();
        }

        std::string name;
        std::shared_ptr<SerialLink> link;
        if (!SerialPortNameOf(portNumber, name)) {
            failure = "no port has this number (list the ports first)";
            cause = MakeSerialOpenFailure(SerialOpenCause::NoSuchPort, ENOENT,
                                          "#" + std::to_string(portNumber), failure);
        } else {
            path = name;
            link = SerialLink::Open(name, settings, *this, cause);
            if (!link) failure = "port not opened: " + cause.reason;
        }
        if (link) {
            CAutoBaseLock guard(&m_stateLock);
            if (m_closeSerial.load() != closeSerial) {
                failure = "closed while opening";
            } else {
                m_link = link;
                m_state = LinkState::Opening;
                m_protocolVersion.store(options.version);
                m_sensorMaxBody.store(kMaxCommandBodyBytes);
            }
        }

        std::string serialNumber;
        std::string version;
        if (link && failure.empty() &&
            (options.readSerialNumber || options.readVersion || options.keepCmdMode)) {
            CAutoBaseLock commandGuard(&m_commandLock);
            uint16_t refused = 0;
            if (!EnterCommandMode(*link, options.version, options.ackTimeoutMs, options.settleMs,
                                  &refused)) {
                failure = !link->IsClosing() ? "the sensor did not enter command mode"
                          : link->IsLost()   ? "the port vanished while opening"
                                             : "closed while opening";
                if (!link->IsClosing() && refused != 0) {
                    cause = MakeSerialOpenFailure(SerialOpenCause::Refused, 0, path, failure);
                    cause.status = refused;
                } else if (!link->IsClosing()) {
                    cause = MakeSerialOpenFailure(SerialOpenCause::NoAnswer, 0, path, failure);
                    cause.timeoutMs = options.ackTimeoutMs;
                }
            } else {
                if (options.readSerialNumber &&
                    !ReadText(*link, 0x0011, options.ackTimeoutMs, serialNumber)) {
                    serialNumber.clear();
                }
                if (options.readVersion &&
                    !ReadText(*link, 0x0000, options.ackTimeoutMs, version)) {
                    version.clear();
                }
                if (!options.keepCmdMode && !EndCommandMode(*link, options.ackTimeoutMs)) {
                    DbgOutputA(kDbgLevelWarning,
                               "Radar device %s: command mode did not end after the open\r\n",
                               path.c_str());
                }
            }
        }

        if (link) {
            CAutoBaseLock guard(&m_stateLock);
            if (failure.empty() && (link->IsClosing() || m_link != link)) {
                failure =
                    link->IsLost() ? "the port vanished while opening" : "closed while opening";
            }
            if (failure.empty()) {
                m_state = LinkState::Open;
                m_serialNumber = serialNumber;
                m_version = version;
                m_notifier.Queue(DeviceEvent::Connected);
                opened = true;
            } else if (m_link == link) {
                m_link.reset();
                m_state = LinkState::Closed;
            }
        }
        if (!opened && cause.cause == SerialOpenCause::None) {
            cause = MakeSerialOpenFailure(SerialOpenCause::Other, 0, path, failure);
        }
        {
            CAutoBaseLock guard(&m_stateLock);
            m_openFailure = opened ? SerialOpenFailure{} : cause;
        }
        if (link && !opened) link->Shutdown();
    }
    if (lostLink) lostLink->Shutdown();

    if (opened) {
        DbgOutputA(kDbgLevelInfo,
                   "Radar device open: port %d (%s), %u baud, flags %d,%d,%d, ack %u ms, settle "
                   "%u ms: success, version \"%s\", serial number \"%s\"\r\n",
                   portNumber, path.c_str(), settings.baudRate, options.readSerialNumber,
                   options.readVersion, options.keepCmdMode, options.ackTimeoutMs, options.settleMs,
                   Version().c_str(), SerialNumber().c_str());
    } else {
        DbgOutputA(kDbgLevelInfo,
                   "Radar device open: port %d (%s), %u baud, flags %d,%d,%d, ack %u ms, settle "
                   "%u ms: failed, %s\r\n",
                   portNumber, path.empty() ? "?" : path.c_str(), settings.baudRate,
                   options.readSerialNumber, options.readVersion, options.keepCmdMode,
                   options.ackTimeoutMs, options.settleMs, failure.c_str());
    }
    m_notifier.Deliver();
    return opened;
}

void RadarDevice::Close() {
    m_closeSerial++;
    std::string path;
    {
        // Release whoever waits on the link first: a command or an open in progress.
        CAutoBaseLock guard(&m_stateLock);
        if (m_link) {
            path = m_link->Path();
            m_link->Abort();
        }
    }
    m_stream.SetDelivery(false);
    m_stream.Abort();

    std::shared_ptr<SerialLink> lostLink;
    {
        CAutoBaseLock openGuard(&m_openLock);
        DetachLink(lostLink);
    }
    if (lostLink) lostLink->Shutdown();
    DbgOutputA(kDbgLevelInfo, "Radar device close%s%s\r\n", path.empty() ? "" : ": ", path.c_str());
    m_notifier.Deliver();
}

void RadarDevice::OnStreamBytes(const uint8_t* bytes, size_t count) {
    m_stream.Push(bytes, count);
}

void RadarDevice::OnLinkLost(SerialLink& link) {
    bool current = false;
    {
        CAutoBaseLock guard(&m_stateLock);
        if (m_link.get() == &link && m_state == LinkState::Open) {
            m_state = LinkState::Lost;
            m_notifier.Queue(DeviceEvent::Disconnected);
            current = true;
        }
    }
    if (!current) return;
    DbgOutputA(kDbgLevelInfo, "Radar device: link %s lost, disconnected\r\n", link.Path().c_str());
    m_stream.Abort();
    m_notifier.Deliver();
}
