#pragma once
// The plug-in loaded by the engine host with a graphics device and a running render thread; the
// test's own thread is the scripting thread. Gives helpers that build what a script queues.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "gfx_device.h"
#include "gfx_textures.h"
#include "plugin_fixture.h"
#include "zerin/engine_bridge.h"

namespace ZerinTest {

using FramePoseData = ZerinBridgeFramePoseData;
using SubmissionLayer = ZerinBridgeSubmissionLayer;
using SubmissionView = ZerinBridgeSubmissionView;
using ImageViewport = ZerinBridgeImageViewport;
using SwapchainConfig = ZerinBridgeSwapchainConfig;
using SwapchainSlot = ZerinBridgeSwapchainSlot;
using ZerinSim::Gfx::Ref;

SwapchainConfig colourConfig(uint32_t width, uint32_t height, uint32_t arraySize = 1);

// The first argument of a call log line ("zerin_F(first, ...) -> r" gives "first").
std::string firstArgument(const std::string& line);
// The first arguments of the logged calls of one function, in order.
std::vector<std::string> swapChainsOf(const std::string& function);
// The names of the runtime functions called, in order.
std::vector<std::string> calledFunctions();

class RenderTest : public PluginTest {
 protected:
  ZerinSim::EngineOptions engineOptions() const override;
  void SetUp() override;
  void TearDown() override;

  // Issues the events on the render thread and waits until they have run.
  void run(std::initializer_list<int32_t> events);
  void openSession();
  // A swap chain created by an event 13; fails the test when the slot stays empty. The fixture
  // destroys it at the end of the test.
  SwapchainSlot* makeSwapchain(const SwapchainConfig& config);
  Ref<ID3D11Texture2D> colourTexture(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels);

  // A layer of four colour views, view v in slots[v] at (v, 2v) with a size of width × height,
  // its matrices filled with values that tell layer, view and cell apart.
  static SubmissionLayer colourLayer(SwapchainSlot* const (&slots)[4], ID3D11Resource* texture, int32_t width,
                                     int32_t height, int32_t tag = 0);
  static ZerinSwapChain handle(const SwapchainSlot* slot) { return slot->handle; }

  ID3D11Device* device() const { return host->device(); }
  ID3D11DeviceContext* context() const;
  std::vector<ZerinSimSubmittedFrame> frames() const { return ZerinSim::submittedFrames(); }

  std::vector<SwapchainSlot*> madeSlots;
};

}  // namespace ZerinTest
