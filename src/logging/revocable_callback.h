#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>

#include "platform/module_hold.h"

namespace Zerin {

// Counts the deliveries in progress through one callback, so that whoever takes the callback
// back can wait for them. A delivery costs two atomic counts and a thread-local link, no lock:
// it runs on the render thread and at stream frame rate.
class DeliveryGate {
 public:
  // One delivery, from before it reads the callback until the callback has returned.
  class Pass {
   public:
    explicit Pass(const DeliveryGate& gate);
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

   private:
    friend class DeliveryGate;
    const DeliveryGate& gate;
    const Pass* const outer;  // the delivery this thread was in when this one began
    uint32_t half;
  };

  // Returns once every delivery that began before this call has ended. On a thread that is
  // itself delivering through this gate it returns at once: a callback that takes itself back
  // must not wait for its own return.
  void drain() const;

  bool deliveringOnThisThread() const;

 private:
  // Which of the two counters new deliveries take; drain() moves it on, so that it waits only
  // for deliveries that began before it, however many begin meanwhile.
  mutable std::atomic<uint32_t> epoch{0};
  mutable std::atomic<int32_t> inside[2]{};
  mutable std::atomic<int32_t> drainers{0};  // deliveries that end notify only while one waits
  mutable std::mutex drainLock;              // one drain at a time: each moves the epoch twice
  mutable std::mutex waitLock;               // pairs the drainer's look at a counter with the
                                             // last leaving delivery's notify
  mutable platform::KeptAtProcessEnd<std::condition_variable> ended;
};

// A function pointer handed in by a script, called from other threads, and taken back for good:
// once replace() returns, the function it replaced is not running on any other thread and is
// never called again.
template <class Function>
class RevocableCallback {
 public:
  // Calls the current function, if any; false when there was none.
  template <class... Args>
  bool call(Args&&... args) const {
    // Nothing installed is the common case: it costs one load.
    if (!current.load(std::memory_order_relaxed)) return false;
    const DeliveryGate::Pass pass(gate);
    // Read after the pass is counted: a replace() that does not see this delivery has already
    // swapped the function, and this read sees the new one.
    const Function function = current.load();
    if (!function) return false;
    function(std::forward<Args>(args)...);
    return true;
  }

  Function get() const { return current.load(); }

  void replace(Function function) {
    current.store(function);
    gate.drain();
  }

  // replace() in two steps, for a caller that swaps under a lock of its own and must not wait
  // while holding it.
  Function exchange(Function function) { return current.exchange(function); }
  void waitForEarlierCalls() const { gate.drain(); }

 private:
  std::atomic<Function> current{nullptr};
  DeliveryGate gate;
};

}  // namespace Zerin
