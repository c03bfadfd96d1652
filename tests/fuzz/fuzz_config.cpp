// Any bytes as Vorlog.ini: loading must not crash or hang, the save must succeed, and
// what the save wrote must read back as the same settings.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>

#include "settings/Configuration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString input = QDir::tempPath() + QStringLiteral("/vorlog-fuzz-config-%1.ini").arg(::getpid());
  static const QString output = QDir::tempPath() + QStringLiteral("/vorlog-fuzz-config-%1-saved.ini").arg(::getpid());
  FILE* f = std::fopen(input.toLocal8Bit().constData(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);

  Configuration first;
  first.load(input);
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
  QFile::remove(input);
  QFile::remove(output);
  return 0;
}
