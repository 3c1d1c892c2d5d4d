/* ZerinEngineBridge: the engine plug-in's C interface.
 *
 * The engine loads the library and calls UnityPluginLoad; its scripts call the other functions
 * by name (platform invoke), and its render thread calls the function GetRenderEventFunc hands
 * out. A native caller may include this header and link the library, or look the functions up
 * by name. The build derives the library's export list from the prototypes below, so each
 * function is declared here once, in a declaration that starts a line with ZERIN_BRIDGE_API.
 *
 * Conventions
 * - Plain C: C99 or later, or C++. Records are little-endian with natural x64 alignment and
 *   64-bit pointers; the static assertions pin the sizes and offsets callers rely on.
 * - A bool is one byte. Failures are results (false, null, 0) and plug-in log lines; nothing
 *   throws across this interface.
 * - Unless a function says otherwise, the engine's scripting thread calls it. Exports that need
 *   the session do nothing without one, or return null, 0 or false.
 * - Requests are copied when queued: callers may reuse their buffers at once.
 */
#ifndef ZERIN_ENGINE_BRIDGE_H
#define ZERIN_ENGINE_BRIDGE_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "zerin/log_line.h"

/* The library's own build defines ZERIN_ENGINE_BRIDGE_BUILD. Functions and callbacks use
 * ZERIN_CALL (zerin/log_line.h). */
#if defined(_WIN32)
#if defined(ZERIN_ENGINE_BRIDGE_BUILD)
#define ZERIN_BRIDGE_API __declspec(dllexport)
#else
#define ZERIN_BRIDGE_API __declspec(dllimport)
#endif
#else
#define ZERIN_BRIDGE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Handles the plug-in passes on -------------------------------------------------------- */

/* Opaque here: the engine's plug-in interface registry, a Direct3D 11 resource, and the
 * compositor runtime's swap chain and occlusion mesh. The tags are the ones their own
 * declarations use, so a caller that includes those as well sees one type. */
struct IUnityInterfaces;
struct ID3D11Resource;
struct ZerinSwapChain_T;
struct ZerinOcclusionMesh;

/* ---- Render events ----------------------------------------------------------------------- */

/* Ids for the render-event callback (GetRenderEventFunc), which the engine runs on its render
 * thread in the order the scripts issued them. */
enum {
  ZERIN_BRIDGE_RENDER_EVENT_FRAME_START = 10,        /* submits a frame still begun, begins the next */
  ZERIN_BRIDGE_RENDER_EVENT_FRAME_SUBMIT = 11,       /* submits the oldest queued submission */
  ZERIN_BRIDGE_RENDER_EVENT_SWAPCHAIN_REQUESTS = 13, /* creates and frees the queued swap chains */
  ZERIN_BRIDGE_RENDER_EVENT_EVENT_POLL = 14,         /* moves runtime events into PollEvent's queue */
  ZERIN_BRIDGE_RENDER_EVENT_FRAME_SYNC = 20          /* waits for the frame sync, publishes views and
                                                        poses, releases one SyncRenderThread */
};

/* ---- Callback types ---------------------------------------------------------------------- */

/* The render-event callback: one event id, no result. Render thread only. */
typedef void(ZERIN_CALL* ZerinBridgeRenderEventFunc)(int32_t eventId);

/* The plug-in log: each message bare (no prefix, no newline), on whichever thread logs. The
 * text is valid during the call only. */
typedef void(ZERIN_CALL* ZerinBridgeDebugLogCallback)(const char* message);

/* One frame of a started data stream (a ZerinBridgeStreamFrame), on the runtime's delivery
 * thread. The frame and its pixels are valid during the call only. */
typedef void(ZERIN_CALL* ZerinBridgeStreamFrameCallback)(const void* frame, void* userData);

/* Every message a program manager client receives, on that client's message-handler thread:
 * the name (NUL-terminated, its length given) and the undecoded payload (null and 0 when
 * empty), both valid during the call only. */
typedef void(ZERIN_CALL* ZerinBridgeProgramManagerMessageHandler)(int32_t clientHandle, const char* messageName,
                                                                  int32_t messageNameLength, const uint8_t* messageData,
                                                                  int32_t messageDataSize);

/* ---- Records ----------------------------------------------------------------------------- */

/* The runtime's 4x4 matrix: sixteen doubles, row-major, passed through unchanged. */
typedef struct ZerinBridgeMatrix {
  double m[16];
} ZerinBridgeMatrix;

/* A pixel rectangle. */
typedef struct ZerinBridgeViewport {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
} ZerinBridgeViewport;

/* One view of a frame as the runtime predicts it for the frame's display time. */
typedef struct ZerinBridgeFrameView {
  ZerinBridgeMatrix pose;
  ZerinBridgeMatrix projection;
  ZerinBridgeViewport viewport; /* the runtime's recommended rectangle */
} ZerinBridgeFrameView;

/* What GetFramePoseData fills: the views of the latest frame sync and the poses of the head,
 * the left eye and the right eye, in that order. */
typedef struct ZerinBridgeFramePoseData {
  ZerinBridgeFrameView views[4];
  ZerinBridgeMatrix poses[3];
} ZerinBridgeFramePoseData;

/* An 8-byte cell holding the runtime's swap-chain handle: null until a render event 13 made the
 * swap chain. Scripts name a swap chain by the address of its slot. */
typedef struct ZerinBridgeSwapchainSlot {
  struct ZerinSwapChain_T* handle;
} ZerinBridgeSwapchainSlot;

enum {
  ZERIN_BRIDGE_SWAPCHAIN_USAGE_COLOUR = 1, /* images are copied into and sampled */
  ZERIN_BRIDGE_SWAPCHAIN_USAGE_DEPTH = 2   /* images are bound as depth-stencil targets */
};

/* The runtime's swap-chain configuration, handed on as it is. */
typedef struct ZerinBridgeSwapchainConfig {
  uint32_t width;
  uint32_t height;
  int32_t format; /* DXGI_FORMAT of the images */
  uint32_t arraySize;
  uint32_t sampleCount;
  uint32_t usage; /* ZERIN_BRIDGE_SWAPCHAIN_USAGE_* */
} ZerinBridgeSwapchainConfig;

/* Pixels of one view in a swap-chain image, and the image array slice. */
typedef struct ZerinBridgeImageViewport {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
  int32_t arrayIndex;
} ZerinBridgeImageViewport;

/* One view of one submitted layer. Slots are what QueueCreateD3D11Swapchain returned; textures
 * are the engine's Direct3D 11 resources. */
typedef struct ZerinBridgeSubmissionView {
  ZerinBridgeMatrix matrix0; /* the view's pose */
  ZerinBridgeMatrix matrix1; /* the view's projection */
  ZerinBridgeSwapchainSlot* colourSlot;
  ZerinBridgeImageViewport colourViewport;
  struct ID3D11Resource* colourTexture;
  int32_t hasDepth; /* non-zero: the view also submits depth */
  ZerinBridgeSwapchainSlot* depthSlot;
  ZerinBridgeImageViewport depthViewport;
  struct ID3D11Resource* depthTexture;
  int64_t depthParams[4];      /* passed on unchanged; the runtime reads four doubles: near,
                                  far, min and max depth */
  int64_t extraDepthParams[2]; /* the same: depth scale and offset */
  int32_t hasExtraDepthParams; /* non-zero: the second depth extension goes with the depth */
} ZerinBridgeSubmissionView;

enum {
  ZERIN_BRIDGE_MAX_LAYERS = 4,     /* layers in one submission */
  ZERIN_BRIDGE_VIEWS_PER_LAYER = 4 /* views in one layer, and in one frame sync */
};

/* One layer of a submission: always four views. */
typedef struct ZerinBridgeSubmissionLayer {
  int32_t layerParam0; /* reaches the runtime layer's sort order */
  int32_t layerParam1; /* reaches the runtime layer's flags */
  ZerinBridgeSubmissionView views[4];
} ZerinBridgeSubmissionLayer;

/* What GetRenderTextureFormat returns. */
typedef struct ZerinBridgeRenderTextureDesc {
  int32_t width;
  int32_t height;
  int32_t format; /* DXGI_FORMAT */
} ZerinBridgeRenderTextureDesc;

typedef struct ZerinBridgeVector3d {
  double x;
  double y;
  double z;
} ZerinBridgeVector3d;

/* Validity bits of a gaze ray or eye. */
enum {
  ZERIN_BRIDGE_GAZE_VALID_ORIGIN = 1,
  ZERIN_BRIDGE_GAZE_VALID_DIRECTION = 2,
  ZERIN_BRIDGE_GAZE_VALID_PUPIL = 4,
  ZERIN_BRIDGE_GAZE_VALID_OPENNESS = 8
};

typedef struct ZerinBridgeGazeEye {
  ZerinBridgeVector3d origin;    /* metres, head space */
  ZerinBridgeVector3d direction; /* unit vector, head space */
  double pupilDiameterMm;
  double openness; /* 0 closed, 1 open */
  uint32_t validity;
  uint32_t reserved;
} ZerinBridgeGazeEye;

/* The runtime's gaze sample, byte for byte. */
typedef struct ZerinBridgeGazeSample {
  int64_t timestamp; /* runtime clock, nanoseconds */
  int64_t frameIndex;
  ZerinBridgeVector3d combinedOrigin;
  ZerinBridgeVector3d combinedDirection;
  ZerinBridgeGazeEye left;
  ZerinBridgeGazeEye right;
  uint32_t validity; /* of the combined ray */
  float confidence;
} ZerinBridgeGazeSample;

typedef struct ZerinBridgeRawGazeEye {
  double pupilCentreX; /* camera pixels */
  double pupilCentreY;
  double pupilMajorAxis;
  double pupilMinorAxis;
  double pupilAngle; /* radians */
  ZerinBridgeVector3d gazeVector;
  double openness;
  uint32_t validity;
  uint32_t cameraIndex;
} ZerinBridgeRawGazeEye;

/* The runtime's raw gaze sample, byte for byte. */
typedef struct ZerinBridgeRawGazeSample {
  int64_t timestamp; /* runtime clock, nanoseconds */
  int64_t sensorTimestamp;
  ZerinBridgeRawGazeEye left;
  ZerinBridgeRawGazeEye right;
  double interPupillaryDistanceMm;
  ZerinBridgeVector3d headOrigin;
  uint32_t flags;
  uint32_t reserved0;
  uint8_t reserved1[16];
} ZerinBridgeRawGazeSample;

/* One parameter of RequestGazeCalibrationWithParameters. */
typedef struct ZerinBridgeGazeCalibrationParameter {
  int64_t key;
  double value;
} ZerinBridgeGazeCalibrationParameter;

/* Kinds of data stream (MRSupportsDataStream, MRStartDataStream, MRStopDataStream). */
enum { ZERIN_BRIDGE_STREAM_STEREO_CAMERA = 1, ZERIN_BRIDGE_STREAM_DEPTH_CAMERA = 2 };

/* One frame of a data stream, as a ZerinBridgeStreamFrameCallback receives it. */
typedef struct ZerinBridgeStreamFrame {
  int64_t streamType; /* the stream kind, always first */
  int64_t streamId;
  int64_t timestamp; /* runtime clock, nanoseconds */
  uint32_t width;
  uint32_t height;
  int32_t format;
  uint32_t rowPitch;
  const void* data;
  uint64_t dataSize;
} ZerinBridgeStreamFrame;

/* A vertex of the occlusion mesh: normalised view coordinates, -1 to 1. */
typedef struct ZerinBridgeOcclusionVertex {
  float x;
  float y;
} ZerinBridgeOcclusionVertex;

/* Kinds of queued callback: the callback each stands in for. */
enum {
  ZERIN_BRIDGE_QUEUED_DEBUG_LOG = 1,               /* ZerinBridgeDebugLogCallback */
  ZERIN_BRIDGE_QUEUED_PROGRAM_MANAGER_MESSAGE = 2, /* ZerinBridgeProgramManagerMessageHandler */
  ZERIN_BRIDGE_QUEUED_STREAM_FRAME = 3,            /* ZerinBridgeStreamFrameCallback */
  ZERIN_BRIDGE_QUEUED_LOGGER_LINE = 4              /* ZerinLogLineCallback */
};

/* One call the plug-in queued for the scripts' consumer thread (CallbackQueue_Next). Text and
 * data point into the queue, valid until that thread's next CallbackQueue_Next. */
typedef struct ZerinBridgeQueuedCallback {
  int32_t kind;         /* ZERIN_BRIDGE_QUEUED_* */
  int32_t clientHandle; /* program manager message: the client; logger line: its level */
  const char* text;     /* the log message, the message name or the logger line's tag;
                           NUL-terminated */
  const void* data;     /* the message payload (null when empty), the copied stream frame, or the
                           logger line's message (NUL-terminated) */
  void* userData;       /* stream frame: the user data the stream was started with */
  int32_t textLength;   /* bytes before the NUL */
  int32_t dataSize;     /* payload bytes, the size of the frame record, or the logger line's
                           message bytes before the NUL */
  int32_t dropped;      /* calls lost to a full queue since the previous one handed out */
  int32_t reserved;     /* 0 */
} ZerinBridgeQueuedCallback;

/* ---- Functions --------------------------------------------------------------------------- */

/* Plug-in lifecycle, called by the engine on threads of its choosing: load registers for
 * graphics-device events and binds the Direct3D 11 device; unload unregisters, releases the
 * depth copy's objects and ends the program manager calls under way. Neither ends a session. */
ZERIN_BRIDGE_API void ZERIN_CALL UnityPluginLoad(struct IUnityInterfaces* interfaces);
ZERIN_BRIDGE_API void ZERIN_CALL UnityPluginUnload(void);

/* Plug-in log and shared-logger lines. Null removes the callback; once the call returns, the
 * callback it replaced is not running and never runs again. */
ZERIN_BRIDGE_API void ZERIN_CALL SetDebugLog(ZerinBridgeDebugLogCallback callback);
ZERIN_BRIDGE_API void ZERIN_CALL SetLogLineCallback(ZerinLogLineCallback callback);

/* Session. One per process: InitSession fails while one is open, and after a failure the
 * caller ends the half-made session with EndSession before trying again. */
ZERIN_BRIDGE_API bool ZERIN_CALL InitSession(void);
ZERIN_BRIDGE_API bool ZERIN_CALL InitSessionWithLayerId(int64_t layerId);
/* Drops the queued swap-chain requests and submissions, stops the data streams, frees the
 * frame records and shuts the runtime session down. */
ZERIN_BRIDGE_API void ZERIN_CALL EndSession(void);
ZERIN_BRIDGE_API bool ZERIN_CALL IsSessionNull(void);
/* The runtime's session handle, or null; it belongs to the plug-in. */
ZERIN_BRIDGE_API void* ZERIN_CALL GetSession(void);
/* Needs no session. */
ZERIN_BRIDGE_API bool ZERIN_CALL IsZerinSystemInstalled(void);
/* The runtime's last error code (taken off the runtime); 1 without a session. */
ZERIN_BRIDGE_API int64_t ZERIN_CALL GetError(void);
/* The runtime's text for a code, sign-extended to 64 bits; it belongs to the runtime. */
ZERIN_BRIDGE_API const char* ZERIN_CALL GetErrorMessage(int32_t code);
/* The runtime's error code that ended the last failed session start; 0 when none did. */
ZERIN_BRIDGE_API int64_t ZERIN_CALL GetSessionStartError(void);
/* The runtime library's version text, or null without the library; it belongs to the runtime. */
ZERIN_BRIDGE_API const char* ZERIN_CALL GetRuntimeVersion(void);
/* The runtime version this plug-in is built for; static text. */
ZERIN_BRIDGE_API const char* ZERIN_CALL GetPluginVersion(void);
/* These four hand the current handle (null without a session) to the runtime. */
ZERIN_BRIDGE_API void ZERIN_CALL SetSessionVisible(bool visible);
ZERIN_BRIDGE_API void ZERIN_CALL SetSessionTransparent(bool transparent);
ZERIN_BRIDGE_API void ZERIN_CALL SendHeartBeat(int64_t sequence);
ZERIN_BRIDGE_API void ZERIN_CALL ResetPose(bool includeHeight, int32_t originKind);
/* NUL-terminated UTF-8; a null value removes the key. */
ZERIN_BRIDGE_API void ZERIN_CALL SetConfig(const char* key, const char* value);
/* The key's value in COM task memory (the caller frees it with CoTaskMemFree; free() elsewhere),
 * or null. */
ZERIN_BRIDGE_API char* ZERIN_CALL GetConfig(const char* key);
ZERIN_BRIDGE_API ZerinBridgeRenderTextureDesc ZERIN_CALL GetRenderTextureFormat(int32_t kind);
/* The quaternion (x, y, z, w) as three Euler angles in out[0..2] (radians about x, y and z,
 * applied z, y, x); without a session out is left as it was. */
ZERIN_BRIDGE_API void ZERIN_CALL GetEulerAngles(double x, double y, double z, double w, double* out);

/* Render queue. The callback GetRenderEventFunc hands out is the engine's render thread's; the
 * rest are the scripting thread's. */
ZERIN_BRIDGE_API ZerinBridgeRenderEventFunc ZERIN_CALL GetRenderEventFunc(void);
/* A slot naming the swap chain from now on (filled by the next render event 13), or null
 * without a session. The plug-in owns it: QueueDestroySwapchain gives it back. */
ZERIN_BRIDGE_API ZerinBridgeSwapchainSlot* ZERIN_CALL
QueueCreateD3D11Swapchain(const ZerinBridgeSwapchainConfig* config);
/* The slot is freed by the next render event 13; it must not be used after that. */
ZERIN_BRIDGE_API void ZERIN_CALL QueueDestroySwapchain(ZerinBridgeSwapchainSlot* slot);
/* Copies the first layerCount layers, at most four; a negative count counts as 0. */
ZERIN_BRIDGE_API void ZERIN_CALL QueueSubmission(int32_t layerCount, const ZerinBridgeSubmissionLayer* layers);
ZERIN_BRIDGE_API void ZERIN_CALL GetFramePoseData(ZerinBridgeFramePoseData* out);
/* Returns once for every render event 20 the render thread ran, counting those before the
 * call; issue the event first, or this waits for ever. */
ZERIN_BRIDGE_API void ZERIN_CALL SyncRenderThread(void);

/* Program manager clients, by handle. Any thread may call these; the calls that connect or send
 * with one client take turns on it, and IsConnected never waits. Connect blocks while the
 * service's pipe does not exist; Destroy joins the client's threads (up to a second). */
ZERIN_BRIDGE_API int32_t ZERIN_CALL ProgramManagerClient_Create(void);
ZERIN_BRIDGE_API void ZERIN_CALL ProgramManagerClient_Destroy(int32_t handle);
ZERIN_BRIDGE_API bool ZERIN_CALL ProgramManagerClient_IsConnected(int32_t handle);
ZERIN_BRIDGE_API bool ZERIN_CALL ProgramManagerClient_Connect(int32_t handle);
ZERIN_BRIDGE_API void ZERIN_CALL ProgramManagerClient_RestartActiveClient(int32_t handle);
/* One handler for all clients; null removes it. */
ZERIN_BRIDGE_API void ZERIN_CALL SetProgramManagerUnityMessageHandler(ZerinBridgeProgramManagerMessageHandler callback);

/* Runtime events, oldest first: PollEvent writes the type and makes the event current; the
 * getters read the current event's data (its first 32 bits, or all 64), 0 when none is. */
ZERIN_BRIDGE_API bool ZERIN_CALL PollEvent(int64_t* outType);
ZERIN_BRIDGE_API uint32_t ZERIN_CALL GetEventForeground(void);
ZERIN_BRIDGE_API uint32_t ZERIN_CALL GetEventHeadsetStandbyStatus(void);
ZERIN_BRIDGE_API uint32_t ZERIN_CALL GetEventVisibility(void);
ZERIN_BRIDGE_API int64_t ZERIN_CALL GetEventButton(void);
ZERIN_BRIDGE_API int64_t ZERIN_CALL GetEventDataStreamStart(void);
ZERIN_BRIDGE_API int64_t ZERIN_CALL GetEventDataStreamStop(void);
ZERIN_BRIDGE_API int64_t ZERIN_CALL GetEventMRCameraPropertyChange(void);
ZERIN_BRIDGE_API int64_t ZERIN_CALL GetEventMRDeviceStatus(void);
/* Asks the runtime directly, apart from the event queue. */
ZERIN_BRIDGE_API bool ZERIN_CALL GetButtonEvent(int64_t button, int64_t state);

/* Gaze: the records come byte for byte as the runtime made them. */
ZERIN_BRIDGE_API bool ZERIN_CALL InitGaze(void);
ZERIN_BRIDGE_API ZerinBridgeGazeSample ZERIN_CALL GetGaze(void);
/* False, out untouched, when no sample is waiting. */
ZERIN_BRIDGE_API bool ZERIN_CALL GetOldestGazeIfAvailable(ZerinBridgeGazeSample* out);
ZERIN_BRIDGE_API ZerinBridgeRawGazeSample ZERIN_CALL GetRawGazeData(void);
ZERIN_BRIDGE_API void ZERIN_CALL RequestGazeCalibration(void);
/* `parameters`: `count` ZerinBridgeGazeCalibrationParameter records, passed on. */
ZERIN_BRIDGE_API void ZERIN_CALL RequestGazeCalibrationWithParameters(const void* parameters, uint32_t count);

/* Mixed reality and the occlusion mesh. */
ZERIN_BRIDGE_API bool ZERIN_CALL MRIsAvailable(void);
ZERIN_BRIDGE_API bool ZERIN_CALL MRSupportsDataStream(int64_t kind);
/* At most one stream per kind (ZERIN_BRIDGE_STREAM_*); the callback runs on the runtime's
 * delivery thread until MRStopDataStream or EndSession. */
ZERIN_BRIDGE_API bool ZERIN_CALL MRStartDataStream(int64_t kind, ZerinBridgeStreamFrameCallback callback,
                                                   void* userData);
/* Returns after the stream's last callback has returned. */
ZERIN_BRIDGE_API void ZERIN_CALL MRStopDataStream(int64_t kind);
/* The runtime's mesh of one view, or null: the caller frees it with FreeOcclusionMesh. Its
 * ZerinBridgeOcclusionVertex triangle list (*outVertexData) lives as long as the mesh. */
ZERIN_BRIDGE_API struct ZerinOcclusionMesh* ZERIN_CALL CreateOcclusionMesh(int32_t viewIndex, int32_t* outVertexCount,
                                                                           void** outVertexData);
ZERIN_BRIDGE_API void ZERIN_CALL FreeOcclusionMesh(struct ZerinOcclusionMesh* mesh);

/* The callback queue: the plug-in's callbacks copied into a queue that one consumer thread of
 * the caller drains, so that none of the plug-in's threads enters the caller's code. */
/* The function that queues calls of a kind (ZERIN_BRIDGE_QUEUED_*), to be installed as that
 * callback; null for another kind. Static: never freed. */
ZERIN_BRIDGE_API void* ZERIN_CALL CallbackQueue_Entry(int32_t kind);
/* From now on queued calls are kept; anything left from before is dropped. */
ZERIN_BRIDGE_API void ZERIN_CALL CallbackQueue_Open(void);
/* For one consumer thread: waits up to timeoutMs (negative: no limit). 1: *next filled; 0:
 * time-out; -1: the queue is closed. */
ZERIN_BRIDGE_API int32_t ZERIN_CALL CallbackQueue_Next(ZerinBridgeQueuedCallback* next, int32_t timeoutMs);
/* Drops what is queued and wakes the consumer with -1. */
ZERIN_BRIDGE_API void ZERIN_CALL CallbackQueue_Close(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* ---- Layouts ----------------------------------------------------------------------------- */

#if defined(__cplusplus)
#define ZERIN_BRIDGE_LAYOUT(condition) static_assert(condition, #condition)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define ZERIN_BRIDGE_LAYOUT(condition) _Static_assert(condition, #condition)
#else
/* C99 has no static assertion: an array of negative size stands in. */
#define ZERIN_BRIDGE_LAYOUT_NAME(line) zerin_bridge_layout_##line
#define ZERIN_BRIDGE_LAYOUT_LINE(line) ZERIN_BRIDGE_LAYOUT_NAME(line)
#define ZERIN_BRIDGE_LAYOUT(condition) typedef char ZERIN_BRIDGE_LAYOUT_LINE(__LINE__)[(condition) ? 1 : -1]
#endif

ZERIN_BRIDGE_LAYOUT(sizeof(void*) == 8);
ZERIN_BRIDGE_LAYOUT(sizeof(bool) == 1);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeMatrix) == 128);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeViewport) == 16);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeFrameView) == 272);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeFrameView, projection) == 128);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeFrameView, viewport) == 256);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeFramePoseData) == 1472);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeFramePoseData, poses) == 1088);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeFramePoseData, poses[1]) == 1216);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeFramePoseData, poses[2]) == 1344);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeSwapchainSlot) == 8);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeSwapchainConfig) == 24);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSwapchainConfig, usage) == 20);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeImageViewport) == 20);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeSubmissionView) == 400);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, matrix1) == 128);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, colourSlot) == 256);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, colourViewport) == 264);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, colourTexture) == 288);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, hasDepth) == 296);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, depthSlot) == 304);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, depthViewport) == 312);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, depthTexture) == 336);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, depthParams) == 344);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, extraDepthParams) == 376);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionView, hasExtraDepthParams) == 392);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeSubmissionLayer) == 1608);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionLayer, layerParam1) == 4);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionLayer, views) == 8);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeSubmissionLayer, views[3]) == 1208);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeRenderTextureDesc) == 12);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeVector3d) == 24);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeGazeEye) == 72);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeGazeSample) == 216);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeGazeSample, left) == 64);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeGazeSample, right) == 136);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeGazeSample, validity) == 208);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeRawGazeEye) == 80);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeRawGazeSample) == 232);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeRawGazeSample, interPupillaryDistanceMm) == 176);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeRawGazeSample, flags) == 208);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeGazeCalibrationParameter) == 16);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeStreamFrame) == 56);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeStreamFrame, data) == 40);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeOcclusionVertex) == 8);
ZERIN_BRIDGE_LAYOUT(sizeof(ZerinBridgeQueuedCallback) == 48);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeQueuedCallback, clientHandle) == 4);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeQueuedCallback, text) == 8);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeQueuedCallback, data) == 16);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeQueuedCallback, userData) == 24);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeQueuedCallback, textLength) == 32);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeQueuedCallback, dataSize) == 36);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeQueuedCallback, dropped) == 40);
ZERIN_BRIDGE_LAYOUT(offsetof(ZerinBridgeQueuedCallback, reserved) == 44);

#endif /* ZERIN_ENGINE_BRIDGE_H */
