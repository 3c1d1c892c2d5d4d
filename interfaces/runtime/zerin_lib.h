#pragma once
// Client API of the compositor runtime library ZerinLib: 48 functions zerin_*.
//
// Conventions
// - Every record is little-endian with natural x64 alignment; pointers are 64-bit. The sizes
//   and offsets pinned at the end of this file are what the plug-in relies on.
// - Functions on a session take the session handle first. A null or closed handle is refused:
//   the call does nothing, returns its zero value and leaves ZERIN_ERROR_INVALID_SESSION.
// - Failures are reported through zerin_GetError: it returns the code of the last failure
//   since it was last asked and forgets it, so one failure is reported once. Errors that
//   belong to no session (zerin_AllocateEvent, zerin_FreeSwapChain, ...) are reported to the
//   open session and to zerin_GetError(NULL) alike: the library serves one client process.
// - Records are created and freed in pairs (zerin_Create.../zerin_Free..., zerin_AllocateEvent/
//   zerin_FreeEvent). Strings returned by the library belong to it and live as long as it.
// - Functions may be called from any thread; the library serialises them. Stream frame
//   callbacks run on the library's own delivery thread.
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(ZERINLIB_BUILD)
#define ZERINLIB_API __declspec(dllexport)
#else
#define ZERINLIB_API __declspec(dllimport)
#endif
#else
#define ZERINLIB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
// Declared by <d3d11.h>; named here so that this header does not pull in Direct3D.
struct ID3D11Device;
struct ID3D11Texture2D;
extern "C" {
#else
typedef struct ID3D11Device ID3D11Device;
typedef struct ID3D11Texture2D ID3D11Texture2D;
#endif

/* ---- Handles and scalar types ------------------------------------------------------------ */

typedef struct ZerinSession_T* ZerinSession;      // one compositor session; NULL = none
typedef struct ZerinSwapChain_T* ZerinSwapChain;  // one swap chain of Direct3D 11 images

// Signed 64-bit; 0 means no error. The library's own codes are negative.
typedef int64_t ZerinErrorCode;

enum {
  ZERIN_SUCCESS = 0,
  ZERIN_ERROR_UNKNOWN = -1,
  ZERIN_ERROR_INVALID_ARGUMENT = -2,
  ZERIN_ERROR_INVALID_SESSION = -3,
  ZERIN_ERROR_NOT_IMPLEMENTED = -4,
  ZERIN_ERROR_RUNTIME_UNAVAILABLE = -5,
  ZERIN_ERROR_OUT_OF_MEMORY = -6,
  ZERIN_ERROR_DEVICE_LOST = -7,
  ZERIN_ERROR_NOT_FOUND = -8,
  ZERIN_ERROR_INVALID_STATE = -9,
};

/* ---- Common records ---------------------------------------------------------------------- */

// 4x4 matrix, row-major, sixteen doubles.
typedef struct ZerinMatrix {
  double m[16];
} ZerinMatrix;

// A pixel rectangle.
typedef struct ZerinViewport {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
} ZerinViewport;

typedef struct ZerinVector3d {
  double x;
  double y;
  double z;
} ZerinVector3d;

/* ---- Events ------------------------------------------------------------------------------ */

// Event types. The data field of each is described beside it.
enum {
  ZERIN_EVENT_NONE = 0,
  ZERIN_EVENT_VISIBILITY = 1,              // data.u32: 1 visible, 0 hidden
  ZERIN_EVENT_FOREGROUND = 2,              // data.u32: 1 in front, 0 behind another session
  ZERIN_EVENT_HEADSET_STANDBY = 3,         // data.u32: 1 entering standby, 0 leaving it
  ZERIN_EVENT_BUTTON = 4,                  // data.i64: button id in the low 32 bits, state above
  ZERIN_EVENT_DATA_STREAM_START = 5,       // data.i64: stream id
  ZERIN_EVENT_DATA_STREAM_STOP = 6,        // data.i64: stream id
  ZERIN_EVENT_MR_CAMERA_PROPERTY = 7,      // data.i64: property key in the low 32 bits, value above
  ZERIN_EVENT_MR_DEVICE_STATUS = 8,        // data.i64: device id in the low 32 bits, status above
};

// One runtime event, 24 bytes. The plug-in copies it whole and reads type and data.
typedef struct ZerinEvent {
  int64_t type;       // ZERIN_EVENT_*
  int64_t timestamp;  // runtime clock, nanoseconds
  union {
    uint32_t u32;
    int64_t i64;
    uint8_t bytes[8];
  } data;
} ZerinEvent;

/* ---- Frame cycle ------------------------------------------------------------------------- */

// One view of a frame as the runtime predicts it for the frame's display time.
typedef struct ZerinFrameView {
  ZerinMatrix pose;        // view pose in the tracking space
  ZerinMatrix projection;  // projection matrix of the view
  ZerinViewport viewport;  // recommended pixel rectangle
} ZerinFrameView;

enum { ZERIN_VIEW_COUNT = 4 };

// Filled by zerin_WaitSync. Created with zerin_CreateFrameInfo; `views` points at four
// ZerinFrameView records owned by the frame info.
typedef struct ZerinFrameInfo {
  ZerinFrameView* views;
  int64_t frameIndex;          // the frame this sync is for
  int64_t predictedDisplayTime;  // runtime clock, nanoseconds
} ZerinFrameInfo;

// Begins each frame (zerin_BeginFrame). Created with zerin_CreateSubmitInfo; `viewports`
// points at four ZerinViewport records owned by the submit info, laid out by
// zerin_LayoutDefaultViewports.
typedef struct ZerinSubmitInfo {
  ZerinViewport* viewports;
  int64_t viewportCount;  // always ZERIN_VIEW_COUNT
  int64_t flags;          // ZERIN_SUBMIT_* ; the client sets it once after creation
  int64_t frameIndex;     // written by zerin_BeginFrame: the frame that was begun
} ZerinSubmitInfo;

enum { ZERIN_SUBMIT_DEFAULT = 1 };

// Pose kinds of zerin_FrameGetPose.
enum {
  ZERIN_POSE_HEAD = 1,
  ZERIN_POSE_LEFT_EYE = 2,
  ZERIN_POSE_RIGHT_EYE = 3,
};

// Where a view lies in a swap-chain image.
typedef struct ZerinSwapchainViewport {
  ZerinSwapChain swapChain;
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
  int32_t arrayIndex;  // image array slice
  int32_t reserved;    // 0
} ZerinSwapchainViewport;

// Extensions of a view form a chain; each starts with this header.
typedef struct ZerinExtensionHeader {
  int64_t type;  // ZERIN_EXTENSION_*
  const struct ZerinExtensionHeader* next;
} ZerinExtensionHeader;

enum {
  ZERIN_EXTENSION_DEPTH = 1,
  ZERIN_EXTENSION_EXTRA_DEPTH = 2,
};

// One submitted view: its pose and projection and its colour image.
typedef struct ZerinRuntimeView {
  const ZerinExtensionHeader* extensions;  // NULL or the first extension
  ZerinMatrix pose;
  ZerinMatrix projection;
  ZerinSwapchainViewport colour;
} ZerinRuntimeView;

// The view's depth image (extension type 1).
typedef struct ZerinDepthExtension {
  int64_t type;  // ZERIN_EXTENSION_DEPTH
  const ZerinExtensionHeader* next;
  double nearZ;
  double farZ;
  double minDepth;
  double maxDepth;
  ZerinSwapchainViewport depth;
} ZerinDepthExtension;

// Further depth parameters (extension type 2), chained after a depth extension.
typedef struct ZerinExtraDepthExtension {
  int64_t type;  // ZERIN_EXTENSION_EXTRA_DEPTH
  const ZerinExtensionHeader* next;
  double depthScale;
  double depthOffset;
} ZerinExtraDepthExtension;

enum { ZERIN_LAYER_PROJECTION = 1 };

// One composited layer of views.
typedef struct ZerinRuntimeLayer {
  int64_t type;       // ZERIN_LAYER_PROJECTION
  int64_t flags;
  int64_t sortOrder;  // layers with a higher order are composited on top
  int32_t viewCount;  // ZERIN_VIEW_COUNT
  int32_t reserved;
  const ZerinRuntimeView* views;  // viewCount consecutive records
} ZerinRuntimeLayer;

// The argument of zerin_EndFrameWithLayers.
typedef struct ZerinLayerSubmit {
  int64_t frameIndex;  // ZerinSubmitInfo.frameIndex of the frame being ended
  int64_t reserved0;
  int32_t layerCount;  // how many entries of `layers` belong to the frame
  int32_t reserved1;
  const ZerinRuntimeLayer* const* layers;  // four entries, all set; the first layerCount count
} ZerinLayerSubmit;

/* ---- Swap chains ------------------------------------------------------------------------- */

enum {
  ZERIN_SWAPCHAIN_USAGE_COLOUR = 1,  // images can be copied into and sampled
  ZERIN_SWAPCHAIN_USAGE_DEPTH = 2,   // images can be bound as depth-stencil targets
};

typedef struct ZerinSwapChainConfig {
  uint32_t width;
  uint32_t height;
  int32_t format;  // DXGI_FORMAT of the images
  uint32_t arraySize;
  uint32_t sampleCount;
  uint32_t usage;  // ZERIN_SWAPCHAIN_USAGE_*
} ZerinSwapChainConfig;

// One image of a swap chain; pass it to zerin_ToD3D11Texture.
typedef struct ZerinSwapChainImage {
  ZerinSwapChain swapChain;
  void* nativeTexture;  // the image's texture; use zerin_ToD3D11Texture for its type
  int32_t index;
  uint32_t width;
  uint32_t height;
  int32_t format;
} ZerinSwapChainImage;

/* ---- Gaze -------------------------------------------------------------------------------- */

enum {
  ZERIN_GAZE_VALID_ORIGIN = 1,
  ZERIN_GAZE_VALID_DIRECTION = 2,
  ZERIN_GAZE_VALID_PUPIL = 4,
  ZERIN_GAZE_VALID_OPENNESS = 8,
};

typedef struct ZerinGazeEye {
  ZerinVector3d origin;     // metres, head space
  ZerinVector3d direction;  // unit vector, head space
  double pupilDiameterMm;
  double openness;  // 0 closed, 1 open
  uint32_t validity;  // ZERIN_GAZE_VALID_*
  uint32_t reserved;
} ZerinGazeEye;

// One gaze sample, 216 bytes.
typedef struct ZerinGazeSample {
  int64_t timestamp;  // runtime clock, nanoseconds
  int64_t frameIndex;
  ZerinVector3d combinedOrigin;
  ZerinVector3d combinedDirection;
  ZerinGazeEye left;
  ZerinGazeEye right;
  uint32_t validity;  // ZERIN_GAZE_VALID_* of the combined ray
  float confidence;
} ZerinGazeSample;

typedef struct ZerinRawGazeEye {
  double pupilCentreX;  // camera pixels
  double pupilCentreY;
  double pupilMajorAxis;
  double pupilMinorAxis;
  double pupilAngle;  // radians
  ZerinVector3d gazeVector;
  double openness;
  uint32_t validity;
  uint32_t cameraIndex;
} ZerinRawGazeEye;

// One raw gaze sample, 232 bytes.
typedef struct ZerinRawGazeSample {
  int64_t timestamp;  // runtime clock, nanoseconds
  int64_t sensorTimestamp;
  ZerinRawGazeEye left;
  ZerinRawGazeEye right;
  double interPupillaryDistanceMm;
  ZerinVector3d headOrigin;
  uint32_t flags;
  uint32_t reserved0;
  uint8_t reserved1[16];
} ZerinRawGazeSample;

// One calibration parameter of zerin_RequestGazeCalibrationWithParameters.
typedef struct ZerinGazeCalibrationParameter {
  int64_t key;
  double value;
} ZerinGazeCalibrationParameter;

/* ---- Pose -------------------------------------------------------------------------------- */

// Rotation angles in radians about the x, y and z axes, applied in the order z, y, x.
typedef struct ZerinEulerAngles {
  double aroundX;
  double aroundY;
  double aroundZ;
} ZerinEulerAngles;

/* ---- Mixed reality ----------------------------------------------------------------------- */

// Boolean session property: mixed reality is available.
enum { ZERIN_PROPERTY_MR_AVAILABLE = 0xD000 };

enum {
  ZERIN_STREAM_CHANNEL_LEFT = 1,   // bit 0 of channelFlags
  ZERIN_STREAM_CHANNEL_RIGHT = 2,  // bit 1 of channelFlags
};

enum {
  ZERIN_STREAM_TYPE_STEREO_CAMERA = 1,
  ZERIN_STREAM_TYPE_DEPTH_CAMERA = 2,
};

enum { ZERIN_STREAM_BUFFER_CPU = 1 };

// One data stream the runtime offers, 184 bytes.
typedef struct ZerinDataStreamConfig {
  int64_t streamId;
  uint8_t channelFlags;  // ZERIN_STREAM_CHANNEL_*
  uint8_t reserved0[7];
  int64_t streamType;  // ZERIN_STREAM_TYPE_*
  int64_t bufferType;  // ZERIN_STREAM_BUFFER_*
  uint32_t width;
  uint32_t height;
  int32_t format;
  uint32_t framesPerSecond;
  char name[128];
  uint64_t reserved1;
} ZerinDataStreamConfig;

// One frame of a data stream, valid only during the callback.
typedef struct ZerinStreamFrame {
  int64_t streamType;  // ZERIN_STREAM_TYPE_*, always first
  int64_t streamId;
  int64_t timestamp;  // runtime clock, nanoseconds
  uint32_t width;
  uint32_t height;
  int32_t format;
  uint32_t rowPitch;
  const void* data;
  uint64_t dataSize;
} ZerinStreamFrame;

// Runs on the library's delivery thread for every frame of a started stream; `channel` is the
// ZERIN_STREAM_CHANNEL_* bit the frame belongs to.
typedef void (*ZerinStreamFrameCallback)(const ZerinStreamFrame* frame, uint64_t channel,
                                         void* userData);

typedef struct ZerinOcclusionVertex {
  float x;  // normalised view coordinates, -1 to 1
  float y;
} ZerinOcclusionVertex;

// The area of one view that the display never shows, as a triangle list.
typedef struct ZerinOcclusionMesh {
  const ZerinOcclusionVertex* vertices;
  int32_t vertexCount;
  int32_t viewIndex;
} ZerinOcclusionMesh;

/* ---- Functions --------------------------------------------------------------------------- */

// Version, session
ZERINLIB_API const char* zerin_GetFullVersion(void);  // "1.2.3.4-rc-0123abcd"
ZERINLIB_API int32_t zerin_IsAvailable(void);         // non-zero: the runtime is installed
ZERINLIB_API ZerinSession zerin_SessionInit(void);    // NULL on failure
ZERINLIB_API ZerinSession zerin_SessionInitWithLayerId(int64_t layerId);
ZERINLIB_API void zerin_SessionShutDown(ZerinSession session);

// Errors
ZERINLIB_API ZerinErrorCode zerin_GetError(ZerinSession session);
ZERINLIB_API const char* zerin_GetErrorDesc(ZerinErrorCode code);  // never NULL

// Events, input
ZERINLIB_API ZerinEvent* zerin_AllocateEvent(void);
ZERINLIB_API void zerin_FreeEvent(ZerinEvent* event);
// 1 when an event was written to *event, 0 when none is pending.
ZERINLIB_API int32_t zerin_PollEvent(ZerinSession session, ZerinEvent* event);
// Non-zero while `button` is in `state` (ZERIN_BUTTON_STATE_*).
ZERINLIB_API int32_t zerin_GetButtonEvent(ZerinSession session, int64_t button, int64_t state);

enum {
  ZERIN_BUTTON_STATE_DOWN = 1,
  ZERIN_BUTTON_STATE_PRESSED = 2,  // went down since the last query
  ZERIN_BUTTON_STATE_RELEASED = 3,  // went up since the last query
};

// Frame
ZERINLIB_API ZerinFrameInfo* zerin_CreateFrameInfo(ZerinSession session);
ZERINLIB_API void zerin_FreeFrameInfo(ZerinFrameInfo* frameInfo);
ZERINLIB_API ZerinSubmitInfo* zerin_CreateSubmitInfo(ZerinSession session);
ZERINLIB_API void zerin_FreeSubmitInfo(ZerinSubmitInfo* submitInfo);
// Writes the runtime's recommended rectangles into four viewports.
ZERINLIB_API void zerin_LayoutDefaultViewports(ZerinSession session, ZerinViewport* viewports);
// Blocks until the runtime's next frame sync and fills *frameInfo for that frame.
ZERINLIB_API void zerin_WaitSync(ZerinSession session, ZerinFrameInfo* frameInfo);
ZERINLIB_API ZerinMatrix zerin_FrameGetPose(ZerinSession session, int64_t poseKind);
ZERINLIB_API void zerin_BeginFrame(ZerinSession session, ZerinSubmitInfo* submitInfo);
ZERINLIB_API void zerin_EndFrameWithLayers(ZerinSession session, const ZerinLayerSubmit* submit);

// Swap chains
ZERINLIB_API ZerinSwapChain zerin_D3D11CreateSwapChain(ZerinSession session, ID3D11Device* device,
                                                     const ZerinSwapChainConfig* config);
ZERINLIB_API void zerin_FreeSwapChain(ZerinSwapChain swapChain);
// Writes the index of the image to render into next.
ZERINLIB_API void zerin_AcquireSwapChainImage(ZerinSwapChain swapChain, int32_t* index);
ZERINLIB_API ZerinSwapChainImage zerin_GetSwapChainImage(ZerinSwapChain swapChain, int32_t index);
// The image's texture; the swap chain keeps the reference.
ZERINLIB_API ID3D11Texture2D* zerin_ToD3D11Texture(ZerinSwapChainImage image);
ZERINLIB_API void zerin_ReleaseSwapChainImage(ZerinSwapChain swapChain);

// Gaze
ZERINLIB_API void zerin_GazeInit(ZerinSession session);
ZERINLIB_API ZerinGazeSample zerin_GetGaze(ZerinSession session);
// Moves up to `capacity` buffered samples, oldest first, into `samples`; returns how many.
ZERINLIB_API int32_t zerin_GetGazeArray(ZerinSession session, ZerinGazeSample* samples, int32_t capacity);
ZERINLIB_API ZerinRawGazeSample zerin_GetRawGazeData(ZerinSession session);
ZERINLIB_API void zerin_RequestGazeCalibration(ZerinSession session);
ZERINLIB_API void zerin_RequestGazeCalibrationWithParameters(ZerinSession session,
                                                             const ZerinGazeCalibrationParameter* parameters,
                                                             uint32_t count);

// Pose, settings
// The rotation of the quaternion (x, y, z, w) as Euler angles; needs no session.
ZERINLIB_API ZerinEulerAngles zerin_GetEulerAngles(double x, double y, double z, double w);
// Makes the current head pose the origin: `includeHeight` non-zero also resets the height;
// `originKind` is a ZERIN_POSE_* kind whose pose becomes the origin.
ZERINLIB_API void zerin_ResetPose(ZerinSession session, int32_t includeHeight, int64_t originKind);
ZERINLIB_API void zerin_SetSessionVisible(ZerinSession session, int32_t visible);
ZERINLIB_API void zerin_SetSessionTransparent(ZerinSession session, int32_t transparent);
// Tells the runtime the client is alive; `sequence` is the client's own counter.
ZERINLIB_API void zerin_SendHeartBeat(ZerinSession session, int64_t sequence);
// A NULL value removes the key.
ZERINLIB_API void zerin_SetConfig(ZerinSession session, const char* key, const char* value);
// Returns the size in bytes, terminator included, that the value of `key` needs (0: no value).
// Copies the value into `buffer` only when `size` is at least that; otherwise writes nothing.
ZERINLIB_API int32_t zerin_GetConfig(ZerinSession session, const char* key, char* buffer, int32_t size);

// Mixed reality
// Refreshes the session properties from the devices.
ZERINLIB_API void zerin_SyncProperties(ZerinSession session);
ZERINLIB_API int32_t zerin_HasProperty(ZerinSession session, int64_t key);
ZERINLIB_API int32_t zerin_GetPropertyBool(ZerinSession session, int64_t key);
ZERINLIB_API int32_t zerin_GetDataStreamConfigCount(ZerinSession session);
// Writes up to `count` records; returns how many were written.
ZERINLIB_API int32_t zerin_GetDataStreamConfigs(ZerinSession session, ZerinDataStreamConfig* configs,
                                                int32_t count);
// Delivers the frames of the channels in `channelMask` to `callback` until stopped.
ZERINLIB_API void zerin_StartDataStream(ZerinSession session, int64_t streamId, uint64_t channelMask,
                                        ZerinStreamFrameCallback callback, void* userData);
// Returns after the last callback of the stream has returned.
ZERINLIB_API void zerin_StopDataStream(ZerinSession session, int64_t streamId);
// `flags` 1: the mesh covers the hidden area (the only kind there is).
ZERINLIB_API ZerinOcclusionMesh* zerin_CreateOcclusionMesh(ZerinSession session, int32_t viewIndex,
                                                           int32_t flags);
ZERINLIB_API void zerin_FreeOcclusionMesh(ZerinOcclusionMesh* mesh);

#ifdef __cplusplus
}  // extern "C"

// The layouts the plug-in relies on.
static_assert(sizeof(void*) == 8, "the runtime's records are laid out for 64-bit pointers");
static_assert(sizeof(ZerinMatrix) == 128, "");
static_assert(sizeof(ZerinViewport) == 16, "");
static_assert(sizeof(ZerinEvent) == 24, "");
static_assert(offsetof(ZerinEvent, type) == 0 && offsetof(ZerinEvent, timestamp) == 8 &&
                  offsetof(ZerinEvent, data) == 16, "");
static_assert(sizeof(ZerinFrameView) == 272, "");
static_assert(sizeof(ZerinFrameInfo) == 24, "");
static_assert(offsetof(ZerinFrameInfo, views) == 0 && offsetof(ZerinFrameInfo, frameIndex) == 8 &&
                  offsetof(ZerinFrameInfo, predictedDisplayTime) == 16, "");
static_assert(sizeof(ZerinSubmitInfo) == 32, "");
static_assert(offsetof(ZerinSubmitInfo, viewports) == 0 && offsetof(ZerinSubmitInfo, flags) == 16 &&
                  offsetof(ZerinSubmitInfo, frameIndex) == 24, "");
static_assert(sizeof(ZerinSwapChainConfig) == 24, "");
static_assert(sizeof(ZerinSwapChainImage) == 32, "");
static_assert(sizeof(ZerinGazeSample) == 216, "");
static_assert(sizeof(ZerinRawGazeSample) == 232, "");
static_assert(sizeof(ZerinEulerAngles) == 24, "");
static_assert(sizeof(ZerinDataStreamConfig) == 184, "");
static_assert(offsetof(ZerinDataStreamConfig, streamId) == 0 &&
                  offsetof(ZerinDataStreamConfig, channelFlags) == 8 &&
                  offsetof(ZerinDataStreamConfig, streamType) == 16 &&
                  offsetof(ZerinDataStreamConfig, bufferType) == 24, "");
static_assert(offsetof(ZerinStreamFrame, streamType) == 0, "");
static_assert(offsetof(ZerinOcclusionMesh, vertices) == 0 && offsetof(ZerinOcclusionMesh, vertexCount) == 8, "");
static_assert(sizeof(ZerinLayerSubmit) == 32, "");
static_assert(offsetof(ZerinLayerSubmit, frameIndex) == 0 && offsetof(ZerinLayerSubmit, reserved0) == 8 &&
                  offsetof(ZerinLayerSubmit, layerCount) == 16 && offsetof(ZerinLayerSubmit, reserved1) == 20 &&
                  offsetof(ZerinLayerSubmit, layers) == 24, "");
static_assert(sizeof(ZerinRuntimeLayer) == 40, "");
static_assert(offsetof(ZerinRuntimeLayer, type) == 0 && offsetof(ZerinRuntimeLayer, flags) == 8 &&
                  offsetof(ZerinRuntimeLayer, sortOrder) == 16 && offsetof(ZerinRuntimeLayer, viewCount) == 24 &&
                  offsetof(ZerinRuntimeLayer, views) == 32, "");
static_assert(sizeof(ZerinRuntimeView) == 296, "");
static_assert(offsetof(ZerinRuntimeView, extensions) == 0 && offsetof(ZerinRuntimeView, pose) == 8 &&
                  offsetof(ZerinRuntimeView, projection) == 136 && offsetof(ZerinRuntimeView, colour) == 264, "");
static_assert(sizeof(ZerinSwapchainViewport) == 32, "");
static_assert(offsetof(ZerinSwapchainViewport, swapChain) == 0 && offsetof(ZerinSwapchainViewport, x) == 8 &&
                  offsetof(ZerinSwapchainViewport, arrayIndex) == 24 && offsetof(ZerinSwapchainViewport, reserved) == 28,
              "");
static_assert(sizeof(ZerinDepthExtension) == 80, "");
static_assert(offsetof(ZerinDepthExtension, type) == 0 && offsetof(ZerinDepthExtension, next) == 8 &&
                  offsetof(ZerinDepthExtension, nearZ) == 16 && offsetof(ZerinDepthExtension, depth) == 48, "");
static_assert(sizeof(ZerinExtraDepthExtension) == 32, "");
static_assert(offsetof(ZerinExtraDepthExtension, type) == 0 && offsetof(ZerinExtraDepthExtension, next) == 8 &&
                  offsetof(ZerinExtraDepthExtension, depthScale) == 16, "");
#endif
