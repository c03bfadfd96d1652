#pragma once
// Line settings through the kernel's termios2 interface (TCGETS2/TCSETS2 with BOTHER),
// which takes any baud rate, not only the B-constants of <termios.h>. The kernel
// header that defines struct termios2 clashes with <termios.h>, so it stays inside
// Termios2.cpp and only plain functions and an opaque copy come out of here.
// Every function returns 0 or the errno of the failing call.
#include <cstdint>

#include "capture/LineSettings.h"

namespace tio2 {

// The terminal settings as they were before we changed them, to put back on close.
struct Saved {
  alignas(8) unsigned char bytes[64];
  bool valid = false;
};

int save(int fd, Saved* out);
int restore(int fd, const Saved& saved);

// Raw mode with the given line settings: no echo, no canonical input, no signals,
// no output processing, no software flow control, receiver on, modem-status lines
// ignored for open/close (CLOCAL, no HUPCL); parity and framing errors and breaks
// marked in the data (INPCK|PARMRK). Stop bits 2 set CSTOPB (1.5 at 5 data bits).
// After setting, reads the speeds back into inBaud/outBaud (either may be null).
int applyRaw(int fd, const LineSettings& settings, uint32_t* inBaud, uint32_t* outBaud);

int readSpeeds(int fd, uint32_t* inBaud, uint32_t* outBaud);
// The frame format in force: baud (output speed), data bits, parity, stop bits.
int readFrame(int fd, LineSettings* out);

// Whether the kernel drops DTR/RTS on the last close (HUPCL).
int hangsUpOnClose(int fd, bool* on);

// Discards received input the kernel holds (TCFLSH, TCIFLUSH).
int flushInput(int fd);

}  // namespace tio2
