// The program manager service as a program, for the demo: serves the program manager's pipe
// and prints what its clients do, until its standard input ends or says "quit".
//
//   ZerinProgramManagerService [--pipe \\.\pipe\NAME] [--handshake-value N] [--quiet]
//
// Commands on standard input, one a line:
//   clients                 lists the clients
//   push ID NAME [HEX]      sends the message NAME with the payload HEX (e.g. 0a0b) to client ID
//   quit
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

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

int usage() {
  std::fprintf(stderr, "usage: ZerinProgramManagerService [--pipe \\\\.\\pipe\\NAME] [--handshake-value N] [--quiet]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string pipe = ZerinSim::kProgramManagerPipe;
  uint32_t handshakeValue = 0;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--pipe" && i + 1 < argc) pipe = argv[++i];
    else if (argument == "--handshake-value" && i + 1 < argc) handshakeValue = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
    else if (argument == "--quiet") quiet = true;
    else return usage();
  }

  std::mutex outputMutex;  // guards standard output: events come from the service's threads
  auto say = [&](const std::string& line) {
    std::lock_guard<std::mutex> lock(outputMutex);
    std::cout << line << std::endl;
  };

  ZerinSim::ProgramManagerService service(pipe);
  service.setHandshakeValue(handshakeValue);
  if (!quiet) service.setEventSink(say);
  if (!service.start()) {
    std::fprintf(stderr, "cannot create the pipe %s\n", pipe.c_str());
    return 1;
  }

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
  service.stop();
  return 0;
}
