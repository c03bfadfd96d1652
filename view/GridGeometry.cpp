#include "view/GridGeometry.h"

#include <algorithm>
#include <numeric>

#include "capture/LiveViewBuffer.h"

namespace GridGeometry {

namespace {

bool isTwoRowView(ViewMode view) { return view == ViewMode::DataOnly || view == ViewMode::DataDump; }

// The reserved view has no layout of its own.
ViewMode laidOutAs(ViewMode view) { return view == ViewMode::Horizontal ? ViewMode::Vertical : view; }

int widthOf(std::span<const int> stored, const std::vector<int>& defaults, int column) {
  if (column < static_cast<int>(stored.size()) && stored[column] > 0) return stored[column];
  return defaults[column];
}

}  // namespace

std::vector<int> defaultColumnWidths(ViewMode view) {
  switch (laidOutAs(view)) {
    case ViewMode::DataOnly:
      return {50, 80};
    case ViewMode::DataDump: {
      std::vector<int> w(kDumpColumns, 12);
      w[0] = 50;
      w[1] = 80;
      w[kDumpGapColumn] = 20;
      std::fill(w.begin() + kDumpFirstNumericColumn, w.end(), 25);
      return w;
    }
    default:
      return {100, 80, 150, 30, 30, 30, 30, 30, 30, 30, 30, 35, 35, 200};
  }
}

int dataOnlyEventsPerLine(int gridWidth, int codeWidth, int lineColumnWidth, int numberColumnWidth) {
  const int room = gridWidth - lineColumnWidth - numberColumnWidth;
  // A negative room would truncate towards zero; a grid that narrow simply gets the minimum.
  const int fitting = room > 0 ? room / (std::max(codeWidth, 0) + 1) : 0;
  return std::clamp(fitting, 1, kMaxDataOnlyEventColumns);
}

GridLayout gridLayout(ViewMode view, CodePair codes, int gridWidth, std::span<const int> storedWidths) {
  view = laidOutAs(view);
  const std::vector<int> defaults = defaultColumnWidths(view);
  const int characterWidth = codeColumnWidth(codes.character, view);
  GridLayout layout;
  layout.rowsPerLine = rowsPerLine(view);

  if (view == ViewMode::DataOnly) {
    const int lineWidth = widthOf(storedWidths, defaults, 0);
    const int numberWidth = widthOf(storedWidths, defaults, 1);
    layout.eventsPerLine = dataOnlyEventsPerLine(gridWidth, characterWidth, lineWidth, numberWidth);
    layout.columnWidths.assign(static_cast<std::size_t>(kLeadingColumns + layout.eventsPerLine), characterWidth);
    layout.columnWidths[0] = lineWidth;
    layout.columnWidths[1] = numberWidth;
    return layout;
  }

  layout.columnWidths.resize(defaults.size());
  for (int c = 0; c < static_cast<int>(defaults.size()); ++c) layout.columnWidths[c] = widthOf(storedWidths, defaults, c);

  if (view == ViewMode::DataDump) {
    const int numericWidth = codeColumnWidth(codes.numeric, view);
    for (int c = kLeadingColumns; c < kDumpGapColumn; ++c) layout.columnWidths[c] = characterWidth;
    for (int c = kDumpFirstNumericColumn; c < kDumpColumns; ++c) layout.columnWidths[c] = numericWidth;
    layout.eventsPerLine = kDumpEventsPerLine;
    return layout;
  }

  layout.columnWidths[3] = characterWidth;
  layout.columnWidths[4] = characterWidth;
  const int fixed = std::accumulate(layout.columnWidths.begin(), layout.columnWidths.begin() + kVerticalDescriptionColumn, 0);
  // A window narrower than the fixed columns leaves the description no room, never a
  // negative width.
  layout.columnWidths[kVerticalDescriptionColumn] = std::max(0, gridWidth - fixed - kDescriptionMargin);
  layout.eventsPerLine = 1;
  return layout;
}

int rowsPerLine(ViewMode view) { return isTwoRowView(view) ? 2 : 1; }

int visibleEventRows(ViewMode view, int fullyVisibleRows) {
  const int rows = std::max(0, fullyVisibleRows);
  return isTwoRowView(view) ? rows - rows % 2 : rows;
}

int bufferCapacity(int visibleEventRows, int rowsPerLine, int eventsPerLine) {
  const long long lines = std::max(0, visibleEventRows) / std::max(1, rowsPerLine);
  const long long wanted = lines * std::max(1, eventsPerLine);
  return static_cast<int>(std::clamp<long long>(wanted, 1, LiveViewBuffer::kMaxCapacity));
}

ScrollSteps scrollSteps(int eventsPerLine, int capacity) {
  const int line = std::max(1, eventsPerLine);
  const int buffer = std::clamp(capacity, 1, static_cast<int>(LiveViewBuffer::kMaxCapacity));
  return {line, buffer, buffer};
}

}  // namespace GridGeometry
