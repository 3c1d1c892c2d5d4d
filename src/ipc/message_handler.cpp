#include "ipc/message_handler.h"

#include <utility>

namespace Zerin {

MessageHandler::MessageHandler(std::shared_ptr<ReferenceRecord> record, std::function<void()> onRelease)
    : record(std::move(record)), onRelease(std::move(onRelease)) {}

MessageHandler::MessageHandler(MessageHandler&& other) noexcept
    : record(std::move(other.record)), onRelease(std::move(other.onRelease)) {
  other.onRelease = nullptr;
}

MessageHandler& MessageHandler::operator=(MessageHandler&& other) noexcept {
  if (this != &other) {
    release();
    record = std::move(other.record);
    onRelease = std::move(other.onRelease);
    other.onRelease = nullptr;
  }
  return *this;
}

MessageHandler::~MessageHandler() { release(); }

void MessageHandler::release() {
  record.reset();
  if (onRelease) onRelease();
}

}  // namespace Zerin
