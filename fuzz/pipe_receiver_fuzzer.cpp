// The reader thread fed through a real pipe, written in fragments of varying size by a thread
// of its own. Input: one byte k, then k % 8 + 1 bytes giving the fragment sizes in turn (each
// byte + 1), then the bytes to send. Every delivered frame must be a frame that really is in
// the input, in order and without overlap, the buffer must stay within the frame limit, and
// the reader must end once, after the writer's end of the pipe closed.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ipc/read_write_pipe.h"
#include "ipc/server/pipe_server.h"
#include "platform/named_pipe.h"
#include "platform/system_error.h"
#include "recording_receiver.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kPipeName = "\\\\.\\pipe\\zerin-fuzz-receiver";
char pipeFolder[] = "/tmp/zerin-fuzz-XXXXXX";

// One connected pair of pipe ends, as the service and the client have them.
struct Pipes {
  Pipes() : server(kPipeName, 1) {
    if (!server.listen()) std::abort();
    std::thread accepting([&] { serverEnd = server.accept(); });
    if (!Zerin::platform::waitNamedPipe(kPipeName, 5000)) std::abort();
    const Zerin::platform::Handle handle = Zerin::platform::openNamedPipe(kPipeName);
    if (handle == Zerin::platform::invalidHandle()) std::abort();
    clientEnd = std::make_shared<Zerin::ReadWritePipe>(kPipeName, handle);
    accepting.join();
    if (!serverEnd) std::abort();
  }
  Zerin::PipeServer server;
  std::shared_ptr<Zerin::ReadWritePipe> serverEnd;
  std::shared_ptr<Zerin::ReadWritePipe> clientEnd;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZERIN_LOGGER_STDOUT_DISABLED", "1", 0);
  // A pipe folder of this run's own, so that runs at the same time never meet.
  // libFuzzer may end the process without running exit handlers: the folder exists only
  // while an input runs.
  if (!mkdtemp(pipeFolder)) std::abort();
  rmdir(pipeFolder);
  setenv("ZERIN_PIPE_DIR", pipeFolder, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t sizeCount = std::min<size_t>(data[0] % 8 + 1, size - 1);
  const std::vector<uint8_t> fragmentSizes(data + 1, data + 1 + sizeCount);
  const std::vector<uint8_t> bytes(data + 1 + sizeCount, data + size);
  if (fragmentSizes.empty()) return 0;

  mkdir(pipeFolder, 0700);
  struct FolderRemoval {
    ~FolderRemoval() { rmdir(pipeFolder); }
  } folderRemoval;
  Pipes pipes;
  ZerinFuzz::RecordingReceiver receiver(*pipes.clientEnd);
  std::thread writer([&] {
    size_t position = 0;
    for (size_t i = 0; position < bytes.size(); ++i) {
      uint32_t length = static_cast<uint32_t>(
          std::min<size_t>(fragmentSizes[i % fragmentSizes.size()] + 1u, bytes.size() - position));
      if (!pipes.serverEnd->write(bytes.data() + position, length, 0)) std::abort();
      position += length;
    }
    // What was written is read before the end of the stream.
    pipes.serverEnd->close();
  });
  receiver.waitForEnd();
  writer.join();
  pipes.clientEnd->close();

  receiver.checkDeliveredFrom(bytes);
  return 0;
}
