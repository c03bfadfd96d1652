#include "view/CodeFormat.h"

#include "settings/Configuration.h"
#include "view/CodeTables.h"

ViewMode viewModeFromInt(int mode) {
  switch (mode) {
    case 2:
      return ViewMode::Horizontal;
    case 3:
      return ViewMode::DataOnly;
    case 4:
      return ViewMode::DataDump;
    default:
      return ViewMode::Vertical;
  }
}

CharacterCode characterCodeFromInt(int value, CharacterCode fallback) {
  return value >= 1 && value <= 6 ? static_cast<CharacterCode>(value) : fallback;
}

ControlMode controlModeFromInt(int value) {
  return value == 7 ? ControlMode::ControlChars : value == 8 ? ControlMode::CommandChars : ControlMode::None;
}

QString formatByte(uint8_t byte, CharacterCode code) {
  char digits[8];
  int n = 0;
  switch (code) {
    case CharacterCode::Hexadecimal: {
      static constexpr char kHex[] = "0123456789ABCDEF";
      digits[n++] = kHex[byte >> 4];
      digits[n++] = kHex[byte & 0xF];
      break;
    }
    case CharacterCode::Decimal:
      if (byte >= 100) digits[n++] = char('0' + byte / 100);
      if (byte >= 10) digits[n++] = char('0' + byte / 10 % 10);
      digits[n++] = char('0' + byte % 10);
      break;
    case CharacterCode::Octal:  // 0..377: always three digits
      digits[n++] = char('0' + (byte >> 6));
      digits[n++] = char('0' + ((byte >> 3) & 7));
      digits[n++] = char('0' + (byte & 7));
      break;
    case CharacterCode::Binary:
      for (int bit = 7; bit >= 0; --bit) digits[n++] = (byte >> bit) & 1 ? '1' : '0';
      break;
    case CharacterCode::UsAscii:
    case CharacterCode::Ebcdic:
      break;
  }
  return QString::fromLatin1(digits, n);
}

int codeColumnWidth(CharacterCode code, ViewMode view) {
  if (code == CharacterCode::Binary) return 55;
  if (!isNumeric(code) && (view == ViewMode::DataOnly || view == ViewMode::DataDump)) return 12;
  return 25;
}

namespace {

const CodeTables::TextTable* namesOf(CharacterCode code) {
  if (code == CharacterCode::UsAscii) return &CodeTables::asciiNames();
  if (code == CharacterCode::Ebcdic) return &CodeTables::ebcdicNames();
  return nullptr;
}

const CodeTables::TextTable* descriptionsOf(CharacterCode code) {
  if (code == CharacterCode::UsAscii) return &CodeTables::asciiDescriptions();
  if (code == CharacterCode::Ebcdic) return &CodeTables::ebcdicDescriptions();
  return nullptr;
}

}  // namespace

QString controlName(uint8_t byte, CharacterCode code) {
  const CodeTables::TextTable* t = namesOf(code);
  return t ? QString::fromLatin1((*t)[byte]) : QString();
}

QString controlDescription(uint8_t byte, CharacterCode code) {
  const CodeTables::TextTable* t = descriptionsOf(code);
  return t ? QString::fromLatin1((*t)[byte]) : QString();
}

void CodeSettings::setPair(ViewMode view, CodePair pair) {
  if (!isNumeric(pair.numeric)) pair.numeric = CharacterCode::Hexadecimal;
  if (view == ViewMode::DataDump && isNumeric(pair.character)) pair.character = CharacterCode::UsAscii;
  pairs_[index(view)] = pair;
}

void CodeSettings::chooseCode(CharacterCode code) {
  CodePair& p = pairs_[index(view_)];
  if (!isNumeric(code)) {
    p.character = code;
  } else if (view_ == ViewMode::DataDump) {
    p.numeric = code;
  } else if (view_ != ViewMode::Horizontal) {
    p.character = code;
  }
}

void CodeSettings::clickControlRange(ControlMode button) {
  control_ = button == ControlMode::None || control_ == button ? ControlMode::None : button;
}

CodeButtonStates CodeSettings::buttonStates() const {
  CodeButtonStates s;
  const CodePair p = pair(view_);
  s.characterDown = p.character;
  s.numericGroup = view_ == ViewMode::DataDump;
  s.numericDown = p.numeric;
  s.controlCharsDown = control_ == ControlMode::ControlChars;
  s.commandCharsDown = control_ == ControlMode::CommandChars;
  // Derived from the code the character cells show rather than from the last click, so
  // that a view switch never leaves the buttons in the state of the previous view.
  s.controlCharsEnabled = p.character == CharacterCode::UsAscii;
  s.commandCharsEnabled = !isNumeric(p.character);
  return s;
}

CodeSettings CodeSettings::fromConfiguration(const Configuration& config) {
  CodeSettings s;
  s.view_ = viewModeFromInt(config.displayMode);
  s.control_ = controlModeFromInt(config.characterControl);
  for (ViewMode v : {ViewMode::Vertical, ViewMode::DataOnly, ViewMode::DataDump}) {
    const ViewColumns& columns = config.view(static_cast<int>(v));
    // A numeric code outside 3..6 falls back in setPair.
    s.setPair(v, {characterCodeFromInt(columns.characterMode1), characterCodeFromInt(columns.characterMode2)});
  }
  return s;
}

void CodeSettings::storeInto(Configuration* config) const {
  // The reserved view is never stored: the configuration keeps the view it had.
  if (view_ != ViewMode::Horizontal) config->displayMode = static_cast<int>(view_);
  config->characterControl = static_cast<int>(control_);
  for (ViewMode v : {ViewMode::Vertical, ViewMode::DataOnly, ViewMode::DataDump}) {
    ViewColumns& columns = config->view(static_cast<int>(v));
    columns.characterMode1 = static_cast<int>(pair(v).character);
    columns.characterMode2 = static_cast<int>(pair(v).numeric);
  }
}

CellContent characterPicture(char16_t glyph) {
  CellContent c;
  c.style = CellStyle::Character;
  // The display table's U+0000 for NUL is the end of the text it is drawn from: the
  // cell stays blank rather than showing a stand-in glyph for a missing character.
  if (glyph == 0) return c;
  c.text = QString(QChar(glyph));
  c.pieces[0] = {c.text, 0, 0, 10, true, true};
  c.pieceCount = 1;
  return c;
}

CellContent commandPicture(const QString& name) {
  CellContent c;
  c.style = CellStyle::CommandChar;
  c.text = name;
  struct Step {
    int dx, dy;
  };
  static constexpr Step kTwo[] = {{0, 0}, {5, 9}};
  static constexpr Step kThree[] = {{0, 0}, {4, 7}, {8, 14}};
  const Step* steps = name.size() == 2 ? kTwo : name.size() == 3 ? kThree : nullptr;
  if (!steps) return c;  // "RES/ENP" and the like have no picture
  const int size = name.size() == 2 ? 8 : 6;
  for (qsizetype i = 0; i < name.size(); ++i) c.pieces[i] = {QString(name[i]), steps[i].dx, steps[i].dy, size, true, true};
  c.pieceCount = int(name.size());
  return c;
}

CellContent controlPicture(const QString& caret) {
  CellContent c;
  c.style = CellStyle::ControlChar;
  c.text = caret;
  if (caret.size() < 2 || caret[0] != QLatin1Char('^')) return c;
  c.pieces[0] = {QStringLiteral("CTL"), 0, 0, 5, true, false};
  c.pieces[1] = {QStringLiteral("+") + caret[1], 0, 6, 8, true, false};
  c.pieceCount = 2;
  return c;
}

CellContent cellContent(uint8_t byte, CharacterCode code, ControlMode mode) {
  if (code == CharacterCode::UsAscii) {
    const std::string_view caret = CodeTables::caretTable()[byte];
    if (mode == ControlMode::ControlChars && caret.size() == 2 && caret[0] == '^') return controlPicture(QString::fromLatin1(caret));
    const std::string_view name = CodeTables::asciiNames()[byte];
    if (mode == ControlMode::CommandChars && !name.empty()) return commandPicture(QString::fromLatin1(name));
    return characterPicture(CodeTables::asciiDisplay()[byte]);
  }
  if (code == CharacterCode::Ebcdic) {
    const std::string_view name = CodeTables::ebcdicNames()[byte];
    if (mode == ControlMode::CommandChars && !name.empty()) return commandPicture(QString::fromLatin1(name));
    return characterPicture(CodeTables::ebcdicDisplay()[byte]);
  }
  CellContent c;
  c.style = CellStyle::Number;
  c.text = formatByte(byte, code);
  c.pieces[0] = {c.text, 2, 2, 0, false, false};
  c.pieceCount = 1;
  return c;
}
