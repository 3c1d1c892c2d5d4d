#pragma once
// Callbacks the plug-in makes on its own threads (log lines, program manager messages, stream
// frames), copied into a queue that one consumer thread of the scripts drains, so that no
// foreign thread ever enters managed code.
#include <cstddef>
#include <cstdint>

extern "C" {

// Kinds of queued callback.
//   1 debug-log line, 2 program manager message, 3 stream frame, 4 shared-logger line
typedef struct QueuedCallback {
  int32_t kind;
  int32_t clientHandle;  // kind 2; kind 4: the line's level
  const char* text;      // kind 1: the message; kind 2: the message name; kind 4: the tag;
                         // NUL-terminated
  const void* data;      // kind 2: the payload (null when empty); kind 3: the copied frame record;
                         // kind 4: the message, NUL-terminated
  void* userData;        // kind 3: the user data the stream was started with
  int32_t textLength;    // bytes before the NUL
  int32_t dataSize;      // kind 2: payload bytes; kind 3: size of the frame record; kind 4: message
                         // bytes before the NUL
  int32_t dropped;       // calls dropped because the queue was full, since the previous one handed out
  int32_t reserved;      // 0
} QueuedCallback;

}  // extern "C"

// The bindings read the record with these offsets.
static_assert(sizeof(QueuedCallback) == 48, "");
static_assert(offsetof(QueuedCallback, kind) == 0 && offsetof(QueuedCallback, clientHandle) == 4, "");
static_assert(offsetof(QueuedCallback, text) == 8 && offsetof(QueuedCallback, data) == 16, "");
static_assert(offsetof(QueuedCallback, userData) == 24 && offsetof(QueuedCallback, textLength) == 32, "");
static_assert(offsetof(QueuedCallback, dataSize) == 36 && offsetof(QueuedCallback, dropped) == 40, "");
static_assert(offsetof(QueuedCallback, reserved) == 44, "");

namespace Zerin::CallbackQueue {

enum Kind : int32_t { kDebugLog = 1, kProgramManagerMessage = 2, kStreamFrame = 3, kLoggerLine = 4 };

// What may be queued at once, records and copied bytes together; past it calls are dropped.
constexpr size_t kCapacityBytes = 64u << 20;

// The entries of each kind: they copy their arguments into the queue and return at once; they
// never block on the consumer and never throw.
void queueDebugLog(const char* message);
void queueProgramManagerMessage(int32_t clientHandle, const char* messageName, int32_t messageNameLength,
                                const uint8_t* messageData, int32_t messageDataSize);
void queueStreamFrame(const void* frame, void* userData);
void queueLoggerLine(int32_t level, const char* tag, const char* message);

void open();
// 1: `next` filled; 0: time-out; -1: closed. See CallbackQueue_Next.
int32_t next(QueuedCallback* next, int32_t timeoutMs);
void close();

}  // namespace Zerin::CallbackQueue
