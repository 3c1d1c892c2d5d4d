// The control surface of the simulated runtime's frame road and event source
// (zerin_sim_control.h).
#include <algorithm>
#include <cstring>

#include "gfx_textures.h"
#include "runtime_state.h"
#include "zerin_sim_control.h"

using ZerinSim::RuntimeState;
using ZerinSim::SwapChainRecord;
namespace Gfx = ZerinSim::Gfx;

extern "C" {

ZERINLIB_API void zerinsim_SetFrameRate(double framesPerSecond) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.frames.frameRate = framesPerSecond > 0.0 ? framesPerSecond : 0.0;
  state.frames.clockEpoch = std::chrono::steady_clock::now();
}

ZERINLIB_API void zerinsim_HoldFrameSyncs(int32_t hold) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.frames.holdSyncs = hold != 0;
  state.frames.clockWake.notify_all();
}

ZERINLIB_API int32_t zerinsim_AwaitFrameSyncWaiters(int32_t count, int32_t timeoutMilliseconds) {
  auto& state = RuntimeState::instance();
  std::unique_lock<std::mutex> lock(state.mutex);
  const bool reached = state.frames.waitersChanged.wait_for(
      lock, std::chrono::milliseconds(std::max(timeoutMilliseconds, 0)),
      [&] { return state.frames.waitingSyncs >= count; });
  return reached ? 1 : 0;
}

ZERINLIB_API int32_t zerinsim_WritesToFreedRecords(void) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.writesToFreedRecords;
}

ZERINLIB_API void zerinsim_QueueEvent(const ZerinEvent* event) {
  if (!event) return;
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.pendingEvents.push_back(*event);
}

ZERINLIB_API int32_t zerinsim_PendingEventCount(void) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  return static_cast<int32_t>(state.pendingEvents.size());
}

ZERINLIB_API int32_t zerinsim_GetSwapChainState(ZerinSwapChain swapChain, ZerinSimSwapChainState* out) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  const SwapChainRecord* record = state.frames.liveSwapChain(swapChain);
  if (!record || !out) return 0;
  out->config = record->config;
  out->imageCount = static_cast<int32_t>(record->images.size());
  out->currentImage = record->currentImage;
  out->acquired = record->acquired;
  out->lastReleased = record->lastReleased;
  out->acquires = record->acquires;
  out->releases = record->releases;
  return 1;
}

ZERINLIB_API int32_t zerinsim_ReadSwapChainImage(ZerinSwapChain swapChain, int32_t image, uint32_t arraySlice,
                                                 void* buffer, int32_t size) {
  Gfx::Ref<ID3D11Texture2D> texture;
  {
    auto& state = RuntimeState::instance();
    std::lock_guard<std::mutex> lock(state.mutex);
    const SwapChainRecord* record = state.frames.liveSwapChain(swapChain);
    if (!record || image < 0 || static_cast<size_t>(image) >= record->images.size()) return 0;
    texture = record->images[static_cast<size_t>(image)];
  }
  D3D11_TEXTURE2D_DESC desc;
  texture->GetDesc(&desc);
  const uint64_t needed = uint64_t(desc.Width) * desc.Height * Gfx::bytesPerTexel(desc.Format);
  if (arraySlice >= desc.ArraySize || needed == 0 || needed > uint64_t(INT32_MAX)) return 0;
  if (!buffer || size < static_cast<int32_t>(needed)) return static_cast<int32_t>(needed);

  Gfx::Ref<ID3D11Device> device;
  texture->GetDevice(device.put());
  Gfx::Ref<ID3D11DeviceContext> context;
  device->GetImmediateContext(context.put());
  const std::vector<uint8_t> texels = Gfx::readTexels(context.get(), texture.get(), arraySlice);
  if (texels.size() != needed) return 0;
  std::memcpy(buffer, texels.data(), texels.size());
  return static_cast<int32_t>(needed);
}

ZERINLIB_API int32_t zerinsim_SubmittedFrameCount(void) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  return static_cast<int32_t>(state.frames.submitted.size());
}

ZERINLIB_API int32_t zerinsim_GetSubmittedFrame(int32_t index, ZerinSimSubmittedFrame* frame) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  const auto& kept = state.frames.submitted;
  if (!frame || index < 0 || static_cast<size_t>(index) >= kept.size()) return 0;
  *frame = kept[static_cast<size_t>(index)];
  return 1;
}

ZERINLIB_API void zerinsim_SetKeptFrameCount(int32_t count) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.frames.submitted.limit(count > 0 ? static_cast<size_t>(count) : 1);
}

ZERINLIB_API void zerinsim_ClearSubmittedFrames(void) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.frames.submitted.clear();
}

}  // extern "C"
