#pragma once
#include <QImage>
#include <QWidget>
#include <vector>

#include "view/ui/CellPainter.h"

class QScrollBar;

// The owner-drawn grid of the event view: one fixed header row, no fixed columns, rows
// of 16 pixels, columns the user can widen by dragging a header border. It has no
// vertical scroll bar of its own (the view scrolls through the file beside it); the dump
// view adds a horizontal one. Every cell is painted by DrawGrid1DrawCell.
class EventGrid : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kRowHeight = 16;

  explicit EventGrid(QWidget* parent = nullptr);

  // What the cells are drawn from; owned by the caller and read at every paint.
  void setCellContext(const CellContext* context) { context_ = context; }
  void setColumnWidths(const std::vector<int>& widths);
  const std::vector<int>& columnWidths() const { return widths_; }
  int columnCount() const { return static_cast<int>(widths_.size()); }
  void setGridLines(bool vertical, bool horizontal);
  // The dump view's horizontal scroll bar: once there, it stays.
  void setHorizontalBar(bool on);

  // Rows below the header that are fully visible.
  int fullyVisibleRows() const;
  // Rows below the header that are at least partly visible (the last row painted).
  int lastGridRow() const;
  // The width the columns are laid out for: the grid without its frame.
  int clientWidth() const { return width(); }

  int selectedColumn() const { return column_; }
  int selectedRow() const { return row_; }
  void selectCell(int column, int row);
  // The rectangle of a cell in the grid's coordinates.
  QRect cellRect(int column, int row) const;
  // Paints every cell into the painter, as the screen shows them (used by paintEvent,
  // screenshots and the paint benchmark).
  void paintCells(QPainter& painter, const QRect& area) const;
  // Held display: the grid keeps the picture it shows now, whatever the buffer does.
  void setFrozen(bool frozen);
  bool frozen() const { return frozen_; }

 signals:
  // The palette changed (a skin, the desktop): the cell colours are read again.
  void paletteChanged();
  void cellClicked(int column, int row);
  void keyPressed(int key, Qt::KeyboardModifiers modifiers);
  void wheelTurned(bool down);
  void columnResized(int column, int width);
  void gridResized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool focusNextPrevChild(bool) override { return false; }

 private:
  int columnLeft(int column) const;
  int lineWidthX() const { return vertical_ ? 1 : 0; }
  int lineWidthY() const { return horizontal_ ? 1 : 0; }
  int rowTop(int row) const { return row * (kRowHeight + lineWidthY()); }
  int contentWidth() const;
  int visibleHeight() const;
  int columnAt(int x) const;
  // The column whose right border lies under x in the header, or -1.
  int borderAt(int x) const;
  void placeHorizontalBar();

  const CellContext* context_ = nullptr;
  bool frozen_ = false;
  QImage frozenPicture_;
  std::vector<int> widths_;
  bool vertical_ = true, horizontal_ = true;
  bool barWanted_ = false;
  QScrollBar* hbar_ = nullptr;
  int column_ = 0, row_ = 1;
  int resizing_ = -1;
  int resizeStartX_ = 0, resizeStartWidth_ = 0;
};
