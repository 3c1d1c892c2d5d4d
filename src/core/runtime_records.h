#pragma once
// The public records that carry a runtime record byte for byte. The two headers declare them
// apart (a caller of the plug-in needs no runtime header), so their layouts are checked here,
// field by field where the plug-in or a script reads them, and passing one as the other is a
// copy of its bytes.
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "zerin/engine_bridge.h"
#include "zerin_lib.h"

namespace Zerin {

template <class A, class B>
constexpr bool sameLayout() {
  return std::is_trivially_copyable_v<A> && std::is_trivially_copyable_v<B> && sizeof(A) == sizeof(B) &&
         alignof(A) == alignof(B);
}

static_assert(sameLayout<ZerinBridgeMatrix, ZerinMatrix>(), "");
static_assert(sameLayout<ZerinBridgeFrameView, ZerinFrameView>(), "");
static_assert(offsetof(ZerinBridgeFrameView, projection) == offsetof(ZerinFrameView, projection) &&
                  offsetof(ZerinBridgeFrameView, viewport) == offsetof(ZerinFrameView, viewport),
              "");
static_assert(sameLayout<ZerinBridgeSwapchainConfig, ZerinSwapChainConfig>(), "");
static_assert(offsetof(ZerinBridgeSwapchainConfig, format) == offsetof(ZerinSwapChainConfig, format) &&
                  offsetof(ZerinBridgeSwapchainConfig, usage) == offsetof(ZerinSwapChainConfig, usage),
              "");
static_assert(sameLayout<ZerinBridgeGazeSample, ZerinGazeSample>(), "");
static_assert(offsetof(ZerinBridgeGazeSample, left) == offsetof(ZerinGazeSample, left) &&
                  offsetof(ZerinBridgeGazeSample, right) == offsetof(ZerinGazeSample, right) &&
                  offsetof(ZerinBridgeGazeSample, confidence) == offsetof(ZerinGazeSample, confidence),
              "");
static_assert(sameLayout<ZerinBridgeRawGazeSample, ZerinRawGazeSample>(), "");
static_assert(offsetof(ZerinBridgeRawGazeSample, right) == offsetof(ZerinRawGazeSample, right) &&
                  offsetof(ZerinBridgeRawGazeSample, flags) == offsetof(ZerinRawGazeSample, flags),
              "");
static_assert(sameLayout<ZerinBridgeGazeCalibrationParameter, ZerinGazeCalibrationParameter>(), "");
static_assert(sameLayout<ZerinBridgeStreamFrame, ZerinStreamFrame>(), "");
static_assert(offsetof(ZerinBridgeStreamFrame, data) == offsetof(ZerinStreamFrame, data), "");
static_assert(sameLayout<ZerinBridgeOcclusionVertex, ZerinOcclusionVertex>(), "");

// `from` as the record of the other header.
template <class To, class From>
To recordAs(const From& from) {
  static_assert(sameLayout<To, From>(), "only records checked above pass as each other");
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
}

}  // namespace Zerin
