#pragma once
#include <QString>
#include <cstddef>
#include <cstdint>

#include "capture/LineSettings.h"
#include "capture/PortCapabilities.h"

// Modem status byte as GetModemStatus returns it.
namespace ModemBit {
constexpr uint8_t Cts = 0x10, Dsr = 0x20, Ri = 0x40, Dcd = 0x80;
}
// Error word of the line-error notification.
namespace LineErrorBit {
constexpr uint8_t Parity = 0x02, Framing = 0x04, Overrun = 0x08, Break = 0x10;
}

// What a device hands to its serial port, always on the main thread.
class PortSink {
 public:
  virtual ~PortSink() = default;
  virtual void deviceData(const uint8_t* data, std::size_t length) = 0;
  // A line error; with a byte for parity and framing errors (the character as received).
  virtual void deviceLineError(uint8_t errorWord, bool hasByte, uint8_t byte) = 0;
  // The modem lines changed; status holds the ModemBit values now active.
  virtual void deviceModemChanged(uint8_t status) = 0;
  // The device went away (adapter pulled, hang-up): nothing more will arrive.
  virtual void deviceLost(const QString& reason) = 0;
  // What is delivered from here on was read (or seen, for modem lines) at this
  // CLOCK_MONOTONIC time in nanoseconds; 0 = at the moment it is delivered.
  virtual void deviceReadAt(uint64_t) {}
  // The line runs with these settings from now on (a tap applied what its application set).
  virtual void deviceSettingsChanged(const LineSettings&) {}
};

// One serial device behind a port: a termios tty or one end of the simulated link.
class PortDevice {
 public:
  virtual ~PortDevice() = default;
  virtual QString path() const = 0;
  // Opens with the settings and starts delivering to the sink; on failure fills error.
  virtual bool open(const LineSettings& settings, PortSink& sink, QString* error) = 0;
  virtual void close() = 0;
  // Discards what the system holds for us but has not delivered.
  virtual void flushInput() = 0;
  virtual uint8_t modemStatus() = 0;
  // Delivers at once whatever has arrived but is still waiting in the system.
  virtual void readPending() = 0;
  // Raises the priority of the device's own threads while recording; best effort.
  virtual void setThreadBoost(int levels) = 0;
  // What the driver of the open device reports and does; devices without a driver
  // (the simulated link) leave it unknown, which warns of nothing.
  virtual PortCapabilities capabilities() const { return {}; }
};
