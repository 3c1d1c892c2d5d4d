#include "plugin/callback_queue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <utility>

#include "platform/module_hold.h"
#include "zerin_lib.h"  // ZerinStreamFrame

namespace Zerin::CallbackQueue {

namespace {

// One queued call: its record and, in the same block after it, the bytes it points at.
struct Item {
  Item* next = nullptr;
  QueuedCallback record{};
  size_t bytes = 0;  // what it counts against kCapacityBytes

  char* copies() { return reinterpret_cast<char*>(this + 1); }
};
static_assert(sizeof(Item) % alignof(ZerinStreamFrame) == 0, "a frame record is copied right after its item");

// Null when the system has no memory for it: the call is then dropped like one past the cap.
Item* makeItem(size_t copiedBytes) {
  const size_t bytes = sizeof(Item) + copiedBytes;
  void* memory = ::operator new(bytes, std::nothrow);
  if (!memory) return nullptr;
  Item* item = new (memory) Item;
  item->bytes = bytes;
  return item;
}

void freeItems(Item* item) {
  while (item) {
    Item* next = item->next;
    item->~Item();
    ::operator delete(item);
    item = next;
  }
}

int32_t textLength(size_t length) {
  return static_cast<int32_t>(std::min<size_t>(length, std::numeric_limits<int32_t>::max()));
}

class Queue {
 public:
  ~Queue() {
    Item* consumerHeld = nullptr;
    freeItems(restart(false, &consumerHeld));
    freeItems(consumerHeld);
  }

  // Odd while open. Each open and each close moves it on, so that an entry links its call only
  // into the opening it saw when it started; read without the lock for the entries' fast path.
  std::atomic<uint64_t> state{0};

  // Guards every field below. Producers hold it only to link an item they have filled, the
  // consumer only to unlink one; nobody holds it while copying, freeing or calling out.
  std::mutex mutex;
  // Notified when an item is linked and when the queue closes.
  platform::KeptAtProcessEnd<std::condition_variable> arrived;
  Item* head = nullptr;
  Item* tail = nullptr;
  size_t queuedBytes = 0;
  int32_t droppedSinceHandedOut = 0;
  Item* held = nullptr;  // the item the consumer was handed last; it reads it until its next call

  void countDrop(uint64_t seen) {
    std::lock_guard<std::mutex> lock(mutex);
    if (state.load() == seen) countDropLocked();
  }

  void countDropLocked() {
    if (droppedSinceHandedOut < std::numeric_limits<int32_t>::max()) ++droppedSinceHandedOut;
  }

  void link(uint64_t seen, Item* item) {
    bool linked = false;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (state.load() == seen) {
        if (queuedBytes + item->bytes <= kCapacityBytes) {
          queuedBytes += item->bytes;
          (tail ? tail->next : head) = item;
          tail = item;
          linked = true;
        } else {
          countDropLocked();
        }
      }
    }
    if (linked) {
      arrived->notify_one();
    } else {
      freeItems(item);
    }
  }

  // Moves the state on and empties the queue; returns what it held, to be freed unlocked.
  Item* restart(bool opening, Item** previouslyHeld) {
    std::lock_guard<std::mutex> lock(mutex);
    const uint64_t now = state.load();
    if (opening) {
      state.store(now % 2 == 0 ? now + 1 : now + 2);
    } else if (now % 2 == 1) {
      state.store(now + 1);
    }
    Item* queued = std::exchange(head, nullptr);
    tail = nullptr;
    queuedBytes = 0;
    droppedSinceHandedOut = 0;
    if (previouslyHeld) *previouslyHeld = std::exchange(held, nullptr);
    return queued;
  }
};

Queue queue;

}  // namespace

void queueDebugLog(const char* message) {
  const uint64_t seen = queue.state.load();
  if (seen % 2 == 0 || !message) return;
  const size_t length = std::strlen(message);
  if (length >= kCapacityBytes) return queue.countDrop(seen);
  Item* item = makeItem(length + 1);
  if (!item) return queue.countDrop(seen);
  std::memcpy(item->copies(), message, length + 1);
  item->record.kind = kDebugLog;
  item->record.text = item->copies();
  item->record.textLength = textLength(length);
  queue.link(seen, item);
}

void queueProgramManagerMessage(int32_t clientHandle, const char* messageName, int32_t messageNameLength,
                                const uint8_t* messageData, int32_t messageDataSize) {
  const uint64_t seen = queue.state.load();
  if (seen % 2 == 0) return;
  const size_t nameLength = messageName && messageNameLength > 0 ? static_cast<size_t>(messageNameLength) : 0;
  const size_t dataSize = messageData && messageDataSize > 0 ? static_cast<size_t>(messageDataSize) : 0;
  if (nameLength + dataSize >= kCapacityBytes) return queue.countDrop(seen);
  Item* item = makeItem(nameLength + 1 + dataSize);
  if (!item) return queue.countDrop(seen);
  char* name = item->copies();
  if (nameLength) std::memcpy(name, messageName, nameLength);
  name[nameLength] = '\0';
  char* data = name + nameLength + 1;
  if (dataSize) std::memcpy(data, messageData, dataSize);
  item->record.kind = kProgramManagerMessage;
  item->record.clientHandle = clientHandle;
  item->record.text = name;
  item->record.textLength = static_cast<int32_t>(nameLength);
  item->record.data = dataSize ? data : nullptr;
  item->record.dataSize = static_cast<int32_t>(dataSize);
  queue.link(seen, item);
}

void queueStreamFrame(const void* frame, void* userData) {
  const uint64_t seen = queue.state.load();
  if (seen % 2 == 0 || !frame) return;
  const auto* original = static_cast<const ZerinStreamFrame*>(frame);
  const uint64_t pixels = original->data ? original->dataSize : 0;
  if (pixels >= kCapacityBytes) return queue.countDrop(seen);
  Item* item = makeItem(sizeof(ZerinStreamFrame) + pixels);
  if (!item) return queue.countDrop(seen);
  auto* copy = new (item->copies()) ZerinStreamFrame(*original);
  if (pixels) std::memcpy(copy + 1, original->data, pixels);
  copy->data = pixels ? static_cast<const void*>(copy + 1) : nullptr;
  copy->dataSize = pixels;
  item->record.kind = kStreamFrame;
  item->record.data = copy;
  item->record.userData = userData;
  item->record.dataSize = sizeof(ZerinStreamFrame);
  queue.link(seen, item);
}

void queueLoggerLine(int32_t level, const char* tag, const char* message) {
  const uint64_t seen = queue.state.load();
  if (seen % 2 == 0) return;
  const size_t tagLength = tag ? std::strlen(tag) : 0;
  const size_t messageLength = message ? std::strlen(message) : 0;
  if (tagLength + messageLength >= kCapacityBytes) return queue.countDrop(seen);
  Item* item = makeItem(tagLength + 1 + messageLength + 1);
  if (!item) return queue.countDrop(seen);
  char* copiedTag = item->copies();
  if (tagLength) std::memcpy(copiedTag, tag, tagLength);
  copiedTag[tagLength] = '\0';
  char* copiedMessage = copiedTag + tagLength + 1;
  if (messageLength) std::memcpy(copiedMessage, message, messageLength);
  copiedMessage[messageLength] = '\0';
  item->record.kind = kLoggerLine;
  item->record.clientHandle = level;
  item->record.text = copiedTag;
  item->record.textLength = textLength(tagLength);
  item->record.data = copiedMessage;
  item->record.dataSize = textLength(messageLength);
  queue.link(seen, item);
}

void open() {
  Item* held = nullptr;
  freeItems(queue.restart(true, &held));
  freeItems(held);
}

void close() {
  Item* queued = queue.restart(false, nullptr);
  queue.arrived->notify_all();
  freeItems(queued);
}

int32_t next(QueuedCallback* next, int32_t timeoutMs) {
  if (!next) return -1;
  Item* previous = nullptr;
  int32_t result = 0;
  {
    std::unique_lock<std::mutex> lock(queue.mutex);
    previous = std::exchange(queue.held, nullptr);
    const auto ready = [] { return queue.state.load() % 2 == 0 || queue.head != nullptr; };
    if (timeoutMs < 0) {
      queue.arrived->wait(lock, ready);
    } else {
      queue.arrived->wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    if (queue.state.load() % 2 == 0) {
      result = -1;
    } else if (Item* item = queue.head) {
      queue.head = item->next;
      if (!queue.head) queue.tail = nullptr;
      item->next = nullptr;
      queue.queuedBytes -= item->bytes;
      item->record.dropped = std::exchange(queue.droppedSinceHandedOut, 0);
      queue.held = item;
      *next = item->record;
      result = 1;
    }
  }
  freeItems(previous);
  return result;
}

}  // namespace Zerin::CallbackQueue
