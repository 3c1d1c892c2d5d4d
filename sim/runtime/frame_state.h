#pragma once
// The simulated runtime's frame road: the frame clock, each session's frame cycle, swap chains
// of Direct3D 11 textures and the frames clients submitted. Part of RuntimeState and guarded by
// its mutex.
#include <d3d11.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "gfx_device.h"
#include "zerin_lib.h"
#include "zerin_sim_control.h"

namespace ZerinSim {

struct SwapChainRecord {
  ZerinSession session = nullptr;
  ZerinSwapChainConfig config{};
  std::vector<Gfx::Ref<ID3D11Texture2D>> images;  // empty once freed
  int32_t currentImage = -1;
  int32_t acquired = 0;
  int32_t lastReleased = -1;
  int64_t acquires = 0;
  int64_t releases = 0;
};

// The latest submitted frames, oldest first. Its storage is taken once, at the first frame, and
// kept (also by clear), so that a long run of frames allocates nothing per frame.
class SubmittedFrames {
 public:
  static constexpr size_t kCapacity = 1024;

  size_t size() const { return frames.size(); }
  // Keeps at most `count` (1 to kCapacity) from now on, none of the kept ones.
  void limit(size_t count) {
    clear();
    kept = std::clamp<size_t>(count, 1, kCapacity);
  }
  const ZerinSimSubmittedFrame& operator[](size_t index) const { return frames[(oldest + index) % frames.size()]; }
  // A zeroed record for the next frame; the oldest goes when kCapacity are kept.
  ZerinSimSubmittedFrame& add() {
    if (frames.capacity() < kCapacity) frames.reserve(kCapacity);
    if (frames.size() < kept) return frames.emplace_back();
    ZerinSimSubmittedFrame& slot = frames[oldest];
    oldest = (oldest + 1) % kept;
    std::memset(&slot, 0, sizeof slot);  // a plain record: zeroed in place, not through a temporary
    return slot;
  }
  void clear() {
    frames.clear();
    oldest = 0;
  }
  void reset() {
    clear();
    kept = kCapacity;
  }

 private:
  std::vector<ZerinSimSubmittedFrame> frames;
  size_t kept = kCapacity;
  size_t oldest = 0;  // index of the oldest frame once `kept` are kept
};

// One session's place in the frame cycle.
struct SessionFrames {
  int64_t synced = 0;  // index of the latest frame sync (0 before the first)
  // The frame's rotation, worked out once per sync for its views and poses.
  double cosine = 1.0;
  double sine = 0.0;
  bool begun = false;
  int64_t begunIndex = 0;
};

struct FrameRoad {
  static constexpr double kDefaultFrameRate = 90.0;
  double frameRate = kDefaultFrameRate;
  std::chrono::steady_clock::time_point clockEpoch = std::chrono::steady_clock::now();
  // Wakes zerin_WaitSync early: its session closed, the runtime was reset or a hold ended.
  std::condition_variable clockWake;
  // While set, no zerin_WaitSync returns, not even on its session's shutdown (a runtime late
  // to notice); released, each returns as it would have.
  bool holdSyncs = false;
  // zerin_WaitSync calls blocked now; waitersChanged tells when the number changes.
  int32_t waitingSyncs = 0;
  std::condition_variable waitersChanged;

  std::map<ZerinSession, SessionFrames> sessions;
  // Swap chains by handle; the handle is the record's address. Freed records stay here until
  // the reset, so that no later swap chain takes over a stale handle.
  std::unordered_map<ZerinSwapChain, std::unique_ptr<SwapChainRecord>> swapChains;
  SubmittedFrames submitted;

  // Live swap chain by handle, or null.
  SwapChainRecord* liveSwapChain(ZerinSwapChain handle) const {
    const auto found = swapChains.find(handle);
    return found != swapChains.end() && !found->second->images.empty() ? found->second.get() : nullptr;
  }

  void reset() {
    frameRate = kDefaultFrameRate;
    clockEpoch = std::chrono::steady_clock::now();
    sessions.clear();
    swapChains.clear();
    submitted.reset();
    holdSyncs = false;
    clockWake.notify_all();
  }
};

}  // namespace ZerinSim
