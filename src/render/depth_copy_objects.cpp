#include "render/depth_copy_objects.h"

#include <iterator>

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
typename Cache::iterator releaseEntry(Cache& cache, typename Cache::iterator entry) {
  if (entry->second) entry->second->Release();
  entry->first->Release();
  return cache.erase(entry);
}

template <class Cache>
void releaseAll(Cache& cache) {
  for (auto entry = cache.begin(); entry != cache.end();) entry = releaseEntry(cache, entry);
}

template <class Cache>
void releaseDropped(Cache& cache) {
  for (auto entry = cache.begin(); entry != cache.end();) {
    entry->first->AddRef();
    const ULONG references = entry->first->Release();
    entry = references == 1 ? releaseEntry(cache, entry) : std::next(entry);
  }
}

template <class Cache, class Texture, class View>
void add(Cache& cache, Texture* texture, View* view) {
  texture->AddRef();
  cache.emplace(texture, view);
}

}  // namespace

void cacheDepthInputView(ID3D11Resource* texture, ID3D11ShaderResourceView* view) {
  add(depthSrvCache, texture, view);
}

void cacheDepthTargetView(ID3D11Texture2D* texture, ID3D11DepthStencilView* view) {
  add(depthDsvCache, texture, view);
}

void releaseDroppedDepthViews() {
  releaseDropped(depthSrvCache);
  releaseDropped(depthDsvCache);
}

void releaseDepthCopyObjects() {
  releaseAndClear(depthCopyVS);
  releaseAndClear(depthCopyPS);
  releaseAndClear(depthCopyDepthState);
  releaseAndClear(depthCopyRasterState);
  releaseAll(depthDsvCache);
  releaseAll(depthSrvCache);
}

}  // namespace Zerin
