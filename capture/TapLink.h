#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "capture/LineSettings.h"
#include "capture/PortDevice.h"
#include "capture/TermiosDevice.h"

class QSocketNotifier;

// Bytes on their way to a file descriptor that cannot take them all at once.
class OutQueue {
 public:
  void append(const uint8_t* data, std::size_t length) { data_.append(reinterpret_cast<const char*>(data), qsizetype(length)); }
  std::size_t size() const { return std::size_t(data_.size() - head_); }
  bool empty() const { return size() == 0; }
  // Drops the oldest bytes beyond limit; returns how many were dropped.
  std::size_t trimTo(std::size_t limit);
  // Writes what the descriptor takes without blocking: 0, or the errno of a failed write.
  int writeTo(int fd);
  void clear() { data_.clear(), head_ = 0; }

 private:
  QByteArray data_;
  qsizetype head_ = 0;
};

// A virtual Y-cable for a program on this machine: a real serial device and a
// pseudo-terminal whose slave is offered to the application under a link path,
// relayed both ways. Its two ends are PortDevices, so a tap records like any pair of
// ports: the Device end hears what the device sends (line D2) and sees its DSR, CTS,
// DCD and RI; the Application end hears what the application sends (line D1).
//
// The line settings the application sets on its pseudo-terminal go to the device:
// baud rate and stop bits. A pseudo-terminal always runs 8 bits without parity, so
// data bits and parity stay as the tap was opened with, and the application's DTR and
// RTS cannot be seen at all: the tap holds both up on the device while it is open
// (as an application that opens a port does) and drops them when the application
// sets baud 0. The Application end reports them on its DSR and CTS inputs.
//
// Both ends open the same relay: the first open opens the device and makes the link,
// the last close removes the link and closes the device. Main thread only.
class TapLink : public QObject, private PortSink {
  Q_OBJECT
 public:
  enum class End { Device, Application };

  TapLink(QString devicePath, QString linkPath, QObject* parent = nullptr);
  ~TapLink() override;

  QString devicePath() const { return devicePath_; }
  QString linkPath() const { return linkPath_; }
  // The pseudo-terminal the link points to while the tap is open.
  QString slavePath() const { return slavePath_; }
  bool isOpen() const { return master_ >= 0; }
  const LineSettings& deviceSettings() const { return settings_; }

  std::unique_ptr<PortDevice> createDevice(End end);

  // Opens the device and makes the link without any end (tests, and a check before a recording).
  bool open(const LineSettings& settings, QString* error);
  void close();

  // Bytes of the device the application did not read in time and that were dropped.
  uint64_t droppedForApplication() const { return dropped_; }
  // Looks at the application's line settings now (also done on every packet and every 200 ms).
  void checkSettings();

 signals:
  // The application changed the line settings; ok false when the device refused them
  // (it keeps the previous ones).
  void settingsApplied(const LineSettings& settings, bool ok);

 private:
  friend class TapEnd;
  bool openEnd(End end, const LineSettings& settings, PortSink& to, QString* error);
  void closeEnd(End end);
  uint8_t endModemStatus(End end);
  void readApplication();
  void flushToDevice();
  void flushToApplication();
  void setDtrRts(bool up);
  bool makeLink(QString* error);
  void removeLink();

  // What the device delivers: relayed to the application, then to the Device end.
  void deviceData(const uint8_t* data, std::size_t length) override;
  void deviceLineError(uint8_t errorWord, bool hasByte, uint8_t byte) override;
  void deviceModemChanged(uint8_t status) override;
  void deviceLost(const QString& reason) override;
  void deviceReadAt(uint64_t monotonicNs) override;

  PortSink* sink(End end) const { return sinks_[end == End::Device ? 0 : 1]; }

  QString devicePath_;
  QString linkPath_;
  QString slavePath_;
  TermiosDevice device_;
  int master_ = -1;
  int slave_ = -1;  // kept open: its settings are read through it, and the link outlives the application
  bool linkMade_ = false;
  PortSink* sinks_[2] = {nullptr, nullptr};
  QSocketNotifier* appRead_ = nullptr;
  QSocketNotifier* appWrite_ = nullptr;
  QSocketNotifier* deviceWrite_ = nullptr;
  OutQueue toDevice_, toApplication_;
  LineSettings settings_;      // in force on the device
  LineSettings seen_;          // baud and stop bits the application's side showed last
  bool dtrRtsUp_ = false;
  bool reading_ = false;
  uint64_t dropped_ = 0;
  QTimer settingsPoll_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
