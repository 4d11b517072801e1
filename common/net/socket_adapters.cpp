#include "socket_adapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/base_string.h"
#include "core/dbg_output.h"
#include "core/hex_text.h"

namespace {

constexpr int kMacBytes = 6;
constexpr const char* kNoAddress = "0.0.0.0";

bool IsWireless(const char* name) {
    const std::string base = std::string("/sys/class/net/") + name;
    return access((base + "/wireless").c_str(), F_OK) == 0 ||
           access((base + "/phy80211").c_str(), F_OK) == 0;
}

NetAdapterInfo* FindByName(NetAdapterInfo* list, const char* name) {
    for (NetAdapterInfo* entry = list; entry != nullptr; entry = entry->next) {
        if (std::strcmp(entry->name, name) == 0) return entry;
    }
    return nullptr;
}

bool HasAddress(const NetAdapterInfo* entry) {
    return std::strcmp(entry->ipAddress, kNoAddress) != 0;
}

void FormatMac(const NetAdapterInfo* entry, CBaseStringA* out) {
    const uint8_t* b = entry->hardwareAddress;
    out->Format("%02X%02X%02X%02X%02X%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
}

// The first adapter of the kind (with an address when required).
const NetAdapterInfo* FirstOf(const NetAdapterInfo* list, NetAdapterKind kind, bool needAddress,
                              bool needMac) {
    for (const NetAdapterInfo* entry = list; entry != nullptr; entry = entry->next) {
        if (entry->kind != kind) continue;
        if (needAddress && !HasAddress(entry)) continue;
        if (needMac && entry->hardwareAddressLength < kMacBytes) continue;
        return entry;
    }
    return nullptr;
}

struct AdapterListDeleter {
    void operator()(NetAdapterInfo* list) const { MyFreeAdaptersInfo(list); }
};
using AdapterList = std::unique_ptr<NetAdapterInfo, AdapterListDeleter>;

}  // namespace

NetAdapterInfo* MyGetAdaptersInfo() {
    ifaddrs* addresses = nullptr;
    if (getifaddrs(&addresses) != 0) {
        DbgOutputA(kDbgLevelWarning, "MyGetAdaptersInfo: the interface list cannot be read: %s\r\n",
                   std::strerror(errno));
        return nullptr;
    }
    NetAdapterInfo* head = nullptr;
    NetAdapterInfo* tail = nullptr;
    for (const ifaddrs* item = addresses; item != nullptr; item = item->ifa_next) {
        if (item->ifa_name == nullptr) continue;
        NetAdapterInfo* entry = FindByName(head, item->ifa_name);
        if (entry == nullptr) {
            entry = new NetAdapterInfo;
            std::snprintf(entry->name, sizeof(entry->name), "%s", item->ifa_name);
            if (item->ifa_flags & IFF_LOOPBACK) {
                entry->kind = NetAdapterKind::Loopback;
            } else if (IsWireless(item->ifa_name)) {
                entry->kind = NetAdapterKind::Wireless;
            }
            (tail != nullptr ? tail->next : head) = entry;
            tail = entry;
        }
        if (item->ifa_addr == nullptr) continue;
        if (item->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(item->ifa_addr);
            const int length = link->sll_halen < sizeof(entry->hardwareAddress)
                                   ? link->sll_halen
                                   : static_cast<int>(sizeof(entry->hardwareAddress));
            std::memcpy(entry->hardwareAddress, link->sll_addr, static_cast<size_t>(length));
            entry->hardwareAddressLength = length;
            if (link->sll_hatype == ARPHRD_ETHER && entry->kind == NetAdapterKind::Other) {
                entry->kind = NetAdapterKind::Ethernet;
            }
        } else if (item->ifa_addr->sa_family == AF_INET && !HasAddress(entry)) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(item->ifa_addr);
            inet_ntop(AF_INET, &address->sin_addr, entry->ipAddress, sizeof(entry->ipAddress));
        }
    }
    freeifaddrs(addresses);
    return head;
}

void MyFreeAdaptersInfo(NetAdapterInfo* list) {
    while (list != nullptr) {
        NetAdapterInfo* next = list->next;
        delete list;
        list = next;
    }
}

int GetEthMacAddress(CBaseStringA* out, int requireAddress) {
    if (out != nullptr) out->Set("");
    AdapterList list(MyGetAdaptersInfo());
    const NetAdapterInfo* entry =
        FirstOf(list.get(), NetAdapterKind::Ethernet, requireAddress != 0, true);
    if (entry == nullptr) return 0;
    if (out != nullptr) FormatMac(entry, out);
    return 1;
}

int GetWlanMacAddress(CBaseStringA* out) {
    if (out != nullptr) out->Set("");
    AdapterList list(MyGetAdaptersInfo());
    const NetAdapterInfo* entry = FirstOf(list.get(), NetAdapterKind::Wireless, true, true);
    if (entry == nullptr) return 0;
    if (out != nullptr) FormatMac(entry, out);
    return 1;
}

int GetAvailbalEthNetworkInterface(CBaseStringA* out) {
    if (out != nullptr) out->Set("");
    AdapterList list(MyGetAdaptersInfo());
    const NetAdapterInfo* entry = FirstOf(list.get(), NetAdapterKind::Ethernet, true, false);
    if (entry == nullptr) return 0;
    if (out != nullptr) out->Set(entry->name);
    return 1;
}

int GetAvailbalWlanNetworkInterface(CBaseStringA* out) {
    if (out != nullptr) out->Set("");
    AdapterList list(MyGetAdaptersInfo());
    const NetAdapterInfo* entry = FirstOf(list.get(), NetAdapterKind::Wireless, true, false);
    if (entry == nullptr) return 0;
    if (out != nullptr) out->Set(entry->name);
    return 1;
}

int IsNetworkAvailable(const char* adapterName) {
    if (adapterName == nullptr) return 0;
    AdapterList list(MyGetAdaptersInfo());
    const NetAdapterInfo* entry = FindByName(list.get(), adapterName);
    return entry != nullptr && HasAddress(entry) ? 1 : 0;
}

int MacAddrStringToBuffer(const char* text, uint8_t out[6]) {
    if (text == nullptr || out == nullptr) return 0;
    std::string digits;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p != ':') digits.push_back(*p);
    }
    uint8_t bytes[kMacBytes] = {};
    const int count =
        HexStringToBufferA(digits.c_str(), static_cast<int>(digits.size()), bytes, kMacBytes);
    std::memcpy(out, bytes, static_cast<size_t>(count));
    return count;
}

bool GetLocalIPv4Addresses(std::vector<uint32_t>* out) {
    if (out != nullptr) out->clear();
    ifaddrs* addresses = nullptr;
    if (getifaddrs(&addresses) != 0) return false;
    for (const ifaddrs* item = addresses; item != nullptr; item = item->ifa_next) {
        if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET) continue;
        if (out != nullptr) {
            out->push_back(reinterpret_cast<const sockaddr_in*>(item->ifa_addr)->sin_addr.s_addr);
        }
    }
    freeifaddrs(addresses);
    return true;
}
