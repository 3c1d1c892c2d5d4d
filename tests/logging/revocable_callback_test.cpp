// A callback taken back is done with: not running on another thread, never called again, and
// a callback that takes itself back does not wait for itself.
#include "logging/revocable_callback.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Callback = void (*)(int);

Zerin::RevocableCallback<Callback> slot;

// What the callbacks below saw; reset by each test.
std::mutex stateMutex;  // guards entered
std::condition_variable stateChanged;
bool entered = false;
std::atomic<bool> returned{false};
std::atomic<bool> takenBack{false};
std::atomic<int> callsAfterTakeBack{0};
std::atomic<int> calls{0};

void reset() {
  slot.replace(nullptr);
  entered = false;
  returned = false;
  takenBack = false;
  callsAfterTakeBack = 0;
  calls = 0;
}

void waitUntilEntered() {
  std::unique_lock<std::mutex> lock(stateMutex);
  ASSERT_TRUE(stateChanged.wait_for(lock, 10s, [] { return entered; }));
}

void sleepInside(int) {
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    entered = true;
  }
  stateChanged.notify_all();
  std::this_thread::sleep_for(200ms);
  returned = true;
}

void count(int) {
  if (takenBack) ++callsAfterTakeBack;
  ++calls;
}

void clearItself(int) {
  ++calls;
  slot.replace(nullptr);
}

TEST(RevocableCallback, ReplaceReturnsOnlyOnceACallSleepingOnAnotherThreadHasReturned) {
  reset();
  slot.replace(&sleepInside);
  std::thread caller([] { slot.call(1); });
  waitUntilEntered();
  slot.replace(nullptr);
  EXPECT_TRUE(returned) << "replace returned while the old callback still ran";
  caller.join();
}

TEST(RevocableCallback, NoThreadCallsTheOldFunctionOnceReplaceHasReturned) {
  reset();
  slot.replace(&count);
  std::atomic<bool> stop{false};
  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i)
    callers.emplace_back([&stop] {
      while (!stop) slot.call(0);
    });
  while (calls < 1000) std::this_thread::yield();
  slot.replace(nullptr);
  takenBack = true;
  const int callsAtTakeBack = calls;
  // The callers go on calling the empty slot for a while.
  const auto until = std::chrono::steady_clock::now() + 50ms;
  while (std::chrono::steady_clock::now() < until) std::this_thread::yield();
  stop = true;
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(callsAfterTakeBack, 0);
  EXPECT_EQ(calls, callsAtTakeBack);
}

TEST(RevocableCallback, ACallbackThatClearsItselfReturnsAtOnceOnSeveralThreadsAtOnce) {
  reset();
  slot.replace(&clearItself);
  std::vector<std::future<void>> callers;
  for (int i = 0; i < 4; ++i) callers.push_back(std::async(std::launch::async, [] { slot.call(0); }));
  for (auto& caller : callers) ASSERT_EQ(caller.wait_for(10s), std::future_status::ready) << "deadlocked";
  EXPECT_GE(calls, 1);
  EXPECT_EQ(slot.get(), nullptr);
  const int before = calls;
  slot.call(0);
  EXPECT_EQ(calls, before);
}

TEST(RevocableCallback, ReplacingFromTwoThreadsWhileCallsRunEndsWithOneOfTheirs) {
  reset();
  slot.replace(&count);
  std::atomic<bool> stop{false};
  std::thread caller([&] {
    while (!stop) slot.call(0);
  });
  auto replaceMany = [](Callback function) {
    for (int i = 0; i < 500; ++i) slot.replace(function);
  };
  std::thread first(replaceMany, &count);
  std::thread second(replaceMany, nullptr);
  first.join();
  second.join();
  stop = true;
  caller.join();
  EXPECT_TRUE(slot.get() == &count || slot.get() == nullptr);
}

}  // namespace
