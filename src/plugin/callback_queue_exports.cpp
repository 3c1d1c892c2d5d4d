// The callback queue for the scripts: the entries they install in place of managed callbacks,
// and the calls of their one consumer thread.
#include "core/plugin_log.h"                    // DebugLogCallback
#include "ipc/client/program_manager_client.h"  // ProgramManagerMessageHandler
#include "logging/logger.h"                     // LogLineCallback
#include "plugin/callback_queue.h"
#include "plugin/stream_registry.h"  // StreamFrameCallback
#include "zerin/engine_bridge.h"

namespace CallbackQueue = Zerin::CallbackQueue;

namespace {

// The same types as the callbacks they stand in for, checked by the compiler.
constexpr Zerin::DebugLogCallback debugLogEntry = &CallbackQueue::queueDebugLog;
constexpr Zerin::ProgramManagerMessageHandler programManagerEntry = &CallbackQueue::queueProgramManagerMessage;
constexpr Zerin::StreamFrameCallback streamFrameEntry = &CallbackQueue::queueStreamFrame;
constexpr Zerin::LogLineCallback loggerLineEntry = &CallbackQueue::queueLoggerLine;

}  // namespace

extern "C" void* CallbackQueue_Entry(int32_t kind) {
  switch (kind) {
    case CallbackQueue::kDebugLog:
      return reinterpret_cast<void*>(debugLogEntry);
    case CallbackQueue::kProgramManagerMessage:
      return reinterpret_cast<void*>(programManagerEntry);
    case CallbackQueue::kStreamFrame:
      return reinterpret_cast<void*>(streamFrameEntry);
    case CallbackQueue::kLoggerLine:
      return reinterpret_cast<void*>(loggerLineEntry);
    default:
      return nullptr;
  }
}

extern "C" void CallbackQueue_Open(void) { CallbackQueue::open(); }

extern "C" int32_t CallbackQueue_Next(ZerinBridgeQueuedCallback* next, int32_t timeoutMs) {
  return CallbackQueue::next(next, timeoutMs);
}

extern "C" void CallbackQueue_Close(void) { CallbackQueue::close(); }
