/* A caller written against zerin/engine_bridge.h alone, linked with the built library: compiled as
 * C99, as C11 and as C++ (cxx_caller.cpp), it calls the exports that need neither the engine nor
 * a session and checks each answer. Each failed check is printed; the exit code is their number. */
#include <stdio.h>
#include <string.h>

#include "zerin/engine_bridge.h"

static int failures = 0;

static void check(int passed, const char* what) {
  if (passed) return;
  printf("FAILED: %s\n", what);
  ++failures;
}

static char lastMessage[256];
static int messages = 0;

static void ZERIN_CALL onMessage(const char* message) {
  ++messages;
  strncpy(lastMessage, message, sizeof lastMessage - 1);
}

int main(void) {
  ZerinBridgeRenderTextureDesc wide = GetRenderTextureFormat(2);
  ZerinBridgeRenderTextureDesc square = GetRenderTextureFormat(1);
  ZerinBridgeQueuedCallback queued;
  ZerinBridgeRenderEventFunc renderEvent = GetRenderEventFunc();
  int64_t type = -1;

  check(strcmp(GetPluginVersion(), ZERIN_EXPECTED_VERSION) == 0, "GetPluginVersion is the build's version");
  check(wide.width == 2048 && wide.height == 1152 && wide.format == 27, "GetRenderTextureFormat(2) by value");
  check(square.width == 2048 && square.height == 2048 && square.format == 27, "GetRenderTextureFormat(1) by value");
  check(IsSessionNull() && GetSession() == NULL, "no session");
  check(GetError() == 1, "GetError without a session is 1");
  check(!PollEvent(&type) && type == -1, "PollEvent without a session leaves the type");
  check(CallbackQueue_Entry(ZERIN_BRIDGE_QUEUED_DEBUG_LOG) != NULL, "a queue entry for each kind");
  check(CallbackQueue_Entry(ZERIN_BRIDGE_QUEUED_LOGGER_LINE + 1) == NULL, "no entry for another kind");
  CallbackQueue_Open();
  check(CallbackQueue_Next(&queued, 0) == 0, "an empty queue times out");
  CallbackQueue_Close();
  check(CallbackQueue_Next(&queued, 0) == -1, "a closed queue says so");

  /* Without the engine's device a frame sync cannot run; it still releases SyncRenderThread. */
  SetDebugLog(onMessage);
  check(renderEvent != NULL, "a render-event callback");
  if (renderEvent) renderEvent(ZERIN_BRIDGE_RENDER_EVENT_FRAME_SYNC);
  SyncRenderThread();
  SetDebugLog(NULL);
  check(messages == 1 && strcmp(lastMessage, "Missing Unity D3D11 handle.") == 0, "the plug-in log's line");
  printf("%d failed\n", failures);
  return failures;
}
