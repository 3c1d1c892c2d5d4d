#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "client_test_support.h"
#include "ipc/client/client.h"
#include "ipc/program_manager_messages.h"
#include "logging/utilities.h"
#include "platform/system_error.h"
#include "platform/thread_name.h"
#include "program_manager_service.h"

namespace {

using namespace ZerinTest;
using Zerin::BinaryMessage;
using Zerin::IPC::Client;
using Zerin::ProgramManagerMessages::RestartActiveClient;
using ZerinSim::ProgramManagerService;

// Notes the name of every frame the reader hands over, before it is queued.
class CountingClient : public Client {
 public:
  using Client::Client;
  ~CountingClient() override { disconnect(); }

  // The reader stops at the message named `name`, before queueing it, until release().
  void holdAt(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    held = name;
  }
  void release() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      held.clear();
    }
    arrivedChanged.notify_all();
  }

  bool waitForArrival(const std::string& name) {
    std::unique_lock<std::mutex> lock(mutex);
    return arrivedChanged.wait_for(lock, 5s, [&] {
      return std::find(arrived.begin(), arrived.end(), name) != arrived.end();
    });
  }

 protected:
  void onMessage(const BinaryMessage& message) override {
    {
      std::unique_lock<std::mutex> lock(mutex);
      arrived.push_back(message.name);
      arrivedChanged.notify_all();
      arrivedChanged.wait(lock, [&] { return held.empty() || held != message.name; });
    }
    Client::onMessage(message);
  }

 private:
  std::mutex mutex;  // guards arrived and held
  std::string held;
  std::condition_variable arrivedChanged;
  std::vector<std::string> arrived;
};

TEST(ClientDispatch, MessagesArrivingWhileAHandlerIsBusyAreDispatchedInArrivalOrder) {
  ProgramManagerService service;
  ASSERT_TRUE(service.start());
  CountingClient client("Tester");

  std::mutex mutex;  // guards handled, blocked and released
  std::condition_variable changed;
  std::vector<std::string> handled;
  bool blocked = false;
  bool released = false;
  Zerin::MessageHandler token = client.addMessageHandler([&](const BinaryMessage& message) {
    std::unique_lock<std::mutex> lock(mutex);
    if (message.name == "Block") {
      blocked = true;
      changed.notify_all();
      changed.wait(lock, [&] { return released; });
    }
    handled.push_back(message.name);
    changed.notify_all();
  });
  ASSERT_TRUE(client.connect(0, 1000));

  ASSERT_TRUE(service.push(1, "Block", {}));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return blocked; }));
  }
  ASSERT_TRUE(service.push(1, "First", {1}));
  ASSERT_TRUE(service.push(1, "Second", {2, 2}));
  ASSERT_TRUE(client.waitForArrival("Second"));
  {
    std::unique_lock<std::mutex> lock(mutex);
    released = true;
    changed.notify_all();
    ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return handled.size() == 4; }));
    EXPECT_EQ(handled, (std::vector<std::string>{"ResponseHandshake", "Block", "First", "Second"}));
  }
  EXPECT_EQ(countLines("--- [Zerin::IPC::Client::runMessageHandler]"), 0u);
}

// The reader finds the end of the stream right behind the service's last messages and never
// waits for more: they reach the handlers all the same.
TEST(ClientDispatch, TheMessagesRightBeforeTheServiceLeavesAreDispatched) {
  ProgramManagerService service;
  ASSERT_TRUE(service.start());
  CountingClient client("Tester");
  std::mutex mutex;  // guards handled
  std::condition_variable changed;
  std::vector<std::string> handled;
  Zerin::MessageHandler token = client.addMessageHandler([&](const BinaryMessage& message) {
    std::lock_guard<std::mutex> lock(mutex);
    handled.push_back(message.name);
    changed.notify_all();
  });
  ASSERT_TRUE(client.connect(0, 1000));

  client.holdAt("Hold");
  ASSERT_TRUE(service.push(1, "Hold", {}));
  for (const char* name : {"A", "B", "C"}) ASSERT_TRUE(service.push(1, name, {1}));
  ASSERT_TRUE(service.disconnect(1));
  ASSERT_TRUE(client.waitForArrival("Hold"));
  // Everything is written and the service gone before the reader goes on.
  ASSERT_TRUE(service.waitUntil([&] { return !service.client(1).connected; }, 5s));
  client.release();
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, 5s, [&] { return handled.size() == 5; });
    EXPECT_EQ(handled, (std::vector<std::string>{"ResponseHandshake", "Hold", "A", "B", "C"}));
  }
  EXPECT_TRUE(eventually([&] { return client.getConnectionState() == Zerin::IPC::ConnectionState::Lost; }));
}

TEST(ClientDispatch, AMessageNobodyHandlesGivesOneInfoLineAndTheNextIsDispatched) {
  ProgramManagerService service;
  ASSERT_TRUE(service.start());
  Client client("Tester");
  std::mutex mutex;
  std::condition_variable changed;
  int restarts = 0;
  Zerin::MessageHandler token = client.getParser<RestartActiveClient>()->addHandler([&](const RestartActiveClient&) {
    std::lock_guard<std::mutex> lock(mutex);
    ++restarts;
    changed.notify_all();
  });
  ASSERT_TRUE(client.connect(0, 1000));

  ASSERT_TRUE(service.push(1, "Mystery", {1, 2, 3}));
  ASSERT_TRUE(service.push(1, "RestartActiveClient", std::vector<uint8_t>(8, 0)));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return restarts == 1; }));
  }
  EXPECT_EQ(linesStartingWith("--- [Zerin::IPC::Client::runMessageHandler]"),
            std::vector<std::string>{"--- [Zerin::IPC::Client::runMessageHandler] No handlers for message 'Mystery'"});
}

TEST(ClientDispatch, ThreadsAreNamedAfterTheClientOrElseThePipe) {
  ProgramManagerService service;
  ASSERT_TRUE(service.start());
  for (const std::string& name : {std::string("Tester"), std::string()}) {
    SCOPED_TRACE(name);
    Client client(name);
    std::mutex mutex;
    std::wstring threadName;
    Zerin::MessageHandler token = client.addMessageHandler([&](const BinaryMessage&) {
      std::lock_guard<std::mutex> lock(mutex);
      threadName = Zerin::platform::currentThreadDescription();
    });
    ASSERT_TRUE(client.connect(0, 1000));
    ASSERT_TRUE(eventually([&] {
      std::lock_guard<std::mutex> lock(mutex);
      return !threadName.empty();
    }));
    const std::string expected = "IPCClient (" + client.displayName() + ")";
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(threadName, std::wstring(expected.begin(), expected.end()));
  }
}

TEST(ClientSend, WritesOneWholeFrameAndFailsQuietlyWithoutAConnection) {
  ProgramManagerService service;
  Client client("Tester");
  EXPECT_FALSE(client.sendMessage(Numbered{1, 2}, 0));
  EXPECT_FALSE(client.sendMessage(Numbered{1, 2}, 100));
  EXPECT_TRUE(logLines().empty());

  ASSERT_TRUE(service.start());
  ASSERT_TRUE(client.connect(0, 1000));
  // Without a limit it returns once the service has read the frame.
  ASSERT_TRUE(client.sendMessage(Numbered{7, 0xABCDu}, 0));
  ASSERT_TRUE(service.waitUntil([&] { return service.frames("Numbered").size() == 1; }, 5s));
  const auto frame = service.frames("Numbered")[0];
  EXPECT_EQ(frame.size, 16u + 8u + 8u);
  EXPECT_EQ(frame.payload, (std::vector<uint8_t>{7, 0, 0, 0, 0xCD, 0xAB, 0, 0}));

  ASSERT_TRUE(client.sendMessage(RestartActiveClient{}, 1000));
  ASSERT_TRUE(service.waitUntil([&] { return service.frames("RestartActiveClient").size() == 1; }, 5s));
  EXPECT_EQ(service.frames("RestartActiveClient")[0].size, 43u);
  EXPECT_EQ(service.frames("RestartActiveClient")[0].payload, std::vector<uint8_t>(8, 0));
}

TEST(ClientPing, APingThatCannotBeWrittenWithin100MsIsLoggedAndPingingGoesOn) {
  ProgramManagerService service;
  ASSERT_TRUE(service.start());
  auto client = std::make_unique<Client>("Tester");
  ASSERT_TRUE(client->connect(0, 1000));
  service.setReading(false);
  // Fill the pipe with messages that fit, until one does not: the service reads nothing any more.
  Blob blob;
  blob.bytes.assign(1000, 0x5A);
  uint32_t sent = 0;
  while (sent < 10000 && client->sendMessage(blob, 100)) ++sent;
  ASSERT_LT(sent, 10000u);

  const std::string pingFailed = "WAR [Zerin::IPC::Client::runPing] IPCClient Tester: Failed to send ping!";
  ASSERT_TRUE(waitForLines(pingFailed, 2, 5s));
  const std::string timeout = Zerin::windowsErrorText(Zerin::platform::kErrorTimeout);
  // The last filler's write reports the time-out on the transport's side, as does each ping's
  // while the connection lasts (one whose frame was cut short ends it).
  EXPECT_GE(countLines("WAR [Zerin::LayerByteMessage::writeToPipe] Failed to send message: " + timeout), 1u);
  EXPECT_EQ(countLines("WAR [Zerin::LayerByteMessage::writeToPipe]"),
            countLines("WAR [Zerin::LayerByteMessage::writeToPipe] Failed to send message: " + timeout));

  // Reading again, the service finds every filler that was sent, and no frame cut short by a
  // ping or a filler runs into the next one.
  service.setReading(true);
  client.reset();
  ASSERT_TRUE(service.waitUntil([&] { return !service.client(1).connected; }, 5s));
  EXPECT_EQ(service.frames("Blob").size(), sent);
  EXPECT_EQ(service.client(1).corruptFrames, 0u);
}

// The service trusts each frame's length, so a frame cut short by a timed send would swallow
// the next one. The send that cuts a frame short ends the connection instead: the service sees
// the end of the stream, and what the client reports as sent arrives whole, once.
TEST(ClientSend, ATimedSendCutShortEndsTheConnectionSoNoLaterFrameIsSwallowed) {
  ProgramManagerService service;
  ASSERT_TRUE(service.start());
  Client client("Tester");
  ASSERT_TRUE(client.connect(0, 1000));
  service.setReading(false);
  Blob blob;
  blob.bytes.assign(1 << 20, 0x5A);  // more than the pipe holds
  EXPECT_FALSE(client.sendMessage(blob, 200));
  service.setReading(true);

  EXPECT_FALSE(client.sendMessage(Numbered{1, 0}, 0)) << "sent after a frame cut short";
  ASSERT_TRUE(eventually([&] { return client.getConnectionState() == Zerin::IPC::ConnectionState::Lost; }));
  ASSERT_TRUE(service.waitUntil([&] { return !service.client(1).connected; }, 5s));
  ASSERT_TRUE(client.connect(0, 1000));
  ASSERT_TRUE(client.sendMessage(Numbered{2, 0}, 0));
  ASSERT_TRUE(service.waitUntil([&] { return service.frames("Numbered").size() == 1; }, 5s));
  const auto numbered = service.frames("Numbered");
  ASSERT_EQ(numbered.size(), 1u);
  EXPECT_EQ(numbered[0].client, 2u);
  EXPECT_EQ(numbered[0].payload[0], 2u);
  EXPECT_TRUE(service.frames("Blob").empty());
  EXPECT_EQ(service.client(1).corruptFrames, 0u);
}

}  // namespace
