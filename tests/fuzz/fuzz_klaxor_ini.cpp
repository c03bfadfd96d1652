// Any bytes as Klaxor.ini: counting in and out must not crash or hang, and must leave
// the right count in the file whatever was there before.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>

#include "alerter/InstanceSlots.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString userPath = QDir::tempPath() + QStringLiteral("/vorlog-fuzz-klaxor-%1/").arg(::getpid());
  QDir().mkpath(userPath);
  QFile file(InstanceSlots::iniPath(userPath));
  if (!file.open(QIODevice::WriteOnly)) return 0;
  file.write(reinterpret_cast<const char*>(data), qint64(size));
  file.close();

  InstanceSlots alerter(userPath);
  if (alerter.countIn() != 1 || InstanceSlots::storedCount(userPath) != 1) {
    std::fprintf(stderr, "counting in over this file went wrong\n");
    std::abort();
  }
  alerter.countOut();
  if (InstanceSlots::storedCount(userPath) != 0) {
    std::fprintf(stderr, "counting out over this file went wrong\n");
    std::abort();
  }
  return 0;
}
