#include "soft_timing.h"

#include "gfx_soft_timing.h"

namespace ZerinSim::Gfx {

namespace {

// Each thread keeps its own account, so reading it needs no lock.
thread_local int openTimers = 0;
thread_local uint64_t accountedNanoseconds = 0;

}  // namespace

uint64_t threadDeviceNanoseconds() { return accountedNanoseconds; }

namespace Soft {

CallTimer::CallTimer() : outermost(openTimers++ == 0) {
  if (outermost) start = std::chrono::steady_clock::now();
}

CallTimer::~CallTimer() {
  --openTimers;
  if (outermost)
    accountedNanoseconds += static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count());
}

}  // namespace Soft
}  // namespace ZerinSim::Gfx
