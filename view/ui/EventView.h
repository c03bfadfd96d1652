#pragma once
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "capture/EventRecord.h"
#include "view/GridGeometry.h"
#include "view/ViewState.h"
#include "view/ui/CellPainter.h"

class CaptureEngine;
class EventGrid;
class LiveViewBuffer;
class QAction;
class QScrollBar;
class RecordFile;
class TRedrawThread;
class ViewLock;

// What the statistics panel and the eight lights show for one event.
struct CellStatistics {
  QString text;
  std::array<bool, 8> lights{};  // D1, D2, S1, M1, S2, M2, M5, M3
  int load = 0, peak = 0, quality = 0;
};
// The statistics of an event against the totals of the recording; an empty slot is an
// event with every field 0.
CellStatistics cellStatistics(const EventRecord& event, const EventRecord& totals);

// The event view: fills the live view buffer from the record file, lays the grid out
// for the view and codes, follows keys, wheel, clicks and the scroll bar, and keeps the
// grid current while recording through the redraw thread. The window's own widgets
// (lights, gauges, status panel) get what they show through its signals.
class EventView : public QObject {
  Q_OBJECT
 public:
  struct Parts {
    ViewState& state;
    LiveViewBuffer& buffer;
    RecordFile& file;
    ViewLock& lock;
    const CaptureEngine& engine;
    EventGrid* grid;
    QScrollBar* scrollBar;
    QObject* actions;  // holds the view, code and time actions by name
  };
  explicit EventView(const Parts& parts, QObject* parent = nullptr);
  ~EventView() override;

  // While recording the buffer follows the recorder and the file is not read.
  void setRecordingQuery(std::function<bool()> recording) { recording_ = std::move(recording); }
  void setHoldQuery(std::function<bool()> hold) { hold_ = std::move(hold); }
  bool recording() const { return recording_ && recording_(); }

  // Layout.
  void ApplyViewLayout();
  void ControlCenterButtons();
  void ClearGrid();
  void btnResetGridClick();
  const GridGeometry::GridLayout& layout() const { return layout_; }
  int capacity() const { return capacity_; }
  const CellContext& cellContext() const { return context_; }
  // Colours of the active style; the mark palette stays until a skin replaces it.
  void refreshColours();
  // The skin's mark colours; the colours of the style are read again with them.
  void setMarkPalette(const CellText::MarkPalette& marks);

  // Choices of the buttons and menus.
  void chooseView(ViewMode view);
  void chooseCode(CharacterCode code);
  void clickControlRange(ControlMode button);
  void chooseTime(CellText::TimeMode mode);
  void chooseGridLines(bool vertical, bool horizontal);
  void setPinNaming(int naming);

  // Navigation.
  void ScrollBar1Change();
  void DrawGrid1KeyDown(int key, Qt::KeyboardModifiers modifiers);
  void DrawGrid1MouseWheelDown();
  void DrawGrid1MouseWheelUp();
  void DrawGrid1Click(int column, int row);
  void btnGotoTopClick();
  void btnGotoBottomClick();
  // The newest events: the last page of the file, or the live buffer while recording.
  void scrollToLast();
  int64_t scrollPosition() const;
  // The event in the selected cell: scroll position + its place in the buffer.
  int64_t selectedEvent() const;
  // A found event becomes the first row of the grid and the selected one.
  void showEventSelected(int64_t event);

  void ShowCellStatistics(int column, int row);

  // Recording.
  void startRedrawThread();
  void stopRedrawThread();
  bool redrawThreadRunning() const;
  // One step of the redraw thread, on the main thread.
  void redrawStep();
  int redrawSteps() const { return redrawSteps_; }

 signals:
  void statisticsShown(const CellStatistics& statistics);
  void gaugeShown(int gauge, int percent);
  void holdBarShown(const QString& text);
  void recordCountChanged(qint64 records);
  void viewChanged();

 private:
  void setAction(const char* name, bool checked, bool enabled = true);
  void applyNavigation(int64_t scrollPosition, int row, int column);
  void scrollTo(int64_t position);
  void afterChange();
  EventRecord recordAt(int position) const;
  EventRecord totals() const;
  int newestPosition() const;

  Parts p_;
  GridGeometry::GridLayout layout_;
  CellContext context_;
  int capacity_ = 1;
  std::function<bool()> recording_;
  std::function<bool()> hold_;
  std::unique_ptr<TRedrawThread> thread_;
  EventRecord fileTotals_ = zeroRecord();
  int gaugeStep_ = 0;
  int activity_ = 0;
  int redrawSteps_ = 0;
  bool filling_ = false;
};
