#pragma once
#include <QString>
#include <array>
#include <cstdint>

class Configuration;

// The three views of the event grid, numbered as the configuration stores them. The
// horizontal view is reserved: nothing selects it.
enum class ViewMode { Vertical = 1, Horizontal = 2, DataOnly = 3, DataDump = 4 };
// Any number other than 2, 3 and 4 is the vertical view.
ViewMode viewModeFromInt(int mode);

// The code a data byte is shown in: two character codes and four number formats.
enum class CharacterCode { UsAscii = 1, Ebcdic = 2, Hexadecimal = 3, Decimal = 4, Octal = 5, Binary = 6 };
// What the character codes show for the control range: the character itself, the
// caret form ("CTRL" button) or the mnemonic ("CMD" button).
enum class ControlMode { None = 0, ControlChars = 7, CommandChars = 8 };

constexpr bool isNumeric(CharacterCode code) { return code >= CharacterCode::Hexadecimal; }
// Values outside 1..6 give the fallback.
CharacterCode characterCodeFromInt(int value, CharacterCode fallback = CharacterCode::UsAscii);
// 7 and 8 are the two pictures; anything else shows no pictures.
ControlMode controlModeFromInt(int value);

// The number format of a byte: hexadecimal two upper-case digits ("0A"), decimal
// without leading zeros ("10"), octal at least three digits ("012"), binary eight
// digits, most significant bit first ("00001010"). A character code gives "".
QString formatByte(uint8_t byte, CharacterCode code);

// Width in pixels of a data cell showing the code in the view. Character codes are
// narrow outside the vertical view, where many bytes stand side by side as a line of
// text; binary needs room for eight digits everywhere.
int codeColumnWidth(CharacterCode code, ViewMode view);

// Control names and descriptions of a byte in a character code, for the description
// column and the statistics; a numeric code has none.
QString controlName(uint8_t byte, CharacterCode code);
QString controlDescription(uint8_t byte, CharacterCode code);

// The character code and the numeric code that one view remembers. The numeric code
// matters in the data dump view only, where the numeric columns show it beside the
// character columns.
struct CodePair {
  CharacterCode character = CharacterCode::UsAscii;
  CharacterCode numeric = CharacterCode::Hexadecimal;
  bool operator==(const CodePair&) const = default;
};

// States of the code buttons and their menu actions after a change of the settings.
struct CodeButtonStates {
  CharacterCode characterDown = CharacterCode::UsAscii;  // the one button down of the group of six
  bool numericGroup = false;  // data dump view: the four numeric buttons form a group of their own ...
  CharacterCode numericDown = CharacterCode::Hexadecimal;  // ... with this one down
  bool controlCharsDown = false;
  bool commandCharsDown = false;
  bool controlCharsEnabled = true;
  bool commandCharsEnabled = true;
  bool operator==(const CodeButtonStates&) const = default;
};

// The code settings of the event view: the view mode, a pair of codes per view mode,
// and the control-range mode shared by all views. The current character and numeric
// code are always those of the current view's pair, so switching the view restores
// what was chosen there last.
class CodeSettings {
 public:
  ViewMode viewMode() const { return view_; }
  CharacterCode characterCode() const { return pair(view_).character; }
  CharacterCode numericCode() const { return pair(view_).numeric; }
  ControlMode controlMode() const { return control_; }

  CodePair pair(ViewMode view) const { return pairs_[index(view)]; }
  // Takes the pair as a view can hold it: a numeric code that is not one falls back to
  // hexadecimal, and the dump view's character columns always show a character code
  // (US-ASCII when the pair names a number format).
  void setPair(ViewMode view, CodePair pair);

  // Switches the view; its own pair of codes comes back with it.
  void setViewMode(ViewMode view) { view_ = view; }

  // One of the six code buttons. A character code becomes the view's character code. A
  // number format becomes the numeric code in the dump view and the character code in
  // the vertical and data-only views; the reserved view keeps its codes.
  void chooseCode(CharacterCode code);

  // "CTRL" and "CMD" toggle their picture (the other one is released, as they share a
  // group); "RES" (ControlMode::None) releases both.
  void clickControlRange(ControlMode button);
  void setControlMode(ControlMode mode) { control_ = mode; }

  // Which buttons are down and which control-range buttons can be used. "CTRL" works
  // with US-ASCII only, "CMD" with both character codes; a number format disables both
  // unless the dump view's character columns still show characters. The mode itself is
  // kept when its button is disabled, so it comes back with the character code.
  CodeButtonStates buttonStates() const;

  // Column widths of the data cells in the current view: the character columns and,
  // in the dump view, the numeric columns.
  int characterColumnWidth() const { return codeColumnWidth(characterCode(), view_); }
  int numericColumnWidth() const { return codeColumnWidth(numericCode(), view_); }

  // From and into the configuration: DisplayMode, CharacterControl and the pairs of the
  // three view sections. The reserved view has no section and keeps the defaults.
  static CodeSettings fromConfiguration(const Configuration& config);
  void storeInto(Configuration* config) const;

  bool operator==(const CodeSettings&) const = default;

 private:
  static int index(ViewMode view) { return static_cast<int>(view) - 1; }

  ViewMode view_ = ViewMode::Vertical;
  ControlMode control_ = ControlMode::None;
  std::array<CodePair, 4> pairs_{};
};

// What a data cell in a character or numeric code shows, so that painting only draws.
// Each piece is drawn in the cell rectangle with its left and top edges moved right and
// down by dx and dy pixels (the right and bottom edges stay), in the glyph font at the
// piece's point size, or in the grid's own font where the size is 0.
struct CellPiece {
  QString text;
  int dx = 0;
  int dy = 0;
  int pointSize = 0;
  bool centreHorizontally = false;
  bool centreVertically = false;
};

enum class CellStyle {
  Character,    // one character of the display table, centred
  ControlChar,  // "CTL" over "+" and the letter of the caret form
  CommandChar,  // the letters of the mnemonic, stepping down diagonally
  Number,       // the number format as plain text
};

struct CellContent {
  CellStyle style = CellStyle::Character;
  QString text;  // the character, the caret form, the mnemonic or the number
  std::array<CellPiece, 3> pieces{};
  int pieceCount = 0;  // a mnemonic longer than three letters draws nothing
};

// The font of the character pictures; where it is missing, a monospaced substitute
// with the same metrics (DejaVu Sans Mono) is chosen by the font configuration.
inline constexpr char kGlyphFontFamily[] = "Lucida Console";

// A byte in a code with the control-range mode. The caret form applies to US-ASCII
// only; mnemonics to both character codes; a byte without a picture shows its display
// character.
CellContent cellContent(uint8_t byte, CharacterCode code, ControlMode mode);
// The three pictures on their own: one display character; a two- or three-letter
// mnemonic stepping down diagonally (other lengths draw nothing); "CTL" over "+" and the
// letter of a caret form (text not starting with "^" draws nothing).
CellContent characterPicture(char16_t glyph);
CellContent commandPicture(const QString& mnemonic);
CellContent controlPicture(const QString& caret);
