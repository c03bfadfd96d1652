#include <gtest/gtest.h>

#include <set>
#include <string_view>

#include "view/CodeTables.h"

namespace {

using CodeTables::kEntries;

// The bytes a table is expected to fill, from the published lists of the two codes.
std::set<int> range(int first, int last) {
  std::set<int> s;
  for (int b = first; b <= last; ++b) s.insert(b);
  return s;
}

std::set<int> filled(const CodeTables::TextTable& t) {
  std::set<int> s;
  for (int b = 0; b < kEntries; ++b)
    if (!t[b].empty()) s.insert(b);
  return s;
}

std::set<int> ebcdicControlBytes() {
  std::set<int> s = range(0x00, 0x2F);
  s.merge(range(0x32, 0x3D));
  s.insert({0x3F, 0x40, 0x41, 0xCA, 0xE1, 0xFF});
  return s;
}

// The 94 printable positions of the EBCDIC display, in byte order.
std::set<int> ebcdicPrintable() {
  std::set<int> s;
  for (auto [a, z] : {std::pair{0x4A, 0x50},
                      {0x5A, 0x61},
                      {0x6A, 0x6F},
                      {0x79, 0x7F},
                      {0x81, 0x89},
                      {0x91, 0x99},
                      {0xA1, 0xA9},
                      {0xC0, 0xC9},
                      {0xD0, 0xD9},
                      {0xE0, 0xE0},
                      {0xE2, 0xE9},
                      {0xF0, 0xF9}})
    s.merge(range(a, z));
  return s;
}

TEST(CodeTables, EveryTableCoversExactlyItsListedBytes) {
  for (const CodeTables::TextTable* t :
       {&CodeTables::caretTable(), &CodeTables::asciiNames(), &CodeTables::asciiDescriptions(),
        &CodeTables::ebcdicNames(), &CodeTables::ebcdicDescriptions()})
    EXPECT_EQ(t->size(), std::size_t(kEntries));
  EXPECT_EQ(CodeTables::asciiDisplay().size(), std::size_t(kEntries));
  EXPECT_EQ(CodeTables::ebcdicDisplay().size(), std::size_t(kEntries));

  EXPECT_EQ(filled(CodeTables::caretTable()), range(0x00, 0x1F));
  EXPECT_EQ(filled(CodeTables::asciiNames()), range(0x00, 0x1F));
  EXPECT_EQ(filled(CodeTables::asciiDescriptions()), range(0x00, 0x1F));
  EXPECT_EQ(filled(CodeTables::ebcdicNames()), ebcdicControlBytes());
  EXPECT_EQ(filled(CodeTables::ebcdicDescriptions()), ebcdicControlBytes());

  const std::set<int> printable = ebcdicPrintable();
  ASSERT_EQ(printable.size(), 94u);
  for (int b = 0; b < kEntries; ++b)
    EXPECT_EQ(CodeTables::ebcdicDisplay()[b] != u' ', printable.count(b) == 1) << "EBCDIC byte " << b;
}

TEST(CodeTables, CaretFormsAndTheirEightBitCopy) {
  EXPECT_EQ(CodeTables::caretText(0x00), QStringLiteral("^@"));
  EXPECT_EQ(CodeTables::caretText(0x01), QStringLiteral("^A"));
  EXPECT_EQ(CodeTables::caretText(0x0D), QStringLiteral("^M"));
  EXPECT_EQ(CodeTables::caretText(0x1A), QStringLiteral("^Z"));
  EXPECT_EQ(CodeTables::caretText(0x1B), QStringLiteral("^["));
  EXPECT_EQ(CodeTables::caretText(0x1C), QStringLiteral("^\\"));
  EXPECT_EQ(CodeTables::caretText(0x1D), QStringLiteral("^]"));
  EXPECT_EQ(CodeTables::caretText(0x1E), QStringLiteral("^^"));
  EXPECT_EQ(CodeTables::caretText(0x1F), QStringLiteral("^_"));
  EXPECT_TRUE(CodeTables::caretText(0x7F).isEmpty());
  for (int b = 0; b < kEntries; ++b)
    EXPECT_EQ(CodeTables::caretText8Bit(uint8_t(b)), CodeTables::caretText(uint8_t(b)).toLatin1());
}

struct Named {
  int byte;
  const char* name;
  const char* description;
};

TEST(CodeTables, AsciiNamesAndDescriptions) {
  const Named samples[] = {
      {0x00, "NUL", "null"},
      {0x08, "BS", "backspace"},
      {0x09, "TAB", "horizontal tab"},
      {0x0A, "LF", "line feed"},
      {0x0D, "CR", "carriage return"},
      {0x10, "DLE", "data line escape"},
      {0x11, "DC1", "device control 1 (X-ON)"},
      {0x13, "DC3", "device control 3 (X-OFF)"},
      {0x17, "ETB", "end transmission block"},
      {0x1A, "SUB", "substitute (end of text file)"},
      {0x1B, "ESC", "escape"},
      {0x1F, "US", "unit separator"},
  };
  for (const Named& n : samples) {
    EXPECT_EQ(CodeTables::asciiNames()[n.byte], n.name) << n.byte;
    EXPECT_EQ(CodeTables::asciiDescriptions()[n.byte], n.description) << n.byte;
  }
  EXPECT_TRUE(CodeTables::asciiNames()[0x7F].empty());
  EXPECT_TRUE(CodeTables::asciiDescriptions()[0x7F].empty());
}

TEST(CodeTables, EbcdicNamesAndDescriptions) {
  const Named samples[] = {
      {0x04, "SEL", "select"},
      {0x07, "DEL", "delete"},
      {0x10, "DLE", "data length escape"},
      {0x11, "DC1", "device control 1"},
      {0x14, "RES/ENP", "restore/enable presentation"},
      {0x15, "NL", "new line"},
      {0x17, "POC", "program-operator communication"},
      {0x1F, "IUS/ITB", "interchange unit separator/intermediate transmission block"},
      {0x24, "BYP/INP", "bypass/inhibit presentation"},
      {0x25, "LF", "line feed"},
      {0x26, "ETB", "end of transmission block"},
      {0x2A, "SM/SW", "set mode/set switch"},
      {0x2F, "BEL", "bell"},
      {0x32, "SYN", "synchronous idle"},
      {0x3D, "NAK", "negative acknowledge"},
      {0x3F, "SUB", "substitute"},
      {0x40, "SP", "space"},
      {0x41, "RSP", "required space"},
      {0xCA, "SHY", "syllable hyphen (shy)"},
      {0xE1, "NSP", "numeric space"},
      {0xFF, "EO", "eight ones"},
  };
  for (const Named& n : samples) {
    EXPECT_EQ(CodeTables::ebcdicNames()[n.byte], n.name) << n.byte;
    EXPECT_EQ(CodeTables::ebcdicDescriptions()[n.byte], n.description) << n.byte;
  }
}

TEST(CodeTables, AsciiDisplayIsTheScreenOfCodePage437) {
  const char16_t pictures[] = {0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9, 0x2642,
                               0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x00AD,
                               0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};
  const CodeTables::GlyphTable& t = CodeTables::asciiDisplay();
  EXPECT_EQ(t[0x00], 0x0000);
  for (int b = 0x01; b <= 0x1F; ++b) EXPECT_EQ(t[b], pictures[b - 1]) << b;
  for (int b = 0x20; b <= 0x7E; ++b) EXPECT_EQ(t[b], char16_t(b)) << b;
  EXPECT_EQ(t[0x7F], 0x2302);
  // 0x80 to 0xFE as a code page 437 screen shows them, then 0xFF.
  const QString upper = QStringLiteral(
      "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩"
      "≡±≥≤⌠⌡÷≈°∙·√ⁿ²■");
  ASSERT_EQ(upper.size(), 127);
  for (int b = 0x80; b <= 0xFE; ++b) EXPECT_EQ(t[b], upper[b - 0x80].unicode()) << b;
  EXPECT_EQ(t[0xFF], 0x00FF);
}

TEST(CodeTables, EbcdicDisplayIsCodePage037WithASoftHyphen) {
  const CodeTables::GlyphTable& t = CodeTables::ebcdicDisplay();
  QString printable = QStringLiteral(
      "¢.<(+|&!$*);¬\u00AD/¦,%_>?`:#@'=\"abcdefghijklmnopqr~stuvwxyz{ABCDEFGHI}JKLMNOPQR\\STUVWXYZ0123456789");
  ASSERT_EQ(printable.size(), 94);
  int i = 0;
  for (int b : ebcdicPrintable()) EXPECT_EQ(t[b], printable[i++].unicode()) << b;
  EXPECT_EQ(t[0x60], 0x00AD);
  EXPECT_EQ(t[0x40], u' ');  // the space and the national letters show a blank
  EXPECT_EQ(t[0x5B], u'$');
  EXPECT_EQ(t[0x7B], u'#');
}

}  // namespace
