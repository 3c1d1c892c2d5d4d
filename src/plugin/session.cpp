#include "plugin/session.h"

#include <cstring>

#include "core/plugin_log.h"
#include "platform/task_memory.h"
#include "plugin/events.h"
#include "plugin/stream_registry.h"
#include "render/render_events.h"
#include "render/render_state.h"
#include "zerin_version.h"

namespace Zerin {

ZerinEvent* currentEvent = nullptr;
const char* const pluginVersion = ZERIN_RUNTIME_VERSION;

namespace {

enum class Opening { WithVersionCheck, WithLayerId };

// Why the last session start failed, kept for the scripts (scripting thread only): the error the
// start's checks took from the runtime, or that the runtime returned no session, whose error the
// runtime keeps until someone asks for it.
ZerinErrorCode startError = ZERIN_SUCCESS;
bool startGotNoSession = false;

void forgetStartFailure() {
  startError = ZERIN_SUCCESS;
  startGotNoSession = false;
}

// The steps both kinds of session start share once the runtime session exists. Whatever they
// made stays in place when they fail: EndSession cleans up.
bool setUpSession(ZerinSession opened, const char* doneMessage) {
  currentEvent = zerin_AllocateEvent();
  // The record belongs to no session: the runtime keeps its failure as the library's error, which
  // the session's check below would not see.
  if (!currentEvent) {
    checkError(nullptr);
    return false;
  }
  if (checkError(opened)) return false;
  if (!createFrameRecords(opened)) return false;
  pluginLog("%s", doneMessage);
  return !checkError(opened);
}

bool finishOpening(ZerinSession opened, const char* doneMessage) {
  const bool ready = setUpSession(opened, doneMessage);
  // Published last: the render thread acts on a session as soon as it sees it, so it must find
  // the records made, and its calls with the session must not mix their errors with those the
  // checks above read. A failed start is published too, for EndSession to clean up.
  session.store(opened);
  return ready;
}

bool versionMatches() {
  const char* libVersion = zerin_GetFullVersion();
  // A runtime that reports no version cannot match; it must not crash the comparison either.
  // The system's own texts (tests match them): must not be corrected.
  pluginLog("Lib version: %s", libVersion ? libVersion : "(none)");
  pluginLog("Plugin version: %s", pluginVersion);
  if (!libVersion || std::strcmp(libVersion, pluginVersion) != 0) {
    // The system's own text (tests match it): must not be corrected.
    pluginLog("ZerinLib version mismatch.");
    return false;
  }
  return true;
}

// Without the runtime's library no session can start; the one line says why.
bool runtimeLoaded() {
  if (runtime::loaded()) return true;
  pluginLog("%s", runtime::unavailableReason().c_str());
  return false;
}

void freeFrameRecords() {
  freeSyncRecord();
  if (ZerinFrameInfo* info = frameInfoShared.exchange(nullptr)) zerin_FreeFrameInfo(info);
  if (ZerinSubmitInfo* info = submitInfo.exchange(nullptr)) zerin_FreeSubmitInfo(info);
}

}  // namespace

bool checkError(ZerinSession target) {
  const ZerinErrorCode code = zerin_GetError(target);
  if (code == 0) return false;
  startError = code;
  // The system's own text (tests match it): must not be corrected.
  pluginLog("Got an error: %s", zerin_GetErrorDesc(code));
  return true;
}

bool createFrameRecords(ZerinSession target) {
  // The system's own text (tests match it): must not be corrected.
  pluginLog("Initialize d3d11");
  frameInfoSync.store(zerin_CreateFrameInfo(target));
  frameInfoShared.store(zerin_CreateFrameInfo(target));
  ZerinSubmitInfo* info = zerin_CreateSubmitInfo(target);
  submitInfo.store(info);
  // Without a record there is nothing to set up; the runtime's error is reported below.
  if (info) {
    info->flags = ZERIN_SUBMIT_DEFAULT;
    zerin_LayoutDefaultViewports(target, info->viewports);
  }
  return !checkError(target);
}

bool initSession() {
  forgetStartFailure();
  if (!runtimeLoaded()) return false;
  // The system's own text (tests match it): must not be corrected.
  pluginLog("Initialize a new session");
  if (session.load()) {
    // The system's own text (tests match it): must not be corrected.
    pluginLog("Session pointer already exists, won't initialize a new session. Forgot to call EndSession()?");
    return false;
  }
  if (!versionMatches()) return false;
  ZerinSession opened = zerin_SessionInit();
  if (!opened) {
    startGotNoSession = true;
    return false;
  }
  // The system's own text (tests match it): must not be corrected.
  return finishOpening(opened, "InitSession done");
}

bool initSessionWithLayerId(int64_t layerId) {
  forgetStartFailure();
  if (!runtimeLoaded()) return false;
  // "spesified" is the system's own spelling (tests match it): must not be corrected.
  pluginLog("Initialize a new session with spesified layer id");
  if (session.load()) {
    // The system's own text (tests match it): must not be corrected.
    pluginLog("Session pointer already exists, won't initialize a new session. Forgot to call EndSession()?");
    return false;
  }
  ZerinSession opened = zerin_SessionInitWithLayerId(layerId);
  if (!opened) {
    startGotNoSession = true;
    return false;
  }
  // The system's own text (tests match it): must not be corrected.
  return finishOpening(opened, "InitSessionWithLayerId done");
}

int64_t sessionStartError() {
  if (startGotNoSession) {
    startGotNoSession = false;
    startError = zerin_GetError(nullptr);
  }
  return startError;
}

const char* runtimeVersion() {
  if (!runtime::loaded()) return nullptr;
  const char* version = zerin_GetFullVersion();
  return version ? version : "";
}

void endSession() {
  // Three locks, one after the other, never two at once.
  const std::vector<SwapchainSlot*> droppedSlots = dropSwapchainRequests();
  dropSubmissions();
  // Only now can no queued or running submission name these slots any more.
  for (SwapchainSlot* slot : droppedSlots) delete slot;

  std::lock_guard<std::mutex> lock(frameLock);
  freeFrameRecords();
  const ZerinSession current = session.load();
  for (const StreamEntry& entry : streamRegistry.takeAll()) zerin_StopDataStream(current, entry.streamId);
  // The system's own text (tests match it): must not be corrected.
  pluginLog("Shutdown session");
  // Nothing to shut down or free when no session was open.
  if (current) zerin_SessionShutDown(current);
  session.store(nullptr);
  if (currentEvent) zerin_FreeEvent(currentEvent);
  currentEvent = nullptr;
  // The delivered event went with the record; the getters read 0 until the next poll.
  currentEventValid = false;
  // The system's own text (tests match it): must not be corrected.
  pluginLog("EndSession done.");
}

char* getConfig(const char* key) {
  const ZerinSession current = session.load();
  int32_t size = zerin_GetConfig(current, key, nullptr, 0);
  if (size <= 0) return nullptr;
  char* buffer = nullptr;
  for (;;) {
    platform::freeTaskMemory(buffer);
    buffer = static_cast<char*>(platform::allocateTaskMemory(static_cast<size_t>(size)));
    if (!buffer) return nullptr;
    const int32_t needed = zerin_GetConfig(current, key, buffer, size);
    if (needed > size) {
      size = needed;
      continue;
    }
    // The value went away between the calls: the buffer holds nothing to hand out.
    if (needed <= 0) {
      platform::freeTaskMemory(buffer);
      return nullptr;
    }
    return buffer;
  }
}

RenderTextureDesc renderTextureFormat(int32_t kind) {
  const bool wide = kind == 2 || kind == 3;
  return RenderTextureDesc{2048, wide ? 1152 : 2048, 27};
}

void getEulerAngles(double x, double y, double z, double w, double* out) {
  if (!session.load() || !out) return;
  const ZerinEulerAngles angles = zerin_GetEulerAngles(x, y, z, w);
  out[0] = angles.aroundX;
  out[1] = angles.aroundY;
  out[2] = angles.aroundZ;
}

}  // namespace Zerin
