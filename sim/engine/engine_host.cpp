#include "engine_host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "gfx_textures.h"
#include "platform/system_error.h"

namespace ZerinSim {

namespace {

std::atomic<EngineHost*> currentHost{nullptr};

bool sameGuid(const UnityInterfaceGUID& a, const UnityInterfaceGUID& b) {
  return a.high == b.high && a.low == b.low;
}

}  // namespace

EngineHost::EngineHost(EngineOptions hostOptions) : options(hostOptions) {
  registry.GetInterface = &EngineHost::getInterface;
  graphics.GetRenderer = &EngineHost::getRenderer;
  graphics.RegisterDeviceEventCallback = &EngineHost::registerCallback;
  graphics.UnregisterDeviceEventCallback = &EngineHost::unregisterCallback;
  graphicsD3D11.GetDevice = &EngineHost::getDevice;
  if (options.createDevice) {
    graphicsDevice = Gfx::createDevice();
    if (!graphicsDevice) {
      char text[64];
      std::snprintf(text, sizeof text, "D3D11CreateDevice failed: 0x%08lX",
                    static_cast<unsigned long>(graphicsDevice.result));
      lastError = text;
    }
  }
  currentHost.store(this);
}

EngineHost::~EngineHost() {
  unload();
  currentHost.store(nullptr);
}

std::string EngineHost::pluginPath() {
  return Zerin::platform::besideProgram(Zerin::platform::SharedLibrary::fileName("ZerinEngineBridge"));
}

bool EngineHost::openLibrary(const std::string& path) {
  std::string failure;
  if (!library.open(path, failure)) {
    lastError = failure.empty() ? "LoadLibrary failed with error " + std::to_string(Zerin::platform::lastSystemError())
                                : failure;
    return false;
  }
  std::string missing;
  if (!bridge.resolve(library, missing)) {
    lastError = missing + " is not exported";
    library.close();
    return false;
  }
  return true;
}

bool EngineHost::callPluginLoad() {
  if (!bridge.UnityPluginLoad) {
    lastError = "no plug-in is loaded";
    return false;
  }
  bridge.UnityPluginLoad(&registry);
  pluginLoaded = true;
  return true;
}

void EngineHost::unload() {
  render.stop();
  if (pluginLoaded) {
    bridge.UnityPluginUnload();
    pluginLoaded = false;
  }
  bridge = {};
  library.close();
}

void EngineHost::sendDeviceEvent(UnityGfxDeviceEventType eventType) {
  std::vector<IUnityGraphicsDeviceEventCallback> receivers;
  {
    std::lock_guard<std::mutex> lock(mutex);
    receivers = callbacks;
  }
  for (auto callback : receivers) callback(eventType);
}

bool EngineHost::startRendering() {
  if (!bridge.GetRenderEventFunc) {
    lastError = "no plug-in is loaded";
    return false;
  }
  return render.start(bridge.GetRenderEventFunc());
}

Gfx::Ref<ID3D11Texture2D> EngineHost::createDepthTexture(UINT width, UINT height, const std::vector<float>& depth,
                                                          uint8_t stencil) const {
  if (!device() || depth.size() != size_t(width) * height) return nullptr;
  return Gfx::createTexture(device(), width, height, DXGI_FORMAT_R32G8X24_TYPELESS,
                            D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                            Gfx::depthStencilTexels(depth, stencil).data());
}

int EngineHost::rendererQueries() const {
  std::lock_guard<std::mutex> lock(mutex);
  return renderers;
}

size_t EngineHost::registeredCallbackCount() const {
  std::lock_guard<std::mutex> lock(mutex);
  return callbacks.size();
}

std::vector<UnityInterfaceGUID> EngineHost::interfaceQueries() const {
  std::lock_guard<std::mutex> lock(mutex);
  return queries;
}

IUnityInterface* EngineHost::getInterface(UnityInterfaceGUID guid) {
  EngineHost* host = currentHost.load();
  if (!host) return nullptr;
  {
    std::lock_guard<std::mutex> lock(host->mutex);
    host->queries.push_back(guid);
  }
  if (sameGuid(guid, kUnityGraphicsGUID) && host->options.offerGraphics) return &host->graphics;
  if (sameGuid(guid, kUnityGraphicsD3D11GUID) && host->options.offerD3D11) return &host->graphicsD3D11;
  return nullptr;
}

UnityGfxRenderer EngineHost::getRenderer() {
  EngineHost* host = currentHost.load();
  if (host) {
    std::lock_guard<std::mutex> lock(host->mutex);
    ++host->renderers;
  }
  return kUnityGfxRendererD3D11;
}

void EngineHost::registerCallback(IUnityGraphicsDeviceEventCallback callback) {
  EngineHost* host = currentHost.load();
  if (!host || !callback) return;
  std::lock_guard<std::mutex> lock(host->mutex);
  host->callbacks.push_back(callback);
}

void EngineHost::unregisterCallback(IUnityGraphicsDeviceEventCallback callback) {
  EngineHost* host = currentHost.load();
  if (!host) return;
  std::lock_guard<std::mutex> lock(host->mutex);
  auto& list = host->callbacks;
  list.erase(std::remove(list.begin(), list.end(), callback), list.end());
}

ID3D11Device* EngineHost::getDevice() {
  EngineHost* host = currentHost.load();
  return host ? host->graphicsDevice.device.get() : nullptr;
}

}  // namespace ZerinSim
