// Payloads of field-list messages: the handshake request, and a richer message with
// sequences that exercises every kind of value. Input: one byte choosing the message, then
// the payload. A successful decode must encode back to the bytes it consumed.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ipc/internal_messages.h"
#include "ipc/message_handler_base.h"

namespace {

struct Composite {
  uint32_t id = 0;
  std::string title;
  std::vector<std::string> tags;
  std::vector<std::vector<uint16_t>> rows;
  uint8_t flags = 0;
};

}  // namespace

namespace Zerin {

template <>
struct MessageTraits<Composite> {
  static constexpr const char* name = "Composite";
  static constexpr const char* parserTag = "Zerin::LayerByteMessageParser<struct Composite>::parseMessage";
  static constexpr PayloadForm form = PayloadForm::FieldList;
  static std::vector<FieldCodec<Composite>> fields() {
    return {FieldCodec<Composite>(&Composite::id), FieldCodec<Composite>(&Composite::title),
            FieldCodec<Composite>(&Composite::tags), FieldCodec<Composite>(&Composite::rows),
            FieldCodec<Composite>(&Composite::flags)};
  }
};

}  // namespace Zerin

namespace {

template <class T>
void check(const std::vector<uint8_t>& payload) {
  Zerin::IPC::MessageHandlerBase registry;
  auto parser = registry.getParser<T>();
  const Zerin::BinaryMessage message{Zerin::MessageTraits<T>::name, payload};
  registry.findParser(message.name)->parseMessage(message);  // logs its trail or "no handlers"
  T decoded;
  if (!parser->decode(message, decoded)) return;
  // The frame of the decoded value carries exactly the consumed bytes as its payload.
  const std::vector<uint8_t> frame = parser->createMessage(decoded)->bytes;
  const size_t payloadStart = 16 + std::char_traits<char>::length(Zerin::MessageTraits<T>::name);
  const size_t consumed = frame.size() - payloadStart;
  if (consumed > payload.size()) std::abort();
  if (!std::equal(frame.begin() + static_cast<std::ptrdiff_t>(payloadStart), frame.end(), payload.begin()))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZERIN_LOGGER_STDOUT_DISABLED", "1", 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<uint8_t> payload(data + 1, data + size);
  if (data[0] % 2 == 0)
    check<Zerin::IPC::InternalMessages::RequestHandshake>(payload);
  else
    check<Composite>(payload);
  return 0;
}
