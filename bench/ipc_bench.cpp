#include "ipc_bench.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "ipc/client/client.h"
#include "ipc/layer_byte_message.h"
#include "samples.h"

namespace ZerinBench {

namespace {

constexpr char kMessageName[] = "BenchMessage";
constexpr auto kArrivalLimit = std::chrono::seconds(10);

// What the script callback saw: it runs on the client's dispatcher thread. Only the message a
// waiter waits for wakes it, so that waking the bench costs the dispatcher nothing per message.
struct Arrivals {
  std::atomic<uint64_t> count{0};
  std::atomic<uint64_t> awaited{0};  // the count a waiter waits for
  std::mutex mutex;                  // guards last and stamped, with `arrived`
  std::condition_variable arrived;
  Clock::time_point last;  // when the awaited message came
  uint64_t stamped = 0;    // the count `last` belongs to
};
Arrivals arrivals;

void onEngineMessage(int32_t, const char* name, int32_t nameLength, const uint8_t*, int32_t) {
  const Clock::time_point now = Clock::now();
  if (nameLength != static_cast<int32_t>(sizeof kMessageName - 1) || std::memcmp(name, kMessageName, sizeof kMessageName - 1) != 0)
    return;
  const uint64_t count = arrivals.count.fetch_add(1) + 1;
  if (count != arrivals.awaited.load()) return;
  {
    std::lock_guard<std::mutex> lock(arrivals.mutex);
    arrivals.last = now;
    arrivals.stamped = count;
  }
  arrivals.arrived.notify_one();
}

// Sets what waitForMessages waits for; called before the messages go out.
uint64_t expectMessages(uint64_t more) {
  const uint64_t awaited = arrivals.count.load() + more;
  arrivals.awaited.store(awaited);
  return awaited;
}

std::vector<uint8_t> frame(const char* name, size_t payload) {
  const std::vector<uint8_t> bytes(payload, 0x5A);
  return Zerin::LayerByteMessage(name, bytes.data(), static_cast<uint32_t>(bytes.size())).bytes;
}

std::vector<uint8_t> frames(size_t payload, int count) {
  const std::vector<uint8_t> one = frame(kMessageName, payload);
  std::vector<uint8_t> all;
  all.reserve(one.size() * static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) all.insert(all.end(), one.begin(), one.end());
  return all;
}

uint32_t readUint32(const uint8_t* bytes) {
  uint32_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// Whole buffers through the pipe layer's stream, which may move fewer bytes per call.
bool writeAll(Zerin::ReadWritePipe& pipe, const uint8_t* data, size_t size) {
  while (size > 0) {
    uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(size, 1u << 30));
    if (!pipe.write(data, chunk, 0) || chunk == 0) return false;
    data += chunk;
    size -= chunk;
  }
  return true;
}

bool readAll(Zerin::ReadWritePipe& pipe, uint8_t* buffer, size_t size) {
  while (size > 0) {
    uint32_t chunk = static_cast<uint32_t>(size);
    if (!pipe.read(buffer, chunk) || chunk == 0) return false;
    buffer += chunk;
    size -= chunk;
  }
  return true;
}

}  // namespace

// The plug-in's exports; the benchmark uses its program manager client's.
struct IpcBench::Exports : ZerinSim::BridgeExports {};

IpcBench::IpcBench() : exports(std::make_unique<Exports>()) {}

IpcBench::~IpcBench() {
  if (echoRunning) {
    // A frame of length 0 ends the echo.
    const uint8_t end[8] = {};
    bare.writeAll(0, end, sizeof end);
  }
  if (echo.joinable()) echo.join();
  if (client >= 0) {
    exports->SetProgramManagerUnityMessageHandler(nullptr);
    exports->ProgramManagerClient_Destroy(client);
  }
  if (service) service->close();
  if (server) server->stop();
  server.reset();
  if (engine) engine->unload();
  if (privateNamespace) leavePrivatePipeNamespace();
}

bool IpcBench::fail(const std::string& why) {
  problem = why;
  return false;
}

bool IpcBench::open() {
  std::string error;
  if (!enterPrivatePipeNamespace(error)) return fail("no private pipe namespace: " + error);
  privateNamespace = true;
  if (!bare.open(error)) return fail("no bare pipe: " + error);
  echoRunning = true;
  echo = std::thread(&IpcBench::runEcho, this);

  server = std::make_unique<Zerin::PipeServer>(Zerin::IPC::kProgramManagerPipeName);
  if (!server->listen()) return fail("the service cannot listen: error " + std::to_string(server->getErrorCode()));
  engine = std::make_unique<ZerinSim::EngineHost>(ZerinSim::EngineOptions{true, true, false});
  if (!engine->load()) return fail("the plug-in did not load: " + engine->error());
  static_cast<ZerinSim::BridgeExports&>(*exports) = engine->exports();
  exports->SetProgramManagerUnityMessageHandler(onEngineMessage);
  client = exports->ProgramManagerClient_Create();

  bool connected = false;
  std::thread connecting([&] { connected = exports->ProgramManagerClient_Connect(client); });
  const bool answered = answerHandshake();
  connecting.join();
  if (!answered) return false;
  return connected ? true : fail("the client did not connect");
}

// Reads the client's RequestHandshake and answers it, as the service does.
bool IpcBench::answerHandshake() {
  service = server->accept();
  if (!service) return fail("no client came");
  uint8_t header[8];
  if (!readAll(*service, header, sizeof header)) return fail("no handshake came");
  const uint32_t total = readUint32(header);
  if (total < sizeof header || total > 4096) return fail("the handshake is no frame");
  std::vector<uint8_t> body(total - sizeof header);
  if (!readAll(*service, body.data(), body.size())) return fail("the handshake was cut off");
  const std::vector<uint8_t> answer = frame("ResponseHandshake", 8);
  return writeAll(*service, answer.data(), answer.size()) ? true : fail("the handshake answer failed");
}

bool IpcBench::waitForMessages(uint64_t count) {
  std::unique_lock<std::mutex> lock(arrivals.mutex);
  return arrivals.arrived.wait_for(lock, kArrivalLimit, [count] { return arrivals.stamped >= count; });
}

double IpcBench::messageLatency(size_t payload) {
  const std::vector<uint8_t> bytes = frame(kMessageName, payload);
  const uint64_t expected = expectMessages(1);
  const Clock::time_point start = Clock::now();
  if (!writeAll(*service, bytes.data(), bytes.size()) || !waitForMessages(expected)) return -1;
  std::lock_guard<std::mutex> lock(arrivals.mutex);
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(arrivals.last - start).count());
}

void IpcBench::runEcho() {
  std::vector<uint8_t> buffer(8);
  for (;;) {
    if (!bare.readAll(1, buffer.data(), 8)) return;
    const uint32_t total = readUint32(buffer.data());
    if (total < 8) return;
    buffer.resize(std::max<size_t>(buffer.size(), total));
    if (!bare.readAll(1, buffer.data() + 8, total - 8) || !bare.writeAll(1, buffer.data(), total)) return;
  }
}

double IpcBench::bareRoundTrip(size_t payload) {
  std::vector<uint8_t> bytes = frame(kMessageName, payload);
  const Clock::time_point start = Clock::now();
  if (!bare.writeAll(0, bytes.data(), bytes.size()) || !bare.readAll(0, bytes.data(), bytes.size())) return -1;
  return nanosecondsSince(start);
}

double IpcBench::messageRate(size_t payload, int count) {
  const std::vector<uint8_t> bytes = frames(payload, count);
  const uint64_t expected = expectMessages(static_cast<uint64_t>(count));
  const Clock::time_point start = Clock::now();
  if (!writeAll(*service, bytes.data(), bytes.size()) || !waitForMessages(expected)) return -1;
  std::lock_guard<std::mutex> lock(arrivals.mutex);
  return count / std::chrono::duration<double>(arrivals.last - start).count();
}

double IpcBench::bareRate(size_t payload, int count, bool copied) {
  const std::vector<uint8_t> bytes = frames(payload, count);
  // A second bare pipe, read by a thread of its own, so that the echo stays out of it.
  BarePipe pipe;
  std::string error;
  if (!pipe.open(error)) return -1;
  Clock::time_point end;
  bool complete = false;
  std::thread reader([&] {
    std::vector<uint8_t> buffer(bytes.size() / static_cast<size_t>(count) + 8);
    std::vector<uint8_t> kept;
    for (int i = 0; i < count; ++i) {
      if (!pipe.readAll(1, buffer.data(), 8)) return;
      const uint32_t total = readUint32(buffer.data());
      if (total < 8 || total > buffer.size() || !pipe.readAll(1, buffer.data() + 8, total - 8)) return;
      if (!copied) continue;
      kept.assign(buffer.begin() + 8, buffer.begin() + total);
      std::vector<uint8_t> queued(kept);
      escape(queued.data());
    }
    end = Clock::now();
    complete = true;
  });
  const Clock::time_point start = Clock::now();
  const bool written = pipe.writeAll(0, bytes.data(), bytes.size());
  reader.join();
  if (!written || !complete) return -1;
  return count / std::chrono::duration<double>(end - start).count();
}

}  // namespace ZerinBench
