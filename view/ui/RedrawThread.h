#pragma once
#include <QThread>
#include <atomic>

class LiveViewBuffer;
class ViewLock;
class EventView;

// Keeps the grid current while recording. Every 20 ms it looks whether the live count
// changed; when it did, it lets the port handlers finish what they are recording (the
// view lock, at most 10 ms) and asks the main thread, through a queued call, for one
// redraw step: a repaint of the grid (which Qt coalesces) and one of the three gauges,
// or the next stroke of the hold bar. It never touches a widget itself, and it asks for
// a new step only when the last one was done, so a busy window is never flooded.
class TRedrawThread : public QThread {
  Q_OBJECT
 public:
  TRedrawThread(const LiveViewBuffer& buffer, ViewLock& lock, EventView* view);
  ~TRedrawThread() override;

  // Ends at the next check (within 20 ms) and waits for that.
  void terminateAndWait();
  // Called by the main thread when it has carried out a step.
  void stepDone() { pending_.store(false); }
  int stepsAsked() const { return steps_.load(); }

 protected:
  void run() override;

 private:
  const LiveViewBuffer& buffer_;
  ViewLock& lock_;
  EventView* view_;
  std::atomic<bool> pending_{false};
  std::atomic<int> steps_{0};
};
