#include "view/ViewState.h"

#include <algorithm>

#include "settings/Configuration.h"

namespace {

int tableIndex(ViewMode view) {
  switch (view) {
    case ViewMode::DataOnly: return 1;
    case ViewMode::DataDump: return 2;
    default: return 0;
  }
}

constexpr ViewMode kStoredViews[] = {ViewMode::Vertical, ViewMode::DataOnly, ViewMode::DataDump};

// Columns whose width comes from the code or the window, not from the user.
bool followsCode(ViewMode view, int column) {
  using namespace GridGeometry;
  switch (view) {
    case ViewMode::DataOnly: return column >= kLeadingColumns;
    case ViewMode::DataDump: return column >= kLeadingColumns && column != kDumpGapColumn;
    default: return column == 3 || column == 4 || column == kVerticalDescriptionColumn;
  }
}

}  // namespace

std::vector<int>& ViewState::widthsOf(ViewMode view) { return widths[tableIndex(view)]; }
const std::vector<int>& ViewState::widthsOf(ViewMode view) const { return widths[tableIndex(view)]; }

GridGeometry::GridLayout ViewState::layout(int gridWidth) const {
  return GridGeometry::gridLayout(view(), codes.pair(view()), gridWidth, widthsOf(view()));
}

void ViewState::setColumnWidth(int column, int width) {
  if (column < 0 || width <= 0 || followsCode(view(), column)) return;
  std::vector<int>& w = widthsOf(view());
  if (column >= static_cast<int>(w.size())) w.resize(static_cast<std::size_t>(column) + 1, 0);
  w[static_cast<std::size_t>(column)] = width;
}

void ViewState::resetWidths() { widthsOf(view()) = GridGeometry::defaultColumnWidths(view()); }

ViewState ViewState::fromConfiguration(const Configuration& config) {
  ViewState s;
  s.codes = CodeSettings::fromConfiguration(config);
  s.timeMode = CellText::timeModeFromInt(config.timeControl);
  s.signalMode = config.signalMode;
  s.pinNaming = config.pinNaming == 1 ? 1 : 0;
  s.verticalLines = (config.gridOptions & ConfigKeys::kGridVerticalLines) != 0;
  s.horizontalLines = (config.gridOptions & ConfigKeys::kGridHorizontalLines) != 0;
  for (ViewMode v : kStoredViews) {
    const QList<int>& stored = config.view(static_cast<int>(v)).widths;
    s.widthsOf(v).assign(stored.begin(), stored.end());
  }
  return s;
}

void ViewState::storeInto(Configuration* config) const {
  codes.storeInto(config);
  config->timeControl = static_cast<int>(timeMode);
  config->signalMode = signalMode;
  config->pinNaming = pinNaming;
  config->setGridLines(verticalLines, horizontalLines);
  for (ViewMode v : kStoredViews) {
    QList<int>& stored = config->view(static_cast<int>(v)).widths;
    const std::vector<int>& w = widthsOf(v);
    // Only the keys of the table exist; a column the user never touched keeps its value.
    for (int i = 0; i < std::min<int>(static_cast<int>(w.size()), static_cast<int>(stored.size())); ++i)
      if (w[static_cast<std::size_t>(i)] > 0) stored[i] = w[static_cast<std::size_t>(i)];
  }
}
