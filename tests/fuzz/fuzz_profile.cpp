// Any bytes as a hardware profile (.vhp): loading must not crash or hang, must leave the
// file as it was, and must offer no empty and no invalid list; saving what was loaded
// over the input must succeed and load back as the same profile.
#include <QFile>
#include <cstdio>
#include <cstdlib>

#include "settings/HardwareProfile.h"
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

void checkLists(const PortValueLists& v) {
  const std::pair<PortValueKind, const QStringList*> lists[] = {{PortValueKind::BaudRate, &v.baudRates},
                                                                {PortValueKind::DataBits, &v.dataBits},
                                                                {PortValueKind::Parity, &v.parities},
                                                                {PortValueKind::StopBits, &v.stopBits}};
  for (const auto& [kind, list] : lists) {
    if (list->isEmpty()) die("an empty list");
    for (const QString& value : *list)
      if (!validValue(kind, value)) die("an invalid value:", value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString input = fuzz::scratch() + QStringLiteral("profiles/input.vhp");
  static const QString output = fuzz::scratch() + QStringLiteral("profiles/saved.vhp");
  static const PortValueLists standards = standardValueDefaults();
  static const bool folder = QDir().mkpath(fuzz::scratch() + QStringLiteral("profiles"));
  if (!folder || !fuzz::writeInput(input, data, size)) return 0;
  const QByteArray before = contentOf(input);
  HardwareProfile first = HardwareProfile::defaults(standards);
  QStringList warnings;
  QString error;
  const bool loaded = LoadHardwareProfile(input, standards, first, warnings, &error);
  if (contentOf(input) != before) die("the load changed its file");
  if (!loaded) {
    if (!(first == HardwareProfile::defaults(standards))) die("a refused file changed the profile");
    return 0;
  }
  checkLists(first.values);
  QFile::remove(output);
  QFile::copy(input, output);  // the save rewrites what it finds
  if (!SaveHardwareProfile(output, first, &error)) die("save failed:", error);
  HardwareProfile second;
  if (!LoadHardwareProfile(output, standards, second, warnings, &error)) die("reload failed:", error);
  if (!(second == first)) die("the profile changed on its way through the file");
  return 0;
}
