#pragma once
#include "core/engine_device.h"
#include "unity_graphics.h"

namespace Zerin {

// The engine's interfaces as the plug-in last fetched them (unityGraphicsD3D11 among them).
extern IUnityInterfaces* unityInterfaces;
extern IUnityGraphics* unityGraphics;

void unityPluginLoad(IUnityInterfaces* interfaces);
void unityPluginUnload();
// Registered with the engine; also run once by unityPluginLoad for the initialise event.
void onGraphicsDeviceEvent(UnityGfxDeviceEventType eventType);

}  // namespace Zerin
