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

// Swap chains have two or three images; a few more ways cost nothing on a hit.
constexpr size_t kTargetsPerSlot = 4;

template <class Texture, class View>
struct RecentEntry {
  Texture* texture = nullptr;
  View* view = nullptr;
};

// What each view slot found last. Holds no references: every entry is also a cache entry.
struct RecentViews {
  RecentEntry<ID3D11Resource, ID3D11ShaderResourceView> input;
  RecentEntry<ID3D11Texture2D, ID3D11DepthStencilView> targets[kTargetsPerSlot];
  size_t nextTarget = 0;  // the target entry a new one replaces
};
RecentViews recentViews[kDepthViewSlots];

void forgetRecentViews() {
  for (RecentViews& slot : recentViews) slot = RecentViews{};
}

template <class Cache, class Texture, class View>
bool findInCache(Cache& cache, Texture* texture, View*& view) {
  const auto found = cache.find(texture);
  if (found == cache.end()) return false;
  view = found->second;
  return true;
}

template <class Object>
void releaseAndClear(Object*& object) {
  if (object) object->Release();
  object = nullptr;
}

template <class Cache>
typename Cache::iterator releaseEntry(Cache& cache, typename Cache::iterator entry) {
  forgetRecentViews();
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

bool findDepthInputView(size_t slot, ID3D11Resource* texture, ID3D11ShaderResourceView*& view) {
  RecentEntry<ID3D11Resource, ID3D11ShaderResourceView>& recent = recentViews[slot].input;
  if (recent.texture == texture && texture) {
    view = recent.view;
    return true;
  }
  if (!findInCache(depthSrvCache, texture, view)) return false;
  recent = {texture, view};
  return true;
}

bool findDepthTargetView(size_t slot, ID3D11Texture2D* texture, ID3D11DepthStencilView*& view) {
  RecentViews& recent = recentViews[slot];
  for (const auto& target : recent.targets) {
    if (target.texture == texture && texture) {
      view = target.view;
      return true;
    }
  }
  if (!findInCache(depthDsvCache, texture, view)) return false;
  recent.targets[recent.nextTarget] = {texture, view};
  recent.nextTarget = (recent.nextTarget + 1) % kTargetsPerSlot;
  return true;
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
