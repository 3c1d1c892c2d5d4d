#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace Zerin {

// A registration token: the registration lives as long as the token's record. Lists of
// handlers keep only weak references to records, so releasing the token makes its entry
// dead at once, wherever the list is; the entry itself is erased later.
class MessageHandler {
 public:
  struct ReferenceRecord {
    bool alive = true;
  };

  MessageHandler() = default;
  MessageHandler(std::shared_ptr<ReferenceRecord> record, std::function<void()> onRelease);
  // Moved, never copied: a copy would release the one registration twice.
  MessageHandler(MessageHandler&& other) noexcept;
  MessageHandler& operator=(MessageHandler&& other) noexcept;
  MessageHandler(const MessageHandler&) = delete;
  MessageHandler& operator=(const MessageHandler&) = delete;
  ~MessageHandler();

  // Drops the record, then runs onRelease (for typed handlers: the prune of their list).
  void release();
  bool isRegistered() const { return record != nullptr; }

 private:
  std::shared_ptr<ReferenceRecord> record;  // the only strong reference
  std::function<void()> onRelease;
};

// One entry of a handler list.
template <class T>
struct HandlerEntry {
  std::weak_ptr<MessageHandler::ReferenceRecord> record;
  std::function<void(const T&)> handler;
};

// Calls every live handler in order and erases the dead entries it meets. The caller holds
// the list's mutex.
template <class T, class V>
void walkHandlers(std::vector<HandlerEntry<T>>& handlers, const V& value) {
  for (size_t i = 0; i < handlers.size();) {
    if (auto alive = handlers[i].record.lock()) {
      handlers[i].handler(value);
      ++i;
    } else {
      handlers.erase(handlers.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

}  // namespace Zerin
