// Any bytes as the configuration file: reading the port numbering must not crash.
#include <unistd.h>

#include <QDir>
#include <cstdio>

#include "capture/PortRegistry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString path = QDir::tempPath() + QStringLiteral("/vorlog-fuzz-%1.ini").arg(::getpid());
  FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
  if (!f) return 0;
  std::fputs("[Ports]\n", f);
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  PortRegistry registry(path);
  registry.setEnumerator([] { return QList<PortInfo>{}; });
  registry.scan();
  for (const PortInfo& p : registry.ports()) (void)registry.pathFor(p.comNumber);
  return 0;
}
