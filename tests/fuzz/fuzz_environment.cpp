// Any bytes as an environment file (.ven): loading must not crash or hang and must
// leave the file as it was; saving what was loaded over the input must succeed, and
// the saved file must load back as the same environment. Depending on its first byte
// the input is also tried as the TimeReached or Data value of a trigger (after a fixed
// head), so that the date forms and the data check are fuzzed without the fuzzer having
// to find the section and keys first.
#include <QFile>
#include <cstdio>
#include <cstdlib>

#include "settings/Environment.h"
#include "tests/fuzz/FuzzScratch.h"

namespace {

[[noreturn]] void die(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "%s %s\n", what, detail.toLocal8Bit().constData());
  std::abort();
}

QByteArray contentOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void roundTrip(const QString& input, const QString& output) {
  const QByteArray before = contentOf(input);
  Environment first;
  EnvironmentWarnings warnings;
  QString error;
  if (!LoadEnvironment(input, first, warnings, &error)) die("load failed:", error);
  if (contentOf(input) != before) die("the load changed its file");
  QFile::remove(output);
  QFile::copy(input, output);  // the save rewrites what it finds
  if (!SaveEnvironment(output, first, &error)) die("save failed:", error);
  Environment second;
  if (!LoadEnvironment(output, second, warnings, &error)) die("reload failed:", error);
  if (!(second == first)) die("the environment changed on its way through the file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString input = fuzz::scratch() + QStringLiteral("job.ven");
  static const QString output = fuzz::scratch() + QStringLiteral("saved.ven");
  // One form per input (each save syncs to disk): the file as it is, or behind a head.
  static const QByteArray heads[] = {"", "[Trigger0]\nName=f\nActive=1\nEvent=3\nD1=1\nTimeReached=",
                                     "[Trigger0]\nName=f\nActive=1\nD1=1\nData="};
  const QByteArray& head = size > 0 ? heads[data[0] % 3] : heads[0];
  if (!fuzz::writeInput(input, data, size, head)) return 0;
  roundTrip(input, output);
  return 0;
}
