#include "alerter/KlaxorTexts.h"

#include <cstddef>

#include "settings/Texts.h"

// The bytes of resources/klaxor/texts.txt, generated into the build tree by CMake.
namespace KlaxorTextsData {
struct File {
  const char* name;
  const char* bytes;
  std::size_t size;
};
extern const File kFiles[];
extern const std::size_t kFileCount;
}  // namespace KlaxorTextsData

namespace Klaxor {

void useKlaxorTexts() {
  QList<Texts::CompiledFile> files;
  for (std::size_t i = 0; i < KlaxorTextsData::kFileCount; ++i) {
    const KlaxorTextsData::File& f = KlaxorTextsData::kFiles[i];
    files.append({QString::fromUtf8(f.name), QByteArray::fromRawData(f.bytes, qsizetype(f.size))});
  }
  Texts::useTables(files);
}

int languageOffsetFor(const QLocale& locale) {
  return locale.language() == QLocale::German ? 0 : Texts::kEnglishOffset;
}

}  // namespace Klaxor
