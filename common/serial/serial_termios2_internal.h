// Line settings through the kernel's termios2 interface (TCGETS2/TCSETS2 with BOTHER), which
// takes any baud rate. Internal to common/serial: its implementation includes only the kernel's
// asm headers, because <asm/termbits.h> and the C library's <termios.h> define the same names
// differently and cannot share a translation unit.
#pragma once

#include <cstdint>

// The control-mode bits (c_cflag) for a byte size, parity and stop bits: CSIZE, PARENB, PARODD,
// CMSPAR and CSTOPB as the line needs them (the other bits are the caller's).
uint32_t Termios2FrameFlags(int byteSize, int parity, bool twoStopBits);

// Raw-mode line settings for the descriptor: byteSize 5 to 8, parity 0 none, 1 odd, 2 even,
// 3 mark, 4 space, twoStopBits for two stop bits. Values are assumed validated by the caller.
// Returns 0 or the errno of the failing call; `actualBaud` receives the rate the driver reports
// back (it may round to what its clock can make).
int SetTermios2LineSettings(int fd, uint32_t baudRate, int byteSize, int parity, bool twoStopBits,
                            uint32_t* actualBaud);
