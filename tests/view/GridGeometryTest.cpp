#include <gtest/gtest.h>

#include <numeric>

#include "capture/LiveViewBuffer.h"
#include "view/GridGeometry.h"

namespace {

using namespace GridGeometry;
using CC = CharacterCode;

constexpr CodePair kAscii{CC::UsAscii, CC::Hexadecimal};

TEST(GridLayout, DataOnlyFitsEventsBesideTheLeadingColumns) {
  // (1000 - 50 - 80) / (12 + 1) + 2 = 68 columns.
  const GridLayout l = gridLayout(ViewMode::DataOnly, kAscii, 1000);
  EXPECT_EQ(l.columnCount(), 68);
  EXPECT_EQ(l.eventsPerLine, 66);
  EXPECT_EQ(l.rowsPerLine, 2);
  EXPECT_EQ(l.columnWidths[0], 50);
  EXPECT_EQ(l.columnWidths[1], 80);
  EXPECT_EQ(l.columnWidths[67], 12);

  // A number format widens the event columns; user widths of the leading columns count.
  EXPECT_EQ(gridLayout(ViewMode::DataOnly, {CC::Binary, CC::Hexadecimal}, 1000).eventsPerLine, 870 / 56);
  const int stored[] = {100, 130, 99};
  const GridLayout wide = gridLayout(ViewMode::DataOnly, kAscii, 1000, stored);
  EXPECT_EQ(wide.eventsPerLine, 770 / 13);
  EXPECT_EQ(wide.columnWidths[2], 12);  // the code width, not the stored one
}

TEST(GridLayout, DataOnlyEventCountStaysWithinTheWidthTable) {
  EXPECT_EQ(dataOnlyEventsPerLine(130 + 13 * 324, 12), 324);
  EXPECT_EQ(dataOnlyEventsPerLine(100000, 12), 324);
  EXPECT_EQ(gridLayout(ViewMode::DataOnly, kAscii, 100000).columnCount(), 326);
  // Narrower than the leading columns, or not even one event wide: still one event a line.
  EXPECT_EQ(dataOnlyEventsPerLine(130 + 12, 12), 1);
  EXPECT_EQ(dataOnlyEventsPerLine(0, 12), 1);
  EXPECT_EQ(dataOnlyEventsPerLine(-500, 12), 1);
}

TEST(GridLayout, VerticalDescriptionTakesTheRest) {
  const GridLayout l = gridLayout(ViewMode::Vertical, kAscii, 1000);
  ASSERT_EQ(l.columnCount(), 14);
  EXPECT_EQ(l.columnWidths[3], 25);
  EXPECT_EQ(l.columnWidths[4], 25);
  const int fixed = std::accumulate(l.columnWidths.begin(), l.columnWidths.begin() + 13, 0);
  EXPECT_EQ(fixed, 100 + 80 + 150 + 25 + 25 + 6 * 30 + 35 + 35);
  EXPECT_EQ(l.columnWidths[13], 1000 - fixed - 16);
  EXPECT_EQ(l.eventsPerLine, 1);
  EXPECT_EQ(l.rowsPerLine, 1);

  EXPECT_EQ(gridLayout(ViewMode::Vertical, kAscii, 300).columnWidths[13], 0);
  // The reserved view is drawn as the vertical one.
  EXPECT_EQ(gridLayout(ViewMode::Horizontal, kAscii, 1000).columnWidths, l.columnWidths);
}

TEST(GridLayout, DumpShowsBothCodes) {
  const GridLayout l = gridLayout(ViewMode::DataDump, {CC::Ebcdic, CC::Binary}, 200);
  ASSERT_EQ(l.columnCount(), 35);
  EXPECT_EQ(l.eventsPerLine, 16);
  EXPECT_EQ(l.rowsPerLine, 2);
  EXPECT_EQ(l.columnWidths[2], 12);
  EXPECT_EQ(l.columnWidths[17], 12);
  EXPECT_EQ(l.columnWidths[18], 20);
  EXPECT_EQ(l.columnWidths[19], 55);
  EXPECT_EQ(l.columnWidths[34], 55);
  EXPECT_EQ(gridLayout(ViewMode::DataDump, kAscii, 200).columnWidths[19], 25);
}

TEST(BufferCapacity, WholeLinesOfTheVisibleRows) {
  EXPECT_EQ(visibleEventRows(ViewMode::DataOnly, 31), 30);
  EXPECT_EQ(visibleEventRows(ViewMode::Vertical, 31), 31);
  EXPECT_EQ(visibleEventRows(ViewMode::DataDump, -3), 0);

  EXPECT_EQ(bufferCapacity(30, 1, 1), 30);
  EXPECT_EQ(bufferCapacity(30, 2, 66), 15 * 66);
  EXPECT_EQ(bufferCapacity(31, 2, 16), 15 * 16);
  // Too small for one line: one event rather than an empty buffer.
  EXPECT_EQ(bufferCapacity(1, 2, 16), 1);
  EXPECT_EQ(bufferCapacity(0, 1, 1), 1);
  // Tall, narrow-coded data-only view: cut at the buffer, keeping the predecessor slot.
  EXPECT_EQ(bufferCapacity(62, 2, 324), LiveViewBuffer::kMaxCapacity);
  EXPECT_EQ(bufferCapacity(2000000000, 1, 324), LiveViewBuffer::kMaxCapacity);
}

TEST(ScrollSteps, LineAndBuffer) {
  const ScrollSteps s = scrollSteps(66, 990);
  EXPECT_EQ(s.small, 66);
  EXPECT_EQ(s.large, 990);
  EXPECT_EQ(s.page, 990);
  EXPECT_EQ(scrollSteps(0, 0).small, 1);
  EXPECT_EQ(scrollSteps(0, 0).large, 1);
}

}  // namespace
