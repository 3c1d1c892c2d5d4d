#pragma once
// The rules the runtime puts on its client, each with an id that stays the same from release to
// release: tools and reports match on it. A broken rule is reported through hooks::finding with
// the session's latest frame and a sentence that names the call. Strict (the default) fails the
// call as the runtime always has; lenient only reports and lets the call go on as far as it
// safely can. Rules marked "always" fail in both modes, because going on would mean reading or
// writing through a handle or record the runtime does not hold. Rules marked "reported" never
// fail: the runtime takes what it was given (it composites any pose, discards a frame begun
// twice, writes a frame-info record it was handed).
//
// | id                            | broken when                                                 | strict fails with | lenient            |
// |-------------------------------|-------------------------------------------------------------|-------------------|--------------------|
// | session-closed                | a call names a null, closed or never-made session           | INVALID_SESSION   | always             |
// | record-unknown                | a record (frame info, submit info, event, mesh) is null     | INVALID_ARGUMENT  | always             |
// |                               | where one is needed, or was never made by the runtime       |                   |                    |
// | record-freed                  | a record is used or freed after it was freed; zerin_WaitSync| INVALID_ARGUMENT  | always; reported   |
// |                               | writes a frame-info record that was freed                   | (WaitSync: none)  | only for WaitSync  |
// | frame-not-synced              | zerin_BeginFrame before the session's first zerin_WaitSync  | none              | reported           |
// | frame-begin-twice             | zerin_BeginFrame while a begun frame was not ended          | none              | reported           |
// | frame-end-without-begin       | zerin_EndFrameWithLayers with no frame begun                | INVALID_STATE     | frame accepted     |
// | frame-index-mismatch          | the submitted frame index is not the frame begun            | INVALID_ARGUMENT  | frame accepted     |
// | layer-count-out-of-range      | layerCount below 0 or above 4                               | INVALID_ARGUMENT  | clamped to 0..4    |
// | layer-missing                 | the layer list, or one of its first layerCount entries, is  | INVALID_ARGUMENT  | layer skipped      |
// |                               | null                                                        |                   |                    |
// | layer-type-unknown            | a layer's type is not ZERIN_LAYER_PROJECTION                | INVALID_ARGUMENT  | taken as given     |
// | view-count-out-of-range       | a layer's viewCount below 1 or above 4                      | INVALID_ARGUMENT  | clamped to 0..4    |
// | views-missing                 | a layer with views has a null view list                     | INVALID_ARGUMENT  | layer's views      |
// |                               |                                                             |                   | skipped            |
// | extension-chain-invalid       | an unknown extension type, a second depth extension, extra  | INVALID_ARGUMENT  | chain read up to   |
// |                               | depth without depth before it, or a chain of more than 8    |                   | the bad link       |
// | pose-not-finite               | a view's pose or projection holds a NaN or an infinity      | none              | reported           |
// | pose-not-rigid                | a view pose's rotation is not orthonormal within 1e-3, or   | none              | reported           |
// |                               | its last row is not 0 0 0 1                                 |                   |                    |
// | depth-range-invalid           | nearZ >= farZ, minDepth > maxDepth, or either outside 0..1  | none              | reported           |
// | swapchain-unknown             | a handle the runtime never made (null included)             | INVALID_ARGUMENT  | frame accepted;    |
// |                               |                                                             |                   | swap-chain calls   |
// |                               |                                                             |                   | always             |
// | swapchain-destroyed           | a handle of a swap chain already freed                      | INVALID_ARGUMENT  | as above           |
// | swapchain-of-another-session  | a layer names a live swap chain of another session          | INVALID_ARGUMENT  | frame accepted     |
// | image-not-released            | a layer names a swap chain whose image is acquired and not  | INVALID_STATE     | frame accepted     |
// |                               | released                                                    |                   |                    |
// | image-never-released          | a layer names a swap chain none of whose images was ever    | INVALID_STATE     | frame accepted     |
// |                               | released, so it has nothing to show                         |                   |                    |
// | viewport-outside-image        | a view's rectangle or array slice lies outside its image    | INVALID_ARGUMENT  | frame accepted     |
// | release-without-acquire       | zerin_ReleaseSwapChainImage with no image acquired          | INVALID_STATE     | nothing released   |
// | image-index-out-of-range      | zerin_GetSwapChainImage with an index the chain lacks       | INVALID_ARGUMENT  | always             |
// | texture-of-another-device     | a swap chain made with another device than the session's    | INVALID_ARGUMENT  | made all the same; |
// |                               | live swap chains use; zerin_ToD3D11Texture with a texture   |                   | the image's own    |
// |                               | that is not the image's                                     |                   | texture returned   |
// | swapchain-config-invalid      | a null config, a zero size or array, multisampling, an      | INVALID_ARGUMENT  | always             |
// |                               | unknown usage, a depth format the runtime cannot make       |                   |                    |
// | pose-kind-unknown             | zerin_FrameGetPose or zerin_ResetPose with a kind not 1..3  | INVALID_ARGUMENT  | head pose used     |
// | button-state-unknown          | zerin_GetButtonEvent with a state not 1..3                  | INVALID_ARGUMENT  | answers 0          |
// | gaze-not-started              | a gaze query before the session's zerin_GazeInit            | INVALID_STATE     | empty sample       |
// | property-unknown              | zerin_GetPropertyBool of a property the session lacks       | NOT_FOUND         | always             |
// | stream-unknown                | a stream id the runtime does not offer, or stopping a       | NOT_FOUND         | always             |
// |                               | stream not started                                          |                   |                    |
// | stream-started-twice          | zerin_StartDataStream of a stream already running           | INVALID_STATE     | keeps running      |
// | invalid-argument              | the rest: a null output pointer, a negative count, a null   | INVALID_ARGUMENT  | always             |
// |                               | key or callback, an unknown flag, a view index not 0..3, a  |                   |                    |
// |                               | quaternion of length 0                                      |                   |                    |
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
