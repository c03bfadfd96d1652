#include "alerter/KlaxorTexts.h"

#include <cstddef>

#include "settings/Texts.h"

// The bytes of resources/klaxor/texts.txt, generated into the build tree by CMake.
namespace KlaxorTextsData {
extern const Texts::RawTable kFiles[];
extern const std::size_t kFileCount;
}  // namespace KlaxorTextsData

namespace Klaxor {

void useKlaxorTexts() { Texts::useTables(Texts::filesOf(KlaxorTextsData::kFiles, KlaxorTextsData::kFileCount)); }

int languageOffsetFor(const QLocale& locale) {
  return locale.language() == QLocale::German ? 0 : Texts::kEnglishOffset;
}

}  // namespace Klaxor
