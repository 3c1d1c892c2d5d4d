#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace Zerin {

// A switch that, once thrown from any thread, ends the waits made through it. It is also the
// condition of those waits: whoever makes a waited-for state true calls notify().
class Cancellation {
 public:
  void cancel() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      cancelled = true;
    }
    changed.notify_all();
  }

  bool isCancelled() const {
    std::lock_guard<std::mutex> lock(mutex);
    return cancelled;
  }

  // Wakes the waits, so that they look at their condition again.
  void notify() {
    // Taken once, so that a waiter between its look and its sleep cannot miss this.
    { std::lock_guard<std::mutex> lock(mutex); }
    changed.notify_all();
  }

  // Waits until `ready()` holds, the deadline passes or the switch is thrown; returns ready().
  // `ready` runs with the switch's lock held.
  template <class Clock, class Duration, class Ready>
  bool waitUntil(const std::chrono::time_point<Clock, Duration>& deadline, Ready ready) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_until(lock, deadline, [&] { return cancelled || ready(); });
    return ready();
  }

  // Waits until `ready()` holds or the switch is thrown; returns ready(). `ready` runs with the
  // switch's lock held.
  template <class Ready>
  bool wait(Ready ready) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return cancelled || ready(); });
    return ready();
  }

  // A pause that the switch cuts short; true when it was thrown.
  bool pause(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, duration, [&] { return cancelled; });
  }

 private:
  mutable std::mutex mutex;  // guards cancelled, and pairs the waits with notify()
  std::condition_variable changed;
  bool cancelled = false;
};

}  // namespace Zerin
