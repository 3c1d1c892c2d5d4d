#pragma once
// Control surface of the simulated runtime, for tests and the demo. Exported by ZerinLib beside
// the runtime API, and never part of it.
//
// Call log: every zerin_* call is recorded as one line, "zerin_Name(arguments) -> result".
// Objects the runtime made are written by name ("session#1", "frameInfo#2",
// "submitInfo#1.viewports", numbered per kind from 1 after each reset), other pointers as hex
// ("0x7f12ab00") or "null", strings in double quotes, integers and doubles in decimal.
#include <stdint.h>

#include "zerin_lib.h"

#ifdef __cplusplus
extern "C" {
#endif

// Back to the state of a fresh process: no sessions, no records, no calls, no errors, no
// configuration values, default version, runtime available.
ZERINLIB_API void zerinsim_Reset(void);

// The text zerin_GetFullVersion reports; NULL restores the built-in ZERIN_RUNTIME_VERSION.
ZERINLIB_API void zerinsim_SetVersion(const char* version);
ZERINLIB_API void zerinsim_SetAvailable(int32_t available);

// Errors: each open session keeps the error its calls left, and zerin_GetError(session) reads and
// clears that one; zerin_GetError(NULL) reads and clears the library's, which holds the errors of
// calls made with a null or closed handle and of calls that take no session (zerin_AllocateEvent,
// zerin_GetEulerAngles, ...). Calls on a live swap chain count as calls of its session. A closed
// handle names no error: zerin_GetError with it reports ZERIN_ERROR_INVALID_SESSION.
//
// The next call of `function` (e.g. "zerin_AllocateEvent") fails with `code`: it does nothing,
// returns its zero value and leaves `code` where that call's errors go. For "zerin_GetError"
// itself the next call returns `code` (and clears what it reads). Several failures of one
// function are used up in order.
ZERINLIB_API void zerinsim_FailNextCall(const char* function, int64_t code);
// Leaves `code` for the next zerin_GetError, as an error the runtime raised on its own: the
// open session's when exactly one is open (the plug-in holds one), else the library's.
ZERINLIB_API void zerinsim_RaiseError(int64_t code);

ZERINLIB_API int32_t zerinsim_CallCount(void);
// Call logging is on after a reset; a long run turns it off so the log does not grow.
ZERINLIB_API void zerinsim_SetCallLogging(int32_t enabled);
// Copies line `index` of the call log into `buffer`; returns the size it needs, terminator
// included (0 when there is no such line). Writes only when `size` is enough.
ZERINLIB_API int32_t zerinsim_GetCall(int32_t index, char* buffer, int32_t size);
ZERINLIB_API void zerinsim_ClearCalls(void);

// Configuration values as zerin_GetConfig reports them. NULL removes the key.
ZERINLIB_API void zerinsim_SetConfigValue(const char* key, const char* value);
// Queues a value that `key` takes right after the next zerin_GetConfig call on it; each call
// takes one queued value (NULL removes the key), so a value can change between two calls.
ZERINLIB_API void zerinsim_QueueConfigValue(const char* key, const char* value);

// Calls `hook(context)` on the calling thread the next time `function` (e.g.
// "zerin_CreateFrameInfo") is called, before the call takes the library's lock, so that the
// hook may call the library itself. Once; a later call of this replaces an armed hook, and
// a NULL `hook` disarms it.
ZERINLIB_API void zerinsim_SetCallHook(const char* function, void (*hook)(void* context), void* context);

// The live object named as in the call log, or NULL (never made, or freed since).
ZERINLIB_API void* zerinsim_FindObject(const char* name);
// How many objects of a kind ("session", "event", "frameInfo", "submitInfo", "swapChain",
// "occlusionMesh") are live.
ZERINLIB_API int32_t zerinsim_LiveObjectCount(const char* kind);

/* ---- Frame cycle and swap chains -------------------------------------------------------- */

// The frame clock behind zerin_WaitSync: syncs fall on the ticks of a clock of this rate, 90 by
// default. Zero or less: zerin_WaitSync returns at once, each call a new frame.
//
// Each sync makes a new frame whose views and poses carry its index, so that a reader can tell
// frames apart: the x translation (m[3]) of every view pose and of every zerin_FrameGetPose
// result is the frame index; m[7] is the view index (views) or the pose kind (poses); the
// rotation about the y axis changes by 0.01 radian a frame.
ZERINLIB_API void zerinsim_SetFrameRate(double framesPerSecond);

// zerin_WaitSync blocks until the next tick of that clock or until its session shuts down, and
// writes its frame-info record when it wakes, as a real runtime does: it does not look again
// whether the client still holds the record. A wait woken by the shutdown writes a record with
// frame index 0 and leaves ZERIN_ERROR_INVALID_SESSION as the library's error (its session is
// closed by then).
//
// Holding (non-zero) keeps every zerin_WaitSync from returning, even past its session's
// shutdown, as a runtime late to notice would; releasing (0) lets each return as it would have.
ZERINLIB_API void zerinsim_HoldFrameSyncs(int32_t hold);
// Waits up to `timeoutMilliseconds` until at least `count` zerin_WaitSync calls are blocked;
// 1 when they are, else 0.
ZERINLIB_API int32_t zerinsim_AwaitFrameSyncWaiters(int32_t count, int32_t timeoutMilliseconds);
// How often the runtime wrote a frame-info record after the client had freed it (each is also
// reported on standard error). Freed records stay allocated, filled with 0xdd and, under
// AddressSanitizer, poisoned, so that such a write is caught rather than corrupting memory.
ZERINLIB_API int32_t zerinsim_WritesToFreedRecords(void);

// Queues an event for zerin_PollEvent (any session polls it).
ZERINLIB_API void zerinsim_QueueEvent(const ZerinEvent* event);
// Events queued and not yet polled.
ZERINLIB_API int32_t zerinsim_PendingEventCount(void);

// Swap chains have this many images; the images of a colour swap chain are textures of the
// configured format bindable as shader resource and render target; those of a depth swap chain
// (usage ZERIN_SWAPCHAIN_USAGE_DEPTH, format R32_TYPELESS or D32_FLOAT) are R32_TYPELESS
// textures bindable as depth-stencil and shader resource.
enum { ZERINSIM_SWAPCHAIN_IMAGE_COUNT = 3 };

typedef struct ZerinSimSwapChainState {
  ZerinSwapChainConfig config;
  int32_t imageCount;
  int32_t currentImage;   // handed out by the latest acquire; -1 before the first
  int32_t acquired;       // acquires not yet released
  int32_t lastReleased;   // the image the next frame shows; -1 before the first release
  int64_t acquires;       // zerin_AcquireSwapChainImage calls that succeeded
  int64_t releases;       // zerin_ReleaseSwapChainImage calls that succeeded
} ZerinSimSwapChainState;

// 1 and *state filled for a live swap chain, else 0.
ZERINLIB_API int32_t zerinsim_GetSwapChainState(ZerinSwapChain swapChain, ZerinSimSwapChainState* state);

// Copies mip 0 of one array slice of image `image` into `buffer`: rows without padding, texels
// as the format stores them. Returns the size it needs (0: no such swap chain, image or slice,
// or the image cannot be read); writes only when `size` is enough. Uses the immediate context
// of the swap chain's device: call it only while no other thread uses that context.
ZERINLIB_API int32_t zerinsim_ReadSwapChainImage(ZerinSwapChain swapChain, int32_t image, uint32_t arraySlice,
                                                 void* buffer, int32_t size);

// What one zerin_EndFrameWithLayers received, copied deeply. Pointers keep the values the
// client passed, so that tests can check where they pointed; what they pointed at is copied
// beside them.
typedef struct ZerinSimSubmittedView {
  ZerinRuntimeView view;               // as submitted
  int32_t hasDepth;                    // the first extension was a depth extension
  int32_t hasExtraDepth;               // an extra depth extension was chained after it
  ZerinDepthExtension depth;           // copied when hasDepth
  ZerinExtraDepthExtension extraDepth; // copied when hasExtraDepth
  int32_t colourImage;                 // the image of the colour swap chain the frame shows; -1 none
  int32_t depthImage;                  // the same for the depth swap chain
} ZerinSimSubmittedView;

typedef struct ZerinSimSubmittedFrame {
  ZerinSession session;
  int64_t begunFrameIndex;  // the frame zerin_BeginFrame began (0: none was begun)
  ZerinErrorCode error;     // what the call left for zerin_GetError; 0 when accepted
  ZerinLayerSubmit submit;  // the argument record as passed
  // The four entries of submit.layers (clients always pass four), and copies of the layers of
  // the first submit.layerCount entries (zero beyond).
  const ZerinRuntimeLayer* layerPointers[4];
  ZerinRuntimeLayer layers[4];
  // Copies of the views of layer l at l * 4 to l * 4 + 3 (up to four views a layer).
  ZerinSimSubmittedView views[16];
} ZerinSimSubmittedFrame;

// Submitted frames are kept, the latest 1024, oldest first.
ZERINLIB_API int32_t zerinsim_SubmittedFrameCount(void);
// Keeps only the latest `count` (1 to 1024) from now on; the kept ones are dropped. A long run
// that reads none back (a benchmark) keeps its records in the cache this way. A reset restores
// 1024.
ZERINLIB_API void zerinsim_SetKeptFrameCount(int32_t count);
// 1 and *frame filled when there is such a frame, else 0.
ZERINLIB_API int32_t zerinsim_GetSubmittedFrame(int32_t index, ZerinSimSubmittedFrame* frame);
ZERINLIB_API void zerinsim_ClearSubmittedFrames(void);

#ifdef __cplusplus
}  // extern "C"

#include <cstdint>
#include <string>
#include <vector>

namespace ZerinSim {

inline std::vector<std::string> calls() {
  std::vector<std::string> lines;
  const int32_t count = zerinsim_CallCount();
  for (int32_t i = 0; i < count; ++i) {
    const int32_t size = zerinsim_GetCall(i, nullptr, 0);
    std::string line(size > 0 ? static_cast<size_t>(size) : 1u, '\0');
    zerinsim_GetCall(i, &line[0], size);
    line.resize(size > 0 ? static_cast<size_t>(size) - 1 : 0);
    lines.push_back(line);
  }
  return lines;
}

// The logged calls of one function, in order.
inline std::vector<std::string> callsTo(const std::string& function) {
  std::vector<std::string> found;
  for (auto& line : calls())
    if (line.compare(0, function.size() + 1, function + "(") == 0) found.push_back(line);
  return found;
}

inline std::vector<ZerinSimSubmittedFrame> submittedFrames() {
  std::vector<ZerinSimSubmittedFrame> frames(static_cast<size_t>(zerinsim_SubmittedFrameCount()));
  for (size_t i = 0; i < frames.size(); ++i)
    if (!zerinsim_GetSubmittedFrame(static_cast<int32_t>(i), &frames[i])) frames.resize(i);
  return frames;
}

inline std::vector<uint8_t> readSwapChainImage(ZerinSwapChain swapChain, int32_t image, uint32_t arraySlice = 0) {
  const int32_t size = zerinsim_ReadSwapChainImage(swapChain, image, arraySlice, nullptr, 0);
  std::vector<uint8_t> texels(size > 0 ? static_cast<size_t>(size) : 0u);
  if (size > 0 && zerinsim_ReadSwapChainImage(swapChain, image, arraySlice, texels.data(), size) != size) texels.clear();
  return texels;
}

}  // namespace ZerinSim
#endif
