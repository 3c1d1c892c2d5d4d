#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ipc/cancellation.h"
#include "ipc/internal_messages.h"
#include "ipc/layer_byte_message.h"
#include "ipc/message_handler_base.h"
#include "ipc/read_write_pipe.h"
#include "platform/module_hold.h"

namespace Zerin::IPC {

// The program manager service's pipe, \\.\pipe\ZerinProgramManager.
inline constexpr char kProgramManagerPipeName[] = "\\\\.\\pipe\\ZerinProgramManager";

enum class ConnectionState : uint32_t {
  Connected = 0,     // the last connect succeeded and the reader has not ended since
  Disconnected = 1,  // never connected, or torn down by connect or destruction
  Lost = 2,          // the reader ended after it was started
};

// The client end of the message protocol on the program manager's pipe: connects with a
// handshake, pings once a second, and dispatches every received message to the registry's
// typed parsers and raw handlers on a thread of its own.
//
// connect, sendMessage and destruction are called from one thread (the owner), or by callers
// on several threads that each hold the client's Turn for the call; the reader, the dispatcher
// and the ping thread are the client's own. cancel() may come from any thread.
class Client : public LayerByteMessageReceiver, public MessageHandlerBase {
 public:
  explicit Client(const std::string& clientName);
  // Tears the connection down and joins every thread of the client (up to one ping interval).
  ~Client() override;

  // Opens the pipe (attempts of 500 ms, repeated without end, when connectTimeoutMs is 0),
  // handshakes within handshakeTimeoutMs and starts pinging. True when connected; true at
  // once when already connected.
  bool connect(int64_t connectTimeoutMs, int64_t handshakeTimeoutMs);

  // Sends one message; true when the whole frame was written. timeoutMs 0 means no limit and
  // returns once the service has read the frame.
  template <class T>
  bool sendMessage(const T& message, int64_t timeoutMs);

  std::string displayName() const;

  // Any thread, for a client that is going away: a connect or a send under way on the owner's
  // thread ends at once and fails (the pipe is closed), every later connect fails at once, and
  // so does every wait for a Turn.
  void cancel();

  // The right to connect and send, for callers on several threads: one Turn holds it at a time,
  // for a whole call; the others wait. A cancel ends the waits without the right.
  class Turn {
   public:
    explicit Turn(Client& client);
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    // False when the client was cancelled first.
    explicit operator bool() const { return taken; }

   private:
    Client& client;
    bool taken;
  };

  ConnectionState getConnectionState() const { return static_cast<ConnectionState>(connectionState.load()); }
  bool isConnected() const { return getConnectionState() == ConnectionState::Connected; }
  // The first 32-bit word of the last ResponseHandshake; read on the owner's thread.
  uint32_t getHandshakeResult() const { return handshakeResult; }
  // Whether a reader, dispatcher or ping thread of this client has not been joined yet.
  bool hasThreads() const;

 protected:
  void onMessage(const BinaryMessage& message) override;
  void onDisconnected() override;
  // The teardown of connect and the destructor. A subclass that overrides the receiver's hooks
  // calls it in its own destructor, so that the reader never calls into a destroyed subclass.
  void disconnect();

 private:
  std::shared_ptr<ReadWritePipe> tryConnection(const std::string& pipeName, int64_t timeoutMs);
  void logConnectionErrorIfNecessary(uint32_t error);
  void runMessageHandler();
  void runPing();
  void stopMessageHandler();
  // Reader thread: wakes a sleeping dispatcher when messages wait for it.
  void wakeDispatcher();
  // Releases the pipe after its reader has been joined.
  void releasePipe();

  // Assigned and released by the owner, under sendMutex so that a sender's copy never races
  // with it; senders write through their own copy.
  std::shared_ptr<ReadWritePipe> pipe;
  std::string pipeName;
  std::string clientName;
  uint32_t handshakeResult = 0;
  std::mutex sendMutex;  // guards pipe against concurrent copy and release; held for every frame written
  // guards incomingMessages, earlierMessages, dispatcherAsleep and changes of messageHandlerRunning
  std::mutex queueMutex;
  std::condition_variable queueCondition;
  std::thread pingThread;
  std::thread messageHandlerThread;
  std::mutex pingMutex;  // paces the ping thread, which holds it except while it waits
  std::condition_variable pingCondition;
  std::vector<BinaryMessage> incomingMessages;  // received, not yet dispatched; oldest first
  // How many of incomingMessages, from the front, came on an earlier connection: they reach the
  // raw handlers only, so that a stale ResponseHandshake cannot answer a new handshake.
  size_t earlierMessages = 0;
  // The dispatcher waits for the queue to fill, and nobody has woken it yet; the reader wakes it
  // once per burst of messages, not for every one.
  bool dispatcherAsleep = false;
  std::atomic<uint32_t> connectionState{static_cast<uint32_t>(ConnectionState::Disconnected)};
  std::atomic<bool> pingRunning{false};
  std::atomic<bool> messageHandlerRunning{false};
  uint32_t lastConnectionError = 0;  // the code last logged by logConnectionErrorIfNecessary
  // Thrown by cancel(); the waits of connect (the missing pipe's polls, the handshake) and of a
  // Turn end on it.
  Cancellation cancellation;
  std::atomic<bool> turnTaken{false};  // a Turn holds the right; its waits are cancellation's
  std::mutex cancelMutex;  // guards cancelPipe, so that cancel() never misses a pipe being opened
  std::shared_ptr<ReadWritePipe> cancelPipe;  // the pipe cancel() closes: pipe, while one is open
  // Held from the start of the threads of a connection until they have all been joined.
  platform::ModuleHold moduleHold;
};

template <class T>
bool Client::sendMessage(const T& message, int64_t timeoutMs) {
  std::lock_guard<std::mutex> lock(sendMutex);
  const std::shared_ptr<LayerByteMessage> frame = getParser<T>()->createMessage(message);
  std::shared_ptr<IBidirectionalByteStream> copy = pipe;
  return LayerByteMessage::writeToPipe(copy, frame, timeoutMs);
}

}  // namespace Zerin::IPC
