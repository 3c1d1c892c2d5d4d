// Payloads of the fixed-size messages. Input: one byte choosing the message, then the
// payload. A payload decodes exactly when it holds the record, from its first bytes, and
// only then reaches the typed handler.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ipc/internal_messages.h"
#include "ipc/message_handler_base.h"
#include "ipc/program_manager_messages.h"

namespace {

template <class T>
void check(const std::vector<uint8_t>& payload) {
  Zerin::IPC::MessageHandlerBase registry;
  auto parser = registry.getParser<T>();
  T decoded;
  const Zerin::BinaryMessage message{Zerin::MessageTraits<T>::name, payload};
  const bool ok = parser->decode(message, decoded);
  if (ok != (payload.size() >= sizeof(T))) std::abort();
  if (ok && std::memcmp(&decoded, payload.data(), sizeof(T)) != 0) std::abort();

  int calls = 0;
  T seen;
  {
    auto token = parser->addHandler([&](const T& value) {
      ++calls;
      seen = value;
    });
    auto found = registry.findParser(message.name);
    if (found != parser) std::abort();
    found->parseMessage(message);
  }
  if (calls != (ok ? 1 : 0)) std::abort();
  if (ok && std::memcmp(&seen, &decoded, sizeof(T)) != 0) std::abort();
  if (parser->handlerCount() != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZERIN_LOGGER_STDOUT_DISABLED", "1", 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<uint8_t> payload(data + 1, data + size);
  switch (data[0] % 3) {
    case 0: check<Zerin::IPC::InternalMessages::Ping>(payload); break;
    case 1: check<Zerin::IPC::InternalMessages::ResponseHandshake>(payload); break;
    default: check<Zerin::ProgramManagerMessages::RestartActiveClient>(payload); break;
  }
  return 0;
}
