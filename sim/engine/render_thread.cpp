#include "render_thread.h"

namespace ZerinSim {

bool RenderThread::start(UnityRenderingEvent eventCallback) {
  if (thread.joinable() || !eventCallback) return false;
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = false;
  }
  callback = eventCallback;
  thread = std::thread([this] { run(); });
  return true;
}

void RenderThread::issuePluginEvent(int32_t eventId) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    queue.push_back({eventId, {}});
  }
  wake.notify_one();
}

void RenderThread::issueTask(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    queue.push_back({0, std::move(task)});
  }
  wake.notify_one();
}

void RenderThread::waitUntilIdle() {
  std::unique_lock<std::mutex> lock(mutex);
  if (!thread.joinable()) return;
  idle.wait(lock, [this] { return queue.empty() && !busy; });
}

void RenderThread::stop() {
  if (!thread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  wake.notify_one();
  thread.join();
  callback = nullptr;
}

void RenderThread::run() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    wake.wait(lock, [this] { return stopping || !queue.empty(); });
    if (queue.empty()) break;  // stopping, and everything issued has run
    Work work = std::move(queue.front());
    queue.pop_front();
    busy = true;
    lock.unlock();
    if (work.task) {
      work.task();
    } else if (eventObserver) {
      const auto start = std::chrono::steady_clock::now();
      callback(work.eventId);
      eventObserver(work.eventId, std::chrono::steady_clock::now() - start);
    } else {
      callback(work.eventId);
    }
    lock.lock();
    busy = false;
    if (queue.empty()) idle.notify_all();
  }
  idle.notify_all();
}

}  // namespace ZerinSim
