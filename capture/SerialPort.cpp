#include "capture/SerialPort.h"

#include <QMetaObject>
#include <algorithm>
#include <cctype>

#include "settings/Texts.h"

namespace TextNo {
constexpr int ComDoesNotExist = 9520, NoPortForLine = 9885;
}  // namespace TextNo

namespace {

uint8_t fold(uint8_t c, bool ignoreCase) { return ignoreCase ? uint8_t(std::toupper(c)) : c; }

std::vector<int> prefixFunction(const QByteArray& text, bool ignoreCase) {
  std::vector<int> f(size_t(text.size()), 0);
  for (qsizetype i = 1, k = 0; i < text.size(); ++i) {
    while (k > 0 && fold(uint8_t(text[i]), ignoreCase) != fold(uint8_t(text[k]), ignoreCase)) k = f[size_t(k - 1)];
    if (fold(uint8_t(text[i]), ignoreCase) == fold(uint8_t(text[k]), ignoreCase)) ++k;
    f[size_t(i)] = int(k);
  }
  return f;
}

}  // namespace

SerialPort::SerialPort(QString name, DeviceFactory factory, QObject* parent)
    : QObject(parent), name_(std::move(name)), factory_(std::move(factory)) {}

SerialPort::~SerialPort() {
  if (device_) device_->close();
}

QString SerialPort::devicePath() const { return device_ ? device_->path() : QString(); }

bool SerialPort::SetOpen(bool open, QString* error) {
  if (!open) {
    if (device_) {
      device_->close();
      device_.reset();
    }
    input_.clear();
    readAt_ = 0;  // a close from inside a delivery ends that delivery
    return true;
  }
  if (device_) return true;
  // With a single serial port the other line is left without one (COM number 0).
  if (comNumber_ <= 0) {
    lastDevicePath_.clear();
    if (error) *error = Texts::text(TextNo::NoPortForLine);
    return false;
  }
  std::unique_ptr<PortDevice> device = factory_ ? factory_(comNumber_) : nullptr;
  lastDevicePath_ = device ? device->path() : QString();
  if (!device) {
    if (error) *error = Texts::text(TextNo::ComDoesNotExist).arg(comNumber_);
    return false;
  }
  QString why;
  if (!device->open(settings_, *this, &why)) {
    if (error) *error = why;
    return false;
  }
  device_ = std::move(device);
  lastModem_ = device_->modemStatus();
  for (DataTrigger& t : dataTriggers_) t.matched = 0;
  return true;
}

void SerialPort::FlushInBuffer() {
  if (device_) device_->flushInput();
  input_.clear();
}

uint8_t SerialPort::GetChar() {
  if (input_.empty()) return 0;
  const uint8_t c = input_.front();
  input_.pop_front();
  return c;
}

uint8_t SerialPort::GetModemStatus() { return device_ ? device_->modemStatus() : 0; }

void SerialPort::SetThreadBoost(int levels) {
  if (device_) device_->setThreadBoost(levels);
}

void SerialPort::readPending() {
  if (!device_) return;
  // The caller drains right after; no notification while it does.
  const bool was = inNotify_;
  inNotify_ = true;
  device_->readPending();
  inNotify_ = was;
}

int SerialPort::nextHandle() {
  lastHandle_ = lastHandle_ >= 0x1FFF ? 1 : lastHandle_ + 1;
  return lastHandle_;
}

int SerialPort::AddStatusTrigger(int kind) {
  if (kind != StatusKind::Modem && kind != StatusKind::Line) return 0;
  const int h = nextHandle();
  ++generation_;
  statusTriggers_.push_back({h, kind, 0, false});
  return h;
}

bool SerialPort::SetStatusTrigger(int handle, uint16_t mask, bool activate) {
  for (StatusTrigger& t : statusTriggers_) {
    if (t.handle != handle) continue;
    t.mask = mask;
    t.active = activate;
    return true;
  }
  return false;
}

int SerialPort::AddDataTrigger(const QByteArray& text, bool ignoreCase) {
  if (text.isEmpty() || text.size() > 255) return 0;
  const int h = nextHandle();
  ++generation_;
  dataTriggers_.push_back({h, text, ignoreCase, prefixFunction(text, ignoreCase), 0});
  return h;
}

void SerialPort::RemoveTrigger(int handle) {
  ++generation_;
  std::erase_if(statusTriggers_, [handle](const StatusTrigger& t) { return t.handle == handle; });
  std::erase_if(dataTriggers_, [handle](const DataTrigger& t) { return t.handle == handle; });
}

void SerialPort::push(uint8_t byte) {
  input_.push_back(byte);
  for (size_t i = 0; i < dataTriggers_.size(); ++i) {
    DataTrigger& t = dataTriggers_[i];
    const uint8_t c = fold(byte, t.ignoreCase);
    while (t.matched > 0 && fold(uint8_t(t.text[t.matched]), t.ignoreCase) != c)
      t.matched = t.failure[size_t(t.matched - 1)];
    if (fold(uint8_t(t.text[t.matched]), t.ignoreCase) == c) ++t.matched;
    if (t.matched == t.text.size()) {
      t.matched = t.failure[size_t(t.matched - 1)];
      const int handle = t.handle;
      const uint64_t generation = generation_;
      // The matched characters are recorded before the trigger is evaluated.
      notifyAvail();
      emit triggerData(handle);
      // The trigger set changed (a group fired and the next one was armed): this byte
      // has done its work; it must not fire the next group too.
      if (generation != generation_) return;
    }
  }
}

void SerialPort::notifyAvail() {
  if (inNotify_ || input_.empty()) return;
  inNotify_ = true;
  const size_t before = input_.size();
  emit triggerAvail(int(before));
  inNotify_ = false;
  // The handler takes one character per pass from each port; what is left over
  // (more on this port than on the other) is announced again from the event loop.
  if (!input_.empty() && input_.size() < before && !renotifyQueued_) {
    renotifyQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          renotifyQueued_ = false;
          notifyAvail();
        },
        Qt::QueuedConnection);
  }
}

void SerialPort::fireStatus(int kind, uint16_t bits) {
  if (!bits) return;
  std::vector<int> fired;
  for (StatusTrigger& t : statusTriggers_) {
    if (t.kind != kind || !t.active || !(t.mask & bits)) continue;
    t.active = false;  // fires once; the program activates it again
    fired.push_back(t.handle);
  }
  for (int h : fired) emit triggerStatus(h);
}

void SerialPort::deviceData(const uint8_t* data, std::size_t length) {
  if (dataTriggers_.empty()) {
    input_.insert(input_.end(), data, data + length);
  } else {
    for (std::size_t i = 0; i < length; ++i) push(data[i]);
  }
  notifyAvail();
}

void SerialPort::deviceLineError(uint8_t errorWord, bool hasByte, uint8_t byte) {
  notifyAvail();  // what came before the error is recorded first
  emit lineError(errorWord);
  uint16_t bits = 0;
  if (errorWord & LineErrorBit::Parity) bits |= LineDelta::Parity;
  if (errorWord & LineErrorBit::Framing) bits |= LineDelta::Framing;
  if (errorWord & (LineErrorBit::Overrun | LineErrorBit::Break)) bits |= LineDelta::Other;
  fireStatus(StatusKind::Line, bits);
  if (hasByte) {
    push(byte);
    notifyAvail();
  }
}

void SerialPort::deviceModemChanged(uint8_t status) {
  const uint8_t changed = status ^ lastModem_;
  lastModem_ = status;
  uint16_t bits = 0;
  if (changed & ModemBit::Cts) bits |= ModemDelta::Cts;
  if (changed & ModemBit::Dsr) bits |= ModemDelta::Dsr;
  if (changed & ModemBit::Ri) bits |= ModemDelta::Ring;
  if (changed & ModemBit::Dcd) bits |= ModemDelta::Dcd;
  fireStatus(StatusKind::Modem, bits);
}

void SerialPort::deviceLost(const QString& reason) { emit portLost(reason); }

void SerialPort::deviceSettingsChanged(const LineSettings& settings) {
  settings_ = settings;
  emit settingsChanged();
}
