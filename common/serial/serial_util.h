// CSerialUtil: one serial port opened by name or number with given line settings, read and
// written with time limits, from one thread or several.
//
// Opening goes through the shared opening piece (serial_port_open.h): a name is a device path, a
// link name of the virtual port folder or a bare device name; a number is looked up in the port
// number table. Line settings: parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits 0 one,
// 1 one and a half (refused on Linux), 2 two. The port is opened exclusively.
//
// Concurrency: every operation but CancelRead, IsOpened, IsSerialExist and GetPortName holds the
// object's one lock for its whole duration, so a ReadData waiting for its limit blocks writers on
// the same object until it returns (by design: full-duplex users read and write the descriptor
// themselves). CancelRead takes no lock, so it reaches a read another thread is waiting in.
//
// A port that vanishes (unplugged adapter, closed pseudo-terminal) is noticed by the next read or
// write, which closes it with a log line; reads and writes on a closed port return 0 at once.
// Log lines go to DbgOutputA; descriptors are printed as numbers ("mSerialFile=%d").
// Completion ports do not exist on Linux: those three calls answer "not available".
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/base_lock.h"
#include "core/base_string.h"
#include "core/common_api.h"
#include "serial_port_open.h"

class ORBO_COMMON_API CSerialUtil {
public:
    CSerialUtil();
    // Closes the port.
    virtual ~CSerialUtil();
    CSerialUtil(const CSerialUtil&) = delete;
    CSerialUtil& operator=(const CSerialUtil&) = delete;

    // Reads into `buffer` until `length` bytes came, `timeoutMs` passed, a cancel was seen, or -
    // with `fill` 0 - as soon as some bytes came. Waits in slices of at most 100 ms, checking for
    // a cancel between them. Returns the bytes read; 0 when the port is closed.
    virtual uint32_t ReadData(void* buffer, uint32_t length, uint32_t timeoutMs, int fill);

    // Makes the running ReadData, or the next one when none runs, stop at its next check (at
    // most 100 ms later). The cancel stays pending until a read has consumed it, so one that
    // arrives just before a read starts is not lost. Any thread; takes no lock.
    virtual void CancelRead();

    // Writes `length` bytes in pieces of `pieceSize` (0: all at once), each with `pieceTimeoutMs`
    // (0: the total limit), while less than `timeoutMs` has passed and `*cancel` (when given) is
    // 0. Stops at a piece that writes nothing. Returns the bytes written; 0 when the port is
    // closed or length is 0.
    virtual uint32_t WriteData(const void* data, uint32_t length, uint32_t timeoutMs,
                               uint32_t pieceSize, uint32_t pieceTimeoutMs,
                               const std::atomic<int>* cancel);

    // Discards what the port received: clears the input queue, then keeps reading and
    // discarding for `drainMs` milliseconds (what was still on its way). A pending cancel is
    // left for the next ReadData. Nothing when the port is closed.
    virtual void ResetInputBuffer(uint32_t drainMs);

    // Discards what is queued for sending. Nothing when the port is closed.
    virtual void ResetOutputBuffer();

    // Opens the port registered under `portNumber` in the port number table (the name becomes
    // that port's path, or "COM<n>" when the number has no port yet, which a later ReOpen
    // resolves again). Nonzero on success.
    int OpenSerial(int portNumber, uint32_t baudRate, uint8_t byteSize, uint8_t parity,
                   uint8_t stopBits);
    // Opens the named port with the settings; whatever was open is closed first. Name and
    // settings are kept for ReOpen, also when the open fails. Nonzero on success.
    int OpenSerial(const char* portName, uint32_t baudRate, uint8_t byteSize, uint8_t parity,
                   uint8_t stopBits);
    // Opens again with the kept name and settings. Nonzero on success.
    int ReOpen();
    // Closes the port (name and settings are kept).
    void CloseSerial();
    // Nonzero while the port is open. Any thread; takes no lock.
    int IsOpened();
    // IsSerialPortNameExistA of the kept name. Any thread; takes no lock.
    int IsSerialExist();

    // One write with a time limit: returns the bytes that went out within `timeoutMs`.
    uint32_t WriteOnePacket(const void* data, uint32_t length, uint32_t timeoutMs);

    // Completion ports are not available on Linux: null and 0, with a log line.
    void* StartIOCPReadWrite(void* completionPort);
    int PostIOCPRecvBuffer(void* overlapped, void* buffer, uint32_t length);
    int PostIOCPSendBuffer(void* overlapped, const void* buffer, uint32_t length);

    // The kept port name. Any thread.
    CBaseStringA GetPortName();

private:
    int OpenKept();
    // One non-blocking read of what is waiting. Sets `stop` when reading must end: the port
    // vanished or became unusable (then it is closed, with a log line) or failed otherwise.
    // `hangupSeen` tells that poll reported a hang-up or error condition.
    uint32_t ReadAvailable(uint8_t* buffer, uint32_t length, bool hangupSeen, bool& stop);
    // Closes the port after an I/O failure, with the line that says why.
    void CloseVanished(const char* operation, int errorNumber);
    void SetName(const char* name);

    CBaseLock m_lock;
    std::mutex m_nameGuard;  // the name is also read without m_lock (IsSerialExist)
    CBaseStringA m_portName;
    uint32_t m_baudRate = 256000;
    uint8_t m_byteSize = 8;
    uint8_t m_parity = 0;
    uint8_t m_stopBits = 0;
    SerialFd m_port;
    std::atomic<bool> m_opened{false};
    std::atomic<int> m_cancel{0};
};
