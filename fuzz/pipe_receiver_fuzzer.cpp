// The reader thread fed through a real pipe, written in fragments of varying size by a thread
// of its own. Input: one byte k, then k % 8 + 1 bytes giving the fragment sizes in turn (each
// byte + 1), then the bytes to send. Every delivered frame must be a frame that really is in
// the input, in order and without overlap, the buffer must stay within the frame limit, and
// the reader must end once, after the writer's end of the pipe closed.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ipc/layer_byte_message.h"
#include "ipc/pipe_server.h"
#include "ipc/read_write_pipe.h"
#include "platform/named_pipe.h"
#include "platform/system_error.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kFrameLimit = 64 * 1024;
const std::string kPipeName = "\\\\.\\pipe\\zerin-fuzz-receiver";
char pipeFolder[] = "/tmp/zerin-fuzz-XXXXXX";

class Receiver : public Zerin::LayerByteMessageReceiver {
 public:
  explicit Receiver(Zerin::IBidirectionalByteStream& stream) {
    maximumFrameSize = kFrameLimit;
    start(&stream);
  }
  ~Receiver() override { stop(); }
  void onMessage(const Zerin::BinaryMessage& message) override {
    std::lock_guard<std::mutex> lock(mutex);
    messages.push_back(message);
  }
  void onDisconnected() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++disconnects;
    ended.notify_all();
  }
  void waitForEnd() {
    std::unique_lock<std::mutex> lock(mutex);
    ended.wait(lock, [&] { return disconnects > 0; });
  }

  std::mutex mutex;  // guards messages and disconnects
  std::condition_variable ended;
  std::vector<Zerin::BinaryMessage> messages;
  int disconnects = 0;
};

void appendUint32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

std::vector<uint8_t> frameOf(const Zerin::BinaryMessage& message) {
  std::vector<uint8_t> frame;
  const auto nameLength = static_cast<uint32_t>(message.name.size());
  const auto payloadLength = static_cast<uint32_t>(message.payload.size());
  appendUint32(frame, 16 + nameLength + payloadLength);
  appendUint32(frame, Zerin::kFrameSignature);
  appendUint32(frame, nameLength);
  frame.insert(frame.end(), message.name.begin(), message.name.end());
  appendUint32(frame, payloadLength);
  frame.insert(frame.end(), message.payload.begin(), message.payload.end());
  return frame;
}

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
  Receiver receiver(*pipes.clientEnd);
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

  std::lock_guard<std::mutex> lock(receiver.mutex);
  if (receiver.disconnects != 1) std::abort();
  auto from = bytes.begin();
  for (const Zerin::BinaryMessage& message : receiver.messages) {
    const std::vector<uint8_t> frame = frameOf(message);
    const auto found = std::search(from, bytes.end(), frame.begin(), frame.end());
    if (found == bytes.end()) std::abort();
    from = found + static_cast<std::ptrdiff_t>(frame.size());
  }
  if (receiver.receiveBufferSize() > kFrameLimit) std::abort();
  return 0;
}
