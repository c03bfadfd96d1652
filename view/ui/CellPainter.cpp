#include "view/ui/CellPainter.h"

#include <QFontInfo>
#include <QPainter>
#include <map>

#include "capture/LiveViewBuffer.h"
#include "settings/Texts.h"
#include "view/GridGeometry.h"
#include "view/ViewState.h"

namespace TextNo {
constexpr int D1RowTitle = 4203, D2RowTitle = 4204;
}

namespace {

QColor colourOf(CellText::Rgb c) { return QColor(c.r, c.g, c.b); }

// Keeps the font, pen, brush and pen position of the caller.
class PainterState {
 public:
  explicit PainterState(QPainter& p) : p_(p) { p_.save(); }
  ~PainterState() { p_.restore(); }
  PainterState(const PainterState&) = delete;
  PainterState& operator=(const PainterState&) = delete;

 private:
  QPainter& p_;
};

void drawPieces(QPainter& painter, const QRect& cell, double v, double h, int flags, const CellContent& content) {
  if (content.pieceCount == 0) return;
  PainterState keep(painter);
  for (int i = 0; i < content.pieceCount; ++i) {
    const CellPiece& piece = content.pieces[i];
    if (piece.pointSize > 0) painter.setFont(glyphFont(piece.pointSize));
    QRect r = cell;
    r.setLeft(cell.left() + int(piece.dx * h));
    r.setTop(cell.top() + int(piece.dy * v));
    int f = flags | Qt::TextSingleLine;
    if (piece.centreVertically) f |= Qt::AlignVCenter;
    if (piece.centreHorizontally) f |= Qt::AlignHCenter;
    if (!(f & Qt::AlignVertical_Mask)) f |= Qt::AlignTop;
    painter.drawText(r, f, piece.text);
  }
}

// Text at dx, dy from the cell's top left, clipped to the cell.
void textAt(QPainter& painter, const QRect& cell, int dx, int dy, const QString& text) {
  if (text.isEmpty()) return;
  painter.drawText(cell.adjusted(dx, dy, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

bool holdsEvent(const EventRecord& r) { return r.eventNumber != 0; }

void drawVerticalCell(QPainter& painter, const CellContext& cx, int column, int row, const QRect& rect) {
  const ViewState& st = *cx.state;
  const LiveViewBuffer& buffer = *cx.buffer;
  const EventRecord& e = buffer.at(row);
  if (!holdsEvent(e)) return;
  const CharacterCode code = st.codes.characterCode();
  switch (column) {
    case 0: {
      const QString mark = CellText::markText(e);
      if (mark.isEmpty()) return;
      PainterState keep(painter);
      QFont bold = cx.font;
      bold.setBold(true);
      painter.setFont(bold);
      painter.setPen(colourOf(cx.marks.colourOf(e.markCode)));
      painter.drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, mark);
      return;
    }
    case 1: textAt(painter, rect, 2, 2, QString::number(e.eventNumber)); return;
    case 2: {
      const double base = st.timeMode == CellText::TimeMode::Delta ? buffer.at(row - 1).timeStamp : st.relativeBase;
      textAt(painter, rect, 2, 2, CellText::timeText(st.timeMode, e.timeStamp, base, cx.locale));
      return;
    }
    case 3:
      if (CellText::flagSet(e.d1Flag)) drawByte(painter, rect, e.d1Byte, code, st.codes.controlMode());
      return;
    case 4:
      if (CellText::flagSet(e.d2Flag)) drawByte(painter, rect, e.d2Byte, code, st.codes.controlMode());
      return;
    case 11:
    case 12: {
      const QString letters = CellText::errorLetters(e, column - 11);
      if (letters.isEmpty()) return;
      PainterState keep(painter);
      QFont bold = cx.font;
      bold.setBold(true);
      painter.setFont(bold);
      painter.setPen(colourOf(CellText::kErrorText));
      textAt(painter, rect, 2, 2, letters);
      return;
    }
    case GridGeometry::kVerticalDescriptionColumn:
      textAt(painter, rect, 2, 2, CellText::description(e, code));
      return;
    default: break;
  }
  if (column >= 5 && column <= 10) {
    const int signal = column - 5;
    const int state = CellText::signalLevel(e, signal);
    const int previous = CellText::signalLevel(buffer.at(row - 1), signal);
    // Beyond the rows shown, or where no event follows yet, the line runs straight on.
    const bool hasNext = row + 1 <= cx.lastPosition && holdsEvent(buffer.at(row + 1));
    const int next = hasNext ? CellText::signalLevel(buffer.at(row + 1), signal) : state;
    drawSignalTrace(painter, rect, previous, state, next, st.signalMode == 1);
  }
}

void drawTwoRowCell(QPainter& painter, const CellContext& cx, int column, int row, const QRect& rect) {
  using namespace GridGeometry;
  const ViewState& st = *cx.state;
  const bool dump = st.view() == ViewMode::DataDump;
  const bool d1Row = row % 2 == 1;
  if (column == 0) {
    textAt(painter, rect, 2, 2, Texts::text(d1Row ? TextNo::D1RowTitle : TextNo::D2RowTitle));
    return;
  }
  const int position = CellText::cellPosition(st.view(), column, row, cx.eventsPerLine);
  if (position > cx.lastPosition) return;
  const EventRecord& e = cx.buffer->at(position);
  if (!holdsEvent(e)) return;
  if (column == 1) {
    if (d1Row) textAt(painter, rect, 2, 2, QString::number(e.eventNumber));
    return;
  }
  if (dump && column == kDumpGapColumn) return;
  const bool present = CellText::flagSet(d1Row ? e.d1Flag : e.d2Flag);
  if (!present) return;
  const uint8_t byte = d1Row ? e.d1Byte : e.d2Byte;
  if (dump && column >= kDumpFirstNumericColumn) {
    textAt(painter, rect, 2, 2, formatByte(byte, st.codes.numericCode()));
    return;
  }
  drawByte(painter, rect, byte, st.codes.characterCode(), st.codes.controlMode());
}

}  // namespace

GridColours GridColours::fromPalette(const QPalette& p) {
  GridColours c;
  c.windowText = p.color(QPalette::WindowText);
  c.window = p.color(QPalette::Window);
  c.infoText = p.color(QPalette::ToolTipText);
  c.info = p.color(QPalette::ToolTipBase);
  c.highlightText = p.color(QPalette::HighlightedText);
  c.highlight = p.color(QPalette::Highlight);
  c.headerText = p.color(QPalette::ButtonText);
  c.header = p.color(QPalette::Button);
  c.lines = p.color(QPalette::Mid);
  return c;
}

QFont gridFont() {
  QFont f;
  f.setFamilies({QStringLiteral("Arial Unicode MS"), QStringLiteral("DejaVu Sans")});
  f.setPointSize(8);
  // The substitute runs about an eighth wider than the designed font; narrowed to its
  // width, a time stamp with its microseconds fits the designed 150-pixel column.
  if (QFontInfo(f).family() != QLatin1String("Arial Unicode MS")) f.setStretch(88);
  return f;
}

QFont glyphFont(int pointSize) {
  // Every cell of a page asks for one of five sizes: resolving the family once per size
  // and thread keeps a page of pictures from spending its time in font matching.
  thread_local std::map<int, QFont> made;
  auto it = made.find(pointSize);
  if (it != made.end()) return it->second;
  QFont f;
  f.setFamilies({QString::fromLatin1(kGlyphFontFamily), QStringLiteral("DejaVu Sans Mono")});
  f.setStyleHint(QFont::Monospace);
  f.setPointSize(pointSize);
  return made.emplace(pointSize, f).first->second;
}

void TextOutUnicode(QPainter& painter, const QRect& cell, double v, double h, int flags, QChar character) {
  drawPieces(painter, cell, v, h, flags, characterPicture(character.unicode()));
}

void TextOutCmdChar(QPainter& painter, const QRect& cell, double v, double h, int flags, const QString& mnemonic) {
  drawPieces(painter, cell, v, h, flags, commandPicture(mnemonic));
}

void TextOutCtrlChar(QPainter& painter, const QRect& cell, double v, double h, int flags, const QString& caret) {
  drawPieces(painter, cell, v, h, flags, controlPicture(caret));
}

void drawByte(QPainter& painter, const QRect& cell, uint8_t byte, CharacterCode code, ControlMode mode, double v,
              double h) {
  const CellContent content = cellContent(byte, code, mode);
  switch (content.style) {
    case CellStyle::ControlChar: TextOutCtrlChar(painter, cell, v, h, 0, content.text); break;
    case CellStyle::CommandChar: TextOutCmdChar(painter, cell, v, h, 0, content.text); break;
    case CellStyle::Character:
      if (!content.text.isEmpty()) TextOutUnicode(painter, cell, v, h, 0, content.text[0]);
      break;
    case CellStyle::Number: textAt(painter, cell, int(2 * h), int(2 * v), content.text); break;
  }
}

void drawSignalTrace(QPainter& painter, const QRect& cell, int previous, int state, int next, bool fillMode) {
  const CellText::SignalTrace t =
      CellText::signalTrace(previous, state, next, cell.width(), cell.height(), fillMode);
  PainterState keep(painter);
  const int x0 = cell.left(), y0 = cell.top();
  if (t.filled)
    painter.fillRect(QRect(QPoint(x0 - 1, y0), QPoint(x0 + t.highX, cell.bottom())), colourOf(CellText::kTraceFill));
  painter.setPen(QPen(colourOf(CellText::kTracePen), 2));
  for (int i = 0; i < t.segmentCount; ++i) {
    const CellText::TraceSegment& s = t.segments[i];
    painter.drawLine(x0 + s.x1, y0 + s.y1, x0 + s.x2, y0 + s.y2);
  }
}

void DrawGrid1DrawCell(QPainter& painter, const CellContext& cx, int column, int row, const QRect& rect,
                       int drawState) {
  if (!cx.state || !cx.buffer) return;
  const ViewState& st = *cx.state;
  const ViewMode view = st.view() == ViewMode::Horizontal ? ViewMode::Vertical : st.view();
  PainterState keep(painter);
  painter.setClipRect(rect);
  painter.setFont(cx.font);

  if (row == 0) {
    painter.fillRect(rect, cx.colours.header);
    painter.setPen(cx.colours.headerText);
    const int d = view == ViewMode::Vertical ? 5 : 2;
    textAt(painter, rect, d, view == ViewMode::Vertical ? 4 : 2, CellText::headerText(view, column, st.timeMode, st.pinNaming));
    return;
  }

  QColor text, background;
  if (drawState & CellSelected) {
    text = cx.colours.highlightText;
    background = cx.colours.highlight;
  } else if (view != ViewMode::Vertical && row % 2 == 1) {
    text = cx.colours.windowText;
    background = cx.colours.window;
  } else {
    text = cx.colours.infoText;
    background = cx.colours.info;
  }
  painter.fillRect(rect, background);
  painter.setPen(text);
  if (view == ViewMode::Vertical) {
    if (row <= cx.lastPosition) drawVerticalCell(painter, cx, column, row, rect);
  } else {
    drawTwoRowCell(painter, cx, column, row, rect);
  }
}
