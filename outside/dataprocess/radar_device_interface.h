// The radar device library (libOrbo_DataProcess.so): every exchange with the Zorvan sensor over a
// serial port - opening the link, command mode, parameters, commands with their
// acknowledgements, and the sensor's stream of report bytes.
//
// A device is an opaque handle (Serial_Create ... Serial_Destroy). Each open port has one reader
// thread that is always waiting on it: acknowledgements go to the command waiting for them, every
// other received byte goes - in order, while streaming is on - to a bounded stream queue that
// FetchDataBuffer empties. Commands may be written from any thread while the reader waits.
//
// Results: int 1 success / 0 failure unless said otherwise; times in milliseconds. Every
// operation writes one line at level 2 through DbgOutputA, failures saying why - except the
// per-block FetchDataBuffer and CommitDataBuffer and the IsConnected query, which callers poll,
// and the GetOpenFailure query (the open wrote its line).
//
// Threads: every operation may be called from any thread. Serial_Close while another thread waits
// in a fetch or a command makes them return failure promptly. Listener notifications come on the
// thread that opened or closed the link, or on the link's reader thread when the link vanishes;
// they are delivered one at a time, in the order of the events, and never while the library holds
// a lock of its own. A listener must not destroy the device from inside a notification.
#pragma once

#include <cstdint>

#include "core/base_string.h"
#include "dataprocess/radar_command_mode.h"
#include "dataprocess_api.h"
#include "serial/serial_open_failure.h"

// The device handle.
class IRadarDevice;

// A block of received stream bytes lent by FetchDataBuffer until CommitDataBuffer: bytes cut
// anywhere (frames may straddle blocks).
struct RadarDataBlock {
    uint8_t* data = nullptr;
    int32_t length = 0;
};

// Checks an acknowledgement: (protocol version, acknowledgement payload - the u16 status first,
// then the command's data -, its length in bytes, the caller's user value) -> a 16-bit code that
// Protocol_SendCommand returns (0 = success).
using AckCheckFunc = uint16_t (*)(eRADAR_PROTOCOL_VERSION version, const uint8_t* ack, int length,
                                  uint64_t userValue);

// The library's own checker: the acknowledgement's status (u16 little-endian at offset 0);
// kRadarAckMissing when the payload is null or shorter than 2 bytes.
ORBO_DATAPROCESS_API uint16_t CheckCmdAckData_RetCode(eRADAR_PROTOCOL_VERSION version,
                                                      const uint8_t* ack, int length,
                                                      uint64_t userValue);

class IRadarDeviceListener {
public:
    virtual ~IRadarDeviceListener() = default;
    // After every successful Serial_OpenByPortNum.
    virtual void OnRadarDeviceConnected(IRadarDevice* device) = 0;
    // After Serial_Close of an open link (also the implicit close of a second open), and after
    // the library noticed that the link vanished.
    virtual void OnRadarDeviceDisconnected(IRadarDevice* device) = 0;
    // Transfer progress (bytes done, bytes in all). This library sends none; the slot is kept for
    // listeners written against it.
    virtual void OnRadarDeviceUpdateTransferSpeed(IRadarDevice* device, uint64_t done,
                                                  uint64_t total) {
        (void)device;
        (void)done;
        (void)total;
    }
};

// A new device (not connected); null only when memory runs out.
ORBO_DATAPROCESS_API IRadarDevice* Orbo_Interface_RadarDevice_Serial_Create();
// Closes the link (with its notification) and frees the device; the handle is invalid afterwards.
// Blocks lent by FetchDataBuffer are freed with it.
ORBO_DATAPROCESS_API void Orbo_Interface_RadarDevice_Serial_Destroy(IRadarDevice* device);

// Registers a listener (notified until removed; adding it twice keeps one registration).
// `reserved` must be 0. 0 for a null device or listener.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_Serial_AddRadarDeviceListener(
    IRadarDevice* device, IRadarDeviceListener* listener, int reserved);
// Removes a listener; once this returns it is not called again (a notification running on
// another thread is waited for). 0 when it was not registered.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_Serial_DelRadarDeviceListener(
    IRadarDevice* device, IRadarDeviceListener* listener);

// Opens the port with this number in the process's port number table, with the line settings
// (parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits 0 one, 2 two; 1.5 is refused). An
// open device is closed first. With all three flags 0 nothing is sent. With any flag set the
// sensor is put into command mode (as StartCmdMode with `version`, `ackTimeoutMs`, `settleMs`) -
// the open fails, closing the port again, when it does not answer -, then the serial number and
// the version text are read as flagged (a failed read leaves that text empty), then command mode
// ends unless `keepCmdMode` is set. Listeners get OnRadarDeviceConnected on success.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
    IRadarDevice* device, int portNumber, uint32_t baudRate, uint8_t byteSize, uint8_t parity,
    uint8_t stopBits, eRADAR_PROTOCOL_VERSION version, int readSerialNumber, int readVersion,
    int keepCmdMode, uint32_t ackTimeoutMs, uint32_t settleMs);

// Why the last Serial_OpenByPortNum of this device failed: 1 with `failure` set (cause, errno,
// path, reason; the holding process for a port in use; the time-out for a sensor that did not
// answer), 0 with an empty `failure` after a successful open or before any. The cause lets a
// caller word its own message; SerialOpenFailureText gives the English one.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_GetOpenFailure(IRadarDevice* device,
                                                                   SerialOpenFailure& failure);
// Closes the link; 1 also when it was not open. Waiting fetches and commands return failure.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_Serial_Close(IRadarDevice* device);
// Nonzero while the link is open (0 once it was closed or vanished).
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_IsConnected(IRadarDevice* device);

// The texts read at the last open (empty when not read); 1 when the text is not empty.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_GetVersion(IRadarDevice* device,
                                                               CBaseStringA& version);
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_GetSerialNumber(IRadarDevice* device,
                                                                    CBaseStringA& serialNumber);

// Waits `settleMs` discarding everything received, sends 0x00FF with the protocol version
// (again, within the time-out, while no answer comes) and succeeds when the acknowledgement with
// status 0 arrives within `ackTimeoutMs`.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_StartCmdMode(IRadarDevice* device,
                                                                 eRADAR_PROTOCOL_VERSION version,
                                                                 uint32_t ackTimeoutMs,
                                                                 uint32_t settleMs);
// Sends 0x00FE; succeeds when it is acknowledged with status 0 within `timeoutMs`.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_StopCmdMode(IRadarDevice* device,
                                                                uint32_t timeoutMs);

// One get command: `count` u16 ids out, `count` u32 values back into `values`, in request order.
// 1 when the acknowledgement came with status 0 and all values; 0 otherwise (values untouched).
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_Protocol_GetParameter(
    IRadarDevice* device, uint16_t command, int count, const uint16_t* ids, uint32_t* values,
    uint32_t timeoutMs);
// One set command: `count` (u16 id, u32 value) pairs. 1 when acknowledged with status 0.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_Protocol_SetParameter(
    IRadarDevice* device, uint16_t command, int count, const uint16_t* ids, const uint32_t* values,
    uint32_t timeoutMs);
// One command with `length` payload bytes; waits for its acknowledgement and returns what
// `check` (CheckCmdAckData_RetCode when null) makes of it; kRadarAckMissing when none came in
// time, the device is not connected or the command cannot be sent.
ORBO_DATAPROCESS_API uint16_t Orbo_Interface_RadarDevice_Protocol_SendCommand(
    IRadarDevice* device, uint16_t command, const uint8_t* payload, int length, AckCheckFunc check,
    uint64_t userValue, uint32_t timeoutMs);
// One command without waiting for an answer (the software reset); 1 when it was written.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_Protocol_SendCommand_NoCheckAck(
    IRadarDevice* device, uint16_t command, const uint8_t* payload, int length);

// Stream delivery on (0 when the device is not connected) and off (drops what waits).
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_Start(IRadarDevice* device);
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_Stop(IRadarDevice* device);
// Lends out the oldest received stream bytes, or waits up to `timeoutMs` for some. 0 (block
// emptied) on time-out, CancelRead, or a close while waiting.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_FetchDataBuffer(IRadarDevice* device,
                                                                    RadarDataBlock& block,
                                                                    uint32_t timeoutMs);
// Gives a fetched block back (the block is emptied); 0 when it was not lent by this device.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_CommitDataBuffer(IRadarDevice* device,
                                                                     RadarDataBlock& block);
// Makes the waiting fetch - or the next one when none waits - return 0 at once.
ORBO_DATAPROCESS_API int Orbo_Interface_RadarDevice_CancelRead(IRadarDevice* device);
