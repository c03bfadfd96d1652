// Where the alert windows go on the work area.
#include <gtest/gtest.h>

#include "alerter/StackPlacement.h"

using Klaxor::stackPosition;

TEST(Placement, FirstInTheLowerRightThenAboveThenANewColumnToTheLeft) {
  const QRect workArea(0, 0, 1000, 250);  // room for two rows
  EXPECT_EQ(stackPosition(workArea, 1), QPoint(676, 150));
  EXPECT_EQ(stackPosition(workArea, 2), QPoint(676, 50));
  EXPECT_EQ(stackPosition(workArea, 3), QPoint(352, 150));
  EXPECT_EQ(stackPosition(workArea, 4), QPoint(352, 50));
  EXPECT_EQ(stackPosition(workArea, 5), QPoint(28, 150));
}

TEST(Placement, TallWorkAreaStacksFiveInOneColumn) {
  const QRect workArea(0, 0, 1920, 1040);  // a panel below takes 40 pixels
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(stackPosition(workArea, n), QPoint(1596, 1040 - 100 * n)) << n;
}

TEST(Placement, WorkAreaAwayFromTheOriginAndTooSmallOrFull) {
  // A panel at the top and a monitor right of the first: rows are counted in the work
  // area itself, so no window reaches above it.
  const QRect panelAbove(1920, 300, 1280, 724);
  EXPECT_EQ(stackPosition(panelAbove, 1), QPoint(2876, 924));
  EXPECT_EQ(stackPosition(panelAbove, 7), QPoint(2876, 324));
  EXPECT_EQ(stackPosition(panelAbove, 8), QPoint(2552, 924));
  // Smaller than one window: one row, one column, still in the corner.
  EXPECT_EQ(stackPosition(QRect(0, 0, 300, 80), 3), QPoint(-24, -20));
  // Every column full: the stack begins again at the right.
  const QRect twoByTwo(0, 0, 700, 200);
  EXPECT_EQ(stackPosition(twoByTwo, 5), stackPosition(twoByTwo, 1));
  EXPECT_EQ(stackPosition(twoByTwo, 0), stackPosition(twoByTwo, 1));
}
