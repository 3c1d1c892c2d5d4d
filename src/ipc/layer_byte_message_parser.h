#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#include "ipc/binary_serialization.h"
#include "ipc/layer_byte_message.h"
#include "ipc/message_handler.h"
#include "ipc/message_traits.h"
#include "logging/logger.h"

namespace Zerin {

// Decodes received frames of one message type and calls the handlers registered for it.
class ILayerByteMessageParser {
 public:
  virtual void parseMessage(const BinaryMessage& message) = 0;
  virtual ~ILayerByteMessageParser() = default;
};

template <class T>
class LayerByteMessageParser final : public ILayerByteMessageParser {
 public:
  using Traits = MessageTraits<T>;
  static_assert(Traits::form != PayloadForm::FixedSize || kIsFixedSizeValue<T>,
                "a fixed-size message must be a record whose bytes are its whole state");

  LayerByteMessageParser() {
    if constexpr (Traits::form == PayloadForm::FieldList) fields = Traits::fields();
  }

  // Decodes the payload; on success calls every live handler in registration order, under
  // the handler list's mutex.
  void parseMessage(const BinaryMessage& message) override {
    T value{};
    if (!decode(message, value)) {
      // The system's own text (tests match it): must not be corrected.
      logMessage(Traits::parserTag, LogLevel::Error, "Corrupted message %s", Traits::name);
      return;
    }
    std::lock_guard<std::mutex> lock(handlersMutex);
    if (handlers.empty()) {
      // The system's own text (tests match it): must not be corrected.
      logMessage(Traits::parserTag, LogLevel::Warning, "No handlers for message %s", Traits::name);
      return;
    }
    walkHandlers(handlers, value);
  }

  // The handler runs on the dispatching thread with this list's mutex held: it must not
  // register, release or destroy a token of this same type.
  MessageHandler addHandler(std::function<void(const T&)> handler) {
    std::lock_guard<std::mutex> lock(handlersMutex);
    auto record = std::make_shared<MessageHandler::ReferenceRecord>();
    handlers.push_back(HandlerEntry<T>{record, std::move(handler)});
    // The registry keeps every parser alive as long as itself; tokens are released first.
    return MessageHandler(std::move(record), [this] { pruneExpiredHandlers(); });
  }

  void pruneExpiredHandlers() {
    std::lock_guard<std::mutex> lock(handlersMutex);
    handlers.erase(std::remove_if(handlers.begin(), handlers.end(),
                                  [](const HandlerEntry<T>& entry) { return entry.record.expired(); }),
                   handlers.end());
  }

  std::shared_ptr<LayerByteMessage> createMessage(const T& value) const {
    BinarySerializer serializer;
    if constexpr (Traits::form == PayloadForm::FixedSize) {
      serializer.serialize(value);
    } else {
      for (const FieldCodec<T>& field : fields) field.serialize(serializer, value);
    }
    return std::make_shared<LayerByteMessage>(Traits::name, serializer.data.data(),
                                              static_cast<uint32_t>(serializer.data.size()));
  }

  // Decodes a payload of this type into `out`; bytes after the message are ignored.
  bool decode(const BinaryMessage& message, T& out) const {
    const auto size = static_cast<uint32_t>(std::min<size_t>(message.payload.size(), UINT32_MAX));
    BinaryDeserializer deserializer(message.payload.data(), size);
    if constexpr (Traits::form == PayloadForm::FixedSize) {
      return deserializer.deserialize_impl(out);
    } else {
      out = T{};
      for (const FieldCodec<T>& field : fields)
        if (!field.deserialize(deserializer, out)) return false;
      return true;
    }
  }

  // Entries in the list, dead ones not yet erased included.
  size_t handlerCount() const {
    std::lock_guard<std::mutex> lock(handlersMutex);
    return handlers.size();
  }

 private:
  mutable std::mutex handlersMutex;  // guards handlers
  std::vector<HandlerEntry<T>> handlers;
  std::vector<FieldCodec<T>> fields;  // empty for fixed-size messages
};

}  // namespace Zerin
