#include "plugin/plugin_lifecycle.h"

#include "core/plugin_log.h"
#include "render/depth_copy_objects.h"

namespace Zerin {

IUnityInterfaces* unityInterfaces = nullptr;
IUnityGraphics* unityGraphics = nullptr;

namespace {

// The system's own text (tests match it): must not be corrected.
constexpr const char* kGoodbye =
    "Cleanup done. Final message before cleaning up log pointer.\n"
    "This conversation can serve no purpose any more. Goodbye.";

template <class Interface>
Interface* fetchInterface(const UnityInterfaceGUID& guid) {
  if (!unityInterfaces || !unityInterfaces->GetInterface) return nullptr;
  return static_cast<Interface*>(unityInterfaces->GetInterface(guid));
}

void initialiseDevice() {
  // The renderer is asked for but not checked: the interface query below decides.
  if (unityGraphics && unityGraphics->GetRenderer) unityGraphics->GetRenderer();
  // The system's own text (tests match it): must not be corrected.
  pluginLog("Initialize d3d11");
  IUnityGraphicsD3D11* d3d11 = fetchInterface<IUnityGraphicsD3D11>(kUnityGraphicsD3D11GUID);
  unityGraphicsD3D11.store(d3d11);
  // The system's own text (tests match it): must not be corrected.
  if (!d3d11) pluginLog("Failed to get Unity graphics D3D11.");
}

void shutdownDevice() {
  releaseDepthCopyObjects();
  pluginLog("%s", kGoodbye);
}

}  // namespace

void unityPluginLoad(IUnityInterfaces* interfaces) {
  unityInterfaces = interfaces;
  unityGraphics = fetchInterface<IUnityGraphics>(kUnityGraphicsGUID);
  if (unityGraphics && unityGraphics->RegisterDeviceEventCallback) {
    unityGraphics->RegisterDeviceEventCallback(onGraphicsDeviceEvent);
  } else {
    // Without the graphics interface no device event will come; the device is still looked up
    // once so that the render thread can work if the engine has one.
    // The system's own text (tests match it): must not be corrected.
    pluginLog("Failed to get Unity graphics.");
  }
  onGraphicsDeviceEvent(kUnityGfxDeviceEventInitialize);
}

void unityPluginUnload() {
  if (unityGraphics && unityGraphics->UnregisterDeviceEventCallback)
    unityGraphics->UnregisterDeviceEventCallback(onGraphicsDeviceEvent);
  onGraphicsDeviceEvent(kUnityGfxDeviceEventShutdown);
}

void onGraphicsDeviceEvent(UnityGfxDeviceEventType eventType) {
  // The system's own text (tests match it): must not be corrected.
  pluginLog("GraphicsEvent received: %d", static_cast<int>(eventType));
  switch (eventType) {
    case kUnityGfxDeviceEventInitialize: initialiseDevice(); break;
    case kUnityGfxDeviceEventShutdown: shutdownDevice(); break;
    default: break;
  }
}

}  // namespace Zerin
