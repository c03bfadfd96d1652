#pragma once
#include <QString>
#include <cstdint>
#include <functional>

#include "capture/LineSettings.h"
#include "view/CellText.h"

// What the goto/search and export windows need of the main window: the record file the
// grid shows, its view, and the line settings. The main window fills it in; tests give
// their own.
struct ToolHost {
  std::function<QString()> recordFile;             // the file the grid shows; empty: none
  std::function<int64_t()> records;                // records in that file, the start record included
  std::function<int64_t()> selectedEvent;          // the event in the selected cell
  std::function<int64_t()> scrollPosition;         // the predecessor of the first row
  std::function<void(int64_t)> setScrollPosition;  // the grid row stays
  std::function<void(int64_t)> showFound;          // the event becomes the first and selected row
  std::function<CellText::TimeMode()> timeMode;
  std::function<int()> pinNaming;  // 0 V.24 names, 1 US names
  std::function<LineSettings()> lineSettings;
};
