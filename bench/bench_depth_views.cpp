// What the depth pass's look for dropped textures costs: one pass over both view caches, every
// texture still held by its owner (the steady state, in which nothing is released), for cache
// sizes an application reaches (a few engine textures and swap-chain images) and beyond.
#include <benchmark/benchmark.h>

#include <vector>

#include "gfx_device.h"
#include "gfx_textures.h"
#include "render/depth_copy_objects.h"

namespace {

using ZerinSim::Gfx::Ref;

void ReleaseDroppedDepthViews(benchmark::State& state) {
  const auto entries = static_cast<size_t>(state.range(0));
  auto gpu = ZerinSim::Gfx::createDevice();
  if (!gpu) return state.SkipWithError("no device");
  std::vector<Ref<ID3D11Texture2D>> textures;
  for (size_t i = 0; i < entries; ++i) {
    textures.push_back(ZerinSim::Gfx::createTexture(gpu.device.get(), 4, 4, DXGI_FORMAT_R32G8X24_TYPELESS,
                                                    D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                                                    nullptr));
    // Half the entries in each cache; the views themselves play no part in the look.
    if (i % 2 == 0) Zerin::cacheDepthInputView(textures.back().get(), nullptr);
    else Zerin::cacheDepthTargetView(textures.back().get(), nullptr);
  }
  for (auto _ : state) Zerin::releaseDroppedDepthViews();
  if (Zerin::depthSrvCache.size() + Zerin::depthDsvCache.size() != entries)
    state.SkipWithError("a live texture's entry was released");
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(entries));
  Zerin::releaseDepthCopyObjects();
}
BENCHMARK(ReleaseDroppedDepthViews)->Arg(4)->Arg(16)->Arg(256);

}  // namespace
