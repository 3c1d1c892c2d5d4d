#pragma once
// Captured views: for the frames the configuration asks for, each view of each submitted layer
// as the runtime received it, written as PNG pictures (colour as RGBA, depth as 8-bit grey) in
// the output folder. The render thread only copies into staging textures and maps copies that
// are ready; a writer thread of this object converts, encodes and writes them.
#include <d3d11.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "gfx_device.h"
#include "simulator.h"

namespace ZerinSim {

class RuntimeState;

// What a picture is made of, and where it goes.
struct CapturePicture {
  enum class Kind { rgba, bgra, bgrx, depth };
  Kind kind = Kind::rgba;
  uint32_t width = 0;
  uint32_t height = 0;
  std::string path;
  // Where the picture starts in the texels handed to writeCapturePicture (a depth image is copied
  // whole: the device copies no part of a depth-stencil resource).
  uint32_t left = 0;
  uint32_t top = 0;
};

// How the texels of a format are written; false for formats no picture is made of.
bool captureKind(DXGI_FORMAT format, bool depth, CapturePicture::Kind& kind);
// Converts rows of texels (`rowPitch` bytes apart) into a PNG's pixels and writes it: RGBA for
// colour, with the bytes as stored (sRGB formats keep their encoded values), grey for depth
// (0 black .. 1 white, clamped).
bool writeCapturePicture(const CapturePicture& picture, const uint8_t* texels, size_t rowPitch);
// frame-000012-layer0-view1-colour.png
std::string captureFileName(int64_t frame, int layer, int view, bool depth);

class Captures {
 public:
  explicit Captures(Simulator& simulator);
  ~Captures();  // process exit: see processEnding

  // The runtime received `frame` (render thread, library lock held): copies its views when the
  // configuration asks for its frame, maps copies that are ready and unmaps those written.
  void frameSubmitted(RuntimeState& state, const ZerinSimSubmittedFrame& frame);
  // The session ends (library lock held, before its swap chains go): every pending capture is
  // written, the writer thread joined and the staging textures released.
  void sessionClosing();
  // The process ends (static destruction; on Windows under the loader lock with the other
  // threads already gone): no graphics call, no join. Pictures mapped and not yet taken by the
  // writer are written here; copies never mapped are lost and said so.
  void processEnding();

  // The captures written since the session opened, by file name, and those dropped for want of
  // staging textures (real clock only).
  std::vector<std::string> written() const;
  int64_t dropped() const;
  void sessionOpened();

  // Staging textures kept at most; beyond them a real-clock run drops captures and a
  // virtual-clock run waits for the writer.
  static constexpr size_t kPoolLimit = 48;

 private:
  enum class SlotState { free, copied, mapped, written };
  struct Slot {
    Gfx::Ref<ID3D11Texture2D> staging;
    Gfx::Ref<ID3D11DeviceContext> context;
    D3D11_TEXTURE2D_DESC desc{};
    // free -> copied -> mapped on the render thread, mapped -> written by the writer, written ->
    // free on the render thread again.
    std::atomic<SlotState> state{SlotState::free};
    CapturePicture picture;
    D3D11_MAPPED_SUBRESOURCE mapped{};
  };
  // What the writer shares with the render thread; held by the writer thread too, so that a
  // thread left running at process exit never reads freed memory.
  struct Queue {
    std::mutex mutex;  // guards every member below and the state of slots once mapped
    std::condition_variable changed;
    std::deque<Slot*> jobs;   // mapped, for the writer, oldest first
    Slot* writing = nullptr;  // taken by the writer, not yet written
    bool stop = false;
    std::vector<std::string> written;
    int64_t dropped = 0;
  };

  bool wanted(int64_t frame) const;
  void capture(RuntimeState& state, ZerinSwapChain swapChain, int32_t image, const ZerinSwapchainViewport& viewport,
               bool depth, const std::string& path);
  Slot* freeSlot(ID3D11Device* device, const D3D11_TEXTURE2D_DESC& desc);
  // Maps copied slots (without waiting unless `wait`) and hands them to the writer; unmaps and
  // frees written ones.
  void cycle(bool wait);
  void startWriter();
  static void writeAll(std::shared_ptr<Queue> queue);

  Simulator& simulator;
  // The pool and the writer thread: used on the render thread under the library lock.
  std::vector<std::unique_ptr<Slot>> pool;
  std::shared_ptr<Queue> queue = std::make_shared<Queue>();
  std::thread writer;                    // owned here: joined at session end, left (never joined) at process exit
  std::set<DXGI_FORMAT> refusedFormats;  // each said once in the log
  bool folderMade = false;
  // Process exit found the queue's lock held by a thread gone: it is never taken again.
  bool abandonedQueue = false;
};

}  // namespace ZerinSim
