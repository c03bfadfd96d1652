#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "capture/PortDevice.h"

// Status trigger kinds and the delta mask bits a modem-status trigger watches.
namespace StatusKind {
constexpr int Modem = 1, Line = 2;
}
namespace ModemDelta {
constexpr uint16_t Cts = 0x10, Dsr = 0x20, Ring = 0x04, Dcd = 0x80;
constexpr uint16_t All = Cts | Dsr | Ring | Dcd;  // 180
}
// Line-status trigger mask bits: parity, framing, any other line error (overrun, break).
namespace LineDelta {
constexpr uint16_t Parity = 0x02, Framing = 0x04, Other = 0x08;
constexpr uint16_t All = 15;
}

// The serial component: one port with its number, line settings, input buffer and
// triggers. Device I/O is done by a PortDevice chosen by COM number at open; the
// buffering, data triggers and status triggers here serve every kind of device.
// All notifications are emitted on the main thread.
class SerialPort : public QObject, private PortSink {
  Q_OBJECT
 public:
  using DeviceFactory = std::function<std::unique_ptr<PortDevice>(int comNumber)>;

  SerialPort(QString name, DeviceFactory factory, QObject* parent = nullptr);
  ~SerialPort() override;

  QString name() const { return name_; }

  // Settings take effect at the next open.
  void SetComNumber(int n) { comNumber_ = n; }
  void SetBaud(int32_t baud) { settings_.baud = baud; }
  void SetDatabits(int bits) { settings_.dataBits = bits; }
  void SetParity(Parity p) { settings_.parity = p; }
  void SetStopbits(int bits) { settings_.stopBits = bits; }
  int comNumber() const { return comNumber_; }
  const LineSettings& settings() const { return settings_; }
  QString devicePath() const;
  // The device of the last open, also when that failed: messages name what was tried.
  QString lastDevicePath() const { return lastDevicePath_; }

  // Opens or closes the port; false with error filled when the port cannot be initialised.
  bool SetOpen(bool open, QString* error = nullptr);
  bool isOpen() const { return device_ != nullptr; }

  void FlushInBuffer();
  bool CharReady() const { return !input_.empty(); }
  uint8_t GetChar();
  int inCount() const { return int(input_.size()); }
  uint8_t GetModemStatus();
  void SetThreadBoost(int levels);
  // What the open device's driver reports and does; unknown while closed.
  PortCapabilities capabilities() const { return device_ ? device_->capabilities() : PortCapabilities{}; }
  // Takes into the input buffer what the device holds right now (before a final drain).
  void readPending();
  // While the device delivers: when what it delivers was read (CLOCK_MONOTONIC ns); 0 otherwise.
  uint64_t readAt() const { return readAt_; }

  int AddStatusTrigger(int kind);
  bool SetStatusTrigger(int handle, uint16_t mask, bool activate);
  int AddDataTrigger(const QByteArray& text, bool ignoreCase);
  void RemoveTrigger(int handle);

 signals:
  void triggerAvail(int count);
  void triggerData(int handle);
  void triggerStatus(int handle);
  void lineError(int errorWord);
  void portLost(const QString& reason);
  // The open device now runs with other line settings (settings() has them).
  void settingsChanged();

 private:
  struct StatusTrigger {
    int handle;
    int kind;
    uint16_t mask;
    bool active;
  };
  struct DataTrigger {
    int handle;
    QByteArray text;
    bool ignoreCase;
    std::vector<int> failure;  // prefix function of the text
    int matched = 0;
  };

  void deviceData(const uint8_t* data, std::size_t length) override;
  void deviceLineError(uint8_t errorWord, bool hasByte, uint8_t byte) override;
  void deviceModemChanged(uint8_t status) override;
  void deviceLost(const QString& reason) override;
  void deviceReadAt(uint64_t monotonicNs) override { readAt_ = monotonicNs; }
  void deviceSettingsChanged(const LineSettings& settings) override;

  void push(uint8_t byte);
  void notifyAvail();
  void fireStatus(int kind, uint16_t bits);
  int nextHandle();

  QString name_;
  DeviceFactory factory_;
  std::unique_ptr<PortDevice> device_;
  int comNumber_ = 1;
  QString lastDevicePath_;
  LineSettings settings_;
  std::deque<uint8_t> input_;
  uint8_t lastModem_ = 0;
  uint64_t readAt_ = 0;
  std::vector<StatusTrigger> statusTriggers_;
  std::vector<DataTrigger> dataTriggers_;
  int lastHandle_ = 0;
  uint64_t generation_ = 0;  // counts changes of the trigger set
  bool renotifyQueued_ = false;
  bool inNotify_ = false;
};
