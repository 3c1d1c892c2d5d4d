#pragma once
// Textures from given texels, and their texels read back, on both targets.
#include <cstdint>
#include <vector>

#include "gfx_device.h"

namespace ZerinSim::Gfx {

// Bytes per texel of the formats the project uses; 0 for others.
UINT bytesPerTexel(DXGI_FORMAT format);

// A one-mip 2D texture description with default usage.
D3D11_TEXTURE2D_DESC textureDesc(UINT width, UINT height, DXGI_FORMAT format,
                                 UINT bindFlags = D3D11_BIND_SHADER_RESOURCE, UINT arraySize = 1);

// Creates a texture of mip 0 only, filled from `texels`: every array slice in turn, rows of
// width * bytesPerTexel bytes without padding (null: zeros). Textures that can be bound as
// depth-stencil get their texels through a staging copy. Null on failure; `result` tells why.
Ref<ID3D11Texture2D> createTexture(ID3D11Device* device, const D3D11_TEXTURE2D_DESC& desc, const void* texels,
                                   HRESULT* result = nullptr);
Ref<ID3D11Texture2D> createTexture(ID3D11Device* device, UINT width, UINT height, DXGI_FORMAT format,
                                   UINT bindFlags, const void* texels, UINT arraySize = 1);

// The texels of mip 0 of one array slice, rows without padding, read through a staging
// texture with CopySubresourceRegion and Map. Empty on failure.
std::vector<uint8_t> readTexels(ID3D11DeviceContext* context, ID3D11Texture2D* texture, UINT arraySlice = 0);
// The same for 32-bit-float depth textures (R32 and R32G8X24 families): the float of each texel.
std::vector<float> readDepth(ID3D11DeviceContext* context, ID3D11Texture2D* texture, UINT arraySlice = 0);

// Packs values into texel bytes: RGBA8 pixels as 0xAABBGGRR words, floats as they are, and
// depth-with-stencil texels (8 bytes) from a float and a stencil byte each.
std::vector<uint8_t> rgbaTexels(const std::vector<uint32_t>& pixels);
std::vector<uint8_t> floatTexels(const std::vector<float>& values);
std::vector<uint8_t> depthStencilTexels(const std::vector<float>& depth, uint8_t stencil = 0);
std::vector<uint32_t> rgbaPixels(const std::vector<uint8_t>& texels);

}  // namespace ZerinSim::Gfx
