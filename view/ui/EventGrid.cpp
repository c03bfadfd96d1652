#include "view/ui/EventGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

namespace {
constexpr int kBorderGrip = 3;   // pixels either side of a header border that start a resize
constexpr int kMinimumWidth = 4;  // a column dragged narrower stays visible
}  // namespace

EventGrid::EventGrid(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("DrawGrid1"));
  setFocusPolicy(Qt::ClickFocus);  // no keyboard focus by tabbing
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setMinimumHeight(60);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  hbar_ = new QScrollBar(Qt::Horizontal, this);
  hbar_->setObjectName(QStringLiteral("DrawGrid1HorzScroll"));
  hbar_->hide();
  connect(hbar_, &QScrollBar::valueChanged, this, [this] { update(); });
}

void EventGrid::setColumnWidths(const std::vector<int>& widths) {
  widths_ = widths;
  column_ = std::clamp(column_, 0, std::max(0, columnCount() - 1));
  placeHorizontalBar();
  update();
}

void EventGrid::setGridLines(bool vertical, bool horizontal) {
  vertical_ = vertical;
  horizontal_ = horizontal;
  update();
}

void EventGrid::setHorizontalBar(bool on) {
  barWanted_ = barWanted_ || on;
  placeHorizontalBar();
}

void EventGrid::placeHorizontalBar() {
  const int spare = contentWidth() - width();
  const bool show = barWanted_ && spare > 0;
  if (show) {
    const int h = hbar_->sizeHint().height();
    hbar_->setGeometry(0, height() - h, width(), h);
    hbar_->setRange(0, spare);
    hbar_->setPageStep(width());
    hbar_->setSingleStep(12);
  } else {
    hbar_->setValue(0);
  }
  hbar_->setVisible(show);
}

int EventGrid::contentWidth() const {
  int w = 0;
  for (int x : widths_) w += x + lineWidthX();
  return w;
}

int EventGrid::visibleHeight() const { return height() - (hbar_->isVisible() ? hbar_->height() : 0); }

int EventGrid::fullyVisibleRows() const {
  const int step = kRowHeight + lineWidthY();
  return std::max(0, (visibleHeight() - step) / step);
}

int EventGrid::lastGridRow() const {
  const int step = kRowHeight + lineWidthY();
  return std::max(0, (visibleHeight() - 1) / step);
}

int EventGrid::columnLeft(int column) const {
  int x = -hbar_->value();
  for (int c = 0; c < column && c < columnCount(); ++c) x += widths_[c] + lineWidthX();
  return x;
}

QRect EventGrid::cellRect(int column, int row) const {
  if (column < 0 || column >= columnCount()) return {};
  return QRect(columnLeft(column), rowTop(row), widths_[column], kRowHeight);
}

int EventGrid::columnAt(int x) const {
  int left = -hbar_->value();
  for (int c = 0; c < columnCount(); ++c) {
    const int right = left + widths_[c] + lineWidthX();
    if (x < right) return c;
    left = right;
  }
  return columnCount() - 1;
}

int EventGrid::borderAt(int x) const {
  int right = -hbar_->value();
  for (int c = 0; c < columnCount(); ++c) {
    right += widths_[c];
    if (std::abs(x - right) <= kBorderGrip) return c;
    right += lineWidthX();
  }
  return -1;
}

void EventGrid::selectCell(int column, int row) {
  column_ = std::clamp(column, 0, std::max(0, columnCount() - 1));
  row_ = std::max(1, row);
  update();
}

void EventGrid::paintCells(QPainter& painter, const QRect& area) const {
  painter.fillRect(area, context_ ? context_->colours.info : palette().color(QPalette::Base));
  if (!context_) return;
  const int lastRow = lastGridRow();
  const int bottom = std::min(area.bottom(), visibleHeight() - 1);
  for (int row = 0; row <= lastRow; ++row) {
    const int top = rowTop(row);
    if (top > bottom) break;
    if (top + kRowHeight < area.top()) continue;
    int x = -hbar_->value();
    for (int c = 0; c < columnCount(); ++c) {
      const QRect r(x, top, widths_[c], kRowHeight);
      x += widths_[c] + lineWidthX();
      if (r.right() < area.left()) continue;
      if (r.left() > area.right()) break;
      const bool selected = row > 0 && row == row_ && c == column_;
      DrawGrid1DrawCell(painter, *context_, c, row, r, selected ? CellSelected : CellNormal);
    }
  }
  // Grid lines: the header row keeps its lines whatever the option says.
  painter.setPen(context_->colours.lines);
  const int contentRight = std::min(width(), contentWidth() - hbar_->value());
  const int gridBottom = std::min(visibleHeight(), rowTop(lastRow + 1));
  int x = -hbar_->value();
  for (int c = 0; c < columnCount(); ++c) {
    x += widths_[c];
    painter.drawLine(x, 0, x, kRowHeight);
    if (vertical_) painter.drawLine(x, kRowHeight, x, gridBottom);
    x += lineWidthX();
  }
  painter.drawLine(0, kRowHeight, contentRight, kRowHeight);
  if (horizontal_)
    for (int row = 1; row <= lastRow; ++row) {
      const int y = rowTop(row) + kRowHeight;
      painter.drawLine(0, y, contentRight, y);
    }
}

void EventGrid::setFrozen(bool frozen) {
  if (frozen == frozen_) return;
  frozen_ = frozen;
  frozenPicture_ = QImage();
  if (frozen) {
    frozenPicture_ = QImage(size() * devicePixelRatioF(), QImage::Format_RGB32);
    frozenPicture_.setDevicePixelRatio(devicePixelRatioF());
    QPainter p(&frozenPicture_);
    paintCells(p, rect());
  }
  update();
}

void EventGrid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (frozen_ && !frozenPicture_.isNull()) {
    painter.fillRect(rect(), context_ ? context_->colours.info : palette().color(QPalette::Base));
    painter.drawImage(0, 0, frozenPicture_);
    return;
  }
  paintCells(painter, rect());
}

void EventGrid::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeHorizontalBar();
  emit gridResized();
}

void EventGrid::keyPressEvent(QKeyEvent* event) {
  emit keyPressed(event->key(), event->modifiers());
  event->accept();
}

void EventGrid::wheelEvent(QWheelEvent* event) {
  const int dy = event->angleDelta().y();
  if (dy != 0) emit wheelTurned(dy < 0);
  event->accept();
}

void EventGrid::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (p.y() < kRowHeight) {
    resizing_ = borderAt(p.x());
    if (resizing_ >= 0) {
      resizeStartX_ = p.x();
      resizeStartWidth_ = widths_[resizing_];
    }
    return;
  }
  const int row = p.y() / (kRowHeight + lineWidthY());
  if (row < 1 || row > lastGridRow()) return;
  setFocus(Qt::MouseFocusReason);
  selectCell(columnAt(p.x()), row);
  emit cellClicked(column_, row_);
}

void EventGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (resizing_ >= 0) {
    widths_[resizing_] = std::max(kMinimumWidth, resizeStartWidth_ + p.x() - resizeStartX_);
    placeHorizontalBar();
    update();
    return;
  }
  setCursor(p.y() < kRowHeight && borderAt(p.x()) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void EventGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (resizing_ >= 0) {
    const int c = resizing_;
    resizing_ = -1;
    emit columnResized(c, widths_[c]);
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void EventGrid::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) emit paletteChanged();
}
