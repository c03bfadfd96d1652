// Scenario files come from users: the parser must turn any bytes into a scenario or a
// "FILE:LINE: message" error, and a scenario that parses must play without hanging.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "capture/Clock.h"
#include "capture/Scenario.h"
#include "capture/SimulatedLink.h"

namespace {

class NullSink : public PortSink {
 public:
  void deviceData(const uint8_t*, std::size_t length) override { bytes += length; }
  void deviceLineError(uint8_t, bool, uint8_t) override {}
  void deviceModemChanged(uint8_t) override {}
  void deviceLost(const QString&) override {}
  std::size_t bytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
  Scenario scenario;
  QString error;
  if (!parseScenario(text, QStringLiteral("fuzz.scn"), &scenario, &error)) {
    if (!error.startsWith(QStringLiteral("fuzz.scn:"))) {
      std::fprintf(stderr, "error without file and line: %s\n", qPrintable(error));
      std::abort();
    }
    return 0;
  }
  // Play a short stretch of it; fast stress rates are the expensive part, so keep it brief.
  ManualClock clock;
  SimulatedLink link(clock);
  if (!link.loadScenarioText(QString::fromLatin1(text), QStringLiteral("fuzz.scn"), &error)) return 0;
  NullSink a, b;
  auto devA = link.createDevice(SimulatedLink::End::A);
  auto devB = link.createDevice(SimulatedLink::End::B);
  QString why;
  if (!devA->open({9600, 8, Parity::None, 1}, a, &why) || !devB->open({9600, 7, Parity::Even, 1}, b, &why)) std::abort();
  for (int i = 0; i < 20; ++i) {
    clock.advance(1000000);
    link.pump();
  }
  // Delivered counts the characters with errors too, so never fewer than the data seen.
  if (a.bytes > link.bytesDelivered(SimulatedLink::End::A) || b.bytes > link.bytesDelivered(SimulatedLink::End::B)) std::abort();
  return 0;
}
