#include "view/ui/RedrawThread.h"

#include <chrono>

#include "capture/LiveViewBuffer.h"
#include "capture/ViewLock.h"
#include "view/ui/EventView.h"

TRedrawThread::TRedrawThread(const LiveViewBuffer& buffer, ViewLock& lock, EventView* view)
    : buffer_(buffer), lock_(lock), view_(view) {
  setObjectName(QStringLiteral("TRedrawThread"));
}

TRedrawThread::~TRedrawThread() { terminateAndWait(); }

void TRedrawThread::terminateAndWait() {
  requestInterruption();
  wait();
}

void TRedrawThread::run() {
  using namespace std::chrono_literals;
  int lastSeen = 0;
  while (!isInterruptionRequested()) {
    const int count = buffer_.liveCount();
    if (count == lastSeen || pending_.load()) {
      msleep(20);
      continue;
    }
    lock_.waitReleased(10ms);
    lastSeen = count;
    pending_.store(true);
    ++steps_;
    // The view is the context object and ends this thread before it goes; the step
    // tells the thread it is done through the view, never through a pointer to us.
    EventView* view = view_;
    QMetaObject::invokeMethod(view, [view] { view->redrawStep(); }, Qt::QueuedConnection);
  }
}
