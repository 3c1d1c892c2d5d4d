#pragma once
// Process-wide state shared by the scripting thread's exports and the engine's render thread:
// the request queues, the frame records of the open session, and the locks between them. It
// exists from library load to unload and starts empty.
//
// Lock order, outer before inner: frameLock, submissionLock, submissionQueueLock;
// frameLock, poseLock, eventQueueLock, syncLock. swapchainRequestLock is taken alone.
// frameLock is outermost because EndSession frees the frame records and shuts the session down
// under it: every render event that calls the runtime with the session or touches a frame
// record holds it.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/module_hold.h"
#include "render/ring_queue.h"
#include "zerin/engine_bridge.h"
#include "zerin_lib.h"

namespace Zerin {

// The records the scripts hand in and read back are the public interface's.
using SwapchainSlot = ZerinBridgeSwapchainSlot;
using SwapchainConfig = ZerinBridgeSwapchainConfig;
using ImageViewport = ZerinBridgeImageViewport;
using SubmissionView = ZerinBridgeSubmissionView;
using SubmissionLayer = ZerinBridgeSubmissionLayer;
using FramePoseData = ZerinBridgeFramePoseData;

constexpr int kMaxLayers = ZERIN_BRIDGE_MAX_LAYERS;
constexpr int kViewsPerLayer = ZERIN_BRIDGE_VIEWS_PER_LAYER;

// A queued creation: the script's slot and the configuration as the runtime takes it.
struct SwapchainCreateRequest {
  SwapchainSlot* slot;
  ZerinSwapChainConfig config;
};

// One queued frame: only the first layerCount layers are meaningful.
struct SubmissionEntry {
  int32_t layerCount;
  SubmissionLayer layers[kMaxLayers];
};
static_assert(offsetof(SubmissionEntry, layers) == 8, "");

// The session's frame records (made when a session opens, freed by EndSession under frameLock).
// Atomic because the render thread reads them while the scripting thread sets them up.
extern std::atomic<ZerinFrameInfo*> frameInfoSync;
extern std::atomic<ZerinFrameInfo*> frameInfoShared;
extern std::atomic<ZerinSubmitInfo*> submitInfo;

// Guards createQueue and destroyQueue.
extern std::mutex swapchainRequestLock;
extern std::deque<SwapchainCreateRequest> createQueue;
extern std::deque<SwapchainSlot*> destroyQueue;

// Held while a submission is processed or submissionQueue is cleared.
extern std::mutex submissionLock;
// Queued frames, oldest first. The entries pass between the queue and the render thread by
// pointer: a push copies the script's layers once, into a spare entry, and a pop hands that
// entry itself to the render thread, which gives it back with its next pop. So a steady stream
// of frames copies each frame once and allocates nothing. Not synchronised: see
// submissionQueueLock.
class SubmissionQueue {
 public:
  bool empty() const { return queued.empty(); }
  size_t size() const { return queued.size(); }
  // A spare entry (a new one while there are none) appended at the back. It still holds what it
  // held before: the caller sets layerCount and that many layers.
  SubmissionEntry& appendSlot();
  // Takes the oldest entry out (the queue must not be empty). `finished`, the entry taken by
  // the previous pop (or null), becomes spare.
  std::unique_ptr<SubmissionEntry> popFront(std::unique_ptr<SubmissionEntry> finished);
  // Drops the queued entries and gives every spare one back.
  void clear();

 private:
  RingQueue<std::unique_ptr<SubmissionEntry>> queued;
  std::vector<std::unique_ptr<SubmissionEntry>> spare;
};

// Guards every access to submissionQueue: pushes, pops, and the clear (which holds
// submissionLock as well).
extern std::mutex submissionQueueLock;
// Pushed on the scripting thread, popped on the render thread.
extern SubmissionQueue submissionQueue;

// Held while a frame is submitted and while EndSession frees the frame records and shuts the
// session down.
extern std::mutex frameLock;

// The render thread's frame-sync wait, guarded by frameLock. The runtime writes the sync record
// when zerin_WaitSync returns, which may be after EndSession: EndSession then leaves that record
// to the render thread (sessionEnded) instead of freeing it, and never waits for the wait.
struct FrameSyncWait {
  bool inProgress = false;          // zerin_WaitSync is called or running
  ZerinFrameInfo* record = nullptr;  // the record it writes
  bool sessionEnded = false;        // its session ended meanwhile; the render thread frees it
};
extern FrameSyncWait frameSyncWait;

// Guards eventQueue.
extern std::mutex eventQueueLock;
extern RingQueue<ZerinEvent> eventQueue;

// Guards framePoses and the contents of frameInfoShared's views.
extern std::mutex poseLock;
extern ZerinMatrix framePoses[3];

// Guards renderSyncCount; syncCondition wakes SyncRenderThread.
extern std::mutex syncLock;
extern platform::KeptAtProcessEnd<std::condition_variable> syncCondition;
extern int32_t renderSyncCount;

// A frame was begun by event 10 and not submitted since (render thread only).
extern bool frameBegun;

// Drops every pending swap-chain request (EndSession) and returns the slots of the dropped
// destroy requests: no event will free them, and their swap chains end with the session. The
// caller frees them once no submission can name them any more (after dropSubmissions).
std::vector<SwapchainSlot*> dropSwapchainRequests();
// Drops every queued submission (EndSession); on return no submission is in flight either.
void dropSubmissions();

}  // namespace Zerin
