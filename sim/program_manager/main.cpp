// The program manager service as a program, for the demo: serves the program manager's pipe
// and prints what its clients do, until its standard input ends or says "quit".
//
//   ZerinProgramManagerService --help     lists the options
//
// With --instances, at most N clients are served at once; the next ones find the pipe busy.
//
// With --stream, the service sends its newest handshaken client "StreamMessage" frames without
// pause (payload: LIFE and a sequence number, 32 bits each, then 0 to 2999 pattern bytes), and
// prints "sent LIFE SEQUENCE" once each frame has been written whole: what a client must have
// received even if the service is killed right after. "writing LIFE SEQUENCE" comes before each.
//
// Commands on standard input, one a line:
//   clients                 lists the clients
//   push ID NAME [HEX]      sends the message NAME with the payload HEX (e.g. 0a0b) to client ID
//   quit
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "command_line.h"
#include "program_manager_service.h"

namespace {

std::vector<uint8_t> parseHex(const std::string& text, bool& ok) {
  std::vector<uint8_t> bytes;
  ok = text.size() % 2 == 0;
  for (size_t i = 0; ok && i < text.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = text.substr(i, 2);
    const long value = std::strtol(pair.c_str(), &end, 16);
    ok = end == pair.c_str() + 2;
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

void appendUint32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// The payload of stream message `sequence`: its size and bytes follow from the numbers, so a
// receiver can check it whole.
std::vector<uint8_t> streamPayload(uint32_t life, uint32_t sequence) {
  std::vector<uint8_t> payload;
  appendUint32(payload, life);
  appendUint32(payload, sequence);
  const uint32_t extra = (sequence * 7919u) % 3000u;
  for (uint32_t i = 0; i < extra; ++i) payload.push_back(static_cast<uint8_t>(sequence + i));
  return payload;
}

// Sends stream messages to the newest handshaken client, one after the other, until `stop`.
void runStream(ZerinSim::ProgramManagerService& service, uint32_t life, const std::atomic<bool>& stop,
               const std::function<void(const std::string&)>& say) {
  using namespace std::chrono_literals;
  uint32_t sequence = 0;
  while (!stop) {
    uint64_t client = 0;
    service.waitUntil([&] {
      for (const ZerinSim::ClientRecord& record : service.clients())
        if (record.connected && record.handshakes > 0) client = record.id;
      return stop || client != 0;
    }, 200ms);
    if (client == 0) continue;
    // The service's own text (the IPC soak reads it back): must not be corrected.
    say("writing " + std::to_string(life) + " " + std::to_string(sequence));
    auto written = std::make_shared<std::atomic<bool>>(false);
    if (!service.push(client, "StreamMessage", streamPayload(life, sequence), [written] { *written = true; })) continue;
    // A client that goes away mid-frame never gets it whole: the sequence number is kept.
    service.waitUntil([&] { return *written || stop || !service.client(client).connected; }, 5s);
    if (!*written) continue;
    // The service's own text (the IPC soak reads it back): must not be corrected.
    say("sent " + std::to_string(life) + " " + std::to_string(sequence));
    ++sequence;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string pipe = ZerinSim::kProgramManagerPipe;
  uint32_t handshakeValue = 0;
  uint32_t instances = 255;
  bool quiet = false;
  uint32_t life = 0;
  ZerinCommandLine::App app(
      "Serves the program manager's pipe and prints what its clients do, until its standard\n"
      "input ends or says \"quit\" (commands: clients, push ID NAME [HEX], quit).",
      "ZerinProgramManagerService");
  app.add_option("--pipe", pipe, "the pipe to serve (default " + pipe + ")")->type_name("\\\\.\\pipe\\NAME");
  app.add_option("--handshake-value", handshakeValue, "the value its handshake responses carry (default 0)")
      ->type_name("N");
  app.add_option("--instances", instances, "clients served at once; the next ones find the pipe busy (default 255)")
      ->type_name("N");
  app.add_flag("--quiet", quiet, "print nothing of what the clients do");
  const CLI::Option* stream =
      app.add_option("--stream", life, "send the newest client stream messages of life LIFE without pause")
          ->type_name("LIFE");
  if (const auto status = app.parseOrExit(argc, argv)) return *status;

  std::mutex outputMutex;  // guards standard output: events come from the service's threads
  auto say = [&](const std::string& line) {
    std::lock_guard<std::mutex> lock(outputMutex);
    std::cout << line << std::endl;
  };

  ZerinSim::ProgramManagerService service(pipe, instances);
  service.setHandshakeValue(handshakeValue);
  if (!quiet) service.setEventSink(say);
  if (!service.start()) {
    std::fprintf(stderr, "cannot create the pipe %s\n", pipe.c_str());
    return 1;
  }

  std::atomic<bool> stopStream{false};
  std::thread streaming;
  if (stream->count() > 0) streaming = std::thread(runStream, std::ref(service), life, std::cref(stopStream), say);

  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "quit") break;
    if (command == "clients") {
      for (const ZerinSim::ClientRecord& client : service.clients()) {
        say("client " + std::to_string(client.id) + " \"" + client.name + "\" " +
            (client.connected ? "connected" : "gone") + ", pings " + std::to_string(client.pings) +
            ", restart requests " + std::to_string(client.restartRequests));
      }
    } else if (command == "push") {
      uint64_t id = 0;
      std::string name, hex;
      words >> id >> name >> hex;
      bool hexOk = false;
      const std::vector<uint8_t> payload = parseHex(hex, hexOk);
      if (name.empty() || !hexOk) say("push ID NAME [HEX]");
      else say(service.push(id, name, payload) ? "sent" : "no such client");
    } else if (!command.empty()) {
      say("commands: clients, push ID NAME [HEX], quit");
    }
  }
  stopStream = true;
  if (streaming.joinable()) streaming.join();
  service.stop();
  return 0;
}
