#pragma once
// The rules the runtime puts on its client, each with an id that stays the same from release to
// release: tools and reports match on it. A broken rule is reported through hooks::finding with
// the session's latest frame and a sentence that names the call. Strict (the default) fails the
// call as the runtime always has; lenient only reports and lets the call go on as far as it
// safely can. Rules marked "always" fail in both modes: going on would mean reading or writing
// through a handle or record the runtime does not hold, or there is nothing to go on with (no
// such image, stream or property, no config to make images of). Rules marked "reported" never
// fail: the runtime takes what it was given (it composites any pose, discards a frame begun
// twice, writes a frame-info record it was handed).
//
// Columns: the id; what strict fails the call with; what lenient does instead; when it is broken.
//
// session-closed                INVALID_SESSION   always        a null, closed or never-made session handle
// record-unknown                INVALID_ARGUMENT  always        a null record where one is needed (frame info, submit
//                                                               info, event, mesh), or one the runtime never made
// record-freed                  INVALID_ARGUMENT  always        a record used or freed after it was freed; the write
//                                                               of zerin_WaitSync into a freed frame info is only
//                                                               reported (the record stays allocated for it)
// frame-not-synced              -                 reported      zerin_BeginFrame before the session's first sync
// frame-begin-twice             -                 reported      zerin_BeginFrame while a begun frame was not ended
// frame-end-without-begin       INVALID_STATE     accepted      zerin_EndFrameWithLayers with no frame begun
// frame-index-mismatch          INVALID_ARGUMENT  accepted      the submitted frame index is not the frame begun
// layer-count-out-of-range      INVALID_ARGUMENT  clamped       layerCount below 0 or above 4
// layer-missing                 INVALID_ARGUMENT  skipped       a null layer list, or a null entry among layerCount
// layer-type-unknown            INVALID_ARGUMENT  accepted      a layer type other than ZERIN_LAYER_PROJECTION
// view-count-out-of-range       INVALID_ARGUMENT  clamped       a layer's viewCount below 1 or above 4
// views-missing                 INVALID_ARGUMENT  skipped       a layer with views and a null view list
// extension-chain-invalid       INVALID_ARGUMENT  read to it    an unknown extension type, a second depth extension,
//                                                               extra depth without depth before it, more than 8 links
// pose-not-finite               -                 reported      a view's pose or projection holds a NaN or infinity
// pose-not-rigid                -                 reported      a view pose's rotation not orthonormal within 1e-3, or
//                                                               its last row not 0 0 0 1
// depth-range-invalid           -                 reported      nearZ >= farZ, or minDepth > maxDepth, or either
//                                                               outside 0..1
// swapchain-unknown             INVALID_ARGUMENT  accepted (1)  a swap-chain handle the runtime never made, or null
// swapchain-destroyed           INVALID_ARGUMENT  accepted (1)  the handle of a swap chain that was freed
// swapchain-of-another-session  INVALID_ARGUMENT  accepted      a layer names a live swap chain of another session
// image-not-released            INVALID_STATE     accepted      a layer names a swap chain whose image is acquired and
//                                                               not released
// image-never-released          INVALID_STATE     accepted      a layer names a swap chain none of whose images was
//                                                               ever released: it has nothing to show
// viewport-outside-image        INVALID_ARGUMENT  accepted      a view's rectangle or array slice outside its image
// release-without-acquire       INVALID_STATE     nothing       zerin_ReleaseSwapChainImage with no image acquired
// image-index-out-of-range      INVALID_ARGUMENT  always        an image index the swap chain does not have
// texture-of-another-device     INVALID_ARGUMENT  made / right  a swap chain made with another device than the
//                                                 texture       session's live swap chains; zerin_ToD3D11Texture with
//                                                               a texture that is not the image's
// swapchain-config-invalid      INVALID_ARGUMENT  always        a null config, zero size or slices, multisampling, an
//                                                               unknown usage, a depth format the runtime cannot make
// pose-kind-unknown             INVALID_ARGUMENT  head pose     zerin_FrameGetPose or zerin_ResetPose, kind not 1..3
// button-state-unknown          INVALID_ARGUMENT  answers 0     zerin_GetButtonEvent with a state not 1..3
// gaze-not-started              INVALID_STATE     empty sample  a gaze query before the session's zerin_GazeInit
// property-unknown              NOT_FOUND         always        zerin_GetPropertyBool of a property the session lacks
// stream-unknown                NOT_FOUND         always        a stream not offered, or stopping one not started
// stream-started-twice          INVALID_STATE     runs on       zerin_StartDataStream of a stream already running
// invalid-argument              INVALID_ARGUMENT  always        the rest: a null output pointer or key or callback, a
//                                                               negative count, an unknown flag or view index, a
//                                                               quaternion of length 0
//
// (1) in a layer; the swap-chain calls themselves always fail on such a handle.
#include <cstddef>

namespace ZerinSim {

enum class Rule {
  SessionClosed,
  RecordUnknown,
  RecordFreed,
  FrameNotSynced,
  FrameBeginTwice,
  FrameEndWithoutBegin,
  FrameIndexMismatch,
  LayerCountOutOfRange,
  LayerMissing,
  LayerTypeUnknown,
  ViewCountOutOfRange,
  ViewsMissing,
  ExtensionChainInvalid,
  PoseNotFinite,
  PoseNotRigid,
  DepthRangeInvalid,
  SwapchainUnknown,
  SwapchainDestroyed,
  SwapchainOfAnotherSession,
  ImageNotReleased,
  ImageNeverReleased,
  ViewportOutsideImage,
  ReleaseWithoutAcquire,
  ImageIndexOutOfRange,
  TextureOfAnotherDevice,
  SwapchainConfigInvalid,
  PoseKindUnknown,
  ButtonStateUnknown,
  GazeNotStarted,
  PropertyUnknown,
  StreamUnknown,
  StreamStartedTwice,
  InvalidArgument,
  Count
};

// By Rule, in the order of the table above.
inline constexpr const char* kRuleIds[] = {
    "session-closed",
    "record-unknown",
    "record-freed",
    "frame-not-synced",
    "frame-begin-twice",
    "frame-end-without-begin",
    "frame-index-mismatch",
    "layer-count-out-of-range",
    "layer-missing",
    "layer-type-unknown",
    "view-count-out-of-range",
    "views-missing",
    "extension-chain-invalid",
    "pose-not-finite",
    "pose-not-rigid",
    "depth-range-invalid",
    "swapchain-unknown",
    "swapchain-destroyed",
    "swapchain-of-another-session",
    "image-not-released",
    "image-never-released",
    "viewport-outside-image",
    "release-without-acquire",
    "image-index-out-of-range",
    "texture-of-another-device",
    "swapchain-config-invalid",
    "pose-kind-unknown",
    "button-state-unknown",
    "gaze-not-started",
    "property-unknown",
    "stream-unknown",
    "stream-started-twice",
    "invalid-argument",
};
static_assert(sizeof kRuleIds / sizeof kRuleIds[0] == static_cast<size_t>(Rule::Count), "one id per rule");

inline const char* ruleId(Rule rule) { return kRuleIds[static_cast<size_t>(rule)]; }

}  // namespace ZerinSim
