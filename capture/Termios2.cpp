#include "capture/Termios2.h"

// Kernel definitions only: <termios.h> must not come in here (its struct termios
// and flag macros clash with these).
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace tio2 {

static_assert(sizeof(struct termios2) <= sizeof(Saved::bytes), "Saved too small for termios2");

namespace {

int get(int fd, struct termios2* t) {
  int r;
  do r = ::ioctl(fd, TCGETS2, t);
  while (r < 0 && errno == EINTR);
  return r < 0 ? errno : 0;
}

int set(int fd, const struct termios2* t) {
  int r;
  do r = ::ioctl(fd, TCSETS2, t);
  while (r < 0 && errno == EINTR);
  return r < 0 ? errno : 0;
}

tcflag_t sizeFlag(int dataBits) {
  switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

}  // namespace

int save(int fd, Saved* out) {
  struct termios2 t;
  if (const int e = get(fd, &t)) return e;
  std::memset(out->bytes, 0, sizeof out->bytes);
  std::memcpy(out->bytes, &t, sizeof t);
  out->valid = true;
  return 0;
}

int restore(int fd, const Saved& saved) {
  if (!saved.valid) return EINVAL;
  struct termios2 t;
  std::memcpy(&t, saved.bytes, sizeof t);
  return set(fd, &t);
}

int applyRaw(int fd, const LineSettings& s, uint32_t* inBaud, uint32_t* outBaud) {
  if (s.baud <= 0 || s.dataBits < 5 || s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2)) return EINVAL;
  struct termios2 t;
  if (const int e = get(fd, &t)) return e;

  // Errors must reach us marked, not dropped and not turned into signals; bytes
  // stay 8 bits wide and nothing in the input is translated or acts as flow control.
  t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON | IXOFF |
                         IXANY | IMAXBEL | IUTF8);
  t.c_iflag |= INPCK | PARMRK;
  t.c_oflag &= ~tcflag_t(OPOST);
  t.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | ICANON | ISIG | IEXTEN |
                         NOFLSH | TOSTOP | XCASE);

  t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | HUPCL | CRTSCTS | CBAUD | CIBAUD);
  t.c_cflag |= sizeFlag(s.dataBits) | CREAD | CLOCAL;
  switch (s.parity) {
    case Parity::None: break;
    case Parity::Odd: t.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: t.c_cflag |= PARENB; break;
    case Parity::Mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: t.c_cflag |= PARENB | CMSPAR; break;
  }
  // One stop bit, or two; the UART sends 1.5 for CSTOPB at 5 data bits.
  if (s.stopBits == 2) t.c_cflag |= CSTOPB;
  // Any rate: BOTHER for output and input, the rates themselves in c_ospeed/c_ispeed.
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ospeed = speed_t(s.baud);
  t.c_ispeed = speed_t(s.baud);

  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;

  if (const int e = set(fd, &t)) return e;
  return readSpeeds(fd, inBaud, outBaud);
}

int readSpeeds(int fd, uint32_t* inBaud, uint32_t* outBaud) {
  struct termios2 t;
  if (const int e = get(fd, &t)) return e;
  if (inBaud) *inBaud = t.c_ispeed;
  if (outBaud) *outBaud = t.c_ospeed;
  return 0;
}

int readFrame(int fd, LineSettings* out) {
  struct termios2 t;
  if (const int e = get(fd, &t)) return e;
  out->baud = int32_t(t.c_ospeed);
  switch (t.c_cflag & CSIZE) {
    case CS5: out->dataBits = 5; break;
    case CS6: out->dataBits = 6; break;
    case CS7: out->dataBits = 7; break;
    default: out->dataBits = 8; break;
  }
  if (!(t.c_cflag & PARENB))
    out->parity = Parity::None;
  else if (t.c_cflag & CMSPAR)
    out->parity = (t.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
  else
    out->parity = (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
  out->stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
  return 0;
}

int hangsUpOnClose(int fd, bool* on) {
  struct termios2 t;
  if (const int e = get(fd, &t)) return e;
  *on = (t.c_cflag & HUPCL) != 0;
  return 0;
}

int flushInput(int fd) {
  int r;
  do r = ::ioctl(fd, TCFLSH, (unsigned long)TCIFLUSH);
  while (r < 0 && errno == EINTR);
  return r < 0 ? errno : 0;
}

}  // namespace tio2
