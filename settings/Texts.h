#pragma once
#include <QString>

// Every user-visible text is numbered: German under n, English under n + 10000.
// The language offset selects which of the two a lookup returns.
namespace Texts {

constexpr int kEnglishOffset = 10000;

void setLanguageOffset(int offset);  // 0 = German, 10000 = English
int languageOffset();

// The text of number n in the current language; an unknown number yields "".
QString text(int n);

}  // namespace Texts
