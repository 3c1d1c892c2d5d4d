#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "client_test_support.h"
#include "ipc/client/client.h"
#include "program_manager_service.h"

namespace {

using namespace ZerinTest;
using Zerin::IPC::Client;
using Zerin::IPC::ConnectionState;
using ZerinSim::ProgramManagerService;

constexpr uint32_t kCycles = 300;
constexpr uint32_t kRestartEvery = 10;

// Connect, send and disconnect over and over, with the service killed and brought back every
// few cycles under a client that stays. Every message a connected client sent must arrive,
// and no thread or handle may be left behind.
TEST(ClientCycles, HundredsOfCyclesAgainstARestartedServiceLoseNoMessageAndLeakNothing) {
  ProgramManagerService service;
  ASSERT_TRUE(service.start());
  {
    // One cycle first, so that what is made once per process exists before the counts.
    Client warmUp("WarmUp");
    ASSERT_TRUE(warmUp.connect(0, 1000));
  }
  ASSERT_TRUE(service.waitUntil([&] { return service.connectedCount() == 0; }, 5s));
  service.reap();
  const size_t threadsBefore = threadCount();
  const size_t handlesBefore = handleCount();

  std::set<uint32_t> sent;
  uint32_t sequence = 0;
  auto longLived = std::make_unique<Client>("LongLived");
  const auto start = Clock::now();
  for (uint32_t cycle = 0; cycle < kCycles; ++cycle) {
    {
      Client client("Cycle");
      ASSERT_TRUE(client.connect(0, 1000)) << cycle;
      ASSERT_TRUE(client.sendMessage(Numbered{++sequence, cycle}, 0)) << cycle;
      sent.insert(sequence);
    }
    if (cycle % kRestartEvery == kRestartEvery - 1) {
      // Connects anew after each restart (the connection of the previous round was lost).
      ASSERT_TRUE(longLived->connect(0, 1000)) << cycle;
      ASSERT_TRUE(longLived->sendMessage(Numbered{++sequence, cycle}, 0)) << cycle;
      sent.insert(sequence);
      service.stop();
      ASSERT_TRUE(eventually([&] { return longLived->getConnectionState() == ConnectionState::Lost; })) << cycle;
      ASSERT_TRUE(service.start()) << cycle;
    }
  }
  const int64_t elapsedMs = millisecondsSince(start);
  std::printf("%u cycles in %lld ms\n", kCycles, static_cast<long long>(elapsedMs));

  ASSERT_TRUE(service.waitUntil([&] { return service.frames("Numbered").size() >= sent.size(); }, 5s));
  std::set<uint32_t> received;
  for (const auto& frame : service.frames("Numbered")) {
    ASSERT_EQ(frame.payload.size(), 8u);
    received.insert(static_cast<uint32_t>(frame.payload[0] | frame.payload[1] << 8 | frame.payload[2] << 16 |
                                          frame.payload[3] << 24));
  }
  EXPECT_EQ(received, sent);
  EXPECT_EQ(service.frames("Numbered").size(), sent.size());

  longLived.reset();
  ASSERT_TRUE(service.waitUntil([&] { return service.connectedCount() == 0; }, 5s));
  service.reap();
  // Threads end a moment after they are joined on some systems: look until the count settles.
  EXPECT_TRUE(eventually([&] { return threadCount() <= threadsBefore; }, 5s))
      << threadCount() << " threads, " << threadsBefore << " before";
  // A few handles come and go with the system's own bookkeeping; one per cycle would be hundreds.
  EXPECT_TRUE(eventually([&] { return handleCount() <= handlesBefore + 10; }, 5s))
      << handleCount() << " handles, " << handlesBefore << " before";
}

}  // namespace
