// One open port of the radar device library: the descriptor, the reader thread that is always
// waiting on it, and the router that sorts what it reads (acknowledgements to the waiting
// command, everything else to the owner's stream sink).
//
// Full duplex: the reader reads the descriptor on its own thread while commands are written from
// the caller's thread (writes are serialised by the link's write lock). Both wait with poll in
// slices of at most kLinkPollSliceMs and also on a wake-up descriptor that Abort signals, so a
// close is seen at once.
//
// When the port vanishes (EIO/ENXIO/ENODEV, hang-up, end of file) the reader closes it, releases
// the waiting command and tells the owner (OnLinkLost, on the reader thread, with none of the
// link's locks held), then ends.
//
// Owned through std::shared_ptr: callers keep a copy while they use the link, so a link that is
// closed meanwhile stays valid (and answers "closed") until the last user lets go.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ack_router.h"
#include "core/base_event.h"
#include "core/base_lock.h"
#include "core/base_thread.h"
#include "core/unique_fd.h"
#include "serial/serial_port_open.h"

// Longest single wait of the reader and the writer before they look at the closing flag again.
constexpr int kLinkPollSliceMs = 50;
// Bytes the reader takes from the port per read.
constexpr size_t kLinkReadChunkBytes = 4096;

class SerialLink;

class ISerialLinkOwner : public IStreamBytesSink {
public:
    // The port vanished; the link is closed already. Reader thread, no link lock held.
    virtual void OnLinkLost(SerialLink& link) = 0;
};

class SerialLink : public std::enable_shared_from_this<SerialLink>, private IThreadFuncInterface {
public:
    // Opens the port (serial_port_open.h) and starts its reader thread. Null on failure (logged;
    // `failure` gets the cause and the reason).
    static std::shared_ptr<SerialLink> Open(const std::string& portName,
                                            const SerialLineSettings& settings,
                                            ISerialLinkOwner& owner, SerialOpenFailure& failure);
    // Shuts down (below).
    ~SerialLink() override;
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // The resolved device path.
    const std::string& Path() const { return m_path; }

    // Sends one command frame and waits for the acknowledgement `ackWord` until `deadlineMs`
    // (monotonic). True with `payload` (status first); false on time-out, a failed write, or a
    // closing link.
    bool Exchange(const CBaseBuffer& frame, uint16_t ackWord, uint64_t deadlineMs,
                  std::vector<uint8_t>& payload);
    // Writes bytes until `deadlineMs`; false when not all went out or the link is closing.
    bool Write(const uint8_t* bytes, size_t count, uint64_t deadlineMs);
    // Drops everything received for `milliseconds` (returns early, false, when the link closes).
    bool DiscardInputFor(uint32_t milliseconds);

    // Releases the waiting command and every later one at once; the reader ends at its next
    // slice. Any thread.
    void Abort();
    // Abort, wait for the reader to end (unless called on the reader itself) and close the port.
    // Idempotent.
    void Shutdown();

    // True once closing started (Abort, Shutdown, or the port vanished).
    bool IsClosing() const { return m_closing.load(); }
    // True when the port vanished (as opposed to being closed by the owner).
    bool IsLost() const { return m_lost.load(); }

    AckRouter& Router() { return m_router; }

private:
    SerialLink(SerialFd port, std::string path, uint32_t baudRate, ISerialLinkOwner& owner);
    int ThreadLoop(uint64_t param) override;
    // Reader thread: one poll slice; false when the port is gone.
    bool ReadSlice();
    // Waits for `events` on the port or the wake-up, at most one slice and not past the deadline.
    int PollPort(short events, uint64_t deadlineMs, short& revents);
    void HandleLoss(int errorNumber, const char* what);
    void ClosePort();

    ISerialLinkOwner& m_owner;
    const std::string m_path;
    AckRouter m_router;
    CBaseLock m_writeLock;  // guards writes against the port being closed
    SerialFd m_port;        // the reader reads it without the lock: only it and Shutdown close
    CBaseEvent m_closingEvent{nullptr, 1};  // manual reset: set once closing starts
    UniqueFd m_wake;                        // eventfd: readable once closing starts
    CBaseThread m_reader;
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_lost{false};
    std::atomic<bool> m_shutDown{false};
    uint8_t m_readBuffer[kLinkReadChunkBytes];
};
