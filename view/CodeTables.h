#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <string_view>

// The fixed tables behind the character codes: control-character pictures, names and
// descriptions, and the two display code pages. Every table has one entry per byte
// value; a byte the table does not cover has an empty text. The names and
// descriptions are the established technical terms of the two codes and are the same
// in every language.
namespace CodeTables {

constexpr int kEntries = 256;

using TextTable = std::array<std::string_view, kEntries>;
using GlyphTable = std::array<char16_t, kEntries>;

// Caret form of the control range 0x00..0x1F: "^@", "^A" ... "^_".
const TextTable& caretTable();
// US-ASCII mnemonics and descriptions of 0x00..0x1F (0x7F has neither).
const TextTable& asciiNames();
const TextTable& asciiDescriptions();
// EBCDIC control assignments, mnemonics and descriptions.
const TextTable& ebcdicNames();
const TextTable& ebcdicDescriptions();
// The character drawn for a US-ASCII byte: code page 437 with the PC's pictures for
// the control range, as a screen of that code page shows it. This is the one display
// table: the plain ISO 8859-1 variant with blanks for the control range belonged to
// older desktops and would only hide bytes.
const GlyphTable& asciiDisplay();
// The character drawn for an EBCDIC byte: the printable positions of code page 037;
// every other byte, the space and the national letters included, shows a blank.
const GlyphTable& ebcdicDisplay();

inline QString caretText(uint8_t byte) { return QString::fromLatin1(caretTable()[byte]); }
// The same caret form as 8-bit text, as the trigger and search notation writes it.
inline QByteArray caretText8Bit(uint8_t byte) {
  const std::string_view t = caretTable()[byte];
  return QByteArray(t.data(), qsizetype(t.size()));
}

}  // namespace CodeTables
