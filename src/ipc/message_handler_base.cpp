#include "ipc/message_handler_base.h"

namespace Zerin::IPC {

std::shared_ptr<ILayerByteMessageParser> MessageHandlerBase::findParser(const std::string& name) {
  std::lock_guard<std::mutex> lock(parsersMutex);
  auto found = parsers.find(name);
  return found == parsers.end() ? nullptr : found->second;
}

MessageHandler MessageHandlerBase::addMessageHandler(std::function<void(const BinaryMessage&)> handler) {
  std::lock_guard<std::mutex> lock(rawHandlersMutex);
  auto record = std::make_shared<MessageHandler::ReferenceRecord>();
  rawHandlers.push_back(HandlerEntry<BinaryMessage>{record, std::move(handler)});
  return MessageHandler(std::move(record), nullptr);
}

bool MessageHandlerBase::invokeMessageHandlers(const BinaryMessage& message) {
  std::lock_guard<std::mutex> lock(rawHandlersMutex);
  if (rawHandlers.empty()) return false;
  walkHandlers(rawHandlers, message);
  return true;
}

bool MessageHandlerBase::dispatchMessage(const BinaryMessage& message, bool typed) {
  const std::shared_ptr<ILayerByteMessageParser> parser = findParser(message.name);
  if (parser && typed) parser->parseMessage(message);
  const bool anyRaw = invokeMessageHandlers(message);
  return parser || anyRaw;
}

size_t MessageHandlerBase::rawHandlerCount() const {
  std::lock_guard<std::mutex> lock(rawHandlersMutex);
  return rawHandlers.size();
}

}  // namespace Zerin::IPC
