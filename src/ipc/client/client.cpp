#include "ipc/client/client.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

#include "logging/logger.h"
#include "logging/utilities.h"
#include "platform/named_pipe.h"
#include "platform/system_error.h"

namespace Zerin::IPC {

namespace {

using Clock = std::chrono::steady_clock;
using InternalMessages::Ping;
using InternalMessages::RequestHandshake;
using InternalMessages::ResponseHandshake;

// The system's own tags (tests match them), odd as some look: must not be corrected.
constexpr const char* kConnectTag = "Zerin::IPC::Client::connect";
constexpr const char* kConnectionErrorTag = "Zerin::IPC::Client::logConnectionErrorIfNecessary";
constexpr const char* kMessageHandlerTag = "Zerin::IPC::Client::runMessageHandler";
constexpr const char* kPingTag = "Zerin::IPC::Client::runPing";
// The handshake's send step reports under the name log filters know it by: the function object
// of the sending code.
constexpr const char* kSendFunctionTag = "Zerin::IPC::Client::sendMessage::<lambda_1>::operator ()";

constexpr int64_t kDefaultAttemptMs = 500;
// A pipe that does not exist yet is looked for again this often.
constexpr int64_t kMissingPipePollMs = 50;
// After this long in one attempt a missing pipe fails the attempt.
constexpr int64_t kMissingPipeLimitMs = 1000;
// A busy pipe is waited for in slices of this length, so that a cancel is seen between them.
constexpr int64_t kBusyPipeSliceMs = 50;
constexpr int64_t kPingWriteLimitMs = 100;
// The reader wakes a sleeping dispatcher at the latest when this many messages wait.
constexpr size_t kWakeBatch = 32;
constexpr auto kPingInterval = std::chrono::seconds(1);

int64_t millisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

Client::Client(const std::string& clientName) : pipeName(kProgramManagerPipeName), clientName(clientName) {}

Client::~Client() { disconnect(); }

std::string Client::displayName() const { return clientName.empty() ? pipeName : clientName; }

bool Client::hasThreads() const {
  return thread.joinable() || messageHandlerThread.joinable() || pingThread.joinable();
}

bool Client::connect(int64_t connectTimeoutMs, int64_t handshakeTimeoutMs) {
  if (cancellation.isCancelled()) return false;
  // A connection that died unnoticed by the reader still counts: the pipe is not probed.
  if (getConnectionState() == ConnectionState::Connected) return true;
  disconnect();

  std::shared_ptr<ReadWritePipe> opened = tryConnection(pipeName, connectTimeoutMs);
  if (!opened) return false;
  {
    std::lock_guard<std::mutex> lock(cancelMutex);
    if (cancellation.isCancelled()) {
      opened->close();
      return false;
    }
    cancelPipe = opened;
  }
  {
    std::lock_guard<std::mutex> lock(sendMutex);
    pipe = std::move(opened);
  }
  lastConnectionError = 0;

  moduleHold = platform::ModuleHold::acquire();
  pipe->setBeforeReadWaits([this] { wakeDispatcher(); });
  start(pipe.get());
  // The dispatcher delivers ResponseHandshake, so it runs before the request goes out.
  {
    std::lock_guard<std::mutex> lock(queueMutex);
    // The readers of earlier connections have been joined: what they left is all there is.
    earlierMessages = incomingMessages.size();
    messageHandlerRunning = true;
  }
  messageHandlerThread = std::thread(&Client::runMessageHandler, this);

  RequestHandshake request;
  request.clientName = clientName;
  ResponseHandshake reply;
  const bool ok = sendAndWait(
      reply,
      [&] {
        if (sendMessage(request, handshakeTimeoutMs)) return true;
        // The system's own text (tests match it): must not be corrected.
        logMessage(kSendFunctionTag, LogLevel::Warning, "Failed to send message %s: %s",
                   MessageTraits<RequestHandshake>::name, pipe->getErrorMessage().c_str());
        return false;
      },
      handshakeTimeoutMs, &cancellation);

  if (ok) {
    handshakeResult = reply.result();
    pingRunning = true;
    pingThread = std::thread(&Client::runPing, this);
    const auto previous = static_cast<ConnectionState>(
        connectionState.exchange(static_cast<uint32_t>(ConnectionState::Connected)));
    if (previous == ConnectionState::Lost || cancellation.isCancelled()) {
      // The reader ended while the handshake ran, or the client is going away. Its threads stay
      // until the next connect or the destructor tears them down.
      connectionState = static_cast<uint32_t>(ConnectionState::Disconnected);
      return false;
    }
    return true;
  }

  // A cancel is no failure of the handshake.
  if (!cancellation.isCancelled()) {
    const std::string reason = pipe->hasError() ? pipe->getErrorMessage() : std::string("Timeout");
    // The system's own text (tests match it): must not be corrected.
    logMessage(kConnectTag, LogLevel::Warning, "Handshake failed: %s", reason.c_str());
  }
  stopMessageHandler();
  pipe->close();
  stop();
  releasePipe();
  connectionState = static_cast<uint32_t>(ConnectionState::Disconnected);
  moduleHold.release();
  return false;
}

void Client::disconnect() {
  pingRunning = false;
  stopMessageHandler();
  if (pipe) {
    // Ends the reader's blocked read.
    pipe->close();
    if (thread.joinable()) stop();
    releasePipe();
    connectionState = static_cast<uint32_t>(ConnectionState::Disconnected);
  }
  if (pingThread.joinable()) {
    // Not under pingMutex: a ping thread that misses this leaves after its current wait.
    pingCondition.notify_one();
    pingThread.join();
  }
  moduleHold.release();
}

void Client::releasePipe() {
  {
    std::lock_guard<std::mutex> lock(cancelMutex);
    cancelPipe.reset();
  }
  // The ping thread may be copying the pointer right now.
  std::lock_guard<std::mutex> lock(sendMutex);
  pipe.reset();
}

void Client::cancel() {
  std::shared_ptr<ReadWritePipe> open;
  {
    std::lock_guard<std::mutex> lock(cancelMutex);
    cancellation.cancel();
    open = cancelPipe;
  }
  // Ends a handshake's write or a send on the owner's thread, and the reader.
  if (open) open->close();
}

Client::Turn::Turn(Client& client) : client(client), taken(false) {
  while (!client.cancellation.isCancelled()) {
    if (!client.turnTaken.exchange(true)) {
      taken = true;
      return;
    }
    client.cancellation.wait([&client] { return !client.turnTaken; });
  }
}

Client::Turn::~Turn() {
  if (!taken) return;
  client.turnTaken = false;
  client.cancellation.notify();
}

void Client::stopMessageHandler() {
  if (!messageHandlerThread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(queueMutex);
    messageHandlerRunning = false;
  }
  queueCondition.notify_one();
  messageHandlerThread.join();
}

std::shared_ptr<ReadWritePipe> Client::tryConnection(const std::string& name, int64_t timeoutMs) {
  const int64_t attemptMs = timeoutMs != 0 ? timeoutMs : kDefaultAttemptMs;
  for (;;) {
    const Clock::time_point start = Clock::now();
    for (;;) {
      if (cancellation.isCancelled()) return nullptr;
      const int64_t elapsedMs = millisecondsSince(start);
      if (elapsedMs >= attemptMs) {
        platform::setLastSystemError(platform::kErrorTimeout);
        break;
      }
      const int64_t remaining = attemptMs - elapsedMs;
      const int64_t slice = std::min(remaining, kBusyPipeSliceMs);
      if (platform::waitNamedPipe(name, static_cast<uint32_t>(slice))) {
        const platform::Handle handle = platform::openNamedPipe(name);
        if (handle != platform::invalidHandle()) return std::make_shared<ReadWritePipe>(name, handle);
        // Another client took the free instance: wait for the next one.
        if (platform::lastSystemError() == platform::kErrorPipeBusy) continue;
        break;
      }
      const uint32_t error = platform::lastSystemError();
      // Every instance is busy and the attempt has time left: wait for one in the next slice.
      if (error == platform::kErrorSemTimeout && slice < remaining) continue;
      if (error != platform::kErrorFileNotFound) break;
      if (millisecondsSince(start) >= kMissingPipeLimitMs) break;
      // The service has not created its pipe yet: look again soon, so that a pipe created
      // during the attempt is found quickly; a cancel ends the pause.
      if (cancellation.pause(std::chrono::milliseconds(std::min(remaining, kMissingPipePollMs)))) return nullptr;
    }
    logConnectionErrorIfNecessary(platform::lastSystemError());
    if (timeoutMs != 0) return nullptr;
  }
}

void Client::logConnectionErrorIfNecessary(uint32_t error) {
  if (error != lastConnectionError) {
    // The system's own text (tests match it): must not be corrected.
    logMessage(kConnectionErrorTag, LogLevel::Error, "Failed to connect to server pipe: %s",
               windowsErrorText(error).c_str());
  }
  lastConnectionError = error;
}

void Client::onMessage(const BinaryMessage& message) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(queueMutex);
    incomingMessages.push_back(message);
    // A burst goes over in one wake-up: when the reader has to wait for the pipe
    // (wakeDispatcher), or once a batch has gathered, so that a stream that never pauses is
    // still dispatched.
    wake = dispatcherAsleep && incomingMessages.size() >= kWakeBatch;
    if (wake) dispatcherAsleep = false;
  }
  if (wake) queueCondition.notify_one();
}

void Client::wakeDispatcher() {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(queueMutex);
    wake = dispatcherAsleep && !incomingMessages.empty();
    if (wake) dispatcherAsleep = false;
  }
  if (wake) queueCondition.notify_one();
}

void Client::onDisconnected() {
  connectionState = static_cast<uint32_t>(ConnectionState::Lost);
  // The last messages were not followed by a wait for more.
  wakeDispatcher();
}

void Client::runMessageHandler() {
  setThreadName(platform::currentThread(), formatString("IPCClient (%s)", displayName().c_str()));
  // Kept from batch to batch, so that the queue it is swapped with needs no new room.
  std::vector<BinaryMessage> batch;
  for (;;) {
    size_t earlier = 0;
    {
      std::unique_lock<std::mutex> lock(queueMutex);
      while (messageHandlerRunning && incomingMessages.empty()) {
        dispatcherAsleep = true;
        queueCondition.wait(lock);
      }
      dispatcherAsleep = false;
      // Messages still queued wait for the dispatcher of the next connection.
      if (!messageHandlerRunning) return;
      batch.swap(incomingMessages);
      earlier = std::exchange(earlierMessages, 0);
    }
    for (size_t i = 0; i < batch.size(); ++i) {
      const BinaryMessage& message = batch[i];
      // The typed handlers serve this connection's protocol; an earlier connection's message
      // still reaches the raw handlers (the script).
      // The system's own text (tests match it): must not be corrected.
      if (!dispatchMessage(message, i >= earlier))
        logMessage(kMessageHandlerTag, LogLevel::Info, "No handlers for message '%s'", message.name.c_str());
    }
    batch.clear();
  }
}

void Client::runPing() {
  setThreadName(platform::currentThread(), formatString("IPCClientPing (%s)", displayName().c_str()));
  std::unique_lock<std::mutex> lock(pingMutex);
  while (pingRunning) {
    // One wait, no predicate: a notification or a spurious wake-up ends it early.
    pingCondition.wait_until(lock, std::chrono::system_clock::now() + kPingInterval);
    if (!pingRunning) break;
    bool ok = false;
    {
      std::lock_guard<std::mutex> sendLock(sendMutex);
      // A teardown that began while this thread waited for the lock has released the pipe or
      // is about to: that is no failure to report.
      if (!pingRunning) break;
      const std::shared_ptr<LayerByteMessage> frame = getParser<Ping>()->createMessage(Ping{});
      std::shared_ptr<IBidirectionalByteStream> copy = pipe;
      ok = LayerByteMessage::writeToPipe(copy, frame, kPingWriteLimitMs);
    }
    // The system's own text (tests match it): must not be corrected.
    if (!ok) logMessage(kPingTag, LogLevel::Warning, "IPCClient %s: Failed to send ping!", displayName().c_str());
  }
}

}  // namespace Zerin::IPC
