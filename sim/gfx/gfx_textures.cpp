#include "gfx_textures.h"

#include <cstring>

namespace ZerinSim::Gfx {

UINT bytesPerTexel(DXGI_FORMAT format) {
  switch (format) {
    case DXGI_FORMAT_R32G32B32A32_TYPELESS:
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
    case DXGI_FORMAT_R32G32B32A32_UINT:
    case DXGI_FORMAT_R32G32B32A32_SINT:
      return 16;
    case DXGI_FORMAT_R16G16B16A16_TYPELESS:
    case DXGI_FORMAT_R16G16B16A16_FLOAT:
    case DXGI_FORMAT_R16G16B16A16_UNORM:
    case DXGI_FORMAT_R32G32_TYPELESS:
    case DXGI_FORMAT_R32G32_FLOAT:
    case DXGI_FORMAT_R32G8X24_TYPELESS:
    case DXGI_FORMAT_D32_FLOAT_S8X24_UINT:
    case DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS:
    case DXGI_FORMAT_X32_TYPELESS_G8X24_UINT:
      return 8;
    case DXGI_FORMAT_R10G10B10A2_TYPELESS:
    case DXGI_FORMAT_R10G10B10A2_UNORM:
    case DXGI_FORMAT_R11G11B10_FLOAT:
    case DXGI_FORMAT_R8G8B8A8_TYPELESS:
    case DXGI_FORMAT_R8G8B8A8_UNORM:
    case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB:
    case DXGI_FORMAT_R8G8B8A8_UINT:
    case DXGI_FORMAT_R16G16_TYPELESS:
    case DXGI_FORMAT_R16G16_FLOAT:
    case DXGI_FORMAT_R32_TYPELESS:
    case DXGI_FORMAT_D32_FLOAT:
    case DXGI_FORMAT_R32_FLOAT:
    case DXGI_FORMAT_R32_UINT:
    case DXGI_FORMAT_R24G8_TYPELESS:
    case DXGI_FORMAT_D24_UNORM_S8_UINT:
    case DXGI_FORMAT_R24_UNORM_X8_TYPELESS:
    case DXGI_FORMAT_B8G8R8A8_UNORM:
    case DXGI_FORMAT_B8G8R8X8_UNORM:
    case DXGI_FORMAT_B8G8R8A8_TYPELESS:
    case DXGI_FORMAT_B8G8R8A8_UNORM_SRGB:
    case DXGI_FORMAT_B8G8R8X8_TYPELESS:
    case DXGI_FORMAT_B8G8R8X8_UNORM_SRGB:
      return 4;
    case DXGI_FORMAT_R8G8_TYPELESS:
    case DXGI_FORMAT_R8G8_UNORM:
    case DXGI_FORMAT_R16_TYPELESS:
    case DXGI_FORMAT_R16_FLOAT:
    case DXGI_FORMAT_D16_UNORM:
    case DXGI_FORMAT_R16_UNORM:
      return 2;
    case DXGI_FORMAT_R8_TYPELESS:
    case DXGI_FORMAT_R8_UNORM:
    case DXGI_FORMAT_A8_UNORM:
      return 1;
    default:
      return 0;
  }
}

D3D11_TEXTURE2D_DESC textureDesc(UINT width, UINT height, DXGI_FORMAT format, UINT bindFlags, UINT arraySize) {
  D3D11_TEXTURE2D_DESC desc{};
  desc.Width = width;
  desc.Height = height;
  desc.MipLevels = 1;
  desc.ArraySize = arraySize;
  desc.Format = format;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = bindFlags;
  return desc;
}

namespace {

D3D11_TEXTURE2D_DESC stagingLike(const D3D11_TEXTURE2D_DESC& desc, UINT cpuAccess) {
  D3D11_TEXTURE2D_DESC staging = desc;
  staging.Usage = D3D11_USAGE_STAGING;
  staging.BindFlags = 0;
  staging.CPUAccessFlags = cpuAccess;
  staging.MiscFlags = 0;
  return staging;
}

}  // namespace

Ref<ID3D11Texture2D> createTexture(ID3D11Device* device, const D3D11_TEXTURE2D_DESC& desc, const void* texels,
                                   HRESULT* result) {
  HRESULT status = E_INVALIDARG;
  Ref<ID3D11Texture2D> texture;
  const UINT texel = bytesPerTexel(desc.Format);
  if (result) *result = status;
  if (!device || texel == 0 || desc.MipLevels != 1 || desc.ArraySize == 0) return texture;

  std::vector<uint8_t> zeros;
  if (!texels) {
    zeros.assign(static_cast<size_t>(desc.Width) * desc.Height * desc.ArraySize * texel, 0);
    texels = zeros.data();
  }
  const UINT rowBytes = desc.Width * texel;
  const size_t sliceBytes = static_cast<size_t>(rowBytes) * desc.Height;
  std::vector<D3D11_SUBRESOURCE_DATA> initial(desc.ArraySize);
  for (UINT slice = 0; slice < desc.ArraySize; ++slice)
    initial[slice] = {static_cast<const uint8_t*>(texels) + slice * sliceBytes, rowBytes, UINT(sliceBytes)};

  if (!(desc.BindFlags & D3D11_BIND_DEPTH_STENCIL)) {
    status = device->CreateTexture2D(&desc, initial.data(), texture.put());
  } else {
    // Depth-stencil textures take no initial data on every device: fill them by a copy.
    Ref<ID3D11Texture2D> staging;
    const D3D11_TEXTURE2D_DESC stagingDesc = stagingLike(desc, D3D11_CPU_ACCESS_WRITE);
    status = device->CreateTexture2D(&stagingDesc, initial.data(), staging.put());
    if (SUCCEEDED(status)) status = device->CreateTexture2D(&desc, nullptr, texture.put());
    if (SUCCEEDED(status)) {
      Ref<ID3D11DeviceContext> context;
      device->GetImmediateContext(context.put());
      context->CopyResource(texture.get(), staging.get());
    }
  }
  if (FAILED(status)) texture.reset();
  if (result) *result = status;
  return texture;
}

Ref<ID3D11Texture2D> createTexture(ID3D11Device* device, UINT width, UINT height, DXGI_FORMAT format, UINT bindFlags,
                                   const void* texels, UINT arraySize) {
  return createTexture(device, textureDesc(width, height, format, bindFlags, arraySize), texels);
}

std::vector<uint8_t> readTexels(ID3D11DeviceContext* context, ID3D11Texture2D* texture, UINT arraySlice) {
  std::vector<uint8_t> texels;
  if (!context || !texture) return texels;
  D3D11_TEXTURE2D_DESC desc;
  texture->GetDesc(&desc);
  const UINT texel = bytesPerTexel(desc.Format);
  if (texel == 0 || arraySlice >= desc.ArraySize) return texels;

  Ref<ID3D11Device> device;
  context->GetDevice(device.put());
  D3D11_TEXTURE2D_DESC stagingDesc = stagingLike(desc, D3D11_CPU_ACCESS_READ);
  stagingDesc.MipLevels = 1;
  stagingDesc.ArraySize = 1;
  Ref<ID3D11Texture2D> staging;
  if (FAILED(device->CreateTexture2D(&stagingDesc, nullptr, staging.put()))) return texels;
  context->CopySubresourceRegion(staging.get(), 0, 0, 0, 0, texture,
                                 D3D11CalcSubresource(0, arraySlice, desc.MipLevels), nullptr);
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (FAILED(context->Map(staging.get(), 0, D3D11_MAP_READ, 0, &mapped))) return texels;
  const size_t rowBytes = static_cast<size_t>(desc.Width) * texel;
  texels.resize(rowBytes * desc.Height);
  for (UINT y = 0; y < desc.Height; ++y)
    std::memcpy(texels.data() + y * rowBytes, static_cast<const uint8_t*>(mapped.pData) + y * mapped.RowPitch, rowBytes);
  context->Unmap(staging.get(), 0);
  return texels;
}

std::vector<float> readDepth(ID3D11DeviceContext* context, ID3D11Texture2D* texture, UINT arraySlice) {
  std::vector<float> depth;
  if (!texture) return depth;
  D3D11_TEXTURE2D_DESC desc;
  texture->GetDesc(&desc);
  const UINT texel = bytesPerTexel(desc.Format);
  switch (desc.Format) {
    case DXGI_FORMAT_R32_TYPELESS:
    case DXGI_FORMAT_D32_FLOAT:
    case DXGI_FORMAT_R32_FLOAT:
    case DXGI_FORMAT_R32G8X24_TYPELESS:
    case DXGI_FORMAT_D32_FLOAT_S8X24_UINT:
      break;
    default:
      return depth;
  }
  const std::vector<uint8_t> texels = readTexels(context, texture, arraySlice);
  depth.resize(texels.size() / texel);
  for (size_t index = 0; index < depth.size(); ++index) std::memcpy(&depth[index], &texels[index * texel], 4);
  return depth;
}

std::vector<uint8_t> rgbaTexels(const std::vector<uint32_t>& pixels) {
  std::vector<uint8_t> texels(pixels.size() * 4);
  for (size_t index = 0; index < pixels.size(); ++index)
    for (int channel = 0; channel < 4; ++channel)
      texels[index * 4 + channel] = static_cast<uint8_t>(pixels[index] >> (8 * channel));
  return texels;
}

std::vector<uint32_t> rgbaPixels(const std::vector<uint8_t>& texels) {
  std::vector<uint32_t> pixels(texels.size() / 4);
  for (size_t index = 0; index < pixels.size(); ++index)
    for (int channel = 0; channel < 4; ++channel)
      pixels[index] |= static_cast<uint32_t>(texels[index * 4 + channel]) << (8 * channel);
  return pixels;
}

std::vector<uint8_t> floatTexels(const std::vector<float>& values) {
  std::vector<uint8_t> texels(values.size() * 4);
  if (!values.empty()) std::memcpy(texels.data(), values.data(), texels.size());
  return texels;
}

std::vector<uint8_t> depthStencilTexels(const std::vector<float>& depth, uint8_t stencil) {
  std::vector<uint8_t> texels(depth.size() * 8, 0);
  for (size_t index = 0; index < depth.size(); ++index) {
    std::memcpy(&texels[index * 8], &depth[index], 4);
    texels[index * 8 + 4] = stencil;
  }
  return texels;
}

}  // namespace ZerinSim::Gfx
