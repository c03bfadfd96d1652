#pragma once
// One event view with everything it works on, over a grid of a given size: for the
// view's widget tests and its benchmark.
#include <QScrollBar>
#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

#include "RecordingMessages.h"
#include "capture/CaptureEngine.h"
#include "capture/Clock.h"
#include "capture/LiveViewBuffer.h"
#include "capture/ViewLock.h"
#include "recording/RecordFile.h"
#include "view/ViewState.h"
#include "view/ui/EventGrid.h"
#include "view/ui/EventView.h"

struct EventViewRig {
  RecordingMessages messages;
  ManualClock clock;
  std::unique_ptr<LiveViewBuffer> buffer = std::make_unique<LiveViewBuffer>();
  CaptureEngine engine{clock, *buffer};
  RecordFile file{messages};
  ViewLock lock;
  ViewState state;
  QWidget window;
  EventGrid* grid = new EventGrid(&window);
  QScrollBar* bar = new QScrollBar(Qt::Vertical, &window);
  std::unique_ptr<EventView> view;

  explicit EventViewRig(QSize gridSize) {
    grid->resize(gridSize);
    view = std::make_unique<EventView>(EventView::Parts{state, *buffer, file, lock, engine, grid, bar, &window});
  }

  // Shows the record file as the window does once it is opened for viewing.
  bool openView(const QString& path) {
    file.setName(path);
    if (file.OpenRecordFile(RecordFile::Handle::View) < 0) return false;
    view->ApplyViewLayout();
    view->ScrollBar1Change();
    return true;
  }
};
