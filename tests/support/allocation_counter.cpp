#include "allocation_counter.h"

#include <atomic>

namespace ZerinTest {

namespace {

std::atomic<bool> counting{false};
std::atomic<uint64_t> allocations{0};

}  // namespace

void noteAllocation() {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}

void startCounting() {
  allocations.store(0);
  counting.store(true);
}

uint64_t stopCounting() {
  counting.store(false);
  return allocations.load();
}

}  // namespace ZerinTest
