#pragma once
#include <cstdint>

#include "view/CodeFormat.h"

// How the keys, the wheel and the top and bottom buttons move through a record file:
// what scrolls the buffer (the scroll position is the file index of the record shown
// as predecessor) and what only moves the selected cell. Pure, so the rules are tested
// without a window.
namespace ViewNavigation {

enum class Key { PageUp, PageDown, End, Home, Left, Up, Right, Down, Other };

struct State {
  bool fileOpen = true;  // a record file is open for reading
  bool recording = false;
  ViewMode view = ViewMode::Vertical;
  int64_t scrollPosition = 0;
  int64_t maximum = 0;  // records in the file
  int smallStep = 1;    // events per line
  int largeStep = 1;    // buffer capacity
  int row = 1;          // selected cell; rows count from 1 below the header
  int column = 0;
  int lastEventRow = 1;  // the last fully visible event row
  int lastColumn = 0;
};

struct Result {
  int64_t scrollPosition = 0;
  int row = 1;
  int column = 0;
  bool scrolled = false;
};

// One key press: first the file rules, then (unless Left or Right moved the selection
// themselves) the key's ordinary meaning on the selection. With the control key held,
// Home and End also select the first or last row, as the top and bottom buttons do.
Result keyDown(Key key, const State& state, bool control = false);

// The wheel acts as Down (towards the end of the file) or Up, and only while not recording.
Result wheel(bool down, const State& state);

// The last page: the position that shows the file's last records, or no change when the
// file is shorter than a page less one.
int64_t lastPagePosition(int64_t scrollPosition, int64_t maximum, int largeStep);

}  // namespace ViewNavigation
