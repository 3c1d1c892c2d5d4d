#pragma once
// The depth copy pass's Direct3D 11 objects. The render thread makes them on first use; the
// graphics-device shutdown releases them, so they live between a first depth copy and the
// next device shutdown. Each pointer and each cached view holds one reference.
#include <d3d11.h>

#include <map>

namespace Zerin {

extern ID3D11VertexShader* depthCopyVS;
extern ID3D11PixelShader* depthCopyPS;
extern ID3D11DepthStencilState* depthCopyDepthState;
extern ID3D11RasterizerState* depthCopyRasterState;

// Engine depth texture -> its shader resource view. The key holds no reference.
extern std::map<ID3D11Resource*, ID3D11ShaderResourceView*> depthSrvCache;
// Swap-chain depth image -> its depth-stencil view. The key holds no reference.
extern std::map<ID3D11Texture2D*, ID3D11DepthStencilView*> depthDsvCache;

// Releases the vertex shader, pixel shader, depth-stencil state and rasterizer state, each only
// if present, then every cached view, and empties both caches.
void releaseDepthCopyObjects();

}  // namespace Zerin
