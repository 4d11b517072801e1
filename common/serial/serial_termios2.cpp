// Only kernel headers here (see serial_termios2_internal.h): <asm/termbits.h> and <termios.h>
// clash.
#include "serial_termios2_internal.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <errno.h>

// <sys/ioctl.h> would drag in the C library's terminal types; the declaration is all we need.
extern "C" int ioctl(int fd, unsigned long request, ...);

uint32_t Termios2FrameFlags(int byteSize, int parity, bool twoStopBits) {
    uint32_t flags = 0;
    switch (byteSize) {
        case 5:
            flags |= CS5;
            break;
        case 6:
            flags |= CS6;
            break;
        case 7:
            flags |= CS7;
            break;
        default:
            flags |= CS8;
            break;
    }
    switch (parity) {
        case 1:
            flags |= PARENB | PARODD;
            break;
        case 2:
            flags |= PARENB;
            break;
        case 3:
            flags |= PARENB | CMSPAR | PARODD;
            break;  // parity bit always 1
        case 4:
            flags |= PARENB | CMSPAR;
            break;  // parity bit always 0
        default:
            break;
    }
    if (twoStopBits) flags |= CSTOPB;
    return flags;
}

int SetTermios2LineSettings(int fd, uint32_t baudRate, int byteSize, int parity, bool twoStopBits,
                            uint32_t* actualBaud) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return errno;

    // Raw mode: no line editing, echo, signals, translations or software flow control.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK | IGNPAR);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // With VMIN 0 a non-blocking read of an empty queue answers 0 instead of EAGAIN; VMIN 1 keeps
    // 0 for the one case that matters: the device hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | Termios2FrameFlags(byteSize, parity, twoStopBits);
    // Received bytes are checked only for odd or even parity.
    if (parity == 1 || parity == 2) tio.c_iflag |= INPCK;

    // Both directions at the same arbitrary rate.
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = baudRate;
    tio.c_ospeed = baudRate;
    if (ioctl(fd, TCSETS2, &tio) != 0) return errno;

    struct termios2 check {};
    if (ioctl(fd, TCGETS2, &check) != 0) return errno;
    if (actualBaud != nullptr) *actualBaud = check.c_ospeed;
    return 0;
}
