#include <cmath>
#include <thread>

#include "device_timer.h"
#include "gfx_device.h"

namespace ZerinDemo {

namespace {

using ZerinSim::Gfx::Ref;

// Frames in flight: a slot is read back before it is used again.
constexpr size_t kSlots = 8;

struct QuerySet {
  Ref<ID3D11Query> disjoint, start, finish;
  int64_t frame = -1;  // the frame whose results are pending; -1 when none
};

}  // namespace

struct DeviceTimer::Parts {
  Ref<ID3D11DeviceContext> context;
  QuerySet slots[kSlots];
  bool usable = true;
  std::vector<double> microseconds;

  // Reads a slot's results into `microseconds`. Without `wait`, only when they are in.
  void collect(QuerySet& set, bool wait) {
    if (set.frame < 0) return;
    D3D11_QUERY_DATA_TIMESTAMP_DISJOINT clock{};
    UINT64 started = 0, finished = 0;
    const UINT flags = wait ? 0 : D3D11_ASYNC_GETDATA_DONOTFLUSH;
    const auto ready = [&] {
      return context->GetData(set.disjoint.get(), &clock, sizeof clock, flags) == S_OK &&
             context->GetData(set.start.get(), &started, sizeof started, flags) == S_OK &&
             context->GetData(set.finish.get(), &finished, sizeof finished, flags) == S_OK;
    };
    bool done = ready();
    // The device answers queries only by polling; a frame's results take a frame or two.
    for (int attempt = 0; !done && wait && attempt < 200000; ++attempt) {
      std::this_thread::yield();
      done = ready();
    }
    if (!done) {
      if (wait) set.frame = -1;  // never answered: leave the frame unmeasured
      return;
    }
    if (!clock.Disjoint && clock.Frequency > 0 && finished >= started) {
      if (microseconds.size() <= size_t(set.frame)) microseconds.resize(size_t(set.frame) + 1, NAN);
      microseconds[size_t(set.frame)] = static_cast<double>(finished - started) * 1e6 / static_cast<double>(clock.Frequency);
    }
    set.frame = -1;
  }
};

DeviceTimer::DeviceTimer(ID3D11Device* device) : parts(std::make_unique<Parts>()) {
  device->GetImmediateContext(parts->context.put());
  const D3D11_QUERY_DESC disjoint{D3D11_QUERY_TIMESTAMP_DISJOINT, 0}, timestamp{D3D11_QUERY_TIMESTAMP, 0};
  for (auto& set : parts->slots) {
    parts->usable = parts->usable && SUCCEEDED(device->CreateQuery(&disjoint, set.disjoint.put())) &&
                    SUCCEEDED(device->CreateQuery(&timestamp, set.start.put())) &&
                    SUCCEEDED(device->CreateQuery(&timestamp, set.finish.put()));
  }
}

DeviceTimer::~DeviceTimer() = default;

void DeviceTimer::begin(int64_t frame) {
  if (!parts->usable || frame < 0) return;
  QuerySet& set = parts->slots[size_t(frame) % kSlots];
  parts->collect(set, true);
  parts->context->Begin(set.disjoint.get());
  parts->context->End(set.start.get());
}

void DeviceTimer::end(int64_t frame) {
  if (!parts->usable || frame < 0) return;
  QuerySet& set = parts->slots[size_t(frame) % kSlots];
  parts->context->End(set.finish.get());
  parts->context->End(set.disjoint.get());
  set.frame = frame;
  for (auto& other : parts->slots) parts->collect(other, false);
}

std::vector<double> DeviceTimer::finish() {
  for (auto& set : parts->slots) parts->collect(set, true);
  return parts->microseconds;
}

bool DeviceTimer::onRenderThread() { return false; }

const char* DeviceTimer::description() { return "the device's execution of the plug-in's commands (GPU timestamps)"; }

}  // namespace ZerinDemo
