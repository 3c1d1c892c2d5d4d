// The plug-in with a real graphics device: the device's references across load and unload, and
// the release of the depth copy pass's objects at device shutdown.
#include <gtest/gtest.h>

#include "capture.h"
#include "engine_host.h"
#include "gfx_textures.h"
#include "plugin/plugin_lifecycle.h"
#include "render/depth_copy_objects.h"
#include "zerin_sim_control.h"

namespace {

using ZerinSim::Gfx::Ref;
using ZerinSim::Gfx::referenceCount;

TEST(PluginWithDevice, LoadingDeviceEventsAndUnloadingTakeNoReferenceOfTheDevice) {
  zerinsim_Reset();
  ZerinSim::EngineOptions options;
  options.createDevice = true;
  ZerinSim::EngineHost host(options);
  ASSERT_NE(host.device(), nullptr) << host.error();
  const ULONG before = referenceCount(host.device());

  ASSERT_TRUE(host.load()) << host.error();
  auto getDevice = static_cast<IUnityGraphicsD3D11*>(
                       host.interfaces()->GetInterface({0xAAB37EF87A87D748ULL, 0xBF76967F07EFB177ULL}))
                       ->GetDevice;
  EXPECT_EQ(getDevice(), host.device());
  host.sendDeviceEvent(kUnityGfxDeviceEventBeforeReset);
  host.sendDeviceEvent(kUnityGfxDeviceEventAfterReset);
  host.sendDeviceEvent(kUnityGfxDeviceEventShutdown);
  host.sendDeviceEvent(kUnityGfxDeviceEventInitialize);
  EXPECT_EQ(referenceCount(host.device()), before);
  host.unload();
  EXPECT_EQ(referenceCount(host.device()), before) << "unloading released nothing it never made";
}

// The plug-in's own library, where the depth copy objects can be put in place by hand.
TEST(DepthCopyObjects, DeviceShutdownReleasesEachObjectOnceAndEmptiesTheCaches) {
  auto device = ZerinSim::Gfx::createDevice();
  ASSERT_TRUE(device) << std::hex << device.result;

  D3D11_DEPTH_STENCIL_DESC depthDesc{};
  depthDesc.DepthEnable = TRUE;
  depthDesc.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ALL;
  depthDesc.DepthFunc = D3D11_COMPARISON_ALWAYS;
  ASSERT_EQ(device.device->CreateDepthStencilState(&depthDesc, &Zerin::depthCopyDepthState), S_OK);
  D3D11_RASTERIZER_DESC rasterDesc{};
  rasterDesc.FillMode = D3D11_FILL_SOLID;
  rasterDesc.CullMode = D3D11_CULL_NONE;
  ASSERT_EQ(device.device->CreateRasterizerState(&rasterDesc, &Zerin::depthCopyRasterState), S_OK);

  auto engineDepth = ZerinSim::Gfx::createTexture(device.device.get(), 4, 4, DXGI_FORMAT_R32_FLOAT,
                                                  D3D11_BIND_SHADER_RESOURCE, nullptr);
  auto imageDepth = ZerinSim::Gfx::createTexture(device.device.get(), 4, 4, DXGI_FORMAT_D32_FLOAT,
                                                 D3D11_BIND_DEPTH_STENCIL, nullptr);
  ASSERT_TRUE(engineDepth && imageDepth);
  ID3D11ShaderResourceView* srv = nullptr;
  ID3D11DepthStencilView* dsv = nullptr;
  ASSERT_EQ(device.device->CreateShaderResourceView(engineDepth.get(), nullptr, &srv), S_OK);
  ASSERT_EQ(device.device->CreateDepthStencilView(imageDepth.get(), nullptr, &dsv), S_OK);
  Zerin::cacheDepthInputView(engineDepth.get(), srv);
  Zerin::cacheDepthTargetView(imageDepth.get(), dsv);
  EXPECT_EQ(referenceCount(engineDepth.get()), 2u) << "an entry holds its texture";

  // Our own references show what the shutdown gives back.
  auto state = Ref<ID3D11DepthStencilState>::share(Zerin::depthCopyDepthState);
  auto raster = Ref<ID3D11RasterizerState>::share(Zerin::depthCopyRasterState);
  auto srvRef = Ref<ID3D11ShaderResourceView>::share(srv);
  auto dsvRef = Ref<ID3D11DepthStencilView>::share(dsv);
  const ULONG stateBefore = referenceCount(state.get());
  const ULONG srvBefore = referenceCount(srvRef.get());
  const ULONG dsvBefore = referenceCount(dsvRef.get());

  Zerin::onGraphicsDeviceEvent(kUnityGfxDeviceEventShutdown);
  EXPECT_EQ(referenceCount(state.get()), stateBefore - 1);
  EXPECT_EQ(referenceCount(raster.get()), referenceCount(state.get()));
  EXPECT_EQ(referenceCount(srvRef.get()), srvBefore - 1);
  EXPECT_EQ(referenceCount(dsvRef.get()), dsvBefore - 1);
  EXPECT_EQ(referenceCount(engineDepth.get()), 1u);
  EXPECT_EQ(referenceCount(imageDepth.get()), 1u);
  EXPECT_EQ(Zerin::depthCopyVS, nullptr);
  EXPECT_EQ(Zerin::depthCopyPS, nullptr);
  EXPECT_EQ(Zerin::depthCopyDepthState, nullptr);
  EXPECT_EQ(Zerin::depthCopyRasterState, nullptr);
  EXPECT_TRUE(Zerin::depthSrvCache.empty());
  EXPECT_TRUE(Zerin::depthDsvCache.empty());

  // A second shutdown finds nothing to release.
  Zerin::onGraphicsDeviceEvent(kUnityGfxDeviceEventShutdown);
  EXPECT_EQ(referenceCount(state.get()), stateBefore - 1);
}

}  // namespace
