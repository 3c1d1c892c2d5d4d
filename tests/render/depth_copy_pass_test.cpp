// The depth copy pass against a real device (Windows: the system's Direct3D 11; Linux: the
// software device, whose call records show what was created and bound, in order).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "capture.h"
#include "gfx_device.h"
#include "gfx_textures.h"
#include "render/depth_copy_objects.h"
#include "render/depth_copy_pass.h"
#if !defined(_WIN32)
#include "gfx_soft_control.h"
#endif

namespace {

using namespace ZerinSim::Gfx;

constexpr UINT kEngineWidth = 64, kEngineHeight = 48;
constexpr UINT kImageWidth = 200, kImageHeight = 60;

// Depth values in (0, 1), distinct from texel to texel and from seed to seed.
std::vector<float> depthPattern(size_t count, unsigned seed) {
  std::vector<float> values(count);
  for (size_t index = 0; index < count; ++index)
    values[index] = 0.001f + 0.998f * static_cast<float>((index * 7919 + seed * 104729) % 65536) / 65536.0f;
  return values;
}

class DepthCopyPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gpu = createDevice();
    ASSERT_TRUE(gpu) << "D3D11CreateDevice failed: 0x" << std::hex << gpu.result;
    engineValues = depthPattern(kEngineWidth * kEngineHeight, 3);
    engineDepth = makeEngineDepth(engineValues);
    ASSERT_TRUE(engineDepth);
    imageValues = depthPattern(kImageWidth * kImageHeight, 4);
    image = makeImage(DXGI_FORMAT_R32_TYPELESS);
    ASSERT_TRUE(image);
  }
  void TearDown() override {
    if (gpu) gpu.context->ClearState();
    Zerin::releaseDepthCopyObjects();
  }

  ID3D11Device* device() const { return gpu.device.get(); }
  ID3D11DeviceContext* context() const { return gpu.context.get(); }

  // An engine depth texture as the engine makes them: depth with stencil, readable as input.
  Ref<ID3D11Texture2D> makeEngineDepth(const std::vector<float>& values) {
    return createTexture(device(), kEngineWidth, kEngineHeight, DXGI_FORMAT_R32G8X24_TYPELESS,
                         D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                         depthStencilTexels(values, 0x5a).data());
  }
  // A runtime depth image, filled with values of its own so that untouched texels show.
  Ref<ID3D11Texture2D> makeImage(DXGI_FORMAT format) {
    UINT bind = D3D11_BIND_DEPTH_STENCIL;
    if (format == DXGI_FORMAT_R32_TYPELESS) bind |= D3D11_BIND_SHADER_RESOURCE;
    return createTexture(device(), kImageWidth, kImageHeight, format, bind, floatTexels(imageValues).data());
  }

  static Zerin::SubmissionView depthView(ID3D11Resource* engineTexture, int32_t x, int32_t width, int32_t height) {
    Zerin::SubmissionView view{};
    view.hasDepth = 1;
    view.depthViewport = {x, 0, width, height, 0};
    view.depthTexture = engineTexture;
    return view;
  }

  // One view of a submission, as the submission runs it.
  void runView(const Zerin::SubmissionView& view, ID3D11Texture2D* target, size_t slot = 0) {
    Zerin::ensureDepthPipeline(device());
    ASSERT_TRUE(Zerin::depthPipelineReady());
    Zerin::depthCopyPass(device(), context(), slot, view, target, saved);
  }

  // Every texel of `target`: the engine's depth inside (0, 0, width, height), its own outside.
  void expectCopied(ID3D11Texture2D* target, UINT width, UINT height, const std::vector<float>& engine) {
    const std::vector<float> after = readDepth(context(), target);
    ASSERT_EQ(after.size(), size_t(kImageWidth) * kImageHeight);
    size_t wrong = 0;
    for (UINT y = 0; y < kImageHeight; ++y)
      for (UINT x = 0; x < kImageWidth; ++x) {
        const float expected = (x < width && y < height) ? engine[y * kEngineWidth + x] : imageValues[y * kImageWidth + x];
        if (after[y * kImageWidth + x] != expected && ++wrong <= 5)
          ADD_FAILURE() << "texel " << x << "," << y << ": " << after[y * kImageWidth + x] << " instead of "
                        << expected;
      }
    EXPECT_EQ(wrong, 0u);
  }

  Device gpu;
  std::vector<float> engineValues;
  std::vector<float> imageValues;
  Ref<ID3D11Texture2D> engineDepth;
  Ref<ID3D11Texture2D> image;
  Zerin::SavedRenderTargets saved;
};

TEST(DepthCopyShaderSource, IsTheWholeProgramWithoutATrailingLineFeed) {
  const std::string source(Zerin::kDepthCopyShaderSource);
  EXPECT_EQ(source.size(), 291u);
  EXPECT_EQ(source.size(), Zerin::kDepthCopyShaderSourceSize);
  EXPECT_EQ(std::count(source.begin(), source.end(), '\n'), 2);
  EXPECT_NE(source.back(), '\n');
  EXPECT_EQ(source.compare(0, 47, "float4 VS(uint id : SV_VertexID) : SV_Position\n"), 0);
#if !defined(_WIN32)
  EXPECT_EQ(source, depthCopyShaderSource());
#endif
}

// ---- the draw ---------------------------------------------------------------------------------

class DepthCopyPassPixels : public DepthCopyPassTest,
                            public ::testing::WithParamInterface<std::tuple<int32_t, DXGI_FORMAT>> {};

// The viewport's x plays no part in the draw: the rectangle always starts at pixel (0, 0).
TEST_P(DepthCopyPassPixels, TheImageHoldsTheEngineDepthInTheViewportRectangleOnly) {
  const auto [x, format] = GetParam();
  image = makeImage(format);
  ASSERT_TRUE(image);
  runView(depthView(engineDepth.get(), x, 40, 30), image.get());
  expectCopied(image.get(), 40, 30, engineValues);
}

INSTANTIATE_TEST_SUITE_P(ViewportsAndImages, DepthCopyPassPixels,
                         ::testing::Combine(::testing::Values(0, 100),
                                            ::testing::Values(DXGI_FORMAT_R32_TYPELESS, DXGI_FORMAT_D32_FLOAT)),
                         [](const auto& info) {
                           return "X" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) == DXGI_FORMAT_D32_FLOAT ? "D32Float" : "R32Typeless");
                         });

// The engine renders with its own depth texture bound as depth target; the pass must still read
// it, and the engine's targets come back once the submission is over.
TEST_F(DepthCopyPassTest, CopiesWhileTheEngineDepthIsBoundAsTheEnginesTargetAndRestoresTheTargets) {
  auto colour = createTexture(device(), kEngineWidth, kEngineHeight, DXGI_FORMAT_R8G8B8A8_UNORM,
                              D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE, nullptr);
  ASSERT_TRUE(colour);
  Ref<ID3D11RenderTargetView> engineRtv;
  ASSERT_EQ(device()->CreateRenderTargetView(colour.get(), nullptr, engineRtv.put()), S_OK);
  D3D11_DEPTH_STENCIL_VIEW_DESC dsvDesc{};
  dsvDesc.Format = DXGI_FORMAT_D32_FLOAT_S8X24_UINT;
  dsvDesc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  Ref<ID3D11DepthStencilView> engineDsv;
  ASSERT_EQ(device()->CreateDepthStencilView(engineDepth.get(), &dsvDesc, engineDsv.put()), S_OK);
  ID3D11RenderTargetView* rtv = engineRtv.get();
  context()->OMSetRenderTargets(1, &rtv, engineDsv.get());
  const ULONG rtvBefore = referenceCount(engineRtv.get());
  const ULONG dsvBefore = referenceCount(engineDsv.get());

  runView(depthView(engineDepth.get(), 0, 40, 30), image.get());
  Ref<ID3D11ShaderResourceView> input;
  context()->PSGetShaderResources(0, 1, input.put());
  EXPECT_EQ(input.get(), Zerin::depthSrvCache.at(engineDepth.get())) << "the engine depth was bound as null";
  input.reset();
  EXPECT_TRUE(saved.saved);
  EXPECT_EQ(saved.renderTarget, engineRtv.get());
  EXPECT_EQ(saved.depthStencil, engineDsv.get());

  Zerin::restoreRenderTargets(context(), saved);
  EXPECT_FALSE(saved.saved);
  EXPECT_EQ(saved.renderTarget, nullptr);
  EXPECT_EQ(saved.depthStencil, nullptr);
  Ref<ID3D11RenderTargetView> boundRtv;
  Ref<ID3D11DepthStencilView> boundDsv;
  context()->OMGetRenderTargets(1, boundRtv.put(), boundDsv.put());
  EXPECT_EQ(boundRtv.get(), engineRtv.get());
  EXPECT_EQ(boundDsv.get(), engineDsv.get());
  boundRtv.reset();
  boundDsv.reset();
  EXPECT_EQ(referenceCount(engineRtv.get()), rtvBefore) << "saving took a reference that was not dropped";
  EXPECT_EQ(referenceCount(engineDsv.get()), dsvBefore);

  expectCopied(image.get(), 40, 30, engineValues);
#if !defined(_WIN32)
  EXPECT_EQ(problems(device()), std::vector<std::string>{});
#endif
}

TEST_F(DepthCopyPassTest, TheTargetsAreSavedByTheFirstPassOnlyAndNothingIsRestoredWithoutAPass) {
  Zerin::restoreRenderTargets(context(), saved);  // nothing saved: nothing bound
  auto colour = createTexture(device(), 8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_RENDER_TARGET, nullptr);
  Ref<ID3D11RenderTargetView> engineRtv;
  ASSERT_EQ(device()->CreateRenderTargetView(colour.get(), nullptr, engineRtv.put()), S_OK);
  ID3D11RenderTargetView* rtv = engineRtv.get();
  context()->OMSetRenderTargets(1, &rtv, nullptr);

  auto secondImage = makeImage(DXGI_FORMAT_R32_TYPELESS);
  runView(depthView(engineDepth.get(), 0, 40, 30), image.get());
  runView(depthView(engineDepth.get(), 0, 20, 10), secondImage.get());
  EXPECT_EQ(saved.renderTarget, engineRtv.get()) << "the second pass saved the first pass's targets";
  EXPECT_EQ(saved.depthStencil, nullptr);
  Zerin::restoreRenderTargets(context(), saved);
  Ref<ID3D11RenderTargetView> boundRtv;
  Ref<ID3D11DepthStencilView> boundDsv;
  context()->OMGetRenderTargets(1, boundRtv.put(), boundDsv.put());
  EXPECT_EQ(boundRtv.get(), engineRtv.get());
  EXPECT_FALSE(boundDsv);
#if !defined(_WIN32)
  EXPECT_EQ(callCount(device(), "OMGetRenderTargets"), 2u);  // the pass once, this test once
#endif
}

TEST_F(DepthCopyPassTest, ThePassLeavesItsOwnStateBound) {
  runView(depthView(engineDepth.get(), 100, 40, 30), image.get());
  Ref<ID3D11VertexShader> vs;
  Ref<ID3D11PixelShader> ps;
  context()->VSGetShader(vs.put(), nullptr, nullptr);
  context()->PSGetShader(ps.put(), nullptr, nullptr);
  EXPECT_EQ(vs.get(), Zerin::depthCopyVS);
  EXPECT_EQ(ps.get(), Zerin::depthCopyPS);
  Ref<ID3D11ShaderResourceView> input;
  context()->PSGetShaderResources(0, 1, input.put());
  EXPECT_EQ(input.get(), Zerin::depthSrvCache.at(engineDepth.get()));
  Ref<ID3D11RenderTargetView> rtv;
  Ref<ID3D11DepthStencilView> dsv;
  context()->OMGetRenderTargets(1, rtv.put(), dsv.put());
  EXPECT_FALSE(rtv);
  EXPECT_EQ(dsv.get(), Zerin::depthDsvCache.at(image.get()));
  Ref<ID3D11DepthStencilState> depthState;
  UINT stencilRef = 7;
  context()->OMGetDepthStencilState(depthState.put(), &stencilRef);
  EXPECT_EQ(depthState.get(), Zerin::depthCopyDepthState);
  EXPECT_EQ(stencilRef, 0u);
  Ref<ID3D11BlendState> blend;
  UINT sampleMask = 0;
  context()->OMGetBlendState(blend.put(), nullptr, &sampleMask);
  EXPECT_FALSE(blend);
  EXPECT_EQ(sampleMask, 0xFFFFFFFFu);
  Ref<ID3D11RasterizerState> raster;
  context()->RSGetState(raster.put());
  EXPECT_EQ(raster.get(), Zerin::depthCopyRasterState);
  UINT count = 1;
  D3D11_VIEWPORT viewport{};
  context()->RSGetViewports(&count, &viewport);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(viewport.TopLeftX, 0.0f);
  EXPECT_EQ(viewport.TopLeftY, 0.0f);
  EXPECT_EQ(viewport.Width, 40.0f);
  EXPECT_EQ(viewport.Height, 30.0f);
  EXPECT_EQ(viewport.MinDepth, 0.0f);
  EXPECT_EQ(viewport.MaxDepth, 1.0f);
  D3D11_PRIMITIVE_TOPOLOGY topology{};
  context()->IAGetPrimitiveTopology(&topology);
  EXPECT_EQ(topology, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
}

#if !defined(_WIN32)
std::vector<std::string> methods(const std::vector<Call>& calls) {
  std::vector<std::string> names;
  for (const auto& call : calls) names.push_back(call.method);
  return names;
}

TEST_F(DepthCopyPassTest, CallsAndArgumentsInOrder) {
  Zerin::ensureDepthPipeline(device());
  clearCalls(device());
  Zerin::depthCopyPass(device(), context(), 0, depthView(engineDepth.get(), 100, 40, 30), image.get(), saved);
  const std::vector<Call> made = calls(device());
  ASSERT_EQ(methods(made),
            (std::vector<std::string>{"OMGetRenderTargets", "IASetVertexBuffers", "IASetIndexBuffer", "IASetInputLayout",
                                      "IASetPrimitiveTopology", "VSSetShader", "PSSetShader",
                                      "CreateShaderResourceView", "CreateDepthStencilView", "OMSetRenderTargets",
                                      "PSSetShaderResources", "OMSetDepthStencilState", "OMSetBlendState",
                                      "RSSetState", "RSSetViewports", "Draw"}));
  auto srv = Zerin::depthSrvCache.at(engineDepth.get());
  auto dsv = Zerin::depthDsvCache.at(image.get());
  EXPECT_EQ(made[0].values, (std::vector<double>{1}));
  EXPECT_EQ(made[1].values, (std::vector<double>{0, 0}));
  EXPECT_EQ(made[2].objects, (std::vector<const void*>{nullptr}));
  EXPECT_EQ(made[2].values, (std::vector<double>{DXGI_FORMAT_UNKNOWN, 0}));
  EXPECT_EQ(made[3].objects, (std::vector<const void*>{nullptr}));
  EXPECT_EQ(made[4].values, (std::vector<double>{D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST}));
  EXPECT_EQ(made[5].objects, (std::vector<const void*>{Zerin::depthCopyVS}));
  EXPECT_EQ(made[5].values, (std::vector<double>{0}));
  EXPECT_EQ(made[6].objects, (std::vector<const void*>{Zerin::depthCopyPS}));
  EXPECT_EQ(made[7].objects, (std::vector<const void*>{engineDepth.get(), srv}));
  EXPECT_EQ(made[7].values,
            (std::vector<double>{DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS, D3D11_SRV_DIMENSION_TEXTURE2D, 0, 1}));
  EXPECT_EQ(made[8].objects, (std::vector<const void*>{image.get(), dsv}));
  EXPECT_EQ(made[8].values, (std::vector<double>{DXGI_FORMAT_D32_FLOAT, D3D11_DSV_DIMENSION_TEXTURE2D, 0, 0}));
  EXPECT_EQ(made[9].objects, (std::vector<const void*>{dsv}));
  EXPECT_EQ(made[9].values, (std::vector<double>{0}));
  EXPECT_EQ(made[10].objects, (std::vector<const void*>{srv}));
  EXPECT_EQ(made[10].values, (std::vector<double>{0, 1}));
  EXPECT_EQ(made[11].objects, (std::vector<const void*>{Zerin::depthCopyDepthState}));
  EXPECT_EQ(made[11].values, (std::vector<double>{0}));
  EXPECT_EQ(made[12].objects, (std::vector<const void*>{nullptr}));
  EXPECT_EQ(made[12].values, (std::vector<double>{0, double(0xFFFFFFFFu)}));
  EXPECT_EQ(made[13].objects, (std::vector<const void*>{Zerin::depthCopyRasterState}));
  EXPECT_EQ(made[14].values, (std::vector<double>{1, 0, 0, 40, 30, 0, 1}));
  EXPECT_EQ(made[15].values, (std::vector<double>{3, 0, 40 * 30}));
  EXPECT_EQ(problems(device()), std::vector<std::string>{});
}
#endif

// ---- the pipeline -------------------------------------------------------------------------------

TEST_F(DepthCopyPassTest, TheFirstDepthViewMakesThePipelineAndLaterViewsReuseIt) {
#if !defined(_WIN32)
  clearCompiles();
#endif
  EXPECT_FALSE(Zerin::depthPipelineReady());
  runView(depthView(engineDepth.get(), 0, 40, 30), image.get());
  ID3D11VertexShader* const vs = Zerin::depthCopyVS;
  ID3D11PixelShader* const ps = Zerin::depthCopyPS;
  ID3D11DepthStencilState* const depthState = Zerin::depthCopyDepthState;
  ID3D11RasterizerState* const rasterState = Zerin::depthCopyRasterState;
  ASSERT_TRUE(vs && ps && depthState && rasterState);

  D3D11_DEPTH_STENCIL_DESC depth{};
  depthState->GetDesc(&depth);
  EXPECT_EQ(depth.DepthEnable, TRUE);
  EXPECT_EQ(depth.DepthWriteMask, D3D11_DEPTH_WRITE_MASK_ALL);
  EXPECT_EQ(depth.DepthFunc, D3D11_COMPARISON_ALWAYS);
  EXPECT_EQ(depth.StencilEnable, FALSE);  // Wine reports its own masks while stencil is off
  D3D11_RASTERIZER_DESC raster{};
  rasterState->GetDesc(&raster);
  EXPECT_EQ(raster.FillMode, D3D11_FILL_SOLID);
  EXPECT_EQ(raster.CullMode, D3D11_CULL_NONE);
  EXPECT_EQ(raster.FrontCounterClockwise, FALSE);
  EXPECT_EQ(raster.DepthBias, 0);
  EXPECT_EQ(raster.DepthClipEnable, TRUE);
  EXPECT_EQ(raster.ScissorEnable, FALSE);
  EXPECT_EQ(raster.MultisampleEnable, TRUE);
  EXPECT_EQ(raster.AntialiasedLineEnable, FALSE);

  // More views in this submission and two more submissions.
  for (int frame = 0; frame < 3; ++frame) {
    runView(depthView(engineDepth.get(), 0, 40, 30), image.get());
    runView(depthView(engineDepth.get(), 100, 40, 30), image.get());
    Zerin::restoreRenderTargets(context(), saved);
  }
  EXPECT_EQ(Zerin::depthCopyVS, vs);
  EXPECT_EQ(Zerin::depthCopyPS, ps);
  EXPECT_EQ(Zerin::depthCopyDepthState, depthState);
  EXPECT_EQ(Zerin::depthCopyRasterState, rasterState);
  expectCopied(image.get(), 40, 30, engineValues);
#if !defined(_WIN32)
  const std::vector<CompileRecord> made = compiles();
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0].sourceName, "VS");
  EXPECT_EQ(made[0].entryPoint, "VS");
  EXPECT_EQ(made[0].target, "vs_5_0");
  EXPECT_EQ(made[0].sourceSize, 291u);
  EXPECT_EQ(made[1].sourceName, "PS");
  EXPECT_EQ(made[1].entryPoint, "PS");
  EXPECT_EQ(made[1].target, "ps_5_0");
  EXPECT_EQ(made[1].sourceSize, 291u);
  for (const char* method : {"CreateVertexShader", "CreatePixelShader", "CreateDepthStencilState",
                             "CreateRasterizerState", "CreateShaderResourceView", "CreateDepthStencilView"})
    EXPECT_EQ(callCount(device(), method), 1u) << method;
  // Every field as passed, in declaration order.
  EXPECT_EQ(calls(device(), "CreateDepthStencilState").at(0).values,
            (std::vector<double>{TRUE, D3D11_DEPTH_WRITE_MASK_ALL, D3D11_COMPARISON_ALWAYS, FALSE, 0, 0, 0, 0, 0, 0, 0,
                                 0, 0, 0}));
  EXPECT_EQ(calls(device(), "CreateRasterizerState").at(0).values,
            (std::vector<double>{D3D11_FILL_SOLID, D3D11_CULL_NONE, FALSE, 0, 0, 0, TRUE, FALSE, TRUE, FALSE}));
  const auto vsCall = calls(device(), "CreateVertexShader").at(0);
  EXPECT_EQ(vsCall.objects, (std::vector<const void*>{vs, nullptr})) << "no class linkage";
#endif
}

TEST_F(DepthCopyPassTest, WithoutADeviceNothingIsMade) {
  Zerin::ensureDepthPipeline(nullptr);
  EXPECT_FALSE(Zerin::depthPipelineReady());
  EXPECT_EQ(Zerin::depthCopyDepthState, nullptr);
  EXPECT_EQ(Zerin::depthCopyRasterState, nullptr);
}

// ---- the view caches ---------------------------------------------------------------------------

TEST_F(DepthCopyPassTest, TheCachesGrowByOnePerDistinctTexture) {
  const std::vector<float> otherValues = depthPattern(kEngineWidth * kEngineHeight, 9);
  auto otherEngineDepth = makeEngineDepth(otherValues);
  auto otherImage = makeImage(DXGI_FORMAT_R32_TYPELESS);
  ASSERT_TRUE(otherEngineDepth && otherImage);

  // Two views of one engine depth texture, e.g. both eyes in one texture.
  runView(depthView(engineDepth.get(), 0, 40, 30), image.get());
  runView(depthView(engineDepth.get(), 100, 40, 30), otherImage.get());
  EXPECT_EQ(Zerin::depthSrvCache.size(), 1u);
  EXPECT_EQ(Zerin::depthDsvCache.size(), 2u);
  ID3D11ShaderResourceView* const shared = Zerin::depthSrvCache.at(engineDepth.get());
  ASSERT_NE(shared, nullptr);

  runView(depthView(otherEngineDepth.get(), 0, 40, 30), image.get());
  EXPECT_EQ(Zerin::depthSrvCache.size(), 2u);
  EXPECT_EQ(Zerin::depthDsvCache.size(), 2u);
  EXPECT_NE(Zerin::depthSrvCache.at(otherEngineDepth.get()), shared);
  EXPECT_EQ(Zerin::depthSrvCache.at(engineDepth.get()), shared);
  expectCopied(image.get(), 40, 30, otherValues);
  expectCopied(otherImage.get(), 40, 30, engineValues);

  // Later frames with the same textures add nothing.
  Zerin::restoreRenderTargets(context(), saved);
  runView(depthView(engineDepth.get(), 0, 40, 30), otherImage.get());
  runView(depthView(otherEngineDepth.get(), 0, 40, 30), image.get());
  EXPECT_EQ(Zerin::depthSrvCache.size(), 2u);
  EXPECT_EQ(Zerin::depthDsvCache.size(), 2u);
#if !defined(_WIN32)
  EXPECT_EQ(callCount(device(), "CreateShaderResourceView"), 2u);
  EXPECT_EQ(callCount(device(), "CreateDepthStencilView"), 2u);
#endif
}

// Each view slot remembers the views it found last. Slots whose swap chains' images come in
// turn, then give way to others, and slots that share images, still bind each image's own view,
// made once.
TEST_F(DepthCopyPassTest, EverySlotBindsTheViewOfItsOwnImageWhateverItRemembers) {
  constexpr size_t kImages = 6;
  std::vector<Ref<ID3D11Texture2D>> images;
  for (size_t i = 0; i < kImages; ++i) images.push_back(makeImage(DXGI_FORMAT_D32_FLOAT));
  auto boundTarget = [&] {
    Ref<ID3D11RenderTargetView> rtv;
    Ref<ID3D11DepthStencilView> dsv;
    context()->OMGetRenderTargets(1, rtv.put(), dsv.put());
    return dsv.get();
  };
  // Three images taken in turn for a few frames, then the other three (a re-created swap chain).
  for (int round = 0; round < 4; ++round) {
    for (size_t frame = 0; frame < 7; ++frame) {
      for (size_t slot : {size_t{0}, size_t{15}}) {
        ID3D11Texture2D* const target = images[(round % 2) * 3 + (frame + slot) % 3].get();
        runView(depthView(engineDepth.get(), 0, 40, 30), target, slot);
        EXPECT_EQ(boundTarget(), Zerin::depthDsvCache.at(target)) << "round " << round << ", frame " << frame;
      }
    }
  }
  EXPECT_EQ(Zerin::depthDsvCache.size(), kImages);
#if !defined(_WIN32)
  EXPECT_EQ(callCount(device(), "CreateDepthStencilView"), kImages);
  EXPECT_EQ(callCount(device(), "CreateShaderResourceView"), 1u);
#endif
  Zerin::restoreRenderTargets(context(), saved);
}

// A texture whose entry the caches released may come back as a new texture at the same
// address: no slot may still find the released view for it.
TEST_F(DepthCopyPassTest, TexturesTheCachesLetGoOfAreNotFoundAgain) {
  for (int frame = 0; frame < 2; ++frame) runView(depthView(engineDepth.get(), 0, 40, 30), image.get(), 3);
  Zerin::restoreRenderTargets(context(), saved);
  context()->ClearState();
  // Only compared, never used again once released.
  ID3D11Resource* const engineAddress = engineDepth.get();
  ID3D11Texture2D* const imageAddress = image.get();
  ID3D11ShaderResourceView* input = nullptr;
  ID3D11DepthStencilView* target = nullptr;
  ASSERT_TRUE(Zerin::findDepthInputView(3, engineAddress, input));
  ASSERT_TRUE(Zerin::findDepthTargetView(3, imageAddress, target));

  engineDepth.reset();  // the caches hold the only references left
  image.reset();
  Zerin::releaseDroppedDepthViews();
  ASSERT_TRUE(Zerin::depthSrvCache.empty());
  ASSERT_TRUE(Zerin::depthDsvCache.empty());
  EXPECT_FALSE(Zerin::findDepthInputView(3, engineAddress, input));
  EXPECT_FALSE(Zerin::findDepthTargetView(3, imageAddress, target));
}

// A texture that admits no R32_FLOAT_X8X24_TYPELESS view: the null view is cached, so the
// creation is not tried again frame after frame, and null is bound.
TEST_F(DepthCopyPassTest, AViewThatCannotBeMadeIsCachedAsNullAndBoundAsNull) {
  auto colourDepth = createTexture(device(), kEngineWidth, kEngineHeight, DXGI_FORMAT_R8G8B8A8_UNORM,
                                   D3D11_BIND_SHADER_RESOURCE, nullptr);
  ASSERT_TRUE(colourDepth);
  runView(depthView(colourDepth.get(), 0, 40, 30), image.get());
  runView(depthView(colourDepth.get(), 0, 40, 30), image.get());
  ASSERT_EQ(Zerin::depthSrvCache.size(), 1u);
  EXPECT_EQ(Zerin::depthSrvCache.at(colourDepth.get()), nullptr);
  Ref<ID3D11ShaderResourceView> input;
  context()->PSGetShaderResources(0, 1, input.put());
  EXPECT_FALSE(input);
#if !defined(_WIN32)
  EXPECT_EQ(callCount(device(), "CreateShaderResourceView"), 1u);
  EXPECT_EQ(callCount(device(), "Draw"), 2u);
#endif
}

// ---- release -----------------------------------------------------------------------------------

TEST_F(DepthCopyPassTest, ReleaseGivesEveryReferenceBackAndALaterPassBuildsThePipelineAfresh) {
  const ULONG engineBefore = referenceCount(engineDepth.get());
  const ULONG imageBefore = referenceCount(image.get());
#if !defined(_WIN32)
  const size_t liveBefore = liveObjects(device());
#endif
  runView(depthView(engineDepth.get(), 0, 40, 30), image.get());
  Zerin::restoreRenderTargets(context(), saved);
  context()->ClearState();  // what the context holds bound is not the pass's to give back

  // Our own references show that the release gives back exactly one of each.
  auto vs = Ref<ID3D11VertexShader>::share(Zerin::depthCopyVS);
  auto ps = Ref<ID3D11PixelShader>::share(Zerin::depthCopyPS);
  auto depthState = Ref<ID3D11DepthStencilState>::share(Zerin::depthCopyDepthState);
  auto rasterState = Ref<ID3D11RasterizerState>::share(Zerin::depthCopyRasterState);
  auto srv = Ref<ID3D11ShaderResourceView>::share(Zerin::depthSrvCache.at(engineDepth.get()));
  auto dsv = Ref<ID3D11DepthStencilView>::share(Zerin::depthDsvCache.at(image.get()));
  ASSERT_TRUE(vs && ps && depthState && rasterState && srv && dsv);
  const ULONG counts[] = {referenceCount(vs.get()),         referenceCount(ps.get()),  referenceCount(depthState.get()),
                          referenceCount(rasterState.get()), referenceCount(srv.get()), referenceCount(dsv.get())};

  Zerin::releaseDepthCopyObjects();
  EXPECT_EQ(referenceCount(vs.get()), counts[0] - 1);
  EXPECT_EQ(referenceCount(ps.get()), counts[1] - 1);
  EXPECT_EQ(referenceCount(depthState.get()), counts[2] - 1);
  EXPECT_EQ(referenceCount(rasterState.get()), counts[3] - 1);
  EXPECT_EQ(referenceCount(srv.get()), counts[4] - 1);
  EXPECT_EQ(referenceCount(dsv.get()), counts[5] - 1);
  EXPECT_FALSE(Zerin::depthPipelineReady());
  EXPECT_EQ(Zerin::depthCopyDepthState, nullptr);
  EXPECT_EQ(Zerin::depthCopyRasterState, nullptr);
  EXPECT_TRUE(Zerin::depthSrvCache.empty());
  EXPECT_TRUE(Zerin::depthDsvCache.empty());
  for (auto* ref : {static_cast<IUnknown*>(vs.detach()), static_cast<IUnknown*>(ps.detach()),
                    static_cast<IUnknown*>(depthState.detach()), static_cast<IUnknown*>(rasterState.detach()),
                    static_cast<IUnknown*>(srv.detach()), static_cast<IUnknown*>(dsv.detach())})
    ref->Release();
  EXPECT_EQ(referenceCount(engineDepth.get()), engineBefore) << "a view still holds the engine depth";
  EXPECT_EQ(referenceCount(image.get()), imageBefore) << "a view still holds the depth image";
#if !defined(_WIN32)
  EXPECT_EQ(liveObjects(device()), liveBefore);
  clearCompiles();
  clearCalls(device());
#endif

  // The next depth view starts from nothing.
  imageValues = depthPattern(kImageWidth * kImageHeight, 5);
  image = makeImage(DXGI_FORMAT_D32_FLOAT);
  runView(depthView(engineDepth.get(), 0, 50, 40), image.get());
  EXPECT_EQ(Zerin::depthSrvCache.size(), 1u);
  EXPECT_EQ(Zerin::depthDsvCache.size(), 1u);
  expectCopied(image.get(), 50, 40, engineValues);
#if !defined(_WIN32)
  EXPECT_EQ(compiles().size(), 2u);
  for (const char* method : {"CreateVertexShader", "CreatePixelShader", "CreateDepthStencilState",
                             "CreateRasterizerState", "CreateShaderResourceView", "CreateDepthStencilView"})
    EXPECT_EQ(callCount(device(), method), 1u) << method;
#endif
}

TEST_F(DepthCopyPassTest, ReleasingWhatWasNeverMadeReleasesNothing) {
  Zerin::releaseDepthCopyObjects();
  Zerin::releaseDepthCopyObjects();
  EXPECT_FALSE(Zerin::depthPipelineReady());
  runView(depthView(engineDepth.get(), 0, 40, 30), image.get());
  expectCopied(image.get(), 40, 30, engineValues);
}

// ---- compile failures (the software compiler can be made to fail) ------------------------------

#if !defined(_WIN32)
std::vector<std::string> compiledStages() {
  std::vector<std::string> stages;
  for (const auto& record : compiles()) stages.push_back(record.entryPoint);
  return stages;
}

TEST_F(DepthCopyPassTest, APixelShaderThatFailsToCompileIsReportedAndTriedAgainAtTheNextView) {
  const char* message = "PS(2,10-30): error X3004: undeclared identifier 'inputTex'\n";
  clearCompiles();
  ZerinTest::clearCaptures();
  failNextCompile("PS", message);
  Zerin::ensureDepthPipeline(device());
  EXPECT_FALSE(Zerin::depthPipelineReady());
  EXPECT_EQ(Zerin::depthCopyPS, nullptr);
  EXPECT_NE(Zerin::depthCopyVS, nullptr);
  EXPECT_NE(Zerin::depthCopyDepthState, nullptr);
  EXPECT_NE(Zerin::depthCopyRasterState, nullptr);
  EXPECT_EQ(ZerinTest::debugOutput(), std::vector<std::string>{message});
  EXPECT_EQ(compiledStages(), (std::vector<std::string>{"VS", "PS"}));

  // The next view with depth tries again; only what is missing is made.
  ID3D11VertexShader* const vs = Zerin::depthCopyVS;
  Zerin::ensureDepthPipeline(device());
  EXPECT_TRUE(Zerin::depthPipelineReady());
  EXPECT_EQ(Zerin::depthCopyVS, vs);
  EXPECT_EQ(compiledStages(), (std::vector<std::string>{"VS", "PS", "PS"}));
  EXPECT_EQ(callCount(device(), "CreateVertexShader"), 1u);
  EXPECT_EQ(callCount(device(), "CreatePixelShader"), 1u);
  EXPECT_EQ(callCount(device(), "CreateDepthStencilState"), 1u);
  EXPECT_EQ(callCount(device(), "CreateRasterizerState"), 1u);
  EXPECT_EQ(ZerinTest::debugOutput().size(), 1u);

  Zerin::depthCopyPass(device(), context(), 0, depthView(engineDepth.get(), 0, 40, 30), image.get(), saved);
  expectCopied(image.get(), 40, 30, engineValues);
}

// Without the vertex shader the draw would write nothing: that is retried as well.
TEST_F(DepthCopyPassTest, AVertexShaderThatFailsToCompileIsTriedAgainToo) {
  clearCompiles();
  ZerinTest::clearCaptures();
  failNextCompile("VS", "VS(1,1): error X3000: syntax error\n");
  Zerin::ensureDepthPipeline(device());
  EXPECT_FALSE(Zerin::depthPipelineReady());
  EXPECT_EQ(Zerin::depthCopyVS, nullptr);
  EXPECT_NE(Zerin::depthCopyPS, nullptr);
  EXPECT_EQ(ZerinTest::debugOutput(), std::vector<std::string>{"VS(1,1): error X3000: syntax error\n"});
  ID3D11PixelShader* const ps = Zerin::depthCopyPS;
  Zerin::ensureDepthPipeline(device());
  EXPECT_TRUE(Zerin::depthPipelineReady());
  EXPECT_EQ(Zerin::depthCopyPS, ps);
  EXPECT_EQ(compiledStages(), (std::vector<std::string>{"VS", "PS", "VS"}));
}

TEST_F(DepthCopyPassTest, AFailureWithoutACompilerMessageIsStillReported) {
  ZerinTest::clearCaptures();
  failNextCompile("PS", nullptr);
  Zerin::ensureDepthPipeline(device());
  EXPECT_FALSE(Zerin::depthPipelineReady());
  EXPECT_EQ(ZerinTest::debugOutput(),
            std::vector<std::string>{"Depth copy shader PS did not compile: error 0x80004005\n"});
}
#endif

}  // namespace
