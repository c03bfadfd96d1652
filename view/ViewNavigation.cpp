#include "view/ViewNavigation.h"

#include <algorithm>

namespace ViewNavigation {

namespace {

constexpr int kTopRow = 1;

// The file rule of Up and Down alone: a line back or forward when the selection sits at
// the edge of the visible rows.
bool scrollUp(const State& s, Result& r) {
  if (s.recording || s.row != kTopRow) return false;
  r.scrollPosition = std::max<int64_t>(0, r.scrollPosition - s.smallStep);
  return true;
}

bool scrollDown(const State& s, Result& r) {
  if (!(s.scrollPosition < s.maximum - s.largeStep - 1) || s.row != s.lastEventRow) return false;
  r.scrollPosition += s.smallStep;
  return true;
}

}  // namespace

int64_t lastPagePosition(int64_t scrollPosition, int64_t maximum, int largeStep) {
  if (maximum < int64_t(largeStep) - 1) return scrollPosition;
  return std::max<int64_t>(0, maximum - largeStep - 1);
}

Result keyDown(Key key, const State& s, bool control) {
  Result r{s.scrollPosition, s.row, s.column, false};
  if (!s.fileOpen) return r;
  bool handled = false;
  switch (key) {
    case Key::PageUp:
      if (!s.recording && s.row == kTopRow) r.scrollPosition = std::max<int64_t>(0, s.scrollPosition - s.largeStep);
      break;
    case Key::PageDown:
      if (!s.recording && s.scrollPosition < s.maximum - s.largeStep - 1 && s.row == s.lastEventRow)
        r.scrollPosition = s.scrollPosition + s.largeStep;
      break;
    case Key::End: r.scrollPosition = lastPagePosition(s.scrollPosition, s.maximum, s.largeStep); break;
    case Key::Home:
      if (!s.recording) r.scrollPosition = 0;
      break;
    case Key::Left:
      if (!s.recording && s.column == 0) {
        if (s.row > kTopRow) {
          r.row = s.row - 1;
          r.column = s.lastColumn;
          handled = true;
        } else if (s.scrollPosition > 0) {
          scrollUp(s, r);
          r.column = s.lastColumn;
          handled = true;
        }
      }
      break;
    case Key::Up: scrollUp(s, r); break;
    case Key::Right:
      if (!s.recording && s.view != ViewMode::Horizontal && s.column == s.lastColumn) {
        if (s.row != s.lastEventRow) {
          r.row = s.row + 1;
          r.column = 0;
          handled = true;
        } else if (s.scrollPosition < s.maximum) {
          scrollDown(s, r);
          r.column = 0;
          handled = true;
        }
      }
      break;
    case Key::Down: scrollDown(s, r); break;
    case Key::Other: break;
  }
  r.scrolled = r.scrollPosition != s.scrollPosition;
  if (handled) return r;

  // The key's meaning on the grid itself.
  const int lastRow = std::max(kTopRow, s.lastEventRow);
  switch (key) {
    case Key::Up: r.row = std::max(kTopRow, s.row - 1); break;
    case Key::Down: r.row = std::min(lastRow, s.row + 1); break;
    case Key::Left: r.column = std::max(0, s.column - 1); break;
    case Key::Right: r.column = std::min(s.lastColumn, s.column + 1); break;
    case Key::PageUp: r.row = kTopRow; break;
    case Key::PageDown: r.row = lastRow; break;
    case Key::Home:
      r.column = 0;
      if (control) r.row = kTopRow;
      break;
    case Key::End:
      r.column = s.lastColumn;
      if (control) r.row = lastRow;
      break;
    case Key::Other: break;
  }
  return r;
}

Result wheel(bool down, const State& s) {
  if (s.recording) return {s.scrollPosition, s.row, s.column, false};
  return keyDown(down ? Key::Down : Key::Up, s);
}

}  // namespace ViewNavigation
