// Any bytes as Vorlog.ini: loading must not crash or hang, the save must succeed, and
// what the save wrote must read back as the same settings. The input read as a list
// value goes through the file as well, so every kind of list item is tried without the
// fuzzer having to find the section and key first.
#include <QFile>
#include <cstdio>
#include <cstdlib>

#include "settings/Configuration.h"
#include "tests/fuzz/FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString input = fuzz::scratch() + QStringLiteral("Vorlog.ini");
  static const QString output = fuzz::scratch() + QStringLiteral("saved.ini");
  if (!fuzz::writeInput(input, data, size)) return 0;

  Configuration first;
  first.load(input);
  // Control characters are written as blanks by design; everything else must survive.
  QString listText = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  for (QChar& c : listText)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char(' ');
  const QStringList items = decodeList(listText);
  if (!items.isEmpty()) first.parities = items;  // an empty list reads as the default

  QFile::remove(output);
  QFile::copy(input, output);  // the save rewrites what it finds
  QString error;
  if (!first.save(output, &error)) {
    std::fprintf(stderr, "save failed: %s\n", error.toLocal8Bit().constData());
    std::abort();
  }
  Configuration second;
  second.load(output);
  if (!(second == first)) {
    std::fprintf(stderr, "settings changed on their way through the file\n");
    std::abort();
  }
  (void)Configuration::LoadLanguageConfig(output);
  return 0;
}
