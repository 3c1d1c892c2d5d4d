#pragma once
// Callbacks the plug-in makes on its own threads (log lines, program manager messages, stream
// frames), copied into a queue that one consumer thread of the scripts drains, so that no
// foreign thread ever enters managed code.
#include <cstddef>
#include <cstdint>

#include "zerin/engine_bridge.h"

namespace Zerin::CallbackQueue {

// The record the consumer receives is the public interface's.
using QueuedCallback = ZerinBridgeQueuedCallback;

enum Kind : int32_t {
  kDebugLog = ZERIN_BRIDGE_QUEUED_DEBUG_LOG,
  kProgramManagerMessage = ZERIN_BRIDGE_QUEUED_PROGRAM_MANAGER_MESSAGE,
  kStreamFrame = ZERIN_BRIDGE_QUEUED_STREAM_FRAME,
  kLoggerLine = ZERIN_BRIDGE_QUEUED_LOGGER_LINE,
};

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
