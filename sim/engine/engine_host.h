#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "bridge_exports.h"
#include "gfx_device.h"
#include "platform/shared_library.h"
#include "render_thread.h"
#include "unity_graphics.h"
#include "unity_graphics_d3d11.h"

namespace ZerinSim {

struct EngineOptions {
  bool offerGraphics = true;  // the registry answers the graphics interface
  bool offerD3D11 = true;     // the registry answers the Direct3D 11 interface
  bool createDevice = false;  // GetDevice hands out a device from the device factory (else null)
};

// Loads the plug-in as the engine does: load the library, call UnityPluginLoad with the
// interface registry, deliver graphics-device events to the callbacks the plug-in registered,
// run render events on a render thread, and call UnityPluginUnload before freeing the library.
// The registry's functions carry no context, so one host exists at a time.
class EngineHost {
 public:
  explicit EngineHost(EngineOptions options = {});
  ~EngineHost();
  EngineHost(const EngineHost&) = delete;
  EngineHost& operator=(const EngineHost&) = delete;

  // The built plug-in beside the running program.
  static std::string pluginPath();

  // Loads the library and binds its exports, without telling the plug-in (so a test can install
  // its log first); false, with nothing loaded, when it lacks an export.
  bool openLibrary(const std::string& path = pluginPath());
  // Calls UnityPluginLoad with the registry; false without a library.
  bool callPluginLoad();
  bool load(const std::string& path = pluginPath()) { return openLibrary(path) && callPluginLoad(); }
  // Stops the render thread, calls UnityPluginUnload and frees the library.
  void unload();

  bool libraryOpen() const { return library.isOpen(); }
  // The loaded plug-in's exports; all null while no library is open.
  const BridgeExports& exports() const { return bridge; }

  // Delivers a device event to every registered callback, on the calling thread.
  void sendDeviceEvent(UnityGfxDeviceEventType eventType);

  // Starts the render thread with the callback from the plug-in's GetRenderEventFunc.
  bool startRendering();
  RenderThread& renderThread() { return render; }

  IUnityInterfaces* interfaces() { return &registry; }
  ID3D11Device* device() const { return graphicsDevice.device.get(); }

  // A depth texture as the engine renders into: 32-bit float depth with 8-bit stencil
  // (R32G8X24_TYPELESS), bindable as depth-stencil and as shader input through an
  // R32_FLOAT_X8X24_TYPELESS view, filled with `depth` row by row (stencil `stencil`). Null
  // without a device or when the values do not fill width x height.
  Gfx::Ref<ID3D11Texture2D> createDepthTexture(UINT width, UINT height, const std::vector<float>& depth,
                                                uint8_t stencil = 0) const;
  const std::string& error() const { return lastError; }

  // What the plug-in asked of the engine.
  int rendererQueries() const;
  size_t registeredCallbackCount() const;
  std::vector<UnityInterfaceGUID> interfaceQueries() const;

 private:
  static IUnityInterface* getInterface(UnityInterfaceGUID guid);
  static UnityGfxRenderer getRenderer();
  static void registerCallback(IUnityGraphicsDeviceEventCallback callback);
  static void unregisterCallback(IUnityGraphicsDeviceEventCallback callback);
  static ID3D11Device* getDevice();

  EngineOptions options;
  Zerin::platform::SharedLibrary library;
  BridgeExports bridge;
  Gfx::Device graphicsDevice;
  RenderThread render;
  std::string lastError;
  bool pluginLoaded = false;

  IUnityInterfaces registry{};
  IUnityGraphics graphics{};
  IUnityGraphicsD3D11 graphicsD3D11{};

  mutable std::mutex mutex;  // guards callbacks, queries and renderers
  std::vector<IUnityGraphicsDeviceEventCallback> callbacks;
  std::vector<UnityInterfaceGUID> queries;
  int renderers = 0;
};

}  // namespace ZerinSim
