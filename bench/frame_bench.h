#pragma once
// One steady frame of the engine's render thread, two ways: through the plug-in's render-event
// callback (events 20, 10 and 11), and as its floor, a loop that makes the same runtime and
// device calls in the same order directly, with nothing else. The caller's thread plays both
// the scripting thread and the render thread; the simulated runtime's frame clock is off, so a
// frame sync returns at once.
#include <memory>
#include <string>
#include <vector>

#include "engine_host.h"
#include "render/render_state.h"
#include "samples.h"

namespace ZerinBench {

struct FrameShape {
  int layers = 1;       // 1 to 4, of four views each
  bool depth = false;   // every view also submits depth
  uint32_t size = 256;  // width and height of every texture and image
};
// "2x4 views, depth", for labels.
std::string describe(const FrameShape& shape);

class FrameBench {
 public:
  explicit FrameBench(FrameShape shape);
  ~FrameBench();
  FrameBench(const FrameBench&) = delete;
  FrameBench& operator=(const FrameBench&) = delete;

  // Loads the plug-in, opens its session, makes the swap chains and textures, and runs one frame
  // of each kind, checking that the runtime accepted both. False with error() when not.
  bool open();
  const std::string& error() const { return problem; }

  // The script's part of a frame: the submission of every layer.
  void queueSubmission();
  // Events 20, 10 and 11 through the plug-in; a submission must be queued.
  void pluginFrame();
  // Event 14, and the scripts taking every queued event with PollEvent; returns how many.
  int pollEvents();
  // The calls of pluginFrame, made directly.
  void floorFrame();

  // The plug-in's render-event callback and QueueSubmission, for measures of their own.
  void renderEvent(int32_t eventId);
  void queueSubmission(int32_t count, const Zerin::SubmissionLayer* given);

  const std::vector<Zerin::SubmissionLayer>& submission() const { return layers; }
  ZerinSim::EngineHost& host() { return *engine; }

 private:
  struct Exports;
  struct Floor;

  bool fail(const std::string& why);
  bool checkLastFrame(const char* which);
  bool openFloor();

  FrameShape shape;
  std::unique_ptr<ZerinSim::EngineHost> engine;
  std::unique_ptr<Exports> exports;
  std::unique_ptr<Floor> floor;
  std::vector<Zerin::SubmissionLayer> layers;
  std::vector<Zerin::SwapchainSlot*> slots;
  ZerinSim::Gfx::Ref<ID3D11Texture2D> colour;
  ZerinSim::Gfx::Ref<ID3D11Texture2D> engineDepth;
  std::string problem;
  bool sessionOpen = false;
};

// `frames` frames through the plug-in, then as many of the floor, each frame timed alone (the
// submission a plug-in frame takes is queued just before it, outside its time, as a script
// queues one per frame). With a coarse clock each kind is timed as one batch.
void timeFrames(FrameBench& bench, int frames, Samples& plugin, Samples& floor);

// Heap allocations (allocation_counter.h) of steady frames, each with `events` runtime events
// that event 20 moves into the event queue and the script takes with PollEvent. The runtime
// queues them before counting starts. A few frames of the same kind run first, uncounted, so
// that the queues have grown to what such frames need (the plug-in may have been loaded anew).
struct FrameAllocations {
  uint64_t script = 0;  // in QueueSubmission
  uint64_t render = 0;  // in events 20, 10, 11, 14 and PollEvent
  int eventsTaken = 0;
};
FrameAllocations countFrameAllocations(FrameBench& bench, int frames, int events);

// QueueSubmission of four layers against a memcpy of a whole entry (6,440 bytes). The layers
// name no swap chain: the event 11 that drains each batch drops them at little cost (queueing
// never looks at what it copies), so the queue stays as short as a frame loop keeps it.
class QueueBench {
 public:
  explicit QueueBench(FrameBench& bench);
  // `calls` of each, timed as one batch each, recorded per call.
  void time(int calls, Samples& queue, Samples& copy);
  // Allocations of `calls` QueueSubmission, each drained before the next.
  uint64_t countAllocations(int calls);

 private:
  FrameBench& bench;
  std::vector<Zerin::SubmissionLayer> layers;
  std::vector<unsigned char> source;
  std::vector<std::vector<unsigned char>> targets;
};

}  // namespace ZerinBench
