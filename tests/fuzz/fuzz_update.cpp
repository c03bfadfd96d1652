// Any bytes as the update server's answer: the version taken from it is either empty or a
// plain version (digits and dots, at most 32 characters), comparing it with itself gives
// equality, and the comparison is antisymmetric against the running program's version.
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>

#include "shell/AppVersion.h"
#include "shell/UpdateCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QRegularExpression plain(QStringLiteral("^\\d+(\\.\\d+)*$"));
  const QString v = versionFromFile(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  if (v.isEmpty()) return 0;
  if (v.size() > kMaxVersionLength || !plain.match(v).hasMatch()) {
    std::fprintf(stderr, "not a plain version: %s\n", qPrintable(v.left(80)));
    std::abort();
  }
  const QString local = appVersion();
  if (compareVersions(v, v) != 0 || (compareVersions(v, local) > 0) != (compareVersions(local, v) < 0)) {
    std::fprintf(stderr, "inconsistent comparison: %s against %s\n", qPrintable(v), qPrintable(local));
    std::abort();
  }
  return 0;
}
