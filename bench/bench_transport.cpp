// The framing and decoding work per message: building a frame, splitting a received body into
// name and payload, and decoding the handshake's field list.
#include <benchmark/benchmark.h>

#include "ipc/internal_messages.h"
#include "ipc/layer_byte_message.h"
#include "ipc/message_handler_base.h"

namespace {

void BuildPingFrame(benchmark::State& state) {
  const uint8_t payload[8] = {};
  for (auto _ : state) {
    Zerin::LayerByteMessage message("Ping", payload, sizeof payload);
    benchmark::DoNotOptimize(message);
  }
}
BENCHMARK(BuildPingFrame);

void ParseFrameBody(benchmark::State& state) {
  const std::vector<uint8_t> payload(static_cast<size_t>(state.range(0)), 0x5A);
  const Zerin::LayerByteMessage frame("RestartActiveClient", payload.data(), static_cast<uint32_t>(payload.size()));
  const auto& bytes = frame.bytes;
  Zerin::BinaryMessage message;
  for (auto _ : state) {
    const bool ok = Zerin::parseFrameBody(static_cast<uint32_t>(bytes.size() - 8), bytes.data() + 8, message);
    benchmark::DoNotOptimize(ok);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(ParseFrameBody)->Arg(8)->Arg(4096)->Arg(1 << 20);

void EncodeAndDecodeHandshake(benchmark::State& state) {
  Zerin::IPC::MessageHandlerBase registry;
  Zerin::IPC::InternalMessages::RequestHandshake request;
  request.clientName = "UnityProgramManagerClient";
  auto parser = registry.getParser<Zerin::IPC::InternalMessages::RequestHandshake>();
  for (auto _ : state) {
    const auto frame = parser->createMessage(request);
    Zerin::BinaryMessage message;
    Zerin::parseFrameBody(static_cast<uint32_t>(frame->bytes.size() - 8), frame->bytes.data() + 8, message);
    Zerin::IPC::InternalMessages::RequestHandshake decoded;
    benchmark::DoNotOptimize(parser->decode(message, decoded));
  }
}
BENCHMARK(EncodeAndDecodeHandshake);

}  // namespace
