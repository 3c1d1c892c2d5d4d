#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>

#include "client_test_support.h"
#include "ipc/client/client.h"
#include "program_manager_service.h"

namespace {

using namespace ZerinTest;
using Zerin::BinaryMessage;
using Zerin::IPC::Client;
using Zerin::IPC::ConnectionState;
using ZerinSim::ProgramManagerService;

// What a client's raw handler saw.
struct Inbox {
  std::mutex mutex;  // guards names
  std::vector<std::string> names;
  bool has(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    return std::find(names.begin(), names.end(), name) != names.end();
  }
};

TEST(ProgramManagerService, ServesSeveralClientsAtOnceAndPushesToEachAlone) {
  ProgramManagerService service;
  ASSERT_TRUE(service.start());
  Client first("First");
  Client second("Second");
  Inbox firstInbox, secondInbox;
  Zerin::MessageHandler firstToken = first.addMessageHandler([&](const BinaryMessage& message) {
    std::lock_guard<std::mutex> lock(firstInbox.mutex);
    firstInbox.names.push_back(message.name);
  });
  Zerin::MessageHandler secondToken = second.addMessageHandler([&](const BinaryMessage& message) {
    std::lock_guard<std::mutex> lock(secondInbox.mutex);
    secondInbox.names.push_back(message.name);
  });
  ASSERT_TRUE(first.connect(0, 1000));
  ASSERT_TRUE(second.connect(0, 1000));
  EXPECT_EQ(service.connectedCount(), 2u);
  EXPECT_EQ(service.client(1).name, "First");
  EXPECT_EQ(service.client(2).name, "Second");
  // Each is answered with a value of its own.
  EXPECT_EQ(first.getHandshakeResult(), 1u);
  EXPECT_EQ(second.getHandshakeResult(), 2u);

  ASSERT_TRUE(service.push(2, "ForTheSecond", {9}));
  ASSERT_TRUE(service.push(1, "ForTheFirst", {}));
  EXPECT_TRUE(eventually([&] { return secondInbox.has("ForTheSecond") && firstInbox.has("ForTheFirst"); }));
  EXPECT_FALSE(firstInbox.has("ForTheSecond"));
  EXPECT_FALSE(secondInbox.has("ForTheFirst"));
  EXPECT_FALSE(service.push(3, "Nobody", {}));

  // Both ping; the service counts each apart.
  EXPECT_TRUE(service.waitUntil([&] { return service.client(1).pings >= 1 && service.client(2).pings >= 1; }, 5s));
}

TEST(ProgramManagerService, GoesAwayAndComesBack) {
  ProgramManagerService service;
  ASSERT_TRUE(service.start());
  Client client("Tester");
  ASSERT_TRUE(client.connect(0, 1000));
  service.stop();
  EXPECT_FALSE(service.isRunning());
  ASSERT_TRUE(eventually([&] { return client.getConnectionState() == ConnectionState::Lost; }));
  EXPECT_FALSE(client.connect(100, 1000));
  ASSERT_TRUE(service.start());
  EXPECT_TRUE(client.connect(0, 1000));
  EXPECT_EQ(service.lastClientId(), 2u);
  // The records outlive the restart.
  EXPECT_EQ(service.client(1).name, "Tester");
}

// The program of the demo, run as its own process: it answers the handshake with the value it
// was given and goes away when its input ends.
TEST(ProgramManagerServiceProgram, AnswersAHandshakeAndGoesAwayWhenItsInputEnds) {
#if defined(_WIN32)
  const std::string program = programFolder() + "\\ZerinProgramManagerService.exe";
  FILE* input = _popen(("\"" + program + "\" --handshake-value 4242 --quiet").c_str(), "wb");
#else
  const std::string program = programFolder() + "/ZerinProgramManagerService";
  FILE* input = popen(("\"" + program + "\" --handshake-value 4242 --quiet").c_str(), "w");
#endif
  ASSERT_NE(input, nullptr);
  Client client("Tester");
  // Waits for the pipe to appear.
  const bool connected = client.connect(0, 2000);
  EXPECT_TRUE(connected);
  EXPECT_EQ(client.getHandshakeResult(), 4242u);
  std::fputs("clients\n", input);
#if defined(_WIN32)
  const int status = _pclose(input);
#else
  const int status = pclose(input);
#endif
  EXPECT_EQ(status, 0);
  if (connected) {
    EXPECT_TRUE(eventually([&] { return client.getConnectionState() == ConnectionState::Lost; }));
  }
}

}  // namespace
