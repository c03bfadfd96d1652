#pragma once
// A serial device the test drives by hand: what it "receives" goes straight to the port.
#include <QCoreApplication>
#include <memory>
#include <string>

#include "capture/PortDevice.h"
#include "capture/SerialPort.h"

class FakeDevice : public PortDevice {
 public:
  struct State {
    PortSink* sink = nullptr;
    uint8_t modem = 0;
    bool failOpen = false;
    int opens = 0;
    int flushes = 0;
    std::string pendingInKernel;  // delivered by readPending only
    LineSettings settings;
    PortCapabilities caps;  // what the fake driver reports
  };
  explicit FakeDevice(std::shared_ptr<State> s) : s_(std::move(s)) {}
  QString path() const override { return QStringLiteral("FAKE"); }
  bool open(const LineSettings& settings, PortSink& sink, QString* error) override {
    if (s_->failOpen) {
      if (error) *error = QStringLiteral("refused");
      return false;
    }
    s_->sink = &sink;
    s_->settings = settings;
    ++s_->opens;
    return true;
  }
  void close() override { s_->sink = nullptr; }
  void flushInput() override { ++s_->flushes; }
  uint8_t modemStatus() override { return s_->modem; }
  void readPending() override {
    if (s_->sink && !s_->pendingInKernel.empty()) {
      const std::string data = std::move(s_->pendingInKernel);
      s_->pendingInKernel.clear();
      s_->sink->deviceData(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    }
  }
  void setThreadBoost(int) override {}
  PortCapabilities capabilities() const override { return s_->caps; }

 private:
  std::shared_ptr<State> s_;
};

// One port backed by a fake device.
struct FakePort {
  std::shared_ptr<FakeDevice::State> state = std::make_shared<FakeDevice::State>();
  SerialPort port;
  explicit FakePort(const char* name)
      : port(QString::fromLatin1(name), [s = state](int) { return std::make_unique<FakeDevice>(s); }) {}
  void receive(const std::string& bytes) {
    ASSERT_NE(state->sink, nullptr) << "port not open";
    state->sink->deviceData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  void setModem(uint8_t status) {
    state->modem = status;
    if (state->sink) state->sink->deviceModemChanged(status);
  }
  void lineError(uint8_t word, bool hasByte = false, uint8_t byte = 0) {
    ASSERT_NE(state->sink, nullptr) << "port not open";
    state->sink->deviceLineError(word, hasByte, byte);
  }
};

inline void processEvents() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}
