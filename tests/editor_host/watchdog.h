#pragma once
// Keeps a stuck play mode from hanging the test run: when one phase lasts longer than its
// bound, prints the phase, every thread's stack (gdb, when it is installed) and ends the
// process with status 124.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class Watchdog {
 public:
  // `context` is printed with the stacks (called on the watchdog's thread).
  Watchdog(std::chrono::seconds bound, std::function<std::string()> context);
  ~Watchdog();  // stops and joins the thread
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // The phase under way from now on ("in-flight #12: unload"); its bound starts again.
  void enter(const std::string& phase);

 private:
  void run();

  const std::chrono::seconds bound;
  const std::function<std::string()> context;
  std::mutex mutex;  // guards phase, since and stopping
  std::condition_variable changed;
  std::string phase = "start-up";
  std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
  bool stopping = false;
  std::thread thread;  // joined by the destructor
};

// Prints the stacks of every thread of process `pid` to standard output.
void printStacks(int pid);
