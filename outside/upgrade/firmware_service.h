// The firmware service client's state: the base address the caller set, the environment's
// override, and the index last read from the service.
//
// The effective base address is the value of ORBO_FIRMWARE_URL when that variable is set and
// not empty, else the address given to SetFirmwareServiceBase. Indexes are read over libcurl
// (http, https and file addresses alike), which is loaded on first use.
//
// Any thread: the state is guarded by a lock that is never held while the network is used.
#pragma once

#include <string>

#include "firmware_index.h"

// The environment variable that overrides the caller's base address.
constexpr const char* kFirmwareUrlVariable = "ORBO_FIRMWARE_URL";

// Stores the caller's base address (null or empty: none) and forgets the index read so far.
// False (nothing stored) when the address is not an http, https or file address.
bool SetFirmwareServiceBase(const char* base);

// The base address in effect (see above); empty when none is set.
std::string EffectiveFirmwareServiceBase();

// Reads and parses <base>/index.xml from the effective base address and keeps it. False (logged,
// and the index kept so far forgotten) when no base is set, it is not an http, https or file
// address, libcurl cannot be loaded, the request fails or the index does not parse.
bool RefreshFirmwareIndex(FirmwareIndex& out);

// The index kept from the last refresh when it was read from the effective base address;
// otherwise a refresh.
bool CurrentFirmwareIndex(FirmwareIndex& out);
