// The software device's own surface (Linux): the record of calls, the objects alive, the
// compiler's failure hook, and the checks by which it refuses what a real device refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "depth_pipeline.h"
#include "gfx_soft_control.h"
#include "gfx_soft_timing.h"

namespace {

using namespace GfxTest;
using namespace ZerinSim::Gfx;

class SoftDevice : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(isSoftDevice(device()));
    clearCompiles();
  }
};

TEST_F(SoftDevice, RecordsTheDepthPassCallsWithTheirArguments) {
  auto engine = createTexture(device(), 16, 8, DXGI_FORMAT_R32G8X24_TYPELESS,
                              D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                              depthStencilTexels(depthPattern(16 * 8, 1)).data());
  auto target = createTexture(device(), 16, 8, DXGI_FORMAT_R32_TYPELESS, D3D11_BIND_DEPTH_STENCIL, nullptr);
  const DepthPipeline pipeline = makeDepthPipeline(device());
  auto srv = depthInputView(device(), engine.get());
  auto dsv = depthTargetView(device(), target.get());
  ASSERT_TRUE(srv && dsv);

  const auto shaders = calls(device(), "CreateVertexShader");
  ASSERT_EQ(shaders.size(), 1u);
  EXPECT_EQ(shaders[0].objects, (std::vector<const void*>{pipeline.vs.get(), nullptr}));
  const auto depthStates = calls(device(), "CreateDepthStencilState");
  ASSERT_EQ(depthStates.size(), 1u);
  EXPECT_EQ(depthStates[0].values,
            (std::vector<double>{1, 1, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  const auto rasterStates = calls(device(), "CreateRasterizerState");
  ASSERT_EQ(rasterStates.size(), 1u);
  EXPECT_EQ(rasterStates[0].values, (std::vector<double>{3, 1, 0, 0, 0, 0, 1, 0, 1, 0}));
  const auto views = calls(device(), "CreateShaderResourceView");
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0].objects, (std::vector<const void*>{engine.get(), srv.get()}));
  EXPECT_EQ(views[0].values, (std::vector<double>{21, 4, 0, 1}));
  EXPECT_EQ(calls(device(), "CreateDepthStencilView")[0].values, (std::vector<double>{40, 3, 0, 0}));

  clearCalls(device());
  drawDepthCopy(context(), pipeline, srv.get(), dsv.get(), 12, 5);
  const auto made = calls(device());
  std::vector<std::string> methods;
  for (const auto& call : made) methods.push_back(call.method);
  EXPECT_EQ(methods, (std::vector<std::string>{"IASetVertexBuffers", "IASetIndexBuffer", "IASetInputLayout",
                                                "IASetPrimitiveTopology", "VSSetShader", "PSSetShader",
                                                "PSSetShaderResources", "OMSetRenderTargets", "OMSetDepthStencilState",
                                                "OMSetBlendState", "RSSetState", "RSSetViewports", "Draw"}));
  ASSERT_EQ(made.size(), 13u);
  EXPECT_EQ(made[0].values, (std::vector<double>{0, 0}));
  EXPECT_EQ(made[1].objects, (std::vector<const void*>{nullptr}));
  EXPECT_EQ(made[1].values, (std::vector<double>{DXGI_FORMAT_UNKNOWN, 0}));
  EXPECT_EQ(made[3].values, (std::vector<double>{D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST}));
  EXPECT_EQ(made[4].objects, (std::vector<const void*>{pipeline.vs.get()}));
  EXPECT_EQ(made[5].objects, (std::vector<const void*>{pipeline.ps.get()}));
  EXPECT_EQ(made[6].objects, (std::vector<const void*>{srv.get()}));
  EXPECT_EQ(made[6].values, (std::vector<double>{0, 1}));
  EXPECT_EQ(made[7].objects, (std::vector<const void*>{dsv.get()}));
  EXPECT_EQ(made[7].values, (std::vector<double>{0}));
  EXPECT_EQ(made[8].objects, (std::vector<const void*>{pipeline.depthState.get()}));
  EXPECT_EQ(made[9].objects, (std::vector<const void*>{nullptr}));
  EXPECT_EQ(made[9].values, (std::vector<double>{0, double(0xffffffffu)}));
  EXPECT_EQ(made[10].objects, (std::vector<const void*>{pipeline.rasterState.get()}));
  EXPECT_EQ(made[11].values, (std::vector<double>{1, 0, 0, 12, 5, 0, 1}));
  EXPECT_EQ(made[12].values, (std::vector<double>{3, 0, 12 * 5}));
  EXPECT_TRUE(problems(device()).empty());
  EXPECT_EQ(callCount(device(), "Draw"), 1u);
}

TEST_F(SoftDevice, CountsStayExactBeyondTheKeptRecord) {
  auto texture = createTexture(device(), 2, 2, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr);
  auto other = createTexture(device(), 2, 2, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr);
  clearCalls(device());
  for (int i = 0; i < 70000; ++i) context()->CopyResource(other.get(), texture.get());
  EXPECT_EQ(callCount(device(), "CopyResource"), 70000u);
  EXPECT_EQ(calls(device()).size(), 65536u);
}

TEST_F(SoftDevice, ObjectsLiveWhileReferencedOrBoundAndNoLonger) {
  EXPECT_EQ(liveObjects(device()), 0u);
  {
    auto engine = createTexture(device(), 8, 8, DXGI_FORMAT_R32G8X24_TYPELESS,
                                D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE, nullptr);
    auto target = createTexture(device(), 8, 8, DXGI_FORMAT_R32_TYPELESS, D3D11_BIND_DEPTH_STENCIL, nullptr);
    const DepthPipeline pipeline = makeDepthPipeline(device());
    auto srv = depthInputView(device(), engine.get());
    auto dsv = depthTargetView(device(), target.get());
    EXPECT_EQ(liveObjects(device()), 8u);
    drawDepthCopy(context(), pipeline, srv.get(), dsv.get(), 8, 8);
  }
  // Still bound: the views, their textures, both programs and both states.
  EXPECT_EQ(liveObjects(device()), 8u);
  context()->ClearState();
  EXPECT_EQ(liveObjects(device()), 0u);
}

TEST_F(SoftDevice, IdenticalStateDescriptionsGiveOneObject) {
  const D3D11_DEPTH_STENCIL_DESC desc = depthCopyDepthDesc();
  Ref<ID3D11DepthStencilState> first, second, other;
  ASSERT_EQ(device()->CreateDepthStencilState(&desc, first.put()), S_OK);
  ASSERT_EQ(device()->CreateDepthStencilState(&desc, second.put()), S_OK);
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(referenceCount(first.get()), 2u);
  D3D11_DEPTH_STENCIL_DESC changed = desc;
  changed.DepthFunc = D3D11_COMPARISON_LESS;
  ASSERT_EQ(device()->CreateDepthStencilState(&changed, other.put()), S_OK);
  EXPECT_NE(other.get(), first.get());
  EXPECT_EQ(callCount(device(), "CreateDepthStencilState"), 3u);
}

TEST_F(SoftDevice, RefusedCopiesChangeNothingAndSayWhy) {
  const auto before = bytePattern(4 * 4 * 4, 1);
  auto dst = createTexture(device(), 4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, before.data());
  auto floats = createTexture(device(), 4, 4, DXGI_FORMAT_R32_FLOAT, D3D11_BIND_SHADER_RESOURCE,
                              floatTexels(depthPattern(16, 2)).data());
  auto large = createTexture(device(), 8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE,
                             bytePattern(8 * 8 * 4, 3).data());
  clearCalls(device());
  context()->CopySubresourceRegion(dst.get(), 0, 0, 0, 0, floats.get(), 0, nullptr);
  context()->CopySubresourceRegion(dst.get(), 0, 0, 0, 0, large.get(), 0, nullptr);
  context()->CopySubresourceRegion(dst.get(), 1, 0, 0, 0, large.get(), 0, nullptr);
  context()->CopyResource(dst.get(), large.get());
  EXPECT_EQ(readTexels(context(), dst.get()), before);
  const auto found = problems(device());
  ASSERT_GE(found.size(), 4u);
  EXPECT_EQ(found[0], "CopySubresourceRegion: formats are not copy-compatible");
  EXPECT_EQ(found[1], "CopySubresourceRegion: region outside the destination");
  EXPECT_EQ(found[2], "CopySubresourceRegion: subresource out of range");
  EXPECT_EQ(found[3], "CopyResource: textures differ in size");
}

TEST_F(SoftDevice, RefusesViewsTheTextureCannotTake) {
  auto colour = createTexture(device(), 4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr);
  auto depth = createTexture(device(), 4, 4, DXGI_FORMAT_R32_TYPELESS, D3D11_BIND_DEPTH_STENCIL, nullptr);
  // An R32_FLOAT_X8X24 view needs the 64-bit depth family; a D32 view needs depth binding.
  Ref<ID3D11ShaderResourceView> srv;
  EXPECT_EQ(device()->CreateShaderResourceView(depth.get(), nullptr, srv.put()), E_INVALIDARG);
  D3D11_SHADER_RESOURCE_VIEW_DESC srvDesc{};
  srvDesc.Format = DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS;
  srvDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
  srvDesc.Texture2D.MipLevels = 1;
  EXPECT_EQ(device()->CreateShaderResourceView(colour.get(), &srvDesc, srv.put()), E_INVALIDARG);
  EXPECT_FALSE(srv);
  Ref<ID3D11DepthStencilView> dsv;
  EXPECT_EQ(device()->CreateDepthStencilView(colour.get(), nullptr, dsv.put()), E_INVALIDARG);
  D3D11_DEPTH_STENCIL_VIEW_DESC dsvDesc{};
  dsvDesc.Format = DXGI_FORMAT_D32_FLOAT;
  dsvDesc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  EXPECT_EQ(device()->CreateDepthStencilView(depth.get(), &dsvDesc, dsv.put()), S_OK);
  EXPECT_EQ(callCount(device(), "CreateShaderResourceView"), 2u);
  EXPECT_EQ(liveObjects(device()), 3u);
}

TEST_F(SoftDevice, CompileFailuresCanBeArmedPerEntryPoint) {
  failNextCompile("PS", "PS(1,1): error X0000: injected");
  const CompileResult vs = compile(kDepthCopySource, kDepthCopySourceSize, "VS", "VS", "vs_5_0");
  EXPECT_EQ(vs.result, S_OK);
  const CompileResult ps = compile(kDepthCopySource, kDepthCopySourceSize, "PS", "PS", "ps_5_0");
  EXPECT_EQ(ps.result, E_FAIL);
  EXPECT_FALSE(ps.code);
  EXPECT_EQ(ps.error, "PS(1,1): error X0000: injected");
  const CompileResult again = compile(kDepthCopySource, kDepthCopySourceSize, "PS", "PS", "ps_5_0");
  EXPECT_EQ(again.result, S_OK);

  failNextCompile("", nullptr);
  const CompileResult silent = compile(kDepthCopySource, kDepthCopySourceSize, "VS", "VS", "vs_5_0");
  EXPECT_EQ(silent.result, E_FAIL);
  EXPECT_FALSE(silent.hasErrorBlob);

  const auto record = compiles();
  ASSERT_EQ(record.size(), 4u);
  EXPECT_EQ(record[1].entryPoint, "PS");
  EXPECT_EQ(record[1].target, "ps_5_0");
  EXPECT_EQ(record[1].sourceName, "PS");
  EXPECT_EQ(record[1].sourceSize, 291u);
  EXPECT_EQ(record[1].result, E_FAIL);
  EXPECT_EQ(record[2].result, S_OK);
}

TEST_F(SoftDevice, CompilesOnlyTheDepthCopyProgramForItsOwnStages) {
  EXPECT_EQ(depthCopyShaderSource(), std::string(kDepthCopySource, kDepthCopySourceSize));
  const CompileResult crossed = compile(kDepthCopySource, kDepthCopySourceSize, "VS", "VS", "ps_5_0");
  EXPECT_EQ(crossed.result, E_FAIL);
  EXPECT_NE(crossed.error.find("ps_5_0"), std::string::npos) << crossed.error;
  const char other[] = "float4 main() : SV_Target { return 1; }";
  const CompileResult foreign = compile(other, sizeof other - 1, nullptr, "main", "ps_5_0");
  EXPECT_EQ(foreign.result, E_FAIL);
  EXPECT_NE(foreign.error.find("error"), std::string::npos) << foreign.error;

  // Bytecode of one stage does not make a shader of the other.
  const CompileResult vs = compile(kDepthCopySource, kDepthCopySourceSize, "VS", "VS", "vs_5_0");
  ASSERT_EQ(vs.result, S_OK);
  Ref<ID3D11PixelShader> ps;
  EXPECT_EQ(device()->CreatePixelShader(vs.code->GetBufferPointer(), vs.code->GetBufferSize(), nullptr, ps.put()),
            E_INVALIDARG);
  EXPECT_FALSE(ps);
}

TEST_F(SoftDevice, DrawsNothingWithoutThePipelineAndSaysSo) {
  auto target = createTexture(device(), 4, 4, DXGI_FORMAT_R32_TYPELESS, D3D11_BIND_DEPTH_STENCIL,
                              floatTexels(std::vector<float>(16, 0.5f)).data());
  auto dsv = depthTargetView(device(), target.get());
  context()->OMSetRenderTargets(0, nullptr, dsv.get());
  const D3D11_VIEWPORT viewport = {0, 0, 4, 4, 0, 1};
  context()->RSSetViewports(1, &viewport);
  context()->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
  clearCalls(device());
  context()->Draw(3, 0);
  const auto draws = calls(device(), "Draw");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].values[2], 0.0);
  EXPECT_EQ(draws[0].problem, "no vertex or pixel shader bound");
  EXPECT_EQ(readDepth(context(), target.get()), std::vector<float>(16, 0.5f));
}

TEST_F(SoftDevice, DepthOutsideTheInputReadsAsZero) {
  auto engine = createTexture(device(), 4, 2, DXGI_FORMAT_R32G8X24_TYPELESS,
                              D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                              depthStencilTexels(std::vector<float>(8, 0.25f)).data());
  auto target = createTexture(device(), 6, 3, DXGI_FORMAT_D32_FLOAT, D3D11_BIND_DEPTH_STENCIL,
                              floatTexels(std::vector<float>(18, 0.5f)).data());
  const DepthPipeline pipeline = makeDepthPipeline(device());
  drawDepthCopy(context(), pipeline, depthInputView(device(), engine.get()).get(),
                depthTargetView(device(), target.get()).get(), 6, 3);
  const auto depth = readDepth(context(), target.get());
  for (UINT y = 0; y < 3; ++y)
    for (UINT x = 0; x < 6; ++x) EXPECT_EQ(depth[y * 6 + x], (x < 4 && y < 2) ? 0.25f : 0.0f) << x << "," << y;
}

// The device's time is what a thread spends inside its calls: not the time between them, and
// not another thread's.
TEST_F(SoftDevice, AccountsEachThreadsTimeInsideItsCalls) {
  auto source = createTexture(device(), 1024, 1024, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr);
  auto target = createTexture(device(), 1024, 1024, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr);
  const auto timedCopy = [&] {
    const uint64_t before = threadDeviceNanoseconds();
    const auto started = std::chrono::steady_clock::now();
    context()->CopyResource(target.get(), source.get());
    const auto around = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - started);
    const uint64_t inside = threadDeviceNanoseconds() - before;
    EXPECT_GT(inside, 0u);
    EXPECT_LE(inside, static_cast<uint64_t>(around.count()));
  };
  timedCopy();

  const uint64_t afterCopy = threadDeviceNanoseconds();
  std::vector<uint8_t> busy(1 << 22, 1);  // work of our own, outside the device
  EXPECT_EQ(threadDeviceNanoseconds(), afterCopy);

  uint64_t otherThreadStart = 1;
  std::thread other([&] {
    otherThreadStart = threadDeviceNanoseconds();
    timedCopy();
  });
  other.join();
  EXPECT_EQ(otherThreadStart, 0u) << "each thread starts its own account";
  EXPECT_EQ(threadDeviceNanoseconds(), afterCopy) << "the other thread's calls are its own";
  EXPECT_EQ(busy.back(), 1);
}

// A bare device (for benchmarks) skips the pixel work and the record, and nothing else: what is
// bound stays bound and held, and the getters hand it back.
TEST(BareSoftDevice, MovesNoTexelKeepsNoRecordAndStillBindsAndHolds) {
  setBareDevices(true);
  Device made = createDevice();
  setBareDevices(false);
  ASSERT_TRUE(made);
  ID3D11Device* device = made.device.get();
  ID3D11DeviceContext* context = made.context.get();
  auto source = createTexture(device, 4, 4, DXGI_FORMAT_R32_FLOAT, D3D11_BIND_SHADER_RESOURCE,
                              floatTexels(std::vector<float>(16, 0.5f)).data());
  D3D11_TEXTURE2D_DESC readable = textureDesc(4, 4, DXGI_FORMAT_R32_FLOAT, 0);
  readable.Usage = D3D11_USAGE_STAGING;
  readable.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  auto copy = createTexture(device, readable, nullptr);
  auto engine = createTexture(device, 4, 4, DXGI_FORMAT_R32G8X24_TYPELESS,
                              D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                              depthStencilTexels(depthPattern(16, 1)).data());
  auto target = createTexture(device, 4, 4, DXGI_FORMAT_R32_TYPELESS, D3D11_BIND_DEPTH_STENCIL, nullptr);
  const DepthPipeline pipeline = makeDepthPipeline(device);
  auto srv = depthInputView(device, engine.get());
  auto dsv = depthTargetView(device, target.get());
  ASSERT_TRUE(srv && dsv);

  ASSERT_TRUE(source && copy && engine && target);
  context->CopySubresourceRegion(copy.get(), 0, 0, 0, 0, source.get(), 0, nullptr);
  D3D11_MAPPED_SUBRESOURCE mapped{};
  ASSERT_EQ(context->Map(copy.get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
  EXPECT_EQ(static_cast<const float*>(mapped.pData)[5], 0.0f) << "the copy moved texels";
  context->Unmap(copy.get(), 0);
  drawDepthCopy(context, pipeline, srv.get(), dsv.get(), 4, 4);
  EXPECT_TRUE(calls(device).empty());
  EXPECT_EQ(callCount(device, "Draw"), 0u);

  // Bound and held: the views live on after the test's references go, until unbound.
  Ref<ID3D11DepthStencilView> bound;
  context->OMGetRenderTargets(0, nullptr, bound.put());
  EXPECT_EQ(bound.get(), dsv.get());
  bound.reset();
  const size_t live = liveObjects(device);
  srv.reset();
  dsv.reset();
  EXPECT_EQ(liveObjects(device), live);
  context->OMSetRenderTargets(0, nullptr, nullptr);
  ID3D11ShaderResourceView* none = nullptr;
  context->PSSetShaderResources(0, 1, &none);
  EXPECT_EQ(liveObjects(device), live - 2);
}

TEST(SoftDeviceCreation, FailsOnceWhenArmed) {
  failNextDeviceCreation(E_OUTOFMEMORY);
  const Device failed = createDevice();
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.result, E_OUTOFMEMORY);
  const Device made = createDevice();
  EXPECT_TRUE(made);
}

TEST(SoftDeviceCreation, TheContextKeepsTheDeviceAndBothGoTogether) {
  Device made = createDevice();
  ASSERT_TRUE(made);
  auto texture = createTexture(made.device.get(), 2, 2, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_RENDER_TARGET, nullptr);
  Ref<ID3D11RenderTargetView> rtv;
  ASSERT_EQ(made.device->CreateRenderTargetView(texture.get(), nullptr, rtv.put()), S_OK);
  ID3D11RenderTargetView* targets[] = {rtv.get()};
  made.context->OMSetRenderTargets(1, targets, nullptr);
  rtv.reset();
  texture.reset();
  made.device.reset();
  // The context alone still reaches a working device; releasing it ends everything (the
  // sanitizer's leak check sees whatever stays).
  Ref<ID3D11Device> device;
  made.context->GetDevice(device.put());
  ASSERT_TRUE(device);
  EXPECT_EQ(liveObjects(device.get()), 2u);
  Ref<ID3D11RenderTargetView> bound;
  made.context->OMGetRenderTargets(1, bound.put(), nullptr);
  EXPECT_TRUE(bound);
}

}  // namespace
