#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "unity_interfaces.h"

namespace ZerinSim {

// The engine's render thread: runs the plug-in's render-event callback for every event a
// script issues, one at a time, in the order issued.
class RenderThread {
 public:
  RenderThread() = default;
  ~RenderThread() { stop(); }
  RenderThread(const RenderThread&) = delete;
  RenderThread& operator=(const RenderThread&) = delete;

  // Starts the thread; false when it runs already or `callback` is null.
  bool start(UnityRenderingEvent callback);
  // Queues one event for the render thread and returns at once.
  void issuePluginEvent(int32_t eventId);
  // Queues the engine's own render-thread work (drawing, read-back), run in order with the
  // plug-in's events; returns at once.
  void issueTask(std::function<void()> task);
  // Called on the render thread after each plug-in event with the time the callback took.
  // Set it before start().
  using EventObserver = std::function<void(int32_t eventId, std::chrono::nanoseconds duration)>;
  void setEventObserver(EventObserver observer) { eventObserver = std::move(observer); }
  // Returns when every event issued so far has run.
  void waitUntilIdle();
  // Runs what is still queued, then ends and joins the thread.
  void stop();
  bool running() const { return thread.joinable(); }
  std::thread::id threadId() const { return thread.get_id(); }

 private:
  void run();

  std::mutex mutex;  // guards queue, busy and stopping
  std::condition_variable wake;  // an event was queued or stop was asked for
  std::condition_variable idle;  // the queue ran empty and no event is running
  struct Work {
    int32_t eventId;              // plug-in event, when `task` is empty
    std::function<void()> task;   // engine work
  };
  std::deque<Work> queue;
  bool busy = false;
  bool stopping = false;
  UnityRenderingEvent callback = nullptr;  // set before the thread starts, read only by it
  EventObserver eventObserver;             // likewise
  std::thread thread;  // joined by stop()
};

}  // namespace ZerinSim
