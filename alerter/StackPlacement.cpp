#include "alerter/StackPlacement.h"

#include <QtGlobal>

namespace Klaxor {

QPoint stackPosition(const QRect& workArea, int instance, QSize window) {
  const int rows = qMax(1, workArea.height() / window.height());
  const int columns = qMax(1, workArea.width() / window.width());
  const int index = qMax(instance, 1) - 1;
  const int row = index % rows;
  const int column = (index / rows) % columns;
  const int right = workArea.x() + workArea.width();  // just past the work area
  const int bottom = workArea.y() + workArea.height();
  return {right - window.width() * (column + 1), bottom - window.height() * (row + 1)};
}

}  // namespace Klaxor
