#include "callback_guard.h"

#include <mono/metadata/loader.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "call_ledger.h"

#define EDITORHOST_API extern "C" __attribute__((visibility("default")))

namespace {

using DebugLogCallback = void (*)(const char*);
using MessageHandler = void (*)(int32_t, const char*, int32_t, const uint8_t*, int32_t);
using FrameCallback = void (*)(const void*, void*);

template <class Callback>
struct Guarded {
  std::atomic<Callback> callback{nullptr};
  std::atomic<int32_t> serial{0};
};

Guarded<DebugLogCallback> debugLog;
Guarded<MessageHandler> messages;
Guarded<FrameCallback> frames[3];  // by stream kind (1, 2)

void (*setDebugLog)(DebugLogCallback) = nullptr;
void (*setMessageHandler)(MessageHandler) = nullptr;
bool (*startDataStream)(int64_t, FrameCallback, void*) = nullptr;

std::mutex domainsMutex;  // guards domains: setters run on script threads
std::map<MonoDomain*, int32_t> domains;

int32_t serialOfCaller() {
  std::lock_guard<std::mutex> lock(domainsMutex);
  const auto found = domains.find(mono_domain_get());
  return found == domains.end() ? 0 : found->second;
}

template <class Callback>
Callback take(Guarded<Callback>& guarded, const char* what) {
  const Callback callback = guarded.callback.load();
  return callback && callLedger().callAllowed(guarded.serial.load(), what) ? callback : nullptr;
}

void onDebugLog(const char* message) {
  if (const auto callback = take(debugLog, "a log line")) callback(message);
}

void onMessage(int32_t client, const char* name, int32_t nameLength, const uint8_t* data, int32_t size) {
  if (const auto callback = take(messages, "a program manager message")) callback(client, name, nameLength, data, size);
}

void onFrame(const void* frame, void* userData) {
  const int64_t kind = *static_cast<const int64_t*>(frame);
  if (kind < 1 || kind > 2) return;
  if (const auto callback = take(frames[kind], "a stream frame")) callback(frame, userData);
}

template <class Callback>
bool guard(Guarded<Callback>& guarded, Callback callback) {
  guarded.serial = serialOfCaller();
  guarded.callback = callback;
  return callback != nullptr;
}

}  // namespace

EDITORHOST_API void editorhost_SetDebugLog(DebugLogCallback callback) {
  setDebugLog(guard(debugLog, callback) ? onDebugLog : nullptr);
}

EDITORHOST_API void editorhost_SetProgramManagerUnityMessageHandler(MessageHandler handler) {
  setMessageHandler(guard(messages, handler) ? onMessage : nullptr);
}

EDITORHOST_API bool editorhost_MRStartDataStream(int64_t kind, FrameCallback callback, void* userData) {
  // A kind the plug-in refuses never reaches the table.
  if (kind >= 1 && kind <= 2) guard(frames[kind], callback);
  return startDataStream(kind, callback ? onFrame : nullptr, userData);
}

bool installCallbackGuards(const ZerinSim::EngineHost& engine) {
  setDebugLog = engine.function<decltype(setDebugLog)>("SetDebugLog");
  setMessageHandler = engine.function<decltype(setMessageHandler)>("SetProgramManagerUnityMessageHandler");
  startDataStream = engine.function<decltype(startDataStream)>("MRStartDataStream");
  if (!setDebugLog || !setMessageHandler || !startDataStream) return false;
  for (const char* setter : {"SetDebugLog", "SetProgramManagerUnityMessageHandler", "MRStartDataStream"})
    mono_dllmap_insert(nullptr, "ZerinEngineBridge", setter, "__Internal", (std::string("editorhost_") + setter).c_str());
  // Mono lets a function's entry redirect the library of every function: the others are
  // sent back to the plug-in.
  mono_dllmap_insert(nullptr, "ZerinEngineBridge", nullptr, ZerinSim::EngineHost::pluginPath().c_str(), nullptr);
  return true;
}

void guardDomain(MonoDomain* domain, int32_t serial) {
  std::lock_guard<std::mutex> lock(domainsMutex);
  domains[domain] = serial;
}
