#include <gtest/gtest.h>

#include "settings/Configuration.h"
#include "view/CodeFormat.h"

namespace {

using CC = CharacterCode;
using CM = ControlMode;

struct Piece {
  QString text;
  int dx, dy, size;
};

std::vector<Piece> pieces(const CellContent& c) {
  std::vector<Piece> out;
  for (int i = 0; i < c.pieceCount; ++i)
    out.push_back({c.pieces[i].text, c.pieces[i].dx, c.pieces[i].dy, c.pieces[i].pointSize});
  return out;
}

void expectPieces(const CellContent& c, std::vector<Piece> expected) {
  const std::vector<Piece> got = pieces(c);
  ASSERT_EQ(got.size(), expected.size()) << c.text.toStdString();
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].text, expected[i].text) << i;
    EXPECT_EQ(got[i].dx, expected[i].dx) << i;
    EXPECT_EQ(got[i].dy, expected[i].dy) << i;
    EXPECT_EQ(got[i].size, expected[i].size) << i;
  }
}

TEST(CellContent, CarriageReturnInTheThreeControlModes) {
  const CellContent plain = cellContent(0x0D, CC::UsAscii, CM::None);
  EXPECT_EQ(plain.style, CellStyle::Character);
  expectPieces(plain, {{QString(QChar(0x266A)), 0, 0, 10}});
  EXPECT_TRUE(plain.pieces[0].centreHorizontally && plain.pieces[0].centreVertically);

  const CellContent ctrl = cellContent(0x0D, CC::UsAscii, CM::ControlChars);
  EXPECT_EQ(ctrl.style, CellStyle::ControlChar);
  EXPECT_EQ(ctrl.text, QStringLiteral("^M"));
  expectPieces(ctrl, {{QStringLiteral("CTL"), 0, 0, 5}, {QStringLiteral("+M"), 0, 6, 8}});
  EXPECT_FALSE(ctrl.pieces[0].centreVertically);

  const CellContent cmd = cellContent(0x0D, CC::UsAscii, CM::CommandChars);
  EXPECT_EQ(cmd.style, CellStyle::CommandChar);
  expectPieces(cmd, {{QStringLiteral("C"), 0, 0, 8}, {QStringLiteral("R"), 5, 9, 8}});
}

TEST(CellContent, PicturesOnlyWhereTheTablesHaveThem) {
  for (CM mode : {CM::None, CM::ControlChars, CM::CommandChars}) {
    const CellContent del = cellContent(0x7F, CC::UsAscii, mode);
    EXPECT_EQ(del.style, CellStyle::Character);
    expectPieces(del, {{QString(QChar(0x2302)), 0, 0, 10}});
    EXPECT_EQ(cellContent('A', CC::UsAscii, mode).text, QStringLiteral("A"));
  }
  // Three letters step down in smaller type.
  expectPieces(cellContent(0x1B, CC::UsAscii, CM::CommandChars),
               {{QStringLiteral("E"), 0, 0, 6}, {QStringLiteral("S"), 4, 7, 6}, {QStringLiteral("C"), 8, 14, 6}});
  // NUL has a caret form and a name but no glyph of its own.
  EXPECT_EQ(cellContent(0x00, CC::UsAscii, CM::None).pieceCount, 0);
  expectPieces(cellContent(0x00, CC::UsAscii, CM::ControlChars),
               {{QStringLiteral("CTL"), 0, 0, 5}, {QStringLiteral("+@"), 0, 6, 8}});
}

TEST(CellContent, Ebcdic) {
  const CellContent res = cellContent(0x14, CC::Ebcdic, CM::CommandChars);
  EXPECT_EQ(res.style, CellStyle::CommandChar);
  EXPECT_EQ(res.text, QStringLiteral("RES/ENP"));
  EXPECT_EQ(res.pieceCount, 0);

  expectPieces(cellContent(0x40, CC::Ebcdic, CM::None), {{QStringLiteral(" "), 0, 0, 10}});
  expectPieces(cellContent(0x40, CC::Ebcdic, CM::CommandChars),
               {{QStringLiteral("S"), 0, 0, 8}, {QStringLiteral("P"), 5, 9, 8}});
  // The caret form belongs to US-ASCII: EBCDIC shows its own characters.
  EXPECT_EQ(cellContent(0x0D, CC::Ebcdic, CM::ControlChars).style, CellStyle::Character);
  EXPECT_EQ(cellContent(0xC1, CC::Ebcdic, CM::ControlChars).text, QStringLiteral("A"));
  EXPECT_EQ(cellContent(0x60, CC::Ebcdic, CM::None).text, QString(QChar(0x00AD)));
}

TEST(NumberFormat, DigitsAndPadding) {
  struct Row {
    uint8_t byte;
    const char *hex, *dec, *oct, *bin;
  };
  const Row rows[] = {
      {0x0A, "0A", "10", "012", "00001010"},  {0x00, "00", "0", "000", "00000000"},
      {0x09, "09", "9", "011", "00001001"},   {0x64, "64", "100", "144", "01100100"},
      {0xAF, "AF", "175", "257", "10101111"}, {0xFF, "FF", "255", "377", "11111111"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(formatByte(r.byte, CC::Hexadecimal), QLatin1String(r.hex));
    EXPECT_EQ(formatByte(r.byte, CC::Decimal), QLatin1String(r.dec));
    EXPECT_EQ(formatByte(r.byte, CC::Octal), QLatin1String(r.oct));
    EXPECT_EQ(formatByte(r.byte, CC::Binary), QLatin1String(r.bin));
  }
  EXPECT_TRUE(formatByte(0x41, CC::UsAscii).isEmpty());
  EXPECT_TRUE(formatByte(0x41, CC::Ebcdic).isEmpty());

  const CellContent cell = cellContent(0x0A, CC::Octal, CM::ControlChars);
  EXPECT_EQ(cell.style, CellStyle::Number);
  expectPieces(cell, {{QStringLiteral("012"), 2, 2, 0}});
  EXPECT_FALSE(cell.pieces[0].centreHorizontally);
}

TEST(CodeWidths, ByCodeAndView) {
  //                    ASCII EBCDIC hex dec oct bin
  const int vertical[] = {25, 25, 25, 25, 25, 55};
  const int narrow[] = {12, 12, 25, 25, 25, 55};
  for (int c = 1; c <= 6; ++c) {
    const CC code = CC(c);
    EXPECT_EQ(codeColumnWidth(code, ViewMode::Vertical), vertical[c - 1]) << c;
    EXPECT_EQ(codeColumnWidth(code, ViewMode::DataOnly), narrow[c - 1]) << c;
    EXPECT_EQ(codeColumnWidth(code, ViewMode::DataDump), narrow[c - 1]) << c;
  }
  CodeSettings s;
  s.setViewMode(ViewMode::DataDump);
  s.chooseCode(CC::Binary);
  EXPECT_EQ(s.characterColumnWidth(), 12);
  EXPECT_EQ(s.numericColumnWidth(), 55);
}

TEST(CodeSettings, DefaultsAndChoosingACode) {
  CodeSettings s;
  EXPECT_EQ(s.viewMode(), ViewMode::Vertical);
  EXPECT_EQ(s.characterCode(), CC::UsAscii);
  EXPECT_EQ(s.numericCode(), CC::Hexadecimal);
  EXPECT_EQ(s.controlMode(), CM::None);

  s.chooseCode(CC::Decimal);  // vertical: the data cells show the number
  EXPECT_EQ(s.characterCode(), CC::Decimal);
  EXPECT_EQ(s.numericCode(), CC::Hexadecimal);

  s.setViewMode(ViewMode::DataDump);  // dump: only the numeric columns switch
  s.chooseCode(CC::Octal);
  EXPECT_EQ(s.characterCode(), CC::UsAscii);
  EXPECT_EQ(s.numericCode(), CC::Octal);
  s.chooseCode(CC::Ebcdic);
  EXPECT_EQ(s.characterCode(), CC::Ebcdic);
  EXPECT_EQ(s.numericCode(), CC::Octal);

  s.setViewMode(ViewMode::Horizontal);  // the reserved view takes no number format
  s.chooseCode(CC::Binary);
  EXPECT_EQ(s.characterCode(), CC::UsAscii);
}

TEST(CodeSettings, EachViewGetsItsOwnPairBack) {
  CodeSettings s;
  s.chooseCode(CC::Hexadecimal);
  s.setViewMode(ViewMode::DataOnly);
  EXPECT_EQ(s.characterCode(), CC::UsAscii);
  s.chooseCode(CC::Ebcdic);
  s.setViewMode(ViewMode::DataDump);
  s.chooseCode(CC::Octal);
  s.setViewMode(ViewMode::Vertical);
  EXPECT_EQ(s.pair(ViewMode::Vertical), (CodePair{CC::Hexadecimal, CC::Hexadecimal}));
  s.setViewMode(ViewMode::DataOnly);
  EXPECT_EQ(s.characterCode(), CC::Ebcdic);
  s.setViewMode(ViewMode::DataDump);
  EXPECT_EQ(s.pair(ViewMode::DataDump), (CodePair{CC::UsAscii, CC::Octal}));
}

TEST(CodeSettings, PairsAreKeptToWhatTheirViewCanShow) {
  CodeSettings s;
  s.setPair(ViewMode::DataDump, {CC::Decimal, CC::Ebcdic});
  EXPECT_EQ(s.pair(ViewMode::DataDump), (CodePair{CC::UsAscii, CC::Hexadecimal}));
  s.setPair(ViewMode::Vertical, {CC::Binary, CC::Octal});
  EXPECT_EQ(s.pair(ViewMode::Vertical), (CodePair{CC::Binary, CC::Octal}));
}

TEST(CodeSettings, ControlRangeButtons) {
  CodeSettings s;
  s.clickControlRange(CM::ControlChars);
  EXPECT_EQ(s.controlMode(), CM::ControlChars);
  s.clickControlRange(CM::CommandChars);  // one group: CMD replaces CTRL
  EXPECT_EQ(s.controlMode(), CM::CommandChars);
  s.clickControlRange(CM::CommandChars);  // clicking the button that is down releases it
  EXPECT_EQ(s.controlMode(), CM::None);
  s.clickControlRange(CM::ControlChars);
  s.clickControlRange(CM::None);  // RES
  EXPECT_EQ(s.controlMode(), CM::None);
}

TEST(CodeSettings, ButtonStates) {
  CodeSettings s;
  s.clickControlRange(CM::ControlChars);
  CodeButtonStates b = s.buttonStates();
  EXPECT_TRUE(b.controlCharsEnabled && b.commandCharsEnabled && b.controlCharsDown);

  // EBCDIC while CTRL is down: the mode stays, its button is disabled but stays down.
  s.chooseCode(CC::Ebcdic);
  b = s.buttonStates();
  EXPECT_EQ(s.controlMode(), CM::ControlChars);
  EXPECT_FALSE(b.controlCharsEnabled);
  EXPECT_TRUE(b.commandCharsEnabled);
  EXPECT_TRUE(b.controlCharsDown);
  EXPECT_EQ(b.characterDown, CC::Ebcdic);

  s.chooseCode(CC::Hexadecimal);
  b = s.buttonStates();
  EXPECT_FALSE(b.controlCharsEnabled || b.commandCharsEnabled);
  EXPECT_FALSE(b.numericGroup);
  EXPECT_EQ(b.characterDown, CC::Hexadecimal);

  // The dump view's character columns show US-ASCII: both buttons work there, before
  // and after a number format is chosen.
  s.setViewMode(ViewMode::DataDump);
  for (CC numeric : {CC::UsAscii, CC::Binary}) {
    if (isNumeric(numeric)) s.chooseCode(numeric);
    b = s.buttonStates();
    EXPECT_TRUE(b.controlCharsEnabled && b.commandCharsEnabled);
    EXPECT_TRUE(b.numericGroup);
    EXPECT_EQ(b.characterDown, CC::UsAscii);
  }
  EXPECT_EQ(b.numericDown, CC::Binary);
}

TEST(CodeSettings, ConfigurationRoundTrip) {
  Configuration config;
  config.displayMode = 4;
  config.characterControl = 8;
  config.vertical.characterMode1 = 6;
  config.dataOnly.characterMode1 = 2;
  config.dataDump.characterMode1 = 2;
  config.dataDump.characterMode2 = 5;
  const CodeSettings s = CodeSettings::fromConfiguration(config);
  EXPECT_EQ(s.viewMode(), ViewMode::DataDump);
  EXPECT_EQ(s.controlMode(), CM::CommandChars);
  EXPECT_EQ(s.pair(ViewMode::Vertical).character, CC::Binary);
  EXPECT_EQ(s.pair(ViewMode::DataOnly).character, CC::Ebcdic);
  EXPECT_EQ(s.pair(ViewMode::DataDump), (CodePair{CC::Ebcdic, CC::Octal}));

  Configuration out;
  s.storeInto(&out);
  EXPECT_EQ(out.displayMode, 4);
  EXPECT_EQ(out.characterControl, 8);
  EXPECT_EQ(out.vertical.characterMode1, 6);
  EXPECT_EQ(out.dataDump.characterMode1, 2);
  EXPECT_EQ(out.dataDump.characterMode2, 5);

  // Values no button can produce read as the defaults.
  config.characterControl = 3;
  config.dataDump.characterMode2 = 0;
  const CodeSettings odd = CodeSettings::fromConfiguration(config);
  EXPECT_EQ(odd.controlMode(), CM::None);
  EXPECT_EQ(odd.pair(ViewMode::DataDump).numeric, CC::Hexadecimal);
}

TEST(ControlNames, FollowTheCharacterCode) {
  EXPECT_EQ(controlName(0x0D, CC::UsAscii), QStringLiteral("CR"));
  EXPECT_EQ(controlDescription(0x0A, CC::UsAscii), QStringLiteral("line feed"));
  EXPECT_EQ(controlName(0x25, CC::Ebcdic), QStringLiteral("LF"));
  EXPECT_TRUE(controlName(0x25, CC::UsAscii).isEmpty());
  EXPECT_TRUE(controlName(0x0D, CC::Hexadecimal).isEmpty());
  EXPECT_TRUE(controlDescription(0x0D, CC::Binary).isEmpty());
}

}  // namespace
