// The device calls of the stream workers ("ReadData" of the acquisition engine and
// "SensingGenerate" of threshold generation), as a small table: radar_device_stream_link.h binds
// it to a device of the radar device library; tests put a scripted sensor behind it.
//
// Results are those of the radar device library: nonzero for connected / success, and the
// acknowledgement's 16-bit status from SendCommand (0 = accepted, kRadarAckMissing when none
// came). Every call may come from any thread; CancelRead in particular is called by the window
// thread while a worker waits in FetchDataBuffer.
#pragma once

#include <cstdint>

#include "device/radar_link.h"

// Limit of one command exchange and of one wait for stream bytes.
constexpr uint32_t kStreamCommandTimeoutMs = 2000;
constexpr uint32_t kStreamFetchTimeoutMs = 2000;

// Received stream bytes lent by FetchDataBuffer until CommitDataBuffer.
struct StreamBlock {
    uint8_t* data = nullptr;
    int32_t length = 0;
};

// Command mode and the connection question come from IRadarLink.
class IRadarStreamLink : public virtual IRadarLink {
public:
    // One set command with `count` (id, value) pairs.
    virtual int SetParameter(uint16_t command, int count, const uint16_t* ids,
                             const uint32_t* values, uint32_t timeoutMs) = 0;
    // One command; the acknowledgement's status (0 = accepted) or kRadarAckMissing.
    virtual uint16_t SendCommand(uint16_t command, const uint8_t* payload, int length,
                                 uint32_t timeoutMs) = 0;

    // Stream delivery on and off (off drops what waits).
    virtual int Start() = 0;
    virtual int Stop() = 0;
    // The oldest received bytes, or a wait of up to `timeoutMs` for some: 0 (block emptied) on
    // time-out or cancel.
    virtual int FetchDataBuffer(StreamBlock& block, uint32_t timeoutMs) = 0;
    // Hands a fetched block back (the block is emptied).
    virtual int CommitDataBuffer(StreamBlock& block) = 0;
    // Makes the waiting fetch, or the next one when none waits, return 0 at once.
    virtual int CancelRead() = 0;
};

// Takes back a cancel that no fetch consumed: a stop that came while the worker was still busy
// with commands finds no fetch to end, and the cancel, left pending, would make the device's next
// fetch (the next run's first) return 0 at once. Call it once the worker has ended, with delivery
// off, so no stream bytes wait to be taken; any that do are handed back.
inline void ConsumePendingCancel(IRadarStreamLink& link) {
    StreamBlock block;
    if (link.FetchDataBuffer(block, 0)) link.CommitDataBuffer(block);
}
