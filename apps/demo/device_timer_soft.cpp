#include <cmath>

#include "device_timer.h"
#include "gfx_soft_timing.h"

namespace ZerinDemo {

struct DeviceTimer::Parts {
  uint64_t startedAt = 0;
  std::vector<double> microseconds;
};

DeviceTimer::DeviceTimer(ID3D11Device*) : parts(std::make_unique<Parts>()) {}
DeviceTimer::~DeviceTimer() = default;

void DeviceTimer::begin(int64_t) { parts->startedAt = ZerinSim::Gfx::threadDeviceNanoseconds(); }

void DeviceTimer::end(int64_t frame) {
  if (frame < 0) return;
  if (parts->microseconds.size() <= size_t(frame)) parts->microseconds.resize(size_t(frame) + 1, NAN);
  parts->microseconds[size_t(frame)] =
      static_cast<double>(ZerinSim::Gfx::threadDeviceNanoseconds() - parts->startedAt) / 1000.0;
}

std::vector<double> DeviceTimer::finish() { return parts->microseconds; }

bool DeviceTimer::onRenderThread() { return true; }

const char* DeviceTimer::description() { return "inside the software device's calls (its CPU rasteriser)"; }

}  // namespace ZerinDemo
