#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "ipc/cancellation.h"
#include "ipc/layer_byte_message.h"
#include "ipc/layer_byte_message_parser.h"
#include "ipc/message_handler.h"

namespace Zerin::IPC {

// The message registry: one parser per message name, created on first use and kept for the
// registry's lifetime, and a list of handlers that see every raw message. Tokens of typed
// handlers must be released before the registry goes, since their release prunes a parser.
class MessageHandlerBase {
 public:
  MessageHandlerBase() = default;
  MessageHandlerBase(const MessageHandlerBase&) = delete;
  MessageHandlerBase& operator=(const MessageHandlerBase&) = delete;

  template <class T>
  std::shared_ptr<LayerByteMessageParser<T>> getParser() {
    std::lock_guard<std::mutex> lock(parsersMutex);
    auto& parser = parsers[MessageTraits<T>::name];
    if (!parser) parser = std::make_shared<LayerByteMessageParser<T>>();
    // One type per name, so the parser stored under it is of this type.
    return std::static_pointer_cast<LayerByteMessageParser<T>>(parser);
  }

  std::shared_ptr<ILayerByteMessageParser> findParser(const std::string& name);

  // Sending a type also creates its parser.
  template <class T>
  std::shared_ptr<LayerByteMessage> createMessage(const T& value) {
    return getParser<T>()->createMessage(value);
  }

  // A handler for every raw message. It runs with the raw list's mutex held and must not
  // register another raw handler; releasing a raw token takes no lock, so the entry stays
  // until the next raw dispatch erases it (and is never called again).
  MessageHandler addMessageHandler(std::function<void(const BinaryMessage&)> handler);

  // Calls the live raw handlers in order; true when the list was not empty at the start.
  bool invokeMessageHandlers(const BinaryMessage& message);

  // One received message: to the typed parser of its name, if there is one and `typed`, then
  // to every raw handler. False when neither a parser nor a raw handler exists for it.
  bool dispatchMessage(const BinaryMessage& message, bool typed = true);

  // Entries in the raw list, dead ones not yet erased included.
  size_t rawHandlerCount() const;

  // Registers a handler for Reply, calls `send`, and waits up to `timeoutMs` (nothing when
  // <= 0) for a Reply to be dispatched; true when one arrived, copied into `reply`. The
  // registration comes first, so a reply that arrives before the wait is not lost. An empty
  // `send` raises std::bad_function_call. A `cancellation` thrown from another thread ends the
  // wait at once (false, unless the reply was in).
  template <class Reply>
  bool sendAndWait(Reply& reply, std::function<bool()> send, int64_t timeoutMs,
                   Cancellation* cancellation = nullptr);

 private:
  std::vector<HandlerEntry<BinaryMessage>> rawHandlers;
  mutable std::mutex rawHandlersMutex;  // guards rawHandlers
  std::unordered_map<std::string, std::shared_ptr<ILayerByteMessageParser>> parsers;
  std::mutex parsersMutex;  // guards parsers; held for a lookup or insertion only
};

template <class Reply>
bool MessageHandlerBase::sendAndWait(Reply& reply, std::function<bool()> send, int64_t timeoutMs,
                                     Cancellation* cancellation) {
  // Pairs the flag with the wait, so a notification cannot slip in between the waiter's check
  // and its sleep.
  Cancellation local;
  Cancellation& waits = cancellation ? *cancellation : local;
  std::atomic<bool> received{false};

  MessageHandler token = getParser<Reply>()->addHandler([&](const Reply& message) {
    reply = message;
    received = true;
    waits.notify();
  });

  // `send` runs outside the wait: a reply dispatched on this very thread during the send must
  // be able to set the flag.
  bool result = send();
  if (result) {
    if (timeoutMs > 0) {
      const auto deadline = std::chrono::system_clock::now() + std::chrono::milliseconds(timeoutMs);
      waits.waitUntil(deadline, [&] { return received.load(); });
    }
    result = received;
  }
  // The release waits for a handler call in progress, which may still need the wait's lock.
  token.release();
  return result;
}

}  // namespace Zerin::IPC
