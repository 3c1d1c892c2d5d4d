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
SubmissionQueue submissionQueue;

std::mutex frameLock;
FrameSyncWait frameSyncWait;

std::mutex eventQueueLock;
RingQueue<ZerinEvent> eventQueue;

std::mutex poseLock;
ZerinMatrix framePoses[3];

std::mutex syncLock;
platform::KeptAtProcessEnd<std::condition_variable> syncCondition;
int32_t renderSyncCount = 0;

bool frameBegun = false;

SubmissionEntry& SubmissionQueue::appendSlot() {
  // The entry first: should making it or growing the ring fail, the queue is as it was.
  std::unique_ptr<SubmissionEntry> entry;
  if (spare.empty()) {
    entry = std::make_unique<SubmissionEntry>();
  } else {
    entry = std::move(spare.back());
    spare.pop_back();
  }
  SubmissionEntry& filled = *entry;
  queued.appendSlot() = std::move(entry);
  return filled;
}

std::unique_ptr<SubmissionEntry> SubmissionQueue::popFront(std::unique_ptr<SubmissionEntry> finished) {
  if (finished) spare.push_back(std::move(finished));
  std::unique_ptr<SubmissionEntry> oldest = std::move(queued.front());
  queued.popFront();
  return oldest;
}

void SubmissionQueue::clear() {
  queued.clear();
  std::vector<std::unique_ptr<SubmissionEntry>>().swap(spare);
}

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
  // Scripts push under submissionQueueLock alone, and the render thread pops under both: the
  // clear takes both. The entry a submission has taken stays with the render thread.
  std::lock_guard<std::mutex> queue(submissionQueueLock);
  submissionQueue.clear();
}

}  // namespace Zerin
