#include "local_file_write.h"

#include <errno.h>
#include <unistd.h>

#include <cstdint>

size_t WriteAllToFile(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(fd, bytes + done, size - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (written == 0) {
            errno = EIO;  // a device that takes nothing would loop for ever
            break;
        }
        done += static_cast<size_t>(written);
    }
    return done;
}
