#pragma once
#include <QColor>
#include <QFont>
#include <QLocale>
#include <QPalette>
#include <QRect>

#include "view/CellText.h"
#include "view/CodeFormat.h"

class LiveViewBuffer;
class QPainter;
struct ViewState;

// Painting of the event grid's cells, on the screen or on a printer: every routine takes
// the painter and the cell rectangle and leaves the painter's font, pen and brush as it
// found them.

// The style's colours a cell is painted in.
struct GridColours {
  QColor windowText, window;  // D1 rows of the two-row views
  QColor infoText, info;      // every row of the vertical view, D2 rows of the others
  QColor highlightText, highlight;
  QColor headerText, header;
  QColor lines;
  static GridColours fromPalette(const QPalette& palette);
};

// The grid's own font and the font of the character pictures, with the substitutes
// this platform has for the fonts the view was designed with.
QFont gridFont();
QFont glyphFont(int pointSize);

// One display character, centred (the scales stretch the picture for a printer).
void TextOutUnicode(QPainter& painter, const QRect& cell, double verticalScale, double horizontalScale, int flags,
                    QChar character);
// A two- or three-letter mnemonic stepping down the cell diagonally.
void TextOutCmdChar(QPainter& painter, const QRect& cell, double verticalScale, double horizontalScale, int flags,
                    const QString& mnemonic);
// A caret form as "CTL" over "+" and its letter.
void TextOutCtrlChar(QPainter& painter, const QRect& cell, double verticalScale, double horizontalScale, int flags,
                     const QString& caret);
// A data byte in a character or numeric code, with the picture its control mode asks for.
void drawByte(QPainter& painter, const QRect& cell, uint8_t byte, CharacterCode code, ControlMode mode,
              double verticalScale = 1, double horizontalScale = 1);

// The trace of one signal through a cell, from its states at the previous, this and the next event.
void drawSignalTrace(QPainter& painter, const QRect& cell, int previous, int state, int next, bool fillMode);

// What a cell is drawn from: the view settings, the records and the colours.
struct CellContext {
  const ViewState* state = nullptr;
  const LiveViewBuffer* buffer = nullptr;
  int eventsPerLine = 1;
  int lastPosition = 0;  // the highest buffer position the grid shows (its capacity)
  GridColours colours;
  CellText::MarkPalette marks;
  QFont font;
  QLocale locale;
};

enum CellDrawState { CellNormal = 0, CellSelected = 1 };

// Paints one cell; row 0 is the header. A cell whose slot holds no event, or whose byte
// flag is clear, stays empty; records the recorder never wrote are drawn by position.
void DrawGrid1DrawCell(QPainter& painter, const CellContext& context, int column, int row, const QRect& rect,
                       int drawState);
