#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>

namespace Klaxor {

constexpr QSize kWindowSize{324, 100};

// Where the window of an instance goes: instance 1 in the lower right corner of the
// work area, the next ones above it, and a full column goes on in a new column to its
// left. The rows are counted in the work area's height (a panel or a monitor above
// it takes no rows), at least one; when every column is full, the stack starts again
// at the right, so that no window lands outside the work area.
QPoint stackPosition(const QRect& workArea, int instance, QSize window = kWindowSize);

}  // namespace Klaxor
