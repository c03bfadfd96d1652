#include "capture/LiveViewBuffer.h"

#include <algorithm>
#include <limits>
#include <vector>

void LiveViewBuffer::setCapacity(int capacity) {
  capacity = std::clamp(capacity, 1, kMaxCapacity);
  // Lay the ring out flat, oldest first, then keep the newest that fit the new size.
  const int used = std::min(liveCount(), capacity_ + 1);
  std::vector<EventRecord> flat(used);
  for (int i = 0; i < used; ++i) flat[i] = at(i);
  const int keep = std::min(used, capacity + 1);
  clear();
  std::copy(flat.end() - keep, flat.end(), slots_.begin());
  capacity_ = capacity;
  // The next record goes after what was kept, or shifts the buffer when that is full.
  liveCount_ = keep;
}

void LiveViewBuffer::append(const EventRecord& record) {
  int count = liveCount();
  if (count < std::numeric_limits<int>::max()) liveCount_.store(++count, std::memory_order_relaxed);
  if (count <= capacity_ + 1) {
    at(count - 1) = record;
    return;
  }
  // Full: the oldest leaves position 0, the new record takes the last position.
  head_ = (head_ + 1) % (capacity_ + 1);
  at(capacity_) = record;
}

void LiveViewBuffer::clear() {
  slots_.fill(zeroRecord());
  liveCount_ = 0;
  head_ = 0;
}

void LiveViewBuffer::load(const EventRecord* records, int count) {
  clear();
  count = std::clamp(count, 0, kSlots);
  std::copy(records, records + count, slots_.begin());
}
