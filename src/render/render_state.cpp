#include "render/render_state.h"

namespace Zerin {

std::atomic<ZerinFrameInfo*> frameInfoSync{nullptr};
std::atomic<ZerinFrameInfo*> frameInfoShared{nullptr};
std::atomic<ZerinSubmitInfo*> submitInfo{nullptr};

std::mutex swapchainRequestLock;
std::deque<SwapchainCreateRequest> createQueue;
std::deque<SwapchainSlot*> destroyQueue;

std::mutex submissionLock;
std::mutex submissionQueueLock;
RingQueue<SubmissionEntry> submissionQueue;

std::mutex frameLock;

std::mutex eventQueueLock;
RingQueue<ZerinEvent> eventQueue;

std::mutex poseLock;
ZerinMatrix framePoses[3];

std::mutex syncLock;
std::condition_variable syncCondition;
int32_t renderSyncCount = 0;

bool frameBegun = false;

std::vector<SwapchainSlot*> dropSwapchainRequests() {
  std::lock_guard<std::mutex> lock(swapchainRequestLock);
  // Clearing by swapping with an empty queue also releases the storage.
  std::deque<SwapchainCreateRequest>().swap(createQueue);
  std::vector<SwapchainSlot*> dropped(destroyQueue.begin(), destroyQueue.end());
  std::deque<SwapchainSlot*>().swap(destroyQueue);
  return dropped;
}

void dropSubmissions() {
  std::lock_guard<std::mutex> processing(submissionLock);
  // The render thread looks at the queue under submissionQueueLock alone before it takes
  // submissionLock: the clear takes both.
  std::lock_guard<std::mutex> queue(submissionQueueLock);
  submissionQueue.clear();
}

}  // namespace Zerin
