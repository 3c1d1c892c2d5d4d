#include "render/depth_copy_objects.h"

namespace Zerin {

ID3D11VertexShader* depthCopyVS = nullptr;
ID3D11PixelShader* depthCopyPS = nullptr;
ID3D11DepthStencilState* depthCopyDepthState = nullptr;
ID3D11RasterizerState* depthCopyRasterState = nullptr;

std::map<ID3D11Resource*, ID3D11ShaderResourceView*> depthSrvCache;
std::map<ID3D11Texture2D*, ID3D11DepthStencilView*> depthDsvCache;

namespace {

template <class Object>
void releaseAndClear(Object*& object) {
  if (object) object->Release();
  object = nullptr;
}

template <class Cache>
void releaseAll(Cache& cache) {
  for (auto& entry : cache)
    if (entry.second) entry.second->Release();
  cache.clear();
}

}  // namespace

void releaseDepthCopyObjects() {
  releaseAndClear(depthCopyVS);
  releaseAndClear(depthCopyPS);
  releaseAndClear(depthCopyDepthState);
  releaseAndClear(depthCopyRasterState);
  releaseAll(depthDsvCache);
  releaseAll(depthSrvCache);
}

}  // namespace Zerin
