#include "callback_guard.h"

#include <mono/metadata/loader.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "call_ledger.h"

#define EDITORHOST_API extern "C" __attribute__((visibility("default")))

namespace {

using DebugLogCallback = ZerinBridgeDebugLogCallback;
using MessageHandler = ZerinBridgeProgramManagerMessageHandler;
using FrameCallback = ZerinBridgeStreamFrameCallback;

// A setter's callback and the domain that set it. Each new callback takes the other of two
// slots, each with its own trampoline, so that the plug-in sees a replacement as one and keeps
// its promise: once the setter returns, the callback replaced is neither running nor called.
template <class Callback>
struct Slot {
  std::atomic<Callback> callback{nullptr};
  std::atomic<int32_t> serial{0};

  Callback take(const char* what) const {
    const Callback found = callback.load();
    return found && callLedger().callAllowed(serial.load(), what) ? found : nullptr;
  }
};

Slot<DebugLogCallback> debugLogs[2];
Slot<MessageHandler> messageHandlers[2];
Slot<FrameCallback> frameCallbacks[3];  // by stream kind (1, 2): one stream per kind at a time

decltype(ZerinSim::BridgeExports::SetDebugLog) setDebugLog = nullptr;
decltype(ZerinSim::BridgeExports::SetProgramManagerUnityMessageHandler) setMessageHandler = nullptr;
decltype(ZerinSim::BridgeExports::MRStartDataStream) startDataStream = nullptr;

// Guards domains and the slots set last: the bindings may set callbacks from any of their
// threads. Never held across the plug-in's setter, which waits for calls under way (and a call
// under way may set a callback itself).
std::mutex settersMutex;
std::map<MonoDomain*, int32_t> domains;
int debugLogSlot = 0, messageSlot = 0;

template <int slot>
void onDebugLog(const char* message) {
  if (const auto callback = debugLogs[slot].take("a log line")) callback(message);
}

template <int slot>
void onMessage(int32_t client, const char* name, int32_t nameLength, const uint8_t* data, int32_t size) {
  if (const auto callback = messageHandlers[slot].take("a program manager message"))
    callback(client, name, nameLength, data, size);
}

void onFrame(const void* frame, void* userData) {
  const int64_t kind = *static_cast<const int64_t*>(frame);
  if (kind < 1 || kind > 2) return;
  if (const auto callback = frameCallbacks[kind].take("a stream frame")) callback(frame, userData);
}

// With settersMutex held.
template <class Callback>
void fill(Slot<Callback>& slot, Callback callback) {
  const auto found = domains.find(mono_domain_get());
  slot.serial = found == domains.end() ? 0 : found->second;
  slot.callback = callback;
}

}  // namespace

// The slot a new callback takes, filled.
template <class Callback>
int takeSlot(Slot<Callback> (&slots)[2], int& last, Callback callback) {
  const std::lock_guard<std::mutex> lock(settersMutex);
  last = 1 - last;
  fill(slots[last], callback);
  return last;
}

EDITORHOST_API void editorhost_SetDebugLog(DebugLogCallback callback) {
  if (!callback) return setDebugLog(nullptr);
  setDebugLog(takeSlot(debugLogs, debugLogSlot, callback) == 0 ? onDebugLog<0> : onDebugLog<1>);
}

EDITORHOST_API void editorhost_SetProgramManagerUnityMessageHandler(MessageHandler handler) {
  if (!handler) return setMessageHandler(nullptr);
  setMessageHandler(takeSlot(messageHandlers, messageSlot, handler) == 0 ? onMessage<0> : onMessage<1>);
}

EDITORHOST_API bool editorhost_MRStartDataStream(int64_t kind, FrameCallback callback, void* userData) {
  // A kind the plug-in refuses never reaches the table.
  if (kind >= 1 && kind <= 2) {
    const std::lock_guard<std::mutex> lock(settersMutex);
    fill(frameCallbacks[kind], callback);
  }
  return startDataStream(kind, callback ? onFrame : nullptr, userData);
}

bool installCallbackGuards(const ZerinSim::EngineHost& engine) {
  setDebugLog = engine.exports().SetDebugLog;
  setMessageHandler = engine.exports().SetProgramManagerUnityMessageHandler;
  startDataStream = engine.exports().MRStartDataStream;
  if (!setDebugLog || !setMessageHandler || !startDataStream) return false;
  for (const char* setter : {"SetDebugLog", "SetProgramManagerUnityMessageHandler", "MRStartDataStream"})
    mono_dllmap_insert(nullptr, "ZerinEngineBridge", setter, "__Internal", (std::string("editorhost_") + setter).c_str());
  // Mono lets a function's entry redirect the library of every function: the others are
  // sent back to the plug-in.
  mono_dllmap_insert(nullptr, "ZerinEngineBridge", nullptr, ZerinSim::EngineHost::pluginPath().c_str(), nullptr);
  return true;
}

void guardDomain(MonoDomain* domain, int32_t serial) {
  const std::lock_guard<std::mutex> lock(settersMutex);
  domains[domain] = serial;
}
