#pragma once
#include <atomic>

#include "unity_graphics_d3d11.h"

namespace Zerin {

// The engine's Direct3D 11 interface as the plug-in last fetched it at a graphics-device event;
// null when the engine has none. Read by the render thread.
inline std::atomic<IUnityGraphicsD3D11*> unityGraphicsD3D11{nullptr};

}  // namespace Zerin
