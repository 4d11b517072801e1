// The machine's network adapters (from the system's interface list) and their hardware
// addresses. Each call reads the current list; any thread.
#pragma once

#include <cstdint>
#include <vector>
#include "core/common_api.h"

class CBaseStringA;

enum class NetAdapterKind { Loopback, Ethernet, Wireless, Other };

// One adapter of MyGetAdaptersInfo's list.
struct ORBO_COMMON_API NetAdapterInfo {
    NetAdapterInfo* next = nullptr;
    char name[64] = {};
    NetAdapterKind kind = NetAdapterKind::Other;
    // The hardware address (6 bytes for Ethernet and wireless adapters); length 0 when unknown.
    uint8_t hardwareAddress[8] = {};
    int hardwareAddressLength = 0;
    // The first IPv4 address of the adapter as dotted text; "0.0.0.0" when it has none.
    char ipAddress[16] = "0.0.0.0";
};

// The adapters in the system's order, as a list to be freed with MyFreeAdaptersInfo; null when
// the list cannot be read.
ORBO_COMMON_API NetAdapterInfo* MyGetAdaptersInfo();
ORBO_COMMON_API void MyFreeAdaptersInfo(NetAdapterInfo* list);

// The hardware address of the first Ethernet adapter (with requireAddress nonzero: the first one
// whose IP address is not "0.0.0.0") as 12 upper-case hexadecimal digits. 1 when found (*out
// set), else 0 (*out emptied).
ORBO_COMMON_API int GetEthMacAddress(CBaseStringA* out, int requireAddress);
// The same for the first wireless adapter whose IP address is not "0.0.0.0".
ORBO_COMMON_API int GetWlanMacAddress(CBaseStringA* out);
// The name of the first Ethernet (respectively wireless) adapter whose IP address is not
// "0.0.0.0". 1 when found, else 0.
ORBO_COMMON_API int GetAvailbalEthNetworkInterface(CBaseStringA* out);
ORBO_COMMON_API int GetAvailbalWlanNetworkInterface(CBaseStringA* out);
// 1 when the adapter of that name has an IP address other than "0.0.0.0".
ORBO_COMMON_API int IsNetworkAvailable(const char* adapterName);

// Removes the colons from the text, reads the rest as hexadecimal byte pairs and copies at most 6
// bytes to out. Returns the number of bytes stored.
ORBO_COMMON_API int MacAddrStringToBuffer(const char* text, uint8_t out[6]);

// Every IPv4 address of this machine's adapters (network byte order), loopback included.
// False when the list cannot be read.
ORBO_COMMON_API bool GetLocalIPv4Addresses(std::vector<uint32_t>* out);
