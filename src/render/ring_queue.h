#pragma once
// A first-in first-out queue of values kept in one ring of storage that it reuses: once the
// ring has grown to the deepest the queue has been, appending and popping allocate nothing.
// It is unbounded (a full ring doubles) and not synchronised: the lock of its owner guards it.
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace Zerin {

template <class T>
class RingQueue {
 public:
  bool empty() const { return count == 0; }
  size_t size() const { return count; }
  size_t capacity() const { return ring.size(); }

  // Appends one value and returns it for the caller to fill. The slot still holds what it held
  // last (a value popped earlier, or a value-initialised one), so the caller sets every field
  // that a reader of the value relies on.
  T& appendSlot() {
    if (count == ring.size()) grow();
    T& slot = ring[(head + count) & (ring.size() - 1)];
    ++count;
    return slot;
  }
  void append(const T& value) { appendSlot() = value; }

  // The oldest value; the queue must not be empty.
  T& front() { return ring[head]; }
  const T& front() const { return ring[head]; }
  void popFront() {
    head = (head + 1) & (ring.size() - 1);
    --count;
  }

  // Empties the queue and gives its storage back.
  void clear() {
    std::vector<T>().swap(ring);
    head = 0;
    count = 0;
  }

 private:
  static constexpr size_t kFirstCapacity = 4;

  // Sizes stay powers of two, so that a position wraps with a mask.
  void grow() {
    std::vector<T> larger(std::max(kFirstCapacity, ring.size() * 2));
    for (size_t i = 0; i < count; ++i) larger[i] = std::move(ring[(head + i) & (ring.size() - 1)]);
    ring.swap(larger);
    head = 0;
  }

  std::vector<T> ring;
  size_t head = 0;   // position of the oldest value
  size_t count = 0;  // values queued
};

}  // namespace Zerin
