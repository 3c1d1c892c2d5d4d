#pragma once
#include <atomic>

#include "unity_graphics.h"
#include "unity_graphics_d3d11.h"

namespace Zerin {

// The engine's interfaces as the plug-in last fetched them. unityGraphicsD3D11 is null when the
// engine has none; it is read by the render thread.
extern IUnityInterfaces* unityInterfaces;
extern IUnityGraphics* unityGraphics;
extern std::atomic<IUnityGraphicsD3D11*> unityGraphicsD3D11;

void unityPluginLoad(IUnityInterfaces* interfaces);
void unityPluginUnload();
// Registered with the engine; also run once by unityPluginLoad for the initialise event.
void onGraphicsDeviceEvent(UnityGfxDeviceEventType eventType);

}  // namespace Zerin
