// The text, hex and binary notations of a data sequence.
#include <gtest/gtest.h>

#include "triggers/TextNotation.h"
#include "view/CodeTables.h"

using namespace TextNotation;

namespace {

struct Row {
  const char* text;  // UTF-8
  const char* hex;
};

TEST(Notation, TextToHex) {
  const Row rows[] = {
      {"", ""},
      {"A^@B", "410042"},     // the caret form of a zero byte
      {"\\^", "5E"},          // an escaped caret
      {"\\\\", "5C"},         // an escaped backslash
      {"\\^@", "5E40"},       // escaped caret and an at sign: two bytes, no zero
      {"^M^J", "0D0A"},       // control bytes
      {"^", ""},              // a caret at the end stands for nothing
      {"^x", ""},             // a pair that is no caret form stands for nothing
      {"α", "E0"},            // the whole code point: alpha of the display code page
      {"A€B", "4142"},        // a character the code page cannot show is dropped, not 00
      {"☺", "01"},            // the picture of 0x01
      {"^\\^^", "1C1E"},     // caret forms whose letter is a backslash or a caret
      {"\u00A0ÿ", "FF98"},    // 0xFF is the code page's no-break space; the grid's ÿ is 0x98
  };
  for (const Row& r : rows) EXPECT_EQ(StrToHexWithControl(QString::fromUtf8(r.text)), QLatin1String(r.hex)) << r.text;
}

TEST(Notation, EveryByteRoundTrips) {
  for (int b = 1; b < 256; ++b) {
    const QString hex = bytesToHex(QByteArray(1, char(b)));
    const QString text = BinToStrWithControl(HexToBin(hex));
    EXPECT_EQ(StrToHexWithControl(text), hex) << b << " as " << text.toStdString();
    EXPECT_EQ(HexToStr(hex), QByteArray(1, char(b)));
  }
  EXPECT_EQ(BinToStrWithControl(QStringLiteral("00000001")), QStringLiteral("^A"));
  EXPECT_EQ(BinToStrWithControl(QStringLiteral("0101111001011100")), QStringLiteral("\\^\\\\"));
}

TEST(Notation, DigitsAndGroups) {
  EXPECT_EQ(HexToBin(QStringLiteral("a5")), QStringLiteral("10100101"));  // upper-cased first
  EXPECT_EQ(HexToBin(QStringLiteral("414")), QStringLiteral("01000001"));  // a last single digit is ignored
  EXPECT_EQ(BinToStrWithControl(QStringLiteral("0100000101")), QStringLiteral("A"));
  EXPECT_EQ(GroupDigits(QStringLiteral("414243"), 2), QStringLiteral("41 42 43"));
  EXPECT_EQ(GroupDigits(QString(), 2), QString());
  EXPECT_EQ(RemoveBlanks(QStringLiteral(" 41 4 2 ")), QStringLiteral("4142"));
  EXPECT_EQ(ValidateHexString(QStringLiteral("4G1-a2")), QStringLiteral("412"));
  EXPECT_EQ(ValidateBinString(QStringLiteral("10x21")), QStringLiteral("101"));
}

TEST(Notation, ZeroBytesAreRemovedOnBytes) {
  EXPECT_EQ(RemoveZeroNotation(QStringLiteral("000041000042"), Kind::Hex), QStringLiteral("4142"));
  EXPECT_EQ(RemoveZeroNotation(QStringLiteral("100000"), Kind::Hex), QStringLiteral("10"));  // "00" across bytes stays
  EXPECT_EQ(RemoveZeroNotation(QStringLiteral("0000000001000001"), Kind::Bin), QStringLiteral("01000001"));
  EXPECT_EQ(RemoveZeroNotation(QStringLiteral("A^@B"), Kind::Text), QStringLiteral("AB"));
  EXPECT_EQ(RemoveZeroNotation(QStringLiteral("\\^@"), Kind::Text), QStringLiteral("\\^@"));
}

TEST(Notation, StoredPatterns) {
  QString normal;
  EXPECT_TRUE(isValidPattern(QStringLiteral("0d0a"), &normal));
  EXPECT_EQ(normal, QStringLiteral("0D0A"));
  EXPECT_TRUE(isValidPattern(QStringLiteral("00")));  // a zero byte is a byte like any other
  for (const char* bad : {"", "0", "0G", "0D 0A"}) EXPECT_FALSE(isValidPattern(QLatin1String(bad))) << bad;
  EXPECT_TRUE(isValidPattern(QString(510, QLatin1Char('A'))));
  EXPECT_FALSE(isValidPattern(QString(512, QLatin1Char('A'))));
}

}  // namespace
