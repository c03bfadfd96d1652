#pragma once
#include <span>
#include <vector>

#include "view/CodeFormat.h"

// Layout of the event grid: its columns and their widths per view, how many events a
// line holds, how many rows a line takes, how many events the live view buffer keeps
// for the visible rows, and how far the scroll bar moves. Pure arithmetic, so the
// window only applies what comes out.
namespace GridGeometry {

// Column counts and fixed columns of the views.
constexpr int kVerticalColumns = 14;
constexpr int kVerticalDescriptionColumn = 13;
constexpr int kDumpColumns = 35;
constexpr int kDumpEventsPerLine = 16;
constexpr int kDumpGapColumn = 18;
constexpr int kDumpFirstNumericColumn = 19;
// The line and event-number columns that lead every line of the data-only and dump views.
constexpr int kLeadingColumns = 2;
// The data-only width table holds this many event columns; a wider grid shows no more.
constexpr int kMaxDataOnlyEventColumns = 324;
// Pixels the description column leaves free at the right edge of the vertical view.
constexpr int kDescriptionMargin = 16;

// The widths of a view's columns as they come before the code widths are put in: the
// vertical view's 14 columns (the description's 200 stands until the grid width sets
// it), the data-only view's line and event-number columns (the event columns follow
// the code), the dump view's 35 columns.
std::vector<int> defaultColumnWidths(ViewMode view);

struct GridLayout {
  std::vector<int> columnWidths;  // one per column; their count is the column count
  int eventsPerLine = 1;
  int rowsPerLine = 1;
  int columnCount() const { return static_cast<int>(columnWidths.size()); }
};

// The layout of a view for a grid of gridWidth pixels (the client width) showing the
// codes of the pair. storedWidths are the user's widths from the configuration, by
// column; a missing or non-positive entry keeps the default. The data columns always
// take the code widths, and the vertical view's description column the rest of the
// grid. The reserved horizontal view is laid out as the vertical one, the view it
// falls back to everywhere else.
GridLayout gridLayout(ViewMode view, CodePair codes, int gridWidth, std::span<const int> storedWidths = {});

// Events side by side in the data-only view: what fits beside the two leading columns,
// each event column one pixel wider than the code for its grid line. At least one, so
// that a window narrower than the leading columns still shows its events, one a line;
// at most the width table's 324.
int dataOnlyEventsPerLine(int gridWidth, int codeWidth, int lineColumnWidth = 50, int numberColumnWidth = 80);

// 1 in the vertical view; 2 in the data-only and dump views (D1 row, then D2 row).
int rowsPerLine(ViewMode view);

// The fully visible rows below the header that events are drawn in: in the two-row
// views rounded down to whole lines; never negative.
int visibleEventRows(ViewMode view, int fullyVisibleRows);

// Records the grid shows: whole lines of the visible rows times the events per line,
// bounded to 1..9999 so that the buffer keeps its predecessor slot. A grid too small
// for one line still shows one event rather than none; a very tall, narrow-coded
// data-only view is cut at the buffer's size, and the rows below stay empty.
int bufferCapacity(int visibleEventRows, int rowsPerLine, int eventsPerLine);

struct ScrollSteps {
  int small = 1;  // one line of events: arrow keys and the wheel
  int large = 1;  // one buffer of events: page keys
  int page = 1;
};

ScrollSteps scrollSteps(int eventsPerLine, int capacity);

}  // namespace GridGeometry
