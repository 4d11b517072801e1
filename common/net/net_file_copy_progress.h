// The receiver of file transfer progress, shared by the file copies of the network services
// (the HTTP file copy and the socket file service).
#pragma once

#include <cstdint>
#include "core/common_api.h"

class ORBO_COMMON_API INetFileCopyProgressListener {
public:
    virtual ~INetFileCopyProgressListener() = default;
    // Called on the copying thread after each block: bytes done so far, total bytes (0 when the
    // total is unknown: a listener must not divide by it), the speed of the block in bytes per
    // millisecond. *newSpeedLimit is 0 on entry; what the listener leaves there becomes the
    // transfer's read-speed limit in bytes per second (0 = none). The HTTP file copy stops when
    // the result is 0; the socket file copy ignores the result.
    virtual int OnNetFileCopyProgress(uint64_t userData, uint64_t doneBytes, uint64_t totalBytes,
                                      double bytesPerMs, uint64_t* newSpeedLimit) = 0;
};
