// Any bytes as the configuration file: reading the port numbering must not crash, and a
// numbering saved over it must read back as it was.
#include "capture/PortRegistry.h"
#include "tests/fuzz/FuzzScratch.h"

namespace {
QList<QPair<int, QString>> numbering(const PortRegistry& registry) {
  QList<QPair<int, QString>> result;
  for (const PortInfo& p : registry.ports()) result.push_back({p.comNumber, p.path});
  return result;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString path = fuzz::scratch() + QStringLiteral("Vorlog.ini");
  if (!fuzz::writeInput(path, data, size, "[Ports]\n")) return 0;
  PortRegistry registry(path);
  // A device not in the file yet gets a number and makes the scan save the numbering.
  registry.setEnumerator([] { return QList<PortInfo>{{0, QStringLiteral("/dev/ttyUSB-fuzz"), QString()}}; });
  registry.scan();
  for (const PortInfo& p : registry.ports()) (void)registry.pathFor(p.comNumber);

  PortRegistry next(path);
  next.setEnumerator([] { return QList<PortInfo>{}; });
  next.scan();
  if (numbering(next) != numbering(registry)) {
    std::fprintf(stderr, "the port numbering changed on its way through the file\n");
    std::abort();
  }
  return 0;
}
