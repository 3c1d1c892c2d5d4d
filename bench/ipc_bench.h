#pragma once
// The program manager road from the service's end of the pipe to the script callback: the
// plug-in's client (through its exports) with its reader thread, dispatcher thread and the
// engine callback; the bench writes the service's frames itself, straight onto the pipe. Beside
// it the floor: the same bytes through a bare pipe.
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bare_pipe.h"
#include "engine_host.h"
#include "ipc/server/pipe_server.h"

namespace ZerinBench {

class IpcBench {
 public:
  IpcBench();
  ~IpcBench();
  IpcBench(const IpcBench&) = delete;
  IpcBench& operator=(const IpcBench&) = delete;

  // Listens on the program manager's pipe in a private namespace, loads the plug-in, connects
  // one client and answers its handshake; opens the bare pipe. False with error() when not.
  bool open();
  const std::string& error() const { return problem; }

  // One frame with `payload` bytes written on the service's end: nanoseconds until the script
  // callback has it. Negative when it never came.
  double messageLatency(size_t payload);
  // The same frame's bytes there and back through the bare pipe, in nanoseconds.
  double bareRoundTrip(size_t payload);
  // `count` such frames written back to back: frames per second until the callback had the
  // last. Negative when they did not all come.
  double messageRate(size_t payload, int count);
  // The same frames through the bare pipe, read as frames are read (header, then body). With
  // `copied`, each payload is also copied twice after it is read, into a kept buffer and into a
  // new one, as the framing and the client's queue copy it.
  double bareRate(size_t payload, int count, bool copied = false);

 private:
  struct Exports;

  bool fail(const std::string& why);
  bool answerHandshake();
  bool waitForMessages(uint64_t count);
  void runEcho();

  std::unique_ptr<ZerinSim::EngineHost> engine;
  std::unique_ptr<Exports> exports;
  std::unique_ptr<Zerin::PipeServer> server;
  std::shared_ptr<Zerin::ReadWritePipe> service;  // the service's end of the client's pipe
  int32_t client = -1;
  BarePipe bare;
  std::thread echo;  // answers every frame on the bare pipe's end 1
  bool echoRunning = false;
  bool privateNamespace = false;
  std::string problem;
};

}  // namespace ZerinBench
