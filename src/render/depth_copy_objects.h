#pragma once
// The depth copy pass's Direct3D 11 objects. The render thread makes them on first use; the
// graphics-device shutdown releases them, so they live between a first depth copy and the
// next device shutdown. Each pointer and each cached view holds one reference.
#include <d3d11.h>

#include <cstddef>
#include <map>

namespace Zerin {

extern ID3D11VertexShader* depthCopyVS;
extern ID3D11PixelShader* depthCopyPS;
extern ID3D11DepthStencilState* depthCopyDepthState;
extern ID3D11RasterizerState* depthCopyRasterState;

// Engine depth texture -> its shader resource view (null when the texture took none).
extern std::map<ID3D11Resource*, ID3D11ShaderResourceView*> depthSrvCache;
// Swap-chain depth image -> its depth-stencil view (null likewise).
extern std::map<ID3D11Texture2D*, ID3D11DepthStencilView*> depthDsvCache;
// Each cache entry holds one reference to its view and one to its texture: a texture is known
// to be dropped by everybody else when that reference is the only one left (views hold their
// texture apart from its count, as Direct3D 11's do). Render thread only.

// Adds an entry (the view may be null), taking a reference to the texture.
void cacheDepthInputView(ID3D11Resource* texture, ID3D11ShaderResourceView* view);
void cacheDepthTargetView(ID3D11Texture2D* texture, ID3D11DepthStencilView* view);

// Looks a texture up for one view of a submission, `slot` being its index layer * 4 + view
// (below kDepthViewSlots). False when the cache has no entry for it; a found view may be null.
// Each slot remembers the entries it found last (its engine depth texture, and the images of its
// depth swap chain, taken in turn), so that a steady frame finds its views without a walk down
// the cache's tree. What a slot remembers is forgotten at every release from either cache: an
// address whose entry is gone may come back as a new texture.
constexpr size_t kDepthViewSlots = 16;
bool findDepthInputView(size_t slot, ID3D11Resource* texture, ID3D11ShaderResourceView*& view);
bool findDepthTargetView(size_t slot, ID3D11Texture2D* texture, ID3D11DepthStencilView*& view);

// Releases the entries of both caches whose texture nobody else holds any more: the engine
// re-created its render textures, or the runtime freed a swap chain. Costs one AddRef and one
// Release per entry.
void releaseDroppedDepthViews();

// Releases the vertex shader, pixel shader, depth-stencil state and rasterizer state, each only
// if present, then every cached view, and empties both caches.
void releaseDepthCopyObjects();

}  // namespace Zerin
