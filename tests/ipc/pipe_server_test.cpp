#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <vector>

#include "pipe_test_support.h"
#include "platform/system_error.h"

namespace {

using namespace std::chrono_literals;
using Zerin::PipeServer;
using Zerin::ReadWritePipe;
using ZerinTest::openClient;
using ZerinTest::privatePipeName;
using ZerinTest::readBytes;
namespace platform = Zerin::platform;

TEST(PipeServer, ServesSeveralClientsAtOnceEachOnItsOwnInstance) {
  PipeServer server(privatePipeName("several"));
  ASSERT_TRUE(server.listen()) << server.getErrorCode();
  constexpr int kClients = 3;
  std::vector<std::future<int>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::async(std::launch::async, [&server, i] {
      auto client = openClient(server.getName(), 10000);
      uint8_t id = static_cast<uint8_t>(i + 1);
      uint32_t size = 1;
      if (!client || !client->write(&id, size, 0)) {
        server.stop();  // so that the test fails rather than waits
        return -1;
      }
      const auto reply = readBytes(*client, 1);
      client->close();
      return reply.size() == 1 ? int{reply[0]} : -3;
    }));
  }
  // Every client is connected before any is answered.
  std::vector<std::shared_ptr<ReadWritePipe>> connections;
  for (int i = 0; i < kClients; ++i) {
    connections.push_back(server.accept());
    ASSERT_TRUE(connections.back()) << server.getErrorCode();
  }
  std::set<int> ids;
  for (const auto& connection : connections) {
    const auto id = readBytes(*connection, 1);
    ASSERT_EQ(id.size(), 1u);
    ids.insert(id[0]);
    uint8_t reply = static_cast<uint8_t>(id[0] + 100);
    uint32_t size = 1;
    ASSERT_TRUE(connection->write(&reply, size, 0));
  }
  EXPECT_EQ(ids, (std::set<int>{1, 2, 3}));
  for (int i = 0; i < kClients; ++i) EXPECT_EQ(clients[i].get(), i + 101);
}

TEST(PipeServer, StopEndsAWaitingAcceptAndThePipeGoes) {
  const std::string name = privatePipeName("stop");
  PipeServer server(name);
  ASSERT_TRUE(server.listen()) << server.getErrorCode();
  auto accepting = std::async(std::launch::async, [&] { return server.accept(); });
  ASSERT_EQ(accepting.wait_for(100ms), std::future_status::timeout);
  server.stop();
  ASSERT_EQ(accepting.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(accepting.get(), nullptr);
  EXPECT_EQ(server.getErrorCode(), 0u);
  EXPECT_EQ(server.accept(), nullptr);
  EXPECT_FALSE(server.listen());

  EXPECT_FALSE(platform::waitNamedPipe(name, 100));
  EXPECT_EQ(platform::lastSystemError(), platform::kErrorFileNotFound);
}

TEST(PipeServer, StopKeepsAcceptedConnectionsAndThePipeLastsWhileTheyDo) {
  ZerinTest::ConnectedPipe pipes("stop-keeps");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  const std::string name = pipes.server.getName();
  pipes.server.stop();

  uint32_t size = 2;
  ASSERT_TRUE(pipes.serverEnd->write("hi", size, 0));
  EXPECT_EQ(readBytes(*pipes.client, 2), (std::vector<uint8_t>{'h', 'i'}));
  size = 2;
  ASSERT_TRUE(pipes.client->write("ho", size, 0));
  EXPECT_EQ(readBytes(*pipes.serverEnd, 2), (std::vector<uint8_t>{'h', 'o'}));

  pipes.serverEnd->close();
  pipes.client->close();
  EXPECT_FALSE(platform::waitNamedPipe(name, 100));
  EXPECT_EQ(platform::lastSystemError(), platform::kErrorFileNotFound);
}

TEST(PipeServer, AcceptHandsOverAClientThatCameBeforeIt) {
  PipeServer server(privatePipeName("early"));
  ASSERT_TRUE(server.listen());
  auto client = openClient(server.getName());
  ASSERT_TRUE(client);
  uint32_t size = 3;
  ASSERT_TRUE(client->write("abc", size, 0));
  auto connection = server.accept();
  ASSERT_TRUE(connection);
  EXPECT_EQ(readBytes(*connection, 3), (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_EQ(connection->getName(), server.getName());
}

}  // namespace
