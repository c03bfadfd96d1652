#pragma once
#include <array>
#include <atomic>

#include "capture/EventRecord.h"

// The records the grid shows: position 0 holds the predecessor of the first shown
// event, positions 1..capacity the shown ones. While recording the newest
// capacity + 1 records are kept. Stored as a ring so that appending to a full
// buffer costs the same whatever the capacity.
class LiveViewBuffer {
 public:
  static constexpr int kSlots = 10000;
  static constexpr int kMaxCapacity = kSlots - 1;

  LiveViewBuffer() { clear(); }

  // Bounded to 1..9999; keeps the newest records that still fit.
  void setCapacity(int capacity);
  int capacity() const { return capacity_; }

  // Number of records appended since the last clear or count reset.
  // The redraw thread reads it to see that records arrived; only the main thread writes it.
  int liveCount() const { return liveCount_.load(std::memory_order_relaxed); }
  void resetLiveCount() { liveCount_ = 0; }

  void append(const EventRecord& record);
  // All slots to zeros; a slot with event number 0 holds no event.
  void clear();

  // Fills the buffer from a file: records[i] goes to position i, the rest stays empty.
  // Viewing only: the live count stays 0.
  void load(const EventRecord* records, int count);

  const EventRecord& at(int position) const { return slots_[physical(position)]; }
  EventRecord& at(int position) { return slots_[physical(position)]; }

 private:
  int physical(int position) const { return (head_ + position) % (capacity_ + 1); }

  std::array<EventRecord, kSlots> slots_;
  int capacity_ = kMaxCapacity;
  std::atomic<int> liveCount_{0};
  int head_ = 0;
};
