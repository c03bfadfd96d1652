#pragma once
#include <QRect>
#include <QSize>

// The window of a first start, when no configuration says where it was: most of the
// screen's work area, centred, so that the grid shows a useful number of events; never
// below the window's minimum and never beyond the work area it is given.
QRect firstStartGeometry(const QRect& workArea, const QSize& minimum);
// The trigger panel's share of that window: a quarter of its height, between the folded
// panel's height and the panel's usual 300 pixels; the grid keeps the rest.
int firstStartBottomPanel(int windowHeight, int foldedHeight, int usualHeight);
