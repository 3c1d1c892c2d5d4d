// The declarations match the system's: the same source compiles on Windows against the
// system's headers and elsewhere against ours, and these checks hold on both.
#include <gtest/gtest.h>

#include <d3d11.h>
#include <d3dcompiler.h>

#include <cstddef>
#include <cstring>

namespace {

static_assert(DXGI_FORMAT_UNKNOWN == 0 && DXGI_FORMAT_R32G8X24_TYPELESS == 19 &&
              DXGI_FORMAT_D32_FLOAT_S8X24_UINT == 20 && DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS == 21 &&
              DXGI_FORMAT_R8G8B8A8_UNORM == 28 && DXGI_FORMAT_R8G8B8A8_UNORM_SRGB == 29 &&
              DXGI_FORMAT_R32_TYPELESS == 39 && DXGI_FORMAT_D32_FLOAT == 40 && DXGI_FORMAT_R32_FLOAT == 41 &&
              DXGI_FORMAT_B8G8R8A8_UNORM == 87);
static_assert(D3D11_BIND_SHADER_RESOURCE == 0x8 && D3D11_BIND_RENDER_TARGET == 0x20 &&
              D3D11_BIND_DEPTH_STENCIL == 0x40 && D3D11_CPU_ACCESS_READ == 0x20000 &&
              D3D11_CPU_ACCESS_WRITE == 0x10000 && D3D11_USAGE_STAGING == 3);
static_assert(D3D11_SRV_DIMENSION_TEXTURE2D == 4 && D3D11_DSV_DIMENSION_TEXTURE2D == 3 &&
              D3D11_RTV_DIMENSION_TEXTURE2D == 4 && D3D11_COMPARISON_ALWAYS == 8 &&
              D3D11_DEPTH_WRITE_MASK_ALL == 1 && D3D11_FILL_SOLID == 3 && D3D11_CULL_NONE == 1 &&
              D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST == 4 && D3D11_MAP_READ == 1 && D3D11_SDK_VERSION == 7 &&
              D3D_FEATURE_LEVEL_11_0 == 0xb000 && D3D_DRIVER_TYPE_HARDWARE == 1);
static_assert(static_cast<uint32_t>(E_FAIL) == 0x80004005u && static_cast<uint32_t>(E_INVALIDARG) == 0x80070057u &&
              static_cast<uint32_t>(E_NOINTERFACE) == 0x80004002u && S_OK == 0 && S_FALSE == 1);
static_assert(sizeof(HRESULT) == 4 && sizeof(UINT) == 4 && sizeof(BOOL) == 4 && sizeof(ULONG) == 4 &&
              sizeof(SIZE_T) == 8 && sizeof(GUID) == 16);

static_assert(sizeof(D3D11_TEXTURE2D_DESC) == 44 && offsetof(D3D11_TEXTURE2D_DESC, Format) == 16 &&
              offsetof(D3D11_TEXTURE2D_DESC, Usage) == 28 && offsetof(D3D11_TEXTURE2D_DESC, MiscFlags) == 40);
static_assert(sizeof(D3D11_SUBRESOURCE_DATA) == 16 && offsetof(D3D11_SUBRESOURCE_DATA, SysMemPitch) == 8);
static_assert(sizeof(D3D11_MAPPED_SUBRESOURCE) == 16 && offsetof(D3D11_MAPPED_SUBRESOURCE, RowPitch) == 8);
static_assert(sizeof(D3D11_BOX) == 24 && offsetof(D3D11_BOX, right) == 12);
static_assert(sizeof(D3D11_VIEWPORT) == 24 && offsetof(D3D11_VIEWPORT, MaxDepth) == 20);
static_assert(sizeof(D3D11_DEPTH_STENCIL_DESC) == 52 && offsetof(D3D11_DEPTH_STENCIL_DESC, StencilReadMask) == 16 &&
              offsetof(D3D11_DEPTH_STENCIL_DESC, StencilWriteMask) == 17 &&
              offsetof(D3D11_DEPTH_STENCIL_DESC, FrontFace) == 20 && offsetof(D3D11_DEPTH_STENCIL_DESC, BackFace) == 36);
static_assert(sizeof(D3D11_RASTERIZER_DESC) == 40 && offsetof(D3D11_RASTERIZER_DESC, DepthBiasClamp) == 16 &&
              offsetof(D3D11_RASTERIZER_DESC, AntialiasedLineEnable) == 36);
static_assert(sizeof(D3D11_SHADER_RESOURCE_VIEW_DESC) == 24 &&
              offsetof(D3D11_SHADER_RESOURCE_VIEW_DESC, Texture2D) == 8 &&
              offsetof(D3D11_SHADER_RESOURCE_VIEW_DESC, Texture2DArray) == 8);
static_assert(sizeof(D3D11_DEPTH_STENCIL_VIEW_DESC) == 24 && offsetof(D3D11_DEPTH_STENCIL_VIEW_DESC, Flags) == 8 &&
              offsetof(D3D11_DEPTH_STENCIL_VIEW_DESC, Texture2D) == 12);
static_assert(sizeof(D3D11_RENDER_TARGET_VIEW_DESC) == 20 && offsetof(D3D11_RENDER_TARGET_VIEW_DESC, Texture2D) == 8);

TEST(Declarations, InterfaceIdentifiersAreTheSystems) {
  const uint8_t texture[16] = {0xf2, 0xaa, 0x15, 0x6f, 0x08, 0xd2, 0x89, 0x4e,
                               0x9a, 0xb4, 0x48, 0x95, 0x35, 0xd3, 0x4f, 0x9c};
  EXPECT_EQ(0, std::memcmp(&IID_ID3D11Texture2D, texture, 16));
  const uint8_t device[16] = {0xdb, 0x6d, 0x6f, 0xdb, 0x77, 0xac, 0x88, 0x4e,
                              0x82, 0x53, 0x81, 0x9d, 0xf9, 0xbb, 0xf1, 0x40};
  EXPECT_EQ(0, std::memcmp(&IID_ID3D11Device, device, 16));
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
  EXPECT_TRUE(FAILED(E_FAIL));
}

}  // namespace
