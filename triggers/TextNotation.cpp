#include "triggers/TextNotation.h"

#include <QHash>

#include "view/CodeTables.h"

namespace TextNotation {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// The grid draws 0xFF like 0x98 (ÿ); in a typed sequence it is the code page's own
// no-break space, or a pattern holding FF would come back as 98.
constexpr char16_t kNoBreakSpace = 0x00A0;

int hexValue(QChar c) {
  const char16_t u = c.toUpper().unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return 0;
}

// The byte a character of the display code page stands for; the first byte when two show alike.
const QHash<char16_t, uint8_t>& displayBytes() {
  static const QHash<char16_t, uint8_t> map = [] {
    QHash<char16_t, uint8_t> m;
    const auto& glyphs = CodeTables::asciiDisplay();
    for (int b = 0; b < CodeTables::kEntries; ++b)
      if (glyphs[size_t(b)] && !m.contains(glyphs[size_t(b)])) m.insert(glyphs[size_t(b)], uint8_t(b));
    m.insert(kNoBreakSpace, 0xFF);
    return m;
  }();
  return map;
}

int caretByte(QChar c) {
  const auto& carets = CodeTables::caretTable();
  for (int b = 0; b < 32; ++b) {
    const std::string_view t = carets[size_t(b)];
    if (t.size() == 2 && c.unicode() == char16_t(uint8_t(t[1]))) return b;
  }
  return -1;
}

void appendHex(QString& out, uint8_t v) {
  out += QLatin1Char(kHexDigits[v >> 4]);
  out += QLatin1Char(kHexDigits[v & 15]);
}

}  // namespace

QString StrToHexWithControl(const QString& text) {
  QString out;
  bool escape = false, caret = false;
  for (const QChar c : text) {
    if (escape) {
      escape = false;
      if (const auto it = displayBytes().find(c.unicode()); it != displayBytes().end()) appendHex(out, *it);
    } else if (caret) {
      // The letter of a caret form comes first: "^\" is 0x1C, not the start of an escape.
      caret = false;
      if (const int k = caretByte(c); k >= 0) appendHex(out, uint8_t(k));
    } else if (c == QLatin1Char('\\')) {
      escape = true;
    } else if (c == QLatin1Char('^')) {
      caret = true;
    } else if (const auto it = displayBytes().find(c.unicode()); it != displayBytes().end()) {
      appendHex(out, *it);
    }
    // A character the code page cannot show stands for no byte: it is dropped.
  }
  return out;
}

QString HexToBin(const QString& hex) {
  QString out;
  for (qsizetype i = 0; i + 1 < hex.size(); i += 2) {
    const int v = hexValue(hex[i]) * 16 + hexValue(hex[i + 1]);
    for (int bit = 7; bit >= 0; --bit) out += QLatin1Char((v >> bit) & 1 ? '1' : '0');
  }
  return out;
}

QString BinToStrWithControl(const QString& bin) {
  QString out;
  const auto& glyphs = CodeTables::asciiDisplay();
  for (qsizetype i = 0; i + 8 <= bin.size(); i += 8) {
    int v = 0;
    for (int k = 0; k < 8; ++k) v = v * 2 + (bin[i + k] == QLatin1Char('1') ? 1 : 0);
    if (v < 32) out += CodeTables::caretText(uint8_t(v));
    else if (v == 0x5E) out += QStringLiteral("\\^");
    else if (v == 0x5C) out += QStringLiteral("\\\\");
    else if (v == 0xFF) out += QChar(kNoBreakSpace);
    else out += QChar(glyphs[size_t(v)]);
  }
  return out;
}

QByteArray HexToStr(const QString& hex) {
  QByteArray out;
  for (qsizetype i = 0; i + 1 < hex.size(); i += 2) out += char(hexValue(hex[i]) * 16 + hexValue(hex[i + 1]));
  return out;
}

QString GroupDigits(const QString& digits, int n) {
  if (n <= 0) return digits;
  QString out;
  for (qsizetype i = 0; i < digits.size(); ++i) {
    if (i > 0 && i % n == 0) out += QLatin1Char(' ');
    out += digits[i];
  }
  return out;
}

QString RemoveBlanks(const QString& text) {
  QString out = text;
  out.remove(QLatin1Char(' '));
  return out;
}

QString RemoveZeroNotation(const QString& text, Kind kind) {
  if (kind == Kind::Text) {
    // On the bytes: "\^@" is a caret and an at sign, not a zero byte.
    QString hex = RemoveZeroNotation(StrToHexWithControl(text), Kind::Hex);
    return BinToStrWithControl(HexToBin(hex));
  }
  const int width = kind == Kind::Hex ? 2 : 8;
  const QString zero(width, QLatin1Char('0'));
  QString out;
  for (qsizetype i = 0; i < text.size(); i += width) {
    const QString unit = text.mid(i, width);
    if (unit != zero) out += unit;
  }
  return out;
}

QString ValidateHexString(const QString& text) {
  QString out;
  for (const QChar c : text)
    if (QLatin1StringView(kHexDigits).contains(c)) out += c;
  return out;
}

QString ValidateBinString(const QString& text) {
  QString out;
  for (const QChar c : text)
    if (c == QLatin1Char('0') || c == QLatin1Char('1')) out += c;
  return out;
}

QString bytesToHex(const QByteArray& bytes) {
  QString out;
  for (const char c : bytes) appendHex(out, uint8_t(c));
  return out;
}

bool isValidPattern(const QString& hex, QString* normalised) {
  const QString upper = hex.toUpper();
  if (upper.isEmpty() || upper.size() % 2 || upper.size() > 2 * 255) return false;
  if (ValidateHexString(upper).size() != upper.size()) return false;
  if (normalised) *normalised = upper;
  return true;
}

}  // namespace TextNotation
