#pragma once
// The engine and the program manager service for tests that run in a managed process: the C#
// tests load this library beside the plug-in and drive the engine host and the service stand-in
// through it. Call it from one thread.
#include <stdint.h>

#define ZERINTEST_API extern "C" __attribute__((visibility("default")))

/* ---- Engine ---------------------------------------------------------------------------- */

// Loads the plug-in as the engine does, by its file name, so that it is the instance the
// process already has (or gets at its first platform invoke); calls UnityPluginLoad with a
// registry that offers a graphics device and starts the render thread. 1 on success; a second
// start without a stop fails.
ZERINTEST_API int32_t zerintest_EngineStart(void);
// Runs what is queued, stops the render thread, calls UnityPluginUnload and releases the
// host's hold on the library; releases the textures still held.
ZERINTEST_API void zerintest_EngineStop(void);
// Why the last start failed ("" when it did not).
ZERINTEST_API const char* zerintest_EngineError(void);
// Queues a render event for the render thread, in order with everything issued before.
ZERINTEST_API void zerintest_IssuePluginEvent(int32_t eventId);
// Returns when every event issued so far has run.
ZERINTEST_API void zerintest_WaitForRenderThread(void);
// A texture of the engine's device made on the render thread from rows of texels without
// padding (DXGI format; R32G8X24_TYPELESS gets depth-stencil binding, others render target),
// held until zerintest_ReleaseTexture or the engine stops. Null on failure.
ZERINTEST_API void* zerintest_CreateTexture(uint32_t width, uint32_t height, int32_t format, const void* texels);
ZERINTEST_API void zerintest_ReleaseTexture(void* texture);
ZERINTEST_API int32_t zerintest_TextureCount(void);

/* ---- Program manager service ------------------------------------------------------------ */

// Serves \\.\pipe\ZerinProgramManager (in $ZERIN_PIPE_DIR on POSIX). 1 on success.
ZERINTEST_API int32_t zerintest_ServiceStart(void);
ZERINTEST_API void zerintest_ServiceStop(void);
// The id of the newest client that has handshaken, waiting up to `timeoutMs`; 0 when none came.
ZERINTEST_API uint64_t zerintest_ServiceWaitForClient(int32_t timeoutMs);
// Sends the message NAME with the payload to a client. 1 when queued for it.
ZERINTEST_API int32_t zerintest_ServicePush(uint64_t client, const char* name, const uint8_t* payload, int32_t size);
// How many frames named `name` the service has read, waiting up to `timeoutMs` for `count`.
ZERINTEST_API int32_t zerintest_ServiceWaitForFrames(const char* name, int32_t count, int32_t timeoutMs);
// The size of the `index`th frame named `name`, whole frame; -1 when there is none.
ZERINTEST_API int32_t zerintest_ServiceFrameSize(const char* name, int32_t index);
