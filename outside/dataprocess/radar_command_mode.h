// The sensor protocol's command mode as every caller of the radar device library uses it: the
// protocol version, the times StartCmdMode (and Serial_OpenByPortNum with a flag set) and
// StopCmdMode are given, and the code of an acknowledgement that did not come. Part of the
// library's interface (radar_device_interface.h includes it); headers that only name these values
// include this one alone.
#pragma once

#include <cstdint>

// The protocol version of the command mode (sent with command 0x00FF).
enum eRADAR_PROTOCOL_VERSION : uint16_t {
    eRADAR_PROTOCOL_VERSION_2 = 2,
};

// Entering command mode: protocol version, acknowledgement time-out, settle time (the firmware
// procedures settle for less: the boot loader sends no stream to discard).
constexpr eRADAR_PROTOCOL_VERSION kCmdModeProtocolVersion = eRADAR_PROTOCOL_VERSION_2;
constexpr uint32_t kCmdModeAckTimeoutMs = 500;
constexpr uint32_t kCmdModeSettleMs = 150;
// Leaving command mode.
constexpr uint32_t kStopCmdModeTimeoutMs = 500;

// Protocol_SendCommand's result when no acknowledgement came in time (the checker is not called),
// and CheckCmdAckData_RetCode's for a payload too short to hold a status.
constexpr uint16_t kRadarAckMissing = 0xFFFF;
