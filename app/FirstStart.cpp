#include "app/FirstStart.h"

#include <QtGlobal>

namespace {
// Of the work area; what is left is room for the frame and a panel beside the window.
constexpr double kShare = 0.88;
}  // namespace

QRect firstStartGeometry(const QRect& workArea, const QSize& minimum) {
  const int width = qMax(minimum.width(), int(workArea.width() * kShare));
  const int height = qMax(minimum.height(), int(workArea.height() * kShare));
  QRect r(0, 0, width, height);
  r.moveCenter(workArea.center());
  // A work area smaller than the minimum: the top left corner stays reachable.
  if (r.left() < workArea.left()) r.moveLeft(workArea.left());
  if (r.top() < workArea.top()) r.moveTop(workArea.top());
  return r;
}

int firstStartBottomPanel(int windowHeight, int foldedHeight, int usualHeight) {
  return qBound(foldedHeight + 30, windowHeight / 4, usualHeight);
}
