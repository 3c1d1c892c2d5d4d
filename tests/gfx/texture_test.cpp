// Textures on the project's device (the system's under Wine, the software one on Linux):
// creation from texels, read-back, copies and reference counts.
#include <gtest/gtest.h>

#include <atomic>

#include "gfx_test_util.h"

namespace {

using GfxTest::bytePattern;
using GfxTest::depthPattern;
using GfxTest::DeviceTest;
using GfxTest::Ref;
using namespace ZerinSim::Gfx;

using DeviceFactory = DeviceTest;

TEST_F(DeviceFactory, GivesFeatureLevel11AndTheDevicesImmediateContext) {
  EXPECT_EQ(gpu.result, S_OK);
  EXPECT_EQ(gpu.featureLevel, D3D_FEATURE_LEVEL_11_0);
  EXPECT_EQ(device()->GetFeatureLevel(), D3D_FEATURE_LEVEL_11_0);
  Ref<ID3D11Device> owner;
  context()->GetDevice(owner.put());
  EXPECT_EQ(owner.get(), device());
  Ref<ID3D11DeviceContext> again;
  device()->GetImmediateContext(again.put());
  EXPECT_EQ(again.get(), context());
}

struct FormatCase {
  const char* name;
  DXGI_FORMAT format;
  UINT bind;
  UINT texelBytes;
};

void PrintTo(const FormatCase& param, std::ostream* out) { *out << param.name; }

class TextureRoundTrip : public DeviceTest, public ::testing::WithParamInterface<FormatCase> {};

// Odd sizes, so that rows never fill a pitch exactly.
TEST_P(TextureRoundTrip, ReadsBackEveryTexelOfEverySlice) {
  const FormatCase& param = GetParam();
  const UINT width = 13, height = 7, slices = 3;
  ASSERT_EQ(bytesPerTexel(param.format), param.texelBytes);
  const size_t texels = size_t(width) * height * slices;
  std::vector<uint8_t> data;
  if (param.format == DXGI_FORMAT_R32G8X24_TYPELESS || param.format == DXGI_FORMAT_D32_FLOAT_S8X24_UINT)
    data = depthStencilTexels(depthPattern(texels, 1), 0x5a);
  else if (param.texelBytes == 4 && (param.bind & D3D11_BIND_DEPTH_STENCIL || param.format == DXGI_FORMAT_R32_FLOAT))
    data = floatTexels(depthPattern(texels, 2));
  else
    data = bytePattern(texels * param.texelBytes, 3);

  HRESULT result = E_FAIL;
  auto texture = createTexture(device(), textureDesc(width, height, param.format, param.bind, slices), data.data(), &result);
  ASSERT_TRUE(texture) << param.name << " 0x" << std::hex << result;
  D3D11_TEXTURE2D_DESC desc;
  texture->GetDesc(&desc);
  EXPECT_EQ(desc.Width, width);
  EXPECT_EQ(desc.Height, height);
  EXPECT_EQ(desc.ArraySize, slices);
  EXPECT_EQ(desc.Format, param.format);

  const size_t sliceBytes = size_t(width) * height * param.texelBytes;
  for (UINT slice = 0; slice < slices; ++slice) {
    const auto back = readTexels(context(), texture.get(), slice);
    ASSERT_EQ(back.size(), sliceBytes) << "slice " << slice;
    const std::vector<uint8_t> expected(data.begin() + slice * sliceBytes, data.begin() + (slice + 1) * sliceBytes);
    if (param.texelBytes == 8) {
      // Depth with stencil: 32-bit depth, then the stencil byte; the other 24 bits are unused.
      for (size_t texel = 0; texel < size_t(width) * height; ++texel)
        ASSERT_EQ(0, std::memcmp(&back[texel * 8], &expected[texel * 8], 5)) << "slice " << slice << " texel " << texel;
    } else {
      ASSERT_EQ(back, expected) << "slice " << slice;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TextureRoundTrip,
    ::testing::Values(
        FormatCase{"Rgba8", DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET, 4},
        FormatCase{"Rgba8Srgb", DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, D3D11_BIND_SHADER_RESOURCE, 4},
        FormatCase{"Bgra8", DXGI_FORMAT_B8G8R8A8_UNORM, D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET, 4},
        FormatCase{"R32Float", DXGI_FORMAT_R32_FLOAT, D3D11_BIND_SHADER_RESOURCE, 4},
        FormatCase{"R32TypelessDepth", DXGI_FORMAT_R32_TYPELESS, D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE, 4},
        FormatCase{"D32Float", DXGI_FORMAT_D32_FLOAT, D3D11_BIND_DEPTH_STENCIL, 4},
        FormatCase{"R32G8X24Typeless", DXGI_FORMAT_R32G8X24_TYPELESS,
                   D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE, 8},
        FormatCase{"D32FloatS8", DXGI_FORMAT_D32_FLOAT_S8X24_UINT, D3D11_BIND_DEPTH_STENCIL, 8}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

TEST_F(DeviceTest, ReadDepthGivesTheFloatOfEachTexel) {
  const std::vector<float> values = depthPattern(5 * 4, 9);
  auto packed = createTexture(device(), 5, 4, DXGI_FORMAT_R32G8X24_TYPELESS,
                              D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                              depthStencilTexels(values, 0x7f).data());
  auto single = createTexture(device(), 5, 4, DXGI_FORMAT_R32_TYPELESS, D3D11_BIND_DEPTH_STENCIL,
                              floatTexels(values).data());
  ASSERT_TRUE(packed);
  ASSERT_TRUE(single);
  EXPECT_EQ(readDepth(context(), packed.get()), values);
  EXPECT_EQ(readDepth(context(), single.get()), values);
  auto colour = createTexture(device(), 5, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr);
  EXPECT_TRUE(readDepth(context(), colour.get()).empty());
}

TEST_F(DeviceTest, TexturesWithoutTexelsStartAtZero) {
  auto texture = createTexture(device(), 9, 3, DXGI_FORMAT_B8G8R8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr);
  ASSERT_TRUE(texture);
  EXPECT_EQ(readTexels(context(), texture.get()), std::vector<uint8_t>(9 * 3 * 4, 0));
}

using Copies = DeviceTest;

// The colour copy of a frame: a whole source at the origin of a larger image, the rest kept.
TEST_F(Copies, WholeSubresourceLandsAtTheOriginAndLeavesTheRestAlone) {
  const UINT sw = 6, sh = 5, dw = 11, dh = 9;
  const auto source = bytePattern(sw * sh * 4, 4);
  const auto before = bytePattern(dw * dh * 4, 5);
  auto src = createTexture(device(), sw, sh, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, source.data());
  auto dst = createTexture(device(), dw, dh, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_RENDER_TARGET, before.data());
  ASSERT_TRUE(src);
  ASSERT_TRUE(dst);
  context()->CopySubresourceRegion(dst.get(), 0, 0, 0, 0, src.get(), 0, nullptr);
  const auto after = readTexels(context(), dst.get());
  ASSERT_EQ(after.size(), before.size());
  for (UINT y = 0; y < dh; ++y)
    for (UINT x = 0; x < dw; ++x) {
      const size_t at = (size_t(y) * dw + x) * 4;
      const uint8_t* expected = (x < sw && y < sh) ? &source[(size_t(y) * sw + x) * 4] : &before[at];
      ASSERT_EQ(0, std::memcmp(&after[at], expected, 4)) << x << "," << y;
    }
}

TEST_F(Copies, BoxIntoAnArraySliceAtAnOffset) {
  const UINT w = 8, h = 6, slices = 3;
  const auto source = bytePattern(w * h * 4, 6);
  const auto before = bytePattern(w * h * 4 * slices, 7);
  auto src = createTexture(device(), w, h, DXGI_FORMAT_B8G8R8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, source.data());
  auto dst = createTexture(device(), w, h, DXGI_FORMAT_B8G8R8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, before.data(), slices);
  ASSERT_TRUE(src);
  ASSERT_TRUE(dst);
  const D3D11_BOX box = {1, 2, 0, 4, 5, 1};  // 3 x 3 texels from (1, 2)
  context()->CopySubresourceRegion(dst.get(), D3D11CalcSubresource(0, 2, 1), 5, 1, 0, src.get(), 0, &box);
  for (UINT slice = 0; slice < slices; ++slice) {
    const auto after = readTexels(context(), dst.get(), slice);
    ASSERT_EQ(after.size(), size_t(w) * h * 4);
    for (UINT y = 0; y < h; ++y)
      for (UINT x = 0; x < w; ++x) {
        const bool inside = slice == 2 && x >= 5 && x < 8 && y >= 1 && y < 4;
        const uint8_t* expected = inside ? &source[(size_t(y - 1 + 2) * w + (x - 5 + 1)) * 4]
                                         : &before[size_t(slice) * w * h * 4 + (size_t(y) * w + x) * 4];
        ASSERT_EQ(0, std::memcmp(&after[(size_t(y) * w + x) * 4], expected, 4)) << slice << ":" << x << "," << y;
      }
  }
}

TEST_F(Copies, BetweenFormatsOfOneFamilyKeepTheBytes) {
  const auto source = bytePattern(4 * 4 * 4, 8);
  auto src = createTexture(device(), 4, 4, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, D3D11_BIND_SHADER_RESOURCE, source.data());
  auto dst = createTexture(device(), 4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr);
  ASSERT_TRUE(src);
  ASSERT_TRUE(dst);
  context()->CopySubresourceRegion(dst.get(), 0, 0, 0, 0, src.get(), 0, nullptr);
  EXPECT_EQ(readTexels(context(), dst.get()), source);
}

TEST_F(Copies, CopyResourceCopiesEverySlice) {
  const UINT slices = 2;
  const std::vector<float> depth = depthPattern(7 * 3 * slices, 10);
  auto src = createTexture(device(), 7, 3, DXGI_FORMAT_R32_FLOAT, D3D11_BIND_SHADER_RESOURCE, floatTexels(depth).data(), slices);
  auto dst = createTexture(device(), 7, 3, DXGI_FORMAT_R32_FLOAT, D3D11_BIND_SHADER_RESOURCE, nullptr, slices);
  ASSERT_TRUE(src);
  ASSERT_TRUE(dst);
  context()->CopyResource(dst.get(), src.get());
  EXPECT_EQ(readDepth(context(), dst.get(), 0), std::vector<float>(depth.begin(), depth.begin() + 21));
  EXPECT_EQ(readDepth(context(), dst.get(), 1), std::vector<float>(depth.begin() + 21, depth.end()));
}

TEST_F(Copies, StagingTexturesMapWithARowPitchAndDefaultOnesDoNot) {
  const auto source = bytePattern(5 * 3 * 4, 11);
  auto colour = createTexture(device(), 5, 3, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, source.data());
  ASSERT_TRUE(colour);
  D3D11_MAPPED_SUBRESOURCE mapped{};
  EXPECT_TRUE(FAILED(context()->Map(colour.get(), 0, D3D11_MAP_READ, 0, &mapped)));

  D3D11_TEXTURE2D_DESC desc = textureDesc(5, 3, DXGI_FORMAT_R8G8B8A8_UNORM, 0);
  desc.Usage = D3D11_USAGE_STAGING;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  Ref<ID3D11Texture2D> staging;
  ASSERT_EQ(device()->CreateTexture2D(&desc, nullptr, staging.put()), S_OK);
  context()->CopyResource(staging.get(), colour.get());
  ASSERT_EQ(context()->Map(staging.get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
  ASSERT_GE(mapped.RowPitch, 5u * 4);
  for (UINT y = 0; y < 3; ++y)
    EXPECT_EQ(0, std::memcmp(static_cast<uint8_t*>(mapped.pData) + y * mapped.RowPitch, &source[y * 20], 20)) << y;
  context()->Unmap(staging.get(), 0);
}

using References = DeviceTest;

// Views and bindings keep their texture in memory apart from its reference count, as the
// system's device does (measured under Wine): the count is the callers' alone, a view outlives
// its texture's last reference, and the texture goes with the last view or binding.
TEST_F(References, ViewsKeepTheirTextureOutsideItsCount) {
  const ULONG deviceBefore = referenceCount(device());
  auto texture = createTexture(device(), 4, 4, DXGI_FORMAT_R32G8X24_TYPELESS,
                               D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE, nullptr);
  ASSERT_TRUE(texture);
  std::atomic<int> destroyed{0};
  ASSERT_TRUE(countDestruction(texture.get(), destroyed));
  EXPECT_EQ(referenceCount(texture.get()), 1u);

  D3D11_SHADER_RESOURCE_VIEW_DESC srvDesc{};
  srvDesc.Format = DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS;
  srvDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
  srvDesc.Texture2D.MipLevels = 1;
  Ref<ID3D11ShaderResourceView> view;
  ASSERT_EQ(device()->CreateShaderResourceView(texture.get(), &srvDesc, view.put()), S_OK);
  EXPECT_EQ(referenceCount(view.get()), 1u);
  EXPECT_EQ(referenceCount(texture.get()), 1u) << "a view takes no counted reference";
  D3D11_SHADER_RESOURCE_VIEW_DESC back;
  view->GetDesc(&back);
  EXPECT_EQ(back.Format, DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS);
  EXPECT_EQ(back.ViewDimension, D3D11_SRV_DIMENSION_TEXTURE2D);

  // The view alone keeps the texture, whose count has dropped to 0.
  ID3D11Texture2D* const address = texture.detach();
  EXPECT_EQ(address->Release(), 0u);
  EXPECT_EQ(destroyed.load(), 0);
  Ref<ID3D11Resource> resource;
  view->GetResource(resource.put());
  ASSERT_EQ(static_cast<void*>(resource.get()), static_cast<void*>(address));
  EXPECT_EQ(referenceCount(resource.get()), 1u) << "handed out with a reference of its own";
  Ref<ID3D11Texture2D> again;
  ASSERT_EQ(resource->QueryInterface(IID_ID3D11Texture2D, reinterpret_cast<void**>(again.put())), S_OK);
  D3D11_TEXTURE2D_DESC desc;
  again->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 4u);
  EXPECT_EQ(desc.Format, DXGI_FORMAT_R32G8X24_TYPELESS);
  again.reset();
  resource.reset();

  // Bound, the view outlives its last reference too; the texture goes once it is unbound.
  ID3D11ShaderResourceView* const bound = view.get();
  context()->PSSetShaderResources(0, 1, &bound);
  EXPECT_EQ(view.detach()->Release(), 0u);
  EXPECT_EQ(destroyed.load(), 0);
  ID3D11ShaderResourceView* const none = nullptr;
  context()->PSSetShaderResources(0, 1, &none);
  EXPECT_EQ(destroyed.load(), 1);
  EXPECT_EQ(referenceCount(device()), deviceBefore);
}

TEST_F(References, QueryInterfaceFindsTheTextureBehindAResource) {
  auto texture = createTexture(device(), 2, 2, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr);
  ASSERT_TRUE(texture);
  ID3D11Resource* resource = texture.get();
  Ref<ID3D11Texture2D> again;
  ASSERT_EQ(resource->QueryInterface(IID_ID3D11Texture2D, reinterpret_cast<void**>(again.put())), S_OK);
  EXPECT_EQ(again.get(), texture.get());
  EXPECT_EQ(referenceCount(texture.get()), 2u);
  Ref<ID3D11Device> notADevice;
  EXPECT_EQ(resource->QueryInterface(IID_ID3D11Device, reinterpret_cast<void**>(notADevice.put())), E_NOINTERFACE);
  EXPECT_FALSE(notADevice);
}

TEST_F(References, BoundRenderTargetsAreHandedOutWithAReference) {
  auto colour = createTexture(device(), 4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_RENDER_TARGET, nullptr);
  auto depth = createTexture(device(), 4, 4, DXGI_FORMAT_R32_TYPELESS, D3D11_BIND_DEPTH_STENCIL, nullptr);
  ASSERT_TRUE(colour);
  ASSERT_TRUE(depth);
  Ref<ID3D11RenderTargetView> rtv;
  ASSERT_EQ(device()->CreateRenderTargetView(colour.get(), nullptr, rtv.put()), S_OK);
  D3D11_DEPTH_STENCIL_VIEW_DESC dsvDesc{};
  dsvDesc.Format = DXGI_FORMAT_D32_FLOAT;
  dsvDesc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  Ref<ID3D11DepthStencilView> dsv;
  ASSERT_EQ(device()->CreateDepthStencilView(depth.get(), &dsvDesc, dsv.put()), S_OK);

  ID3D11RenderTargetView* targets[] = {rtv.get()};
  context()->OMSetRenderTargets(1, targets, dsv.get());
  EXPECT_EQ(referenceCount(rtv.get()), 1u);
  EXPECT_EQ(referenceCount(dsv.get()), 1u);

  Ref<ID3D11RenderTargetView> gotTarget;
  Ref<ID3D11DepthStencilView> gotDepth;
  context()->OMGetRenderTargets(1, gotTarget.put(), gotDepth.put());
  EXPECT_EQ(gotTarget.get(), rtv.get());
  EXPECT_EQ(gotDepth.get(), dsv.get());
  EXPECT_EQ(referenceCount(rtv.get()), 2u);
  EXPECT_EQ(referenceCount(dsv.get()), 2u);
  gotTarget.reset();
  gotDepth.reset();
  EXPECT_EQ(referenceCount(rtv.get()), 1u);

  context()->OMSetRenderTargets(0, nullptr, nullptr);
  context()->OMGetRenderTargets(1, gotTarget.put(), gotDepth.put());
  EXPECT_FALSE(gotTarget);
  EXPECT_FALSE(gotDepth);
}

}  // namespace

