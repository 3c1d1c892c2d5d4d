#include "captures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/thread_name.h"
#include "runtime_state.h"

#include <stb_image_write.h>

namespace ZerinSim {

bool captureKind(DXGI_FORMAT format, bool depth, CapturePicture::Kind& kind) {
  switch (format) {
    case DXGI_FORMAT_R32_TYPELESS:
    case DXGI_FORMAT_D32_FLOAT:
    case DXGI_FORMAT_R32_FLOAT: kind = CapturePicture::Kind::depth; return depth;
    case DXGI_FORMAT_R8G8B8A8_TYPELESS:
    case DXGI_FORMAT_R8G8B8A8_UNORM:
    case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB:
    case DXGI_FORMAT_R8G8B8A8_UINT: kind = CapturePicture::Kind::rgba; return !depth;
    case DXGI_FORMAT_B8G8R8A8_TYPELESS:
    case DXGI_FORMAT_B8G8R8A8_UNORM:
    case DXGI_FORMAT_B8G8R8A8_UNORM_SRGB: kind = CapturePicture::Kind::bgra; return !depth;
    case DXGI_FORMAT_B8G8R8X8_TYPELESS:
    case DXGI_FORMAT_B8G8R8X8_UNORM:
    case DXGI_FORMAT_B8G8R8X8_UNORM_SRGB: kind = CapturePicture::Kind::bgrx; return !depth;
    default: return false;
  }
}

bool writeCapturePicture(const CapturePicture& picture, const uint8_t* texels, size_t rowPitch) {
  const bool depth = picture.kind == CapturePicture::Kind::depth;
  const int channels = depth ? 1 : 4;
  std::vector<uint8_t> pixels(size_t(picture.width) * picture.height * channels);
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* row = texels + (picture.top + y) * rowPitch + picture.left * 4;
    uint8_t* out = pixels.data() + size_t(y) * picture.width * channels;
    for (uint32_t x = 0; x < picture.width; ++x, row += 4, out += channels) {
      switch (picture.kind) {
        case CapturePicture::Kind::rgba: std::memcpy(out, row, 4); break;
        case CapturePicture::Kind::bgra:
        case CapturePicture::Kind::bgrx:
          out[0] = row[2];
          out[1] = row[1];
          out[2] = row[0];
          out[3] = picture.kind == CapturePicture::Kind::bgra ? row[3] : 255;
          break;
        case CapturePicture::Kind::depth: {
          float value;
          std::memcpy(&value, row, 4);
          // NaN lands on black with the clamp's first comparison.
          const float clamped = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
          out[0] = static_cast<uint8_t>(std::lround(clamped * 255.0f));
          break;
        }
      }
    }
  }
  return stbi_write_png(picture.path.c_str(), int(picture.width), int(picture.height), channels, pixels.data(),
                        int(picture.width) * channels) != 0;
}

std::string captureFileName(int64_t frame, int layer, int view, bool depth) {
  char name[96];
  std::snprintf(name, sizeof name, "frame-%06lld-layer%d-view%d-%s.png", static_cast<long long>(frame), layer, view,
                depth ? "depth" : "colour");
  return name;
}

Captures::Captures(Simulator& simulator) : simulator(simulator) {}

Captures::~Captures() { processEnding(); }

bool Captures::wanted(int64_t frame) const {
  const CaptureConfig& asked = simulator.config().capture;
  if (frame <= 0) return false;
  if (asked.every > 0 && frame % asked.every == 0) return true;
  return std::find(asked.frames.begin(), asked.frames.end(), frame) != asked.frames.end();
}

void Captures::sessionOpened() {
  std::lock_guard<std::mutex> lock(queue->mutex);
  queue->written.clear();
  queue->dropped = 0;
}

std::vector<std::string> Captures::written() const {
  if (abandonedQueue) return {};
  std::lock_guard<std::mutex> lock(queue->mutex);
  return queue->written;
}

int64_t Captures::dropped() const {
  if (abandonedQueue) return 0;
  std::lock_guard<std::mutex> lock(queue->mutex);
  return queue->dropped;
}

void Captures::frameSubmitted(RuntimeState& state, const ZerinSimSubmittedFrame& frame) {
  if (!pool.empty()) cycle(false);
  const int64_t index = frame.begunFrameIndex != 0 ? frame.begunFrameIndex : frame.submit.frameIndex;
  if (!wanted(index)) return;
  if (!folderMade) {
    std::error_code error;
    std::filesystem::create_directories(simulator.config().outputFolder, error);
    if (error) simulator.log("captures: cannot make " + simulator.config().outputFolder + ": " + error.message());
    folderMade = !error;
  }
  const int layers = std::clamp(frame.submit.layerCount, 0, 4);
  for (int l = 0; l < layers; ++l) {
    const int views = std::clamp(frame.layers[l].viewCount, 0, int(ZERIN_VIEW_COUNT));
    for (int v = 0; v < views; ++v) {
      const ZerinSimSubmittedView& view = frame.views[l * ZERIN_VIEW_COUNT + v];
      const std::string folder = simulator.config().outputFolder;
      capture(state, view.view.colour.swapChain, view.colourImage, view.view.colour, false,
              (std::filesystem::path(folder) / captureFileName(index, l, v, false)).string());
      if (view.hasDepth && simulator.config().capture.depth)
        capture(state, view.depth.depth.swapChain, view.depthImage, view.depth.depth, true,
                (std::filesystem::path(folder) / captureFileName(index, l, v, true)).string());
    }
  }
  // On a device that copies at once (the software one) these are mapped and handed on now.
  cycle(false);
}

void Captures::capture(RuntimeState& state, ZerinSwapChain swapChain, int32_t image,
                       const ZerinSwapchainViewport& viewport, bool depth, const std::string& path) {
  const SwapChainRecord* record = state.frames.liveSwapChain(swapChain);
  if (!record || image < 0 || size_t(image) >= record->images.size()) return;
  const ZerinSwapChainConfig& config = record->config;
  // A view outside its image is the runtime's to refuse; nothing of it is captured.
  if (viewport.x < 0 || viewport.y < 0 || viewport.width <= 0 || viewport.height <= 0 ||
      int64_t(viewport.x) + viewport.width > int64_t(config.width) ||
      int64_t(viewport.y) + viewport.height > int64_t(config.height) || viewport.arrayIndex < 0 ||
      uint32_t(viewport.arrayIndex) >= config.arraySize)
    return;
  ID3D11Texture2D* source = record->images[size_t(image)].get();
  D3D11_TEXTURE2D_DESC sourceDesc;
  source->GetDesc(&sourceDesc);
  CapturePicture::Kind kind;
  if (!captureKind(sourceDesc.Format, depth, kind)) {
    if (refusedFormats.insert(sourceDesc.Format).second)
      simulator.log("captures: images of DXGI format " + std::to_string(int(sourceDesc.Format)) +
                    " are not captured (8-bit RGBA, BGRA and BGRX colour and 32-bit float depth are)");
    return;
  }

  // Depth-stencil resources are copied whole and cut to the viewport by the writer.
  const bool whole = (sourceDesc.BindFlags & D3D11_BIND_DEPTH_STENCIL) != 0;
  D3D11_TEXTURE2D_DESC desc{};
  desc.Width = whole ? sourceDesc.Width : uint32_t(viewport.width);
  desc.Height = whole ? sourceDesc.Height : uint32_t(viewport.height);
  desc.MipLevels = 1;
  desc.ArraySize = 1;
  desc.Format = sourceDesc.Format;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_STAGING;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  Gfx::Ref<ID3D11Device> device;
  source->GetDevice(device.put());
  Slot* slot = freeSlot(device.get(), desc);
  // Headless runs are deterministic: no capture is ever dropped for want of a staging texture,
  // the render thread waits for the writer instead.
  while (!slot && pool.size() >= kPoolLimit && simulator.config().virtualClock) {
    cycle(true);
    slot = freeSlot(device.get(), desc);
  }
  if (!slot) {
    std::lock_guard<std::mutex> lock(queue->mutex);
    ++queue->dropped;
    return;
  }
  const D3D11_BOX box{uint32_t(viewport.x),
                      uint32_t(viewport.y),
                      0,
                      uint32_t(viewport.x + viewport.width),
                      uint32_t(viewport.y + viewport.height),
                      1};
  slot->context->CopySubresourceRegion(slot->staging.get(), 0, 0, 0, 0, source,
                                       D3D11CalcSubresource(0, uint32_t(viewport.arrayIndex), sourceDesc.MipLevels),
                                       whole ? nullptr : &box);
  slot->picture = CapturePicture{kind, uint32_t(viewport.width),          uint32_t(viewport.height),
                                 path, whole ? uint32_t(viewport.x) : 0u, whole ? uint32_t(viewport.y) : 0u};
  slot->state = SlotState::copied;
}

Captures::Slot* Captures::freeSlot(ID3D11Device* device, const D3D11_TEXTURE2D_DESC& desc) {
  const auto fits = [&](const Slot& slot) {
    Gfx::Ref<ID3D11Device> owner;
    slot.staging->GetDevice(owner.put());
    return owner.get() == device && slot.desc.Width == desc.Width && slot.desc.Height == desc.Height &&
           slot.desc.Format == desc.Format;
  };
  Slot* other = nullptr;
  for (auto& slot : pool) {
    if (slot->state != SlotState::free) continue;
    if (fits(*slot)) return slot.get();
    other = slot.get();
  }
  Slot* made = other;
  if (!made && pool.size() < kPoolLimit) made = pool.emplace_back(std::make_unique<Slot>()).get();
  if (!made) return nullptr;
  // A free staging texture of another size makes way for one of this size.
  made->staging.reset();
  if (FAILED(device->CreateTexture2D(&desc, nullptr, made->staging.put())) || !made->staging) {
    simulator.log("captures: no staging texture of " + std::to_string(desc.Width) + "x" + std::to_string(desc.Height));
    pool.erase(std::find_if(pool.begin(), pool.end(), [&](const auto& slot) { return slot.get() == made; }));
    return nullptr;
  }
  device->GetImmediateContext(made->context.put());
  made->desc = desc;
  return made;
}

void Captures::cycle(bool wait) {
  for (auto& slot : pool) {
    if (slot->state != SlotState::copied) continue;
    D3D11_MAPPED_SUBRESOURCE mapped{};
    const HRESULT result =
        slot->context->Map(slot->staging.get(), 0, D3D11_MAP_READ, wait ? 0 : D3D11_MAP_FLAG_DO_NOT_WAIT, &mapped);
    if (result == DXGI_ERROR_WAS_STILL_DRAWING) continue;  // the copy is not done: at the next call
    if (FAILED(result)) {
      simulator.log("captures: " + slot->picture.path + " not written: its copy could not be mapped");
      slot->state = SlotState::free;
      continue;
    }
    if (!writer.joinable()) startWriter();
    std::lock_guard<std::mutex> lock(queue->mutex);
    slot->mapped = mapped;
    slot->state = SlotState::mapped;
    queue->jobs.push_back(slot.get());
    queue->changed.notify_all();
  }
  std::unique_lock<std::mutex> lock(queue->mutex);
  if (wait) queue->changed.wait(lock, [&] { return queue->jobs.empty() && !queue->writing; });
  for (auto& slot : pool) {
    if (slot->state != SlotState::written) continue;
    slot->context->Unmap(slot->staging.get(), 0);
    slot->state = SlotState::free;
  }
}

void Captures::startWriter() {
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->stop = false;
  }
  writer = std::thread(writeAll, queue);
}

void Captures::writeAll(std::shared_ptr<Queue> queue) {
  Zerin::platform::setThreadDescription(Zerin::platform::currentThread(), L"ZerinSimulator captures");
  std::unique_lock<std::mutex> lock(queue->mutex);
  for (;;) {
    queue->changed.wait(lock, [&] { return queue->stop || !queue->jobs.empty(); });
    if (queue->jobs.empty()) return;  // stopped, and nothing is left
    Slot* slot = queue->jobs.front();
    queue->jobs.pop_front();
    queue->writing = slot;
    lock.unlock();
    const bool written =
        writeCapturePicture(slot->picture, static_cast<const uint8_t*>(slot->mapped.pData), slot->mapped.RowPitch);
    lock.lock();
    if (written) queue->written.push_back(std::filesystem::path(slot->picture.path).filename().string());
    else std::fprintf(stderr, "[ZerinSimulator] captures: %s could not be written\n", slot->picture.path.c_str());
    slot->state = SlotState::written;
    queue->writing = nullptr;
    queue->changed.notify_all();
  }
}

void Captures::sessionClosing() {
  if (pool.empty() && !writer.joinable()) return;
  cycle(true);
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->stop = true;
    queue->changed.notify_all();
  }
  if (writer.joinable()) writer.join();
  pool.clear();
  folderMade = false;
}

void Captures::processEnding() {
  if (!writer.joinable() && pool.empty()) return;
  std::vector<Slot*> left;
  size_t unmapped = 0;
  for (auto& slot : pool) unmapped += slot->state == SlotState::copied;
  // The writer may have ended holding the lock (Windows ends other threads first): then
  // nothing of it can be trusted.
  if (queue->mutex.try_lock()) {
    std::unique_lock<std::mutex> lock(queue->mutex, std::adopt_lock);
    left.assign(queue->jobs.begin(), queue->jobs.end());
    queue->jobs.clear();
    queue->stop = true;
    queue->changed.notify_all();
    // A picture being written finishes where the writer still runs; a writer gone (Windows ends
    // the other threads first) never signals, and its picture is written again here.
    if (!queue->changed.wait_for(lock, std::chrono::seconds(2), [&] { return !queue->writing; }))
      left.insert(left.begin(), queue->writing);
  } else {
    abandonedQueue = true;
    simulator.log("captures: the process ended while the writer held its queue; pending captures are lost");
  }
  for (Slot* slot : left)
    if (writeCapturePicture(slot->picture, static_cast<const uint8_t*>(slot->mapped.pData), slot->mapped.RowPitch))
      queue->written.push_back(std::filesystem::path(slot->picture.path).filename().string());
  if (unmapped > 0)
    simulator.log("captures: " + std::to_string(unmapped) + " copies not yet mapped when the process ended are lost");
  // No graphics call and no join at process exit: the thread and the staging textures are left,
  // the textures held from a global so that nothing reads them as lost.
  if (writer.joinable()) writer.detach();
  static auto* const kept = new std::vector<std::vector<std::unique_ptr<Slot>>>;
  kept->push_back(std::move(pool));
}

}  // namespace ZerinSim
