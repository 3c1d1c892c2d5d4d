#pragma once
// Process-wide state shared by the scripting thread's exports and the engine's render thread:
// the request queues, the frame records of the open session, and the locks between them. It
// exists from library load to unload and starts empty.
//
// Lock order, outer before inner: frameLock, submissionLock, submissionQueueLock;
// poseLock, eventQueueLock, syncLock. swapchainRequestLock is taken alone.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "zerin_lib.h"

// Declared by <d3d11.h>; the queues only carry the pointers.
struct ID3D11Resource;

namespace Zerin {

// An 8-byte heap cell holding a runtime swap-chain handle; 0 until the render thread has made
// the swap chain. Scripts name a swap chain by the address of its slot.
struct SwapchainSlot {
  ZerinSwapChain handle;
};
static_assert(sizeof(SwapchainSlot) == 8, "");

using SwapchainConfig = ZerinSwapChainConfig;

struct SwapchainCreateRequest {
  SwapchainSlot* slot;
  SwapchainConfig config;
};

// Pixels of one view in a swap-chain image, and the image array slice.
struct SubmissionViewport {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
  int32_t arrayIndex;
};

// One view of one layer as a script fills it.
struct SubmissionView {
  ZerinMatrix matrix0;
  ZerinMatrix matrix1;
  SwapchainSlot* colourSlot;
  SubmissionViewport colourViewport;
  ID3D11Resource* colourTexture;
  int32_t hasDepth;
  SwapchainSlot* depthSlot;
  SubmissionViewport depthViewport;
  ID3D11Resource* depthTexture;
  int64_t depthParams[4];
  int64_t extraDepthParams[2];
  int32_t hasExtraDepthParams;
};
static_assert(sizeof(SubmissionView) == 400, "");
static_assert(offsetof(SubmissionView, colourSlot) == 256 && offsetof(SubmissionView, colourViewport) == 264 &&
                  offsetof(SubmissionView, colourTexture) == 288 && offsetof(SubmissionView, hasDepth) == 296 &&
                  offsetof(SubmissionView, depthSlot) == 304 && offsetof(SubmissionView, depthViewport) == 312 &&
                  offsetof(SubmissionView, depthTexture) == 336 && offsetof(SubmissionView, depthParams) == 344 &&
                  offsetof(SubmissionView, extraDepthParams) == 376 &&
                  offsetof(SubmissionView, hasExtraDepthParams) == 392,
              "");

constexpr int kMaxLayers = 4;
constexpr int kViewsPerLayer = 4;

struct SubmissionLayer {
  int32_t layerParam0;
  int32_t layerParam1;
  SubmissionView views[kViewsPerLayer];
};
static_assert(sizeof(SubmissionLayer) == 1608, "");
static_assert(offsetof(SubmissionLayer, views) == 8, "");

// One queued frame: only the first layerCount layers are meaningful.
struct SubmissionEntry {
  int32_t layerCount;
  SubmissionLayer layers[kMaxLayers];
};

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
// Guards pushes to and pops from submissionQueue.
extern std::mutex submissionQueueLock;
extern std::deque<SubmissionEntry> submissionQueue;

// Held while a frame is submitted and while EndSession frees the frame records and shuts the
// session down.
extern std::mutex frameLock;

// Guards eventQueue.
extern std::mutex eventQueueLock;
extern std::deque<ZerinEvent> eventQueue;

// Guards framePoses and the contents of frameInfoShared's views.
extern std::mutex poseLock;
extern ZerinMatrix framePoses[3];

// Guards renderSyncCount; syncCondition wakes SyncRenderThread.
extern std::mutex syncLock;
extern std::condition_variable syncCondition;
extern int32_t renderSyncCount;

// Drops every pending swap-chain request (EndSession). A slot whose destroy request is dropped
// is freed here, since no event will run for it; its swap chain ends with the session.
void dropSwapchainRequests();
// Drops every queued submission (EndSession).
void dropSubmissions();

}  // namespace Zerin
