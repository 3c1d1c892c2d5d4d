#include "zerin_test_host.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine_host.h"
#include "gfx_textures.h"
#include "program_manager_service.h"

namespace {

using ZerinSim::Gfx::Ref;

// Touched only by the calling thread, and by the render thread inside the tasks below while
// the caller waits for them.
std::unique_ptr<ZerinSim::EngineHost> engine;
std::string engineError;
std::vector<Ref<ID3D11Texture2D>> textures;
std::unique_ptr<ZerinSim::ProgramManagerService> service;

// Runs `work` on the render thread, where the engine's device is used, and waits for it.
template <class Work>
void onRenderThread(Work work) {
  engine->renderThread().issueTask(work);
  engine->renderThread().waitUntilIdle();
}

}  // namespace

int32_t zerintest_EngineStart(void) {
  if (engine) {
    engineError = "the engine runs already";
    return 0;
  }
  engine = std::make_unique<ZerinSim::EngineHost>(ZerinSim::EngineOptions{true, true, true});
  if (!engine->device()) {
    engineError = "no graphics device: " + engine->error();
  } else if (!engine->load(ZERIN_PLUGIN_FILE_NAME)) {
    engineError = "the plug-in did not load: " + engine->error();
  } else if (!engine->startRendering()) {
    engineError = "the render thread did not start: " + engine->error();
  } else {
    engineError.clear();
    return 1;
  }
  engine.reset();
  return 0;
}

void zerintest_EngineStop(void) {
  if (!engine) return;
  engine->renderThread().waitUntilIdle();
  if (!textures.empty()) onRenderThread([] { textures.clear(); });
  engine.reset();
}

const char* zerintest_EngineError(void) { return engineError.c_str(); }

void zerintest_IssuePluginEvent(int32_t eventId) {
  if (engine) engine->renderThread().issuePluginEvent(eventId);
}

void zerintest_WaitForRenderThread(void) {
  if (engine) engine->renderThread().waitUntilIdle();
}

void* zerintest_CreateTexture(uint32_t width, uint32_t height, int32_t format, const void* texels) {
  if (!engine) return nullptr;
  const auto dxgiFormat = static_cast<DXGI_FORMAT>(format);
  const UINT bind = D3D11_BIND_SHADER_RESOURCE | (dxgiFormat == DXGI_FORMAT_R32G8X24_TYPELESS
                                                       ? D3D11_BIND_DEPTH_STENCIL
                                                       : D3D11_BIND_RENDER_TARGET);
  Ref<ID3D11Texture2D> texture;
  onRenderThread([&] {
    texture = ZerinSim::Gfx::createTexture(engine->device(), width, height, dxgiFormat, bind, texels);
  });
  if (!texture) return nullptr;
  textures.push_back(texture);
  return texture.get();
}

void zerintest_ReleaseTexture(void* texture) {
  const auto found = std::find_if(textures.begin(), textures.end(),
                                  [texture](const Ref<ID3D11Texture2D>& held) { return held.get() == texture; });
  if (found == textures.end() || !engine) return;
  onRenderThread([found] { textures.erase(found); });
}

int32_t zerintest_TextureCount(void) { return static_cast<int32_t>(textures.size()); }

int32_t zerintest_ServiceStart(void) {
  if (service) return 0;
  service = std::make_unique<ZerinSim::ProgramManagerService>();
  if (service->start()) return 1;
  service.reset();
  return 0;
}

void zerintest_ServiceStop(void) { service.reset(); }

uint64_t zerintest_ServiceWaitForClient(int32_t timeoutMs) {
  if (!service) return 0;
  uint64_t id = 0;
  service->waitUntil(
      [&] {
        for (const auto& client : service->clients())
          if (client.connected && client.handshakes > 0) id = std::max(id, client.id);
        return id != 0;
      },
      std::chrono::milliseconds(timeoutMs));
  return id;
}

int32_t zerintest_ServicePush(uint64_t client, const char* name, const uint8_t* payload, int32_t size) {
  if (!service || !name || size < 0 || (size > 0 && !payload)) return 0;
  return service->push(client, name, std::vector<uint8_t>(payload, payload + size)) ? 1 : 0;
}

int32_t zerintest_ServiceWaitForFrames(const char* name, int32_t count, int32_t timeoutMs) {
  if (!service || !name) return 0;
  const std::string wanted = name;
  service->waitUntil([&] { return service->frames(wanted).size() >= static_cast<size_t>(count); },
                     std::chrono::milliseconds(timeoutMs));
  return static_cast<int32_t>(service->frames(wanted).size());
}

int32_t zerintest_ServiceFrameSize(const char* name, int32_t index) {
  if (!service || !name || index < 0) return -1;
  const auto frames = service->frames(name);
  return static_cast<size_t>(index) < frames.size() ? static_cast<int32_t>(frames[index].size) : -1;
}
