// The engine host's registry, device events and render thread, without the plug-in.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "engine_host.h"

namespace {

std::mutex eventsMutex;  // guards renderedEvents and renderThreads
std::vector<int32_t> renderedEvents;
std::vector<std::thread::id> renderThreads;

void recordRenderEvent(int32_t eventId) {
  std::lock_guard<std::mutex> lock(eventsMutex);
  renderedEvents.push_back(eventId);
  renderThreads.push_back(std::this_thread::get_id());
}

std::vector<UnityGfxDeviceEventType> deviceEvents;
void recordDeviceEvent(UnityGfxDeviceEventType eventType) { deviceEvents.push_back(eventType); }

TEST(EngineRenderThread, RunsEveryIssuedEventInOrderOnItsOwnThread) {
  renderedEvents.clear();
  renderThreads.clear();
  ZerinSim::RenderThread render;
  ASSERT_TRUE(render.start(&recordRenderEvent));
  EXPECT_FALSE(render.start(&recordRenderEvent)) << "one thread at a time";
  for (int32_t id : {20, 10, 11, 13, 14, 12}) render.issuePluginEvent(id);
  render.waitUntilIdle();
  std::lock_guard<std::mutex> lock(eventsMutex);
  EXPECT_EQ(renderedEvents, (std::vector<int32_t>{20, 10, 11, 13, 14, 12}));
  for (const auto& id : renderThreads) {
    EXPECT_EQ(id, render.threadId());
    EXPECT_NE(id, std::this_thread::get_id());
  }
}

TEST(EngineRenderThread, StopRunsWhatIsStillQueuedThenJoins) {
  renderedEvents.clear();
  ZerinSim::RenderThread render;
  ASSERT_TRUE(render.start(&recordRenderEvent));
  for (int32_t i = 0; i < 100; ++i) render.issuePluginEvent(i);
  render.stop();
  EXPECT_FALSE(render.running());
  std::lock_guard<std::mutex> lock(eventsMutex);
  ASSERT_EQ(renderedEvents.size(), 100u);
  EXPECT_EQ(renderedEvents.back(), 99);
}

TEST(EngineHostRegistry, AnswersTheOfferedInterfacesByIdentifierAndWithholdsTheOthers) {
  ZerinSim::EngineOptions options;
  options.offerD3D11 = false;
  ZerinSim::EngineHost host(options);
  IUnityInterfaces* registry = host.interfaces();
  auto* graphics = static_cast<IUnityGraphics*>(
      registry->GetInterface({0x7CBA0A9CA4DDB544ULL, 0x8C5AD4926EB17B11ULL}));
  ASSERT_NE(graphics, nullptr);
  EXPECT_EQ(registry->GetInterface({0xAAB37EF87A87D748ULL, 0xBF76967F07EFB177ULL}), nullptr);
  EXPECT_EQ(registry->GetInterface({0x7CBA0A9CA4DDB544ULL, 0}), nullptr);
  EXPECT_EQ(graphics->GetRenderer(), kUnityGfxRendererD3D11);

  deviceEvents.clear();
  graphics->RegisterDeviceEventCallback(&recordDeviceEvent);
  host.sendDeviceEvent(kUnityGfxDeviceEventBeforeReset);
  graphics->UnregisterDeviceEventCallback(&recordDeviceEvent);
  host.sendDeviceEvent(kUnityGfxDeviceEventAfterReset);
  EXPECT_EQ(deviceEvents, (std::vector<UnityGfxDeviceEventType>{kUnityGfxDeviceEventBeforeReset}));
}

TEST(EngineHostRegistry, ALibraryThatIsNoPluginIsRefused) {
  ZerinSim::EngineHost host;
  EXPECT_FALSE(host.load(Zerin::platform::programFolder() + "/no-such-library"));
  EXPECT_FALSE(host.error().empty());
  EXPECT_FALSE(host.libraryOpen());
}

}  // namespace
