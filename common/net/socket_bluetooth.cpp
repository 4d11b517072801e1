#include "socket_bluetooth.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/hci.h>
#include <bluetooth/hci_lib.h>
#include <bluetooth/rfcomm.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/dbg_output.h"
#include "socket_address.h"
#include "socket_sys_internal.h"

namespace {

constexpr int kMaxInquiryResponses = 255;
constexpr int kMaxDeviceNameBytes = 248;
constexpr uint16_t kSerialPortServiceClass = 0x1101;

bool Cancelled(const std::atomic<int>* cancel) {
    return cancel != nullptr && cancel->load() != 0;
}

int OpenRfcommSocket(const char* who) {
    const int socket = ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC, BTPROTO_RFCOMM);
    if (socket < 0) {
        const int error = errno;
        DbgOutputA(kDbgLevelWarning, "%s: Bluetooth RFCOMM sockets are not available here: %s\r\n",
                   who, std::strerror(error));
        errno = error;
    }
    return socket;
}

// Finds the first device in range whose name equals `name` ignoring case.
bool FindDeviceByName(const char* name, const std::atomic<int>* cancel, bdaddr_t* found) {
    const int adapter = hci_get_route(nullptr);
    if (adapter < 0) {
        DbgOutputA(kDbgLevelWarning, "CBTHSocketClient: no Bluetooth adapter on this system\r\n");
        return false;
    }
    const int device = hci_open_dev(adapter);
    if (device < 0) {
        DbgOutputA(kDbgLevelWarning,
                   "CBTHSocketClient: Bluetooth adapter %d cannot be opened: %s\r\n", adapter,
                   std::strerror(errno));
        return false;
    }
    inquiry_info* responses = nullptr;
    const int count = hci_inquiry(adapter, kBluetoothInquiryUnits, kMaxInquiryResponses, nullptr,
                                  &responses, IREQ_CACHE_FLUSH);
    bool match = false;
    for (int i = 0; i < count && !match && !Cancelled(cancel); ++i) {
        char deviceName[kMaxDeviceNameBytes + 1] = {};
        if (hci_read_remote_name(device, &responses[i].bdaddr, kMaxDeviceNameBytes, deviceName,
                                 kBluetoothNameTimeLimitMs) < 0) {
            continue;
        }
        if (strcasecmp(deviceName, name) == 0) {
            bacpy(found, &responses[i].bdaddr);
            match = true;
        }
    }
    if (count < 0) {
        DbgOutputA(kDbgLevelWarning, "CBTHSocketClient: Bluetooth inquiry failed: %s\r\n",
                   std::strerror(errno));
    } else if (!match) {
        DbgOutputA(kDbgLevelWarning, "CBTHSocketClient: no Bluetooth device named \"%s\" found\r\n",
                   name);
    }
    bt_free(responses);
    hci_close_dev(device);
    return match;
}

// The RFCOMM channel of the device's Serial Port Profile service; 0 when it has none.
uint8_t SerialPortChannel(const bdaddr_t* target) {
    bdaddr_t any{};
    sdp_session_t* session = sdp_connect(&any, target, SDP_RETRY_IF_BUSY);
    if (session == nullptr) {
        DbgOutputA(kDbgLevelWarning,
                   "CBTHSocketClient: the device's service directory cannot be "
                   "reached: %s\r\n",
                   std::strerror(errno));
        return 0;
    }
    uuid_t serialPort;
    sdp_uuid16_create(&serialPort, kSerialPortServiceClass);
    sdp_list_t* search = sdp_list_append(nullptr, &serialPort);
    uint32_t range = 0x0000ffff;
    sdp_list_t* attributes = sdp_list_append(nullptr, &range);
    sdp_list_t* records = nullptr;
    uint8_t channel = 0;
    if (sdp_service_search_attr_req(session, search, SDP_ATTR_REQ_RANGE, attributes, &records) ==
        0) {
        for (sdp_list_t* item = records; item != nullptr; item = item->next) {
            auto* record = static_cast<sdp_record_t*>(item->data);
            sdp_list_t* protocols = nullptr;
            if (channel == 0 && sdp_get_access_protos(record, &protocols) == 0) {
                const int port = sdp_get_proto_port(protocols, RFCOMM_UUID);
                if (port > 0 && port < 256) channel = static_cast<uint8_t>(port);
                for (sdp_list_t* p = protocols; p != nullptr; p = p->next) {
                    sdp_list_free(static_cast<sdp_list_t*>(p->data), nullptr);
                }
                sdp_list_free(protocols, nullptr);
            }
            sdp_record_free(record);
        }
    }
    sdp_list_free(records, nullptr);
    sdp_list_free(search, nullptr);
    sdp_list_free(attributes, nullptr);
    sdp_close(session);
    if (channel == 0) {
        DbgOutputA(kDbgLevelWarning,
                   "CBTHSocketClient: the device offers no serial port service\r\n");
    }
    return channel;
}

}  // namespace

int CBTHSocketClient::SocketCreate() {
    return OpenRfcommSocket("CBTHSocketClient");
}

int CBTHSocketClient::SocketConnect(int socket, const char* host, uint16_t /*port*/,
                                    const std::atomic<int>* cancel) {
    bdaddr_t device{};
    if (host == nullptr || !FindDeviceByName(host, cancel, &device) || Cancelled(cancel)) return 0;
    const uint8_t channel = SerialPortChannel(&device);
    if (channel == 0 || Cancelled(cancel)) return 0;

    sockaddr_rc target{};
    target.rc_family = AF_BLUETOOTH;
    bacpy(&target.rc_bdaddr, &device);
    target.rc_channel = channel;
    if (!SetSocketNonBlocking(socket, true)) return 0;
    int result = 0;
    if (connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) == 0) {
        result = 1;
    } else if (errno == EINPROGRESS || errno == EAGAIN) {
        const uint32_t slices = kBluetoothConnectTimeLimitMs / kConnectPollSliceMs;
        for (uint32_t i = 0; i < slices && !Cancelled(cancel); ++i) {
            pollfd entry{socket, POLLOUT, 0};
            const int ready = poll(&entry, 1, kConnectPollSliceMs);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) break;
            if (ready == 0) continue;
            int pending = 0;
            socklen_t size = sizeof(pending);
            result = getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending == 0;
            if (!result) errno = pending;
            break;
        }
    }
    SetSocketNonBlocking(socket, false);
    return result;
}

int CBTHSocketServer::SocketCreate(uint16_t /*port*/) {
    const int socket = OpenRfcommSocket("CBTHSocketServer");
    if (socket < 0) return -1;
    sockaddr_rc address{};
    address.rc_family = AF_BLUETOOTH;
    address.rc_channel = 0;  // any free channel (chosen by listen)
    return BindAndListen(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address),
                         kSocketListenBacklog, [](int error) {
                             DbgOutputA(kDbgLevelInfo, "Server Bind BTH Failed, error=%d\r\n",
                                        error);
                         });
}

int CBTHSocketServer::SocketAccept(int listeningSocket) {
    return accept4(listeningSocket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}
