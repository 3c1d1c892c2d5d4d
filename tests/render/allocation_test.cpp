// Steady frames allocate nothing: neither the render thread's events 20, 10, 11 and 14 with
// PollEvent, nor QueueSubmission on the scripting thread. What is counted differs by target
// (allocation_counter.h): on Windows the plug-in's own allocations, elsewhere every allocation
// of the process, so there the stand-ins run bare (no pixel work, no call record) and without
// the runtime's call log.
#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "frame_bench.h"
#include "zerin_sim_control.h"
#if !defined(_WIN32)
#include "gfx_soft_control.h"
#endif

namespace {

constexpr int kCountedFrames = 32;
constexpr int kEventsPerFrame = 2;

class SteadyFrameAllocations : public ::testing::Test {
 protected:
  void SetUp() override {
#if !defined(_WIN32)
    ZerinSim::Gfx::setBareDevices(true);
#endif
    bench = std::make_unique<ZerinBench::FrameBench>(ZerinBench::FrameShape{2, true, 64});
    ASSERT_TRUE(bench->open()) << bench->error();
    std::string error;
    const auto inPlugin = reinterpret_cast<const void*>(bench->host().exports().QueueSubmission);
    ASSERT_TRUE(ZerinTest::watchAllocations(inPlugin, error)) << error;
  }
  void TearDown() override {
    bench.reset();
#if !defined(_WIN32)
    ZerinSim::Gfx::setBareDevices(false);
#endif
  }

  std::unique_ptr<ZerinBench::FrameBench> bench;
};

TEST_F(SteadyFrameAllocations, NoneOnEitherThreadOnceTheQueuesHaveGrown) {
  const ZerinBench::FrameAllocations counted =
      ZerinBench::countFrameAllocations(*bench, kCountedFrames, kEventsPerFrame);

  EXPECT_EQ(counted.script, 0u) << "in QueueSubmission; counted: " << ZerinTest::allocationsCounted();
  EXPECT_EQ(counted.render, 0u) << "in the render events; counted: " << ZerinTest::allocationsCounted();
  // The frames did their work: every one was submitted and accepted, every event delivered.
  EXPECT_EQ(counted.eventsTaken, kCountedFrames * kEventsPerFrame);
  // The last frames the runtime kept are the counted ones.
  ASSERT_GE(zerinsim_SubmittedFrameCount(), kCountedFrames);
  for (int32_t i = zerinsim_SubmittedFrameCount() - kCountedFrames; i < zerinsim_SubmittedFrameCount(); ++i) {
    ZerinSimSubmittedFrame submitted{};
    ASSERT_TRUE(zerinsim_GetSubmittedFrame(i, &submitted));
    EXPECT_EQ(submitted.error, 0) << "frame " << i;
    EXPECT_EQ(submitted.submit.layerCount, 2) << "frame " << i;
  }
}

// The count sees the plug-in's allocations: a queue deeper than any before grows its storage.
TEST_F(SteadyFrameAllocations, ADeeperQueueIsSeenGrowing) {
  constexpr int kDepth = 64;
  ZerinTest::startCounting();
  for (int i = 0; i < kDepth; ++i) bench->queueSubmission();
  const uint64_t grown = ZerinTest::stopCounting();
  for (int i = 0; i < kDepth; ++i) bench->pluginFrame();
  EXPECT_GE(grown, 1u) << "counted: " << ZerinTest::allocationsCounted();
}

}  // namespace
