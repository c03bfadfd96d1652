#pragma once
#include <array>
#include <vector>

#include "view/CellText.h"
#include "view/CodeFormat.h"
#include "view/GridGeometry.h"

class Configuration;

// The settings of the event view for the program run: the codes of each view, the time
// mode, the signal fill, the line naming, the grid lines and the user's column widths.
// Loaded with the configuration before the window is first shown, stored at exit.
struct ViewState {
  CodeSettings codes;
  CellText::TimeMode timeMode = CellText::TimeMode::Absolute;
  int signalMode = 1;  // 1: the high level of a trace is filled
  int pinNaming = 0;   // 0 V.24 names, 1 US names
  bool verticalLines = true;
  bool horizontalLines = true;
  // The widths the user gave the columns, per view (vertical, data only, dump); 0 or a
  // missing entry keeps the designed width.
  std::array<std::vector<int>, 3> widths;
  // What relative times count from: the recording's start, or event 1 of the file shown.
  double relativeBase = 0;

  ViewMode view() const { return codes.viewMode(); }
  std::vector<int>& widthsOf(ViewMode view);
  const std::vector<int>& widthsOf(ViewMode view) const;

  // The layout of the current view for a grid of this client width.
  GridGeometry::GridLayout layout(int gridWidth) const;
  // A column the user dragged to a new width; the data columns follow their code and
  // the description the window, so only the others are kept.
  void setColumnWidth(int column, int width);
  // Back to the designed widths of the current view.
  void resetWidths();

  static ViewState fromConfiguration(const Configuration& config);
  void storeInto(Configuration* config) const;
};
