// The depth-copy pass on the project's device: the programs compile from the one source, and
// the draw writes the engine's depth into exactly the viewport rectangle of the target.
#include <gtest/gtest.h>

#include "depth_pipeline.h"

namespace {

using namespace GfxTest;
using namespace ZerinSim::Gfx;

TEST(DepthCopyProgram, CompilesForBothStagesFromTheWholeSource) {
  ASSERT_EQ(kDepthCopySourceSize, 291u);
  for (const auto& [entry, target] : {std::pair{"VS", "vs_5_0"}, std::pair{"PS", "ps_5_0"}}) {
    const CompileResult result = compile(kDepthCopySource, kDepthCopySourceSize, entry, entry, target);
    EXPECT_EQ(result.result, S_OK) << entry << ": " << result.error;
    ASSERT_TRUE(result.code) << entry;
    EXPECT_GT(result.code->GetBufferSize(), 0u);
  }
}

TEST(DepthCopyProgram, FailuresComeWithTheCompilersMessage) {
  const CompileResult missingEntry = compile(kDepthCopySource, kDepthCopySourceSize, "PS", "main", "ps_5_0");
  EXPECT_TRUE(FAILED(missingEntry.result));
  EXPECT_FALSE(missingEntry.code);
  EXPECT_TRUE(missingEntry.hasErrorBlob);
  EXPECT_NE(missingEntry.error.find("main"), std::string::npos) << missingEntry.error;

  // The source cut short by one byte no longer compiles.
  const CompileResult cut = compile(kDepthCopySource, kDepthCopySourceSize - 1, "PS", "PS", "ps_5_0");
  EXPECT_TRUE(FAILED(cut.result));
  EXPECT_FALSE(cut.code);
  EXPECT_TRUE(cut.hasErrorBlob);
  EXPECT_FALSE(cut.error.empty());
}

class DepthCopy : public DeviceTest {
 protected:
  static constexpr UINT kEngineWidth = 64, kEngineHeight = 48;
  static constexpr UINT kTargetWidth = 80, kTargetHeight = 60;

  void SetUp() override {
    DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    engineValues = depthPattern(kEngineWidth * kEngineHeight, 21);
    engineDepth = createTexture(device(), kEngineWidth, kEngineHeight, DXGI_FORMAT_R32G8X24_TYPELESS,
                                D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                                depthStencilTexels(engineValues, 0x33).data());
    ASSERT_TRUE(engineDepth);
    pipeline = makeDepthPipeline(device());
    ASSERT_FALSE(HasFailure());
    srv = depthInputView(device(), engineDepth.get());
    ASSERT_TRUE(srv);
  }

  // A runtime depth image, filled with values of its own so that untouched texels show.
  Ref<ID3D11Texture2D> makeTarget(DXGI_FORMAT format) {
    targetValues = depthPattern(kTargetWidth * kTargetHeight, 22);
    UINT bind = D3D11_BIND_DEPTH_STENCIL;
    if (format == DXGI_FORMAT_R32_TYPELESS) bind |= D3D11_BIND_SHADER_RESOURCE;
    return createTexture(device(), kTargetWidth, kTargetHeight, format, bind, floatTexels(targetValues).data());
  }

  float engineAt(UINT x, UINT y) const { return engineValues[y * kEngineWidth + x]; }
  float targetAt(UINT x, UINT y) const { return targetValues[y * kTargetWidth + x]; }

  // Compares every texel of the target with what a draw of width x height should leave.
  void expectDrawn(ID3D11Texture2D* target, UINT width, UINT height) {
    const std::vector<float> after = readDepth(context(), target);
    ASSERT_EQ(after.size(), size_t(kTargetWidth) * kTargetHeight);
    size_t wrong = 0;
    for (UINT y = 0; y < kTargetHeight; ++y)
      for (UINT x = 0; x < kTargetWidth; ++x) {
        const float expected = (x < width && y < height) ? engineAt(x, y) : targetAt(x, y);
        if (after[y * kTargetWidth + x] != expected && ++wrong <= 5)
          ADD_FAILURE() << "texel " << x << "," << y << ": " << after[y * kTargetWidth + x] << " instead of "
                        << expected;
      }
    EXPECT_EQ(wrong, 0u);
  }

  std::vector<float> engineValues;
  std::vector<float> targetValues;
  Ref<ID3D11Texture2D> engineDepth;
  DepthPipeline pipeline;
  Ref<ID3D11ShaderResourceView> srv;
};

class DepthCopyTargets : public DepthCopy, public ::testing::WithParamInterface<DXGI_FORMAT> {};

TEST_P(DepthCopyTargets, WritesExactlyTheViewportRectangleWithTheEngineDepth) {
  auto target = makeTarget(GetParam());
  ASSERT_TRUE(target);
  auto dsv = depthTargetView(device(), target.get());
  ASSERT_TRUE(dsv);
  drawDepthCopy(context(), pipeline, srv.get(), dsv.get(), 40, 30);
  expectDrawn(target.get(), 40, 30);
}

TEST_P(DepthCopyTargets, AViewportOfTheWholeInputCopiesAllOfIt) {
  auto target = makeTarget(GetParam());
  ASSERT_TRUE(target);
  auto dsv = depthTargetView(device(), target.get());
  ASSERT_TRUE(dsv);
  drawDepthCopy(context(), pipeline, srv.get(), dsv.get(), kEngineWidth, kEngineHeight);
  expectDrawn(target.get(), kEngineWidth, kEngineHeight);
}

INSTANTIATE_TEST_SUITE_P(Formats, DepthCopyTargets,
                         ::testing::Values(DXGI_FORMAT_R32_TYPELESS, DXGI_FORMAT_D32_FLOAT),
                         [](const ::testing::TestParamInfo<DXGI_FORMAT>& info) {
                           return info.param == DXGI_FORMAT_R32_TYPELESS ? "R32Typeless" : "D32Float";
                         });

// The full-screen triangle is wound clockwise on the target: culling front faces removes it.
TEST_F(DepthCopy, TheTriangleIsFrontFacing) {
  auto target = makeTarget(DXGI_FORMAT_R32_TYPELESS);
  auto dsv = depthTargetView(device(), target.get());
  ASSERT_TRUE(dsv);
  D3D11_RASTERIZER_DESC desc = depthCopyRasterDesc();
  desc.CullMode = D3D11_CULL_FRONT;
  ASSERT_EQ(device()->CreateRasterizerState(&desc, pipeline.rasterState.put()), S_OK);
  drawDepthCopy(context(), pipeline, srv.get(), dsv.get(), 40, 30);
  expectDrawn(target.get(), 0, 0);

  desc.CullMode = D3D11_CULL_BACK;
  ASSERT_EQ(device()->CreateRasterizerState(&desc, pipeline.rasterState.put()), S_OK);
  drawDepthCopy(context(), pipeline, srv.get(), dsv.get(), 40, 30);
  expectDrawn(target.get(), 40, 30);
}

TEST_F(DepthCopy, ALessTestKeepsTheNearerDepth) {
  auto target = makeTarget(DXGI_FORMAT_D32_FLOAT);
  auto dsv = depthTargetView(device(), target.get());
  ASSERT_TRUE(dsv);
  D3D11_DEPTH_STENCIL_DESC desc = depthCopyDepthDesc();
  desc.DepthFunc = D3D11_COMPARISON_LESS;
  ASSERT_EQ(device()->CreateDepthStencilState(&desc, pipeline.depthState.put()), S_OK);
  drawDepthCopy(context(), pipeline, srv.get(), dsv.get(), 40, 30);
  const std::vector<float> after = readDepth(context(), target.get());
  ASSERT_EQ(after.size(), size_t(kTargetWidth) * kTargetHeight);
  size_t replaced = 0;
  for (UINT y = 0; y < kTargetHeight; ++y)
    for (UINT x = 0; x < kTargetWidth; ++x) {
      const bool nearer = x < 40 && y < 30 && engineAt(x, y) < targetAt(x, y);
      replaced += nearer;
      ASSERT_EQ(after[y * kTargetWidth + x], nearer ? engineAt(x, y) : targetAt(x, y)) << x << "," << y;
    }
  EXPECT_GT(replaced, 0u);
}

TEST_F(DepthCopy, StatesAndViewsKeepTheirDescriptions) {
  D3D11_DEPTH_STENCIL_DESC depth;
  pipeline.depthState->GetDesc(&depth);
  EXPECT_EQ(depth.DepthEnable, TRUE);
  EXPECT_EQ(depth.DepthWriteMask, D3D11_DEPTH_WRITE_MASK_ALL);
  EXPECT_EQ(depth.DepthFunc, D3D11_COMPARISON_ALWAYS);
  EXPECT_EQ(depth.StencilEnable, FALSE);
  D3D11_RASTERIZER_DESC raster;
  pipeline.rasterState->GetDesc(&raster);
  EXPECT_EQ(raster.FillMode, D3D11_FILL_SOLID);
  EXPECT_EQ(raster.CullMode, D3D11_CULL_NONE);
  EXPECT_EQ(raster.DepthClipEnable, TRUE);
  EXPECT_EQ(raster.MultisampleEnable, TRUE);

  auto target = makeTarget(DXGI_FORMAT_R32_TYPELESS);
  auto dsv = depthTargetView(device(), target.get());
  ASSERT_TRUE(dsv);
  D3D11_DEPTH_STENCIL_VIEW_DESC view;
  dsv->GetDesc(&view);
  EXPECT_EQ(view.Format, DXGI_FORMAT_D32_FLOAT);
  EXPECT_EQ(view.ViewDimension, D3D11_DSV_DIMENSION_TEXTURE2D);
  EXPECT_EQ(view.Texture2D.MipSlice, 0u);
}

// The device keeps a texture from being read and written at once: bound as depth target it is
// bound as null for input, and binding it as target takes it out of the input slots.
TEST_F(DepthCopy, AnInputStillBoundAsOutputIsBoundAsNull) {
  D3D11_DEPTH_STENCIL_VIEW_DESC desc{};
  desc.Format = DXGI_FORMAT_D32_FLOAT_S8X24_UINT;
  desc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  Ref<ID3D11DepthStencilView> engineDsv;
  ASSERT_EQ(device()->CreateDepthStencilView(engineDepth.get(), &desc, engineDsv.put()), S_OK);

  context()->OMSetRenderTargets(0, nullptr, engineDsv.get());
  ID3D11ShaderResourceView* input = srv.get();
  context()->PSSetShaderResources(0, 1, &input);
  Ref<ID3D11ShaderResourceView> bound;
  context()->PSGetShaderResources(0, 1, bound.put());
  EXPECT_FALSE(bound);

  context()->OMSetRenderTargets(0, nullptr, nullptr);
  context()->PSSetShaderResources(0, 1, &input);
  context()->PSGetShaderResources(0, 1, bound.put());
  EXPECT_EQ(bound.get(), srv.get());
  context()->OMSetRenderTargets(0, nullptr, engineDsv.get());
  context()->PSGetShaderResources(0, 1, bound.put());
  EXPECT_FALSE(bound);
}

TEST_F(DepthCopy, ThePassLeavesItsStateBound) {
  auto target = makeTarget(DXGI_FORMAT_R32_TYPELESS);
  auto dsv = depthTargetView(device(), target.get());
  ASSERT_TRUE(dsv);
  drawDepthCopy(context(), pipeline, srv.get(), dsv.get(), 40, 30);

  Ref<ID3D11ShaderResourceView> input;
  context()->PSGetShaderResources(0, 1, input.put());
  EXPECT_EQ(input.get(), srv.get());
  Ref<ID3D11VertexShader> vs;
  Ref<ID3D11PixelShader> ps;
  context()->VSGetShader(vs.put(), nullptr, nullptr);
  context()->PSGetShader(ps.put(), nullptr, nullptr);
  EXPECT_EQ(vs.get(), pipeline.vs.get());
  EXPECT_EQ(ps.get(), pipeline.ps.get());
  Ref<ID3D11DepthStencilState> depthState;
  UINT stencilRef = 99;
  context()->OMGetDepthStencilState(depthState.put(), &stencilRef);
  EXPECT_EQ(depthState.get(), pipeline.depthState.get());
  EXPECT_EQ(stencilRef, 0u);
  Ref<ID3D11RasterizerState> rasterState;
  context()->RSGetState(rasterState.put());
  EXPECT_EQ(rasterState.get(), pipeline.rasterState.get());
  UINT count = 1;
  D3D11_VIEWPORT viewport{};
  context()->RSGetViewports(&count, &viewport);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(viewport.Width, 40.0f);
  EXPECT_EQ(viewport.Height, 30.0f);
  D3D11_PRIMITIVE_TOPOLOGY topology;
  context()->IAGetPrimitiveTopology(&topology);
  EXPECT_EQ(topology, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
  Ref<ID3D11RenderTargetView> rtv;
  Ref<ID3D11DepthStencilView> boundDsv;
  context()->OMGetRenderTargets(1, rtv.put(), boundDsv.put());
  EXPECT_FALSE(rtv);
  EXPECT_EQ(boundDsv.get(), dsv.get());
}

}  // namespace
