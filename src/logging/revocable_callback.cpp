#include "logging/revocable_callback.h"

namespace Zerin {

namespace {

// The innermost delivery of the calling thread; the chain runs through Pass::outer.
thread_local const DeliveryGate::Pass* innermostPass = nullptr;

}  // namespace

DeliveryGate::Pass::Pass(const DeliveryGate& gate)
    : gate(gate), outer(innermostPass), half(gate.epoch.load() & 1) {
  gate.inside[half].fetch_add(1);
  innermostPass = this;
}

DeliveryGate::Pass::~Pass() {
  innermostPass = outer;
  if (gate.inside[half].fetch_sub(1) == 1 && gate.drainers.load() > 0) {
    std::lock_guard<std::mutex> lock(gate.waitLock);
    gate.ended->notify_all();
  }
}

bool DeliveryGate::deliveringOnThisThread() const {
  for (const Pass* pass = innermostPass; pass; pass = pass->outer)
    if (&pass->gate == this) return true;
  return false;
}

void DeliveryGate::drain() const {
  if (deliveringOnThisThread()) return;
  std::lock_guard<std::mutex> one(drainLock);
  std::unique_lock<std::mutex> lock(waitLock);
  drainers.fetch_add(1);
  // A delivery that read the old function was counted before the caller swapped it. It holds
  // one of the two counters; each is waited for after the epoch has turned away from it, so
  // that only deliveries already begun can keep it from zero.
  for (int turn = 0; turn < 2; ++turn) {
    const uint32_t half = epoch.fetch_add(1) & 1;
    ended->wait(lock, [&] { return inside[half].load() == 0; });
  }
  drainers.fetch_sub(1);
}

}  // namespace Zerin
