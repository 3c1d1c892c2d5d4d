#include "program_manager_service.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "ipc/layer_byte_message.h"
#include "ipc/read_write_pipe.h"
#include "ipc/server/pipe_server.h"
#include "logging/utilities.h"
#include "platform/system_error.h"

namespace ZerinSim {

namespace {

using Clock = std::chrono::steady_clock;

// Writes to a client that reads nothing give up after this long (or when the connection closes).
constexpr int64_t kWriteLimitMs = 2000;
// No "zern" in it: the client skips it while looking for the next frame.
const std::vector<uint8_t> kGarbage = {0x01, 0x02, 0x03, 'g', 'a', 'r', 'b', 'a', 'g', 'e', '!', 0xFF};

uint32_t readUint32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void appendUint32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// The client name of a RequestHandshake payload (a 32-bit count and the characters), as far as
// the payload holds it.
std::string handshakeName(const std::vector<uint8_t>& payload) {
  if (payload.size() < 4) return {};
  const size_t count = std::min<size_t>(readUint32(payload.data()), payload.size() - 4);
  return std::string(reinterpret_cast<const char*>(payload.data() + 4), count);
}

// The server end of one connection, read through a gate so that the service can stop reading.
class GatedStream : public Zerin::IBidirectionalByteStream {
 public:
  GatedStream(std::shared_ptr<Zerin::ReadWritePipe> pipe, bool reading)
      : pipe(std::move(pipe)), reading(reading) {}

  std::string getName() const override { return pipe->getName(); }
  bool isClosed() const override { return pipe->isClosed(); }
  void close() override {
    {
      std::lock_guard<std::mutex> lock(mutex);
      closed = true;
    }
    opened.notify_all();
    pipe->close();
  }
  bool write(const void* data, uint32_t& size, int64_t timeoutMs) override {
    return pipe->write(data, size, timeoutMs);
  }
  bool read(void* buffer, uint32_t& size) override {
    {
      std::unique_lock<std::mutex> lock(mutex);
      opened.wait(lock, [this] { return reading || closed; });
      if (closed) return false;
    }
    return pipe->read(buffer, size);
  }
  bool flush() override { return pipe->flush(); }
  bool hasError() const override { return pipe->hasError(); }
  uint32_t getErrorCode() const override { return pipe->getErrorCode(); }
  std::string getErrorMessage() const override { return pipe->getErrorMessage(); }

  void setReading(bool value) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      reading = value;
    }
    opened.notify_all();
  }

  const std::shared_ptr<Zerin::ReadWritePipe> pipe;

 private:
  std::mutex mutex;  // guards reading and closed
  std::condition_variable opened;
  bool reading;
  bool closed = false;
};

}  // namespace

// One accepted client: a reader thread and a writer thread that sends what the service queues
// for it, in order, each item once it is due.
//
// The reader trusts the length field, as a plain service does: the first 4 bytes of a frame
// give its length, and that many bytes are taken as one frame whatever they hold. A frame cut
// short by the sender therefore swallows the start of the frame behind it; nothing looks for
// the next signature.
class ServiceConnection {
 public:
  ServiceConnection(ProgramManagerService& service, uint64_t id, std::shared_ptr<Zerin::ReadWritePipe> pipe,
                    bool reading)
      : id(id), service(service), gate(std::move(pipe), reading) {}
  ~ServiceConnection() { shutdown(); }
  ServiceConnection(const ServiceConnection&) = delete;
  ServiceConnection& operator=(const ServiceConnection&) = delete;

  void begin() {
    reader = std::thread(&ServiceConnection::runReader, this);
    writer = std::thread(&ServiceConnection::runWriter, this);
  }

  // Closes the connection and joins both threads. Idempotent.
  void shutdown() {
    gate.close();
    if (reader.joinable()) reader.join();
    {
      std::lock_guard<std::mutex> lock(queueMutex);
      stopping = true;
    }
    queueChanged.notify_all();
    if (writer.joinable()) writer.join();
  }

  // `sent` runs on the writer thread once every byte of `bytes` has been written.
  void enqueue(std::vector<uint8_t> bytes, Clock::time_point due, bool closeAfter,
               std::function<void()> sent = nullptr) {
    {
      std::lock_guard<std::mutex> lock(queueMutex);
      queue.push_back(Outgoing{due, std::move(bytes), closeAfter, std::move(sent)});
    }
    queueChanged.notify_all();
  }

  void setReading(bool reading) { gate.setReading(reading); }
  bool hasEnded() const { return ended; }

  const uint64_t id;

 private:
  struct Outgoing {
    Clock::time_point due;
    std::vector<uint8_t> bytes;
    bool closeAfter = false;
    std::function<void()> sent;
  };

  bool readExactly(uint8_t* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
      uint32_t size = static_cast<uint32_t>(count - done);
      if (!gate.read(buffer + done, size)) return false;
      done += size;
    }
    return true;
  }

  void runReader() {
    Zerin::setThreadName(Zerin::platform::currentThread(), "ProgramManagerService reader");
    for (;;) {
      uint8_t length[4];
      if (!readExactly(length, sizeof length)) break;
      const uint32_t totalLength = readUint32(length);
      // Too short to hold its own fields, or too large to take: the client is dropped.
      if (totalLength < Zerin::kMinimumFrameSize || totalLength > Zerin::kMaximumFrameSize) {
        service.corrupted(id);
        break;
      }
      std::vector<uint8_t> frame(totalLength);
      std::memcpy(frame.data(), length, sizeof length);
      if (!readExactly(frame.data() + 4, totalLength - 4)) break;
      Zerin::BinaryMessage message;
      if (readUint32(frame.data() + 4) != Zerin::kFrameSignature ||
          !Zerin::parseFrameBody(totalLength - Zerin::kFrameHeaderSize, frame.data() + Zerin::kFrameHeaderSize,
                                 message)) {
        service.corrupted(id);
        continue;
      }
      service.received(*this, message.name, message.payload, totalLength);
    }
    ended = true;
    service.ended(id);
  }

  void runWriter() {
    Zerin::setThreadName(Zerin::platform::currentThread(), "ProgramManagerService writer");
    std::unique_lock<std::mutex> lock(queueMutex);
    for (;;) {
      if (stopping) return;
      if (queue.empty()) {
        queueChanged.wait(lock);
        continue;
      }
      // The earliest due item; among equals the one queued first.
      auto next = std::min_element(queue.begin(), queue.end(),
                                   [](const Outgoing& a, const Outgoing& b) { return a.due < b.due; });
      if (next->due > Clock::now()) {
        queueChanged.wait_until(lock, next->due);
        continue;
      }
      Outgoing item = std::move(*next);
      queue.erase(next);
      lock.unlock();
      if (writeAll(item.bytes) && item.sent) item.sent();
      if (item.closeAfter) gate.close();
      lock.lock();
    }
  }

  bool writeAll(const std::vector<uint8_t>& bytes) {
    size_t position = 0;
    while (position < bytes.size()) {
      uint32_t size = static_cast<uint32_t>(bytes.size() - position);
      if (!gate.pipe->write(bytes.data() + position, size, kWriteLimitMs) || size == 0) return false;
      position += size;
    }
    return true;
  }

  ProgramManagerService& service;
  GatedStream gate;
  std::atomic<bool> ended{false};
  std::mutex queueMutex;  // guards queue and stopping
  std::condition_variable queueChanged;
  std::vector<Outgoing> queue;
  bool stopping = false;
  std::thread reader;
  std::thread writer;
};

ProgramManagerService::ProgramManagerService(std::string pipeName, uint32_t maxInstances)
    : pipeName(std::move(pipeName)), maxInstances(maxInstances) {}

ProgramManagerService::~ProgramManagerService() { stop(); }

bool ProgramManagerService::start() {
  std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
  if (server) return true;
  auto created = std::make_unique<Zerin::PipeServer>(pipeName, maxInstances);
  if (!created->listen()) return false;
  server = std::move(created);
  {
    std::lock_guard<std::mutex> lock(mutex);
    running = true;
    event("listening on " + pipeName);
  }
  acceptThread = std::thread(&ProgramManagerService::runAccept, this);
  return true;
}

void ProgramManagerService::stop() {
  std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
  {
    std::lock_guard<std::mutex> lock(mutex);
    running = false;
    notifyChanged();
  }
  if (server) server->stop();
  if (acceptThread.joinable()) acceptThread.join();
  std::map<uint64_t, std::shared_ptr<ServiceConnection>> closing;
  {
    std::lock_guard<std::mutex> lock(mutex);
    closing.swap(connections);
  }
  // Outside the lock: the readers record their end under it while they are joined.
  for (auto& entry : closing) entry.second->shutdown();
  if (server) {
    server.reset();
    std::lock_guard<std::mutex> lock(mutex);
    event("stopped");
  }
}

bool ProgramManagerService::isRunning() const {
  std::lock_guard<std::mutex> lock(mutex);
  return running;
}

void ProgramManagerService::runAccept() {
  Zerin::setThreadName(Zerin::platform::currentThread(), "ProgramManagerService accept");
  for (;;) {
    std::shared_ptr<Zerin::ReadWritePipe> pipe = server->accept();
    if (!pipe) {
      // Every instance is taken: serve the next client once one has left.
      if (server->getErrorCode() != Zerin::platform::kErrorPipeBusy || !waitForEnded()) return;
      reap();
      continue;
    }
    reap();
    std::lock_guard<std::mutex> lock(mutex);
    if (!running) return;
    const uint64_t id = nextId++;
    auto connection = std::make_shared<ServiceConnection>(*this, id, std::move(pipe), reading);
    connections[id] = connection;
    ClientRecord& record = records[id];
    record.id = id;
    record.connected = true;
    // Its reader records frames under this lock, so nothing arrives before the record exists.
    connection->begin();
    event("client " + std::to_string(id) + " connected");
    notifyChanged();
  }
}

void ProgramManagerService::received(ServiceConnection& connection, const std::string& name,
                                     const std::vector<uint8_t>& payload, uint32_t size) {
  std::lock_guard<std::mutex> lock(mutex);
  received_.push_back(ReceivedFrame{connection.id, name, payload, size, Clock::now()});
  ClientRecord& record = records[connection.id];
  if (name == "RequestHandshake") {
    record.name = handshakeName(payload);
    ++record.handshakes;
    const uint32_t value = handshakeValue != 0 ? handshakeValue : static_cast<uint32_t>(connection.id);
    std::vector<uint8_t> answer;
    appendUint32(answer, value);
    appendUint32(answer, static_cast<uint32_t>(std::count_if(
                             records.begin(), records.end(), [](const auto& entry) { return entry.second.connected; })));
    const std::vector<uint8_t> frame = frameBytes("ResponseHandshake", answer);
    const Clock::time_point now = Clock::now();
    switch (handshakeMode) {
      case HandshakeMode::Answer: connection.enqueue(frame, now, false); break;
      case HandshakeMode::Never: break;
      case HandshakeMode::Late: connection.enqueue(frame, now + handshakeDelay, false); break;
      case HandshakeMode::GarbageFirst:
        connection.enqueue(kGarbage, now, false);
        connection.enqueue(frame, now, false);
        break;
      case HandshakeMode::AnswerAndClose: connection.enqueue(frame, now, true); break;
      case HandshakeMode::CloseMidFrame:
        connection.enqueue(std::vector<uint8_t>(frame.begin(), frame.begin() + frame.size() / 2), now, true);
        break;
    }
    if (handshakeMode != HandshakeMode::Never && handshakeMode != HandshakeMode::CloseMidFrame)
      record.handshakeValue = value;
    event("client " + std::to_string(connection.id) + ": handshake from \"" + record.name + "\"");
  } else if (name == "Ping") {
    ++record.pings;
  } else if (name == "RestartActiveClient") {
    ++record.restartRequests;
    event("client " + std::to_string(connection.id) + ": restart of the active client requested");
  } else {
    event("client " + std::to_string(connection.id) + ": message \"" + name + "\" (" +
          std::to_string(payload.size()) + " bytes)");
  }
  notifyChanged();
}

void ProgramManagerService::ended(uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex);
  records[id].connected = false;
  event("client " + std::to_string(id) + " disconnected");
  notifyChanged();
}

void ProgramManagerService::corrupted(uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex);
  ++records[id].corruptFrames;
  event("client " + std::to_string(id) + ": corrupt frame dropped");
  notifyChanged();
}

// Called with the service's lock held.
void ProgramManagerService::event(const std::string& line) {
  if (sink) sink(line);
}

void ProgramManagerService::setEventSink(std::function<void(const std::string&)> newSink) {
  std::lock_guard<std::mutex> lock(mutex);
  sink = std::move(newSink);
}

void ProgramManagerService::setHandshakeMode(HandshakeMode mode, std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(mutex);
  handshakeMode = mode;
  handshakeDelay = delay;
}

void ProgramManagerService::setHandshakeValue(uint32_t value) {
  std::lock_guard<std::mutex> lock(mutex);
  handshakeValue = value;
}

void ProgramManagerService::setReading(bool value) {
  std::lock_guard<std::mutex> lock(mutex);
  reading = value;
  for (auto& entry : connections) entry.second->setReading(value);
}

std::shared_ptr<ServiceConnection> ProgramManagerService::findConnection(uint64_t id) const {
  std::lock_guard<std::mutex> lock(mutex);
  const auto found = connections.find(id);
  if (found == connections.end() || found->second->hasEnded()) return nullptr;
  return found->second;
}

bool ProgramManagerService::push(uint64_t client, const std::string& name, const std::vector<uint8_t>& payload,
                                 std::function<void()> sent) {
  const std::shared_ptr<ServiceConnection> connection = findConnection(client);
  if (!connection) return false;
  std::function<void()> written;
  if (sent) {
    // Waiters of waitUntil see the send completed.
    written = [this, sent = std::move(sent)] {
      sent();
      std::lock_guard<std::mutex> lock(mutex);
      notifyChanged();
    };
  }
  connection->enqueue(frameBytes(name, payload), Clock::now(), false, std::move(written));
  return true;
}

bool ProgramManagerService::pushBytes(uint64_t client, std::vector<uint8_t> bytes) {
  const std::shared_ptr<ServiceConnection> connection = findConnection(client);
  if (!connection) return false;
  connection->enqueue(std::move(bytes), Clock::now(), false);
  return true;
}

bool ProgramManagerService::closeMidFrame(uint64_t client, const std::string& name,
                                          const std::vector<uint8_t>& payload) {
  const std::shared_ptr<ServiceConnection> connection = findConnection(client);
  if (!connection) return false;
  std::vector<uint8_t> bytes = frameBytes(name, payload);
  bytes.resize(bytes.size() / 2);
  connection->enqueue(std::move(bytes), Clock::now(), true);
  return true;
}

bool ProgramManagerService::disconnect(uint64_t client) {
  const std::shared_ptr<ServiceConnection> connection = findConnection(client);
  if (!connection) return false;
  connection->enqueue({}, Clock::now(), true);
  return true;
}

std::vector<ClientRecord> ProgramManagerService::clients() const {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<ClientRecord> result;
  for (const auto& entry : records) result.push_back(entry.second);
  return result;
}

ClientRecord ProgramManagerService::client(uint64_t id) const {
  std::lock_guard<std::mutex> lock(mutex);
  const auto found = records.find(id);
  return found == records.end() ? ClientRecord{} : found->second;
}

std::vector<ReceivedFrame> ProgramManagerService::frames() const {
  std::lock_guard<std::mutex> lock(mutex);
  return received_;
}

std::vector<ReceivedFrame> ProgramManagerService::frames(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<ReceivedFrame> result;
  for (const ReceivedFrame& frame : received_)
    if (frame.name == name) result.push_back(frame);
  return result;
}

uint64_t ProgramManagerService::lastClientId() const {
  std::lock_guard<std::mutex> lock(mutex);
  return nextId - 1;
}

size_t ProgramManagerService::connectedCount() const {
  std::lock_guard<std::mutex> lock(mutex);
  return static_cast<size_t>(std::count_if(records.begin(), records.end(),
                                            [](const auto& entry) { return entry.second.connected; }));
}

bool ProgramManagerService::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const {
  const auto deadline = Clock::now() + timeout;
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    // Taken before looking, so that an event while the condition runs is not missed.
    const uint64_t seen = generation;
    lock.unlock();
    if (condition()) return true;
    lock.lock();
    if (!changed.wait_until(lock, deadline, [&] { return generation != seen; })) {
      lock.unlock();
      return condition();
    }
  }
}

// Called with the service's lock held.
void ProgramManagerService::notifyChanged() {
  ++generation;
  changed.notify_all();
}

bool ProgramManagerService::waitForEnded() {
  std::unique_lock<std::mutex> lock(mutex);
  changed.wait(lock, [&] {
    return !running || std::any_of(connections.begin(), connections.end(),
                                   [](const auto& entry) { return entry.second->hasEnded(); });
  });
  return running;
}

std::vector<std::shared_ptr<ServiceConnection>> ProgramManagerService::takeEnded() {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<std::shared_ptr<ServiceConnection>> ended;
  for (auto entry = connections.begin(); entry != connections.end();) {
    if (entry->second->hasEnded()) {
      ended.push_back(std::move(entry->second));
      entry = connections.erase(entry);
    } else {
      ++entry;
    }
  }
  return ended;
}

size_t ProgramManagerService::reap() {
  std::vector<std::shared_ptr<ServiceConnection>> ended = takeEnded();
  for (auto& connection : ended) connection->shutdown();
  return ended.size();
}

std::vector<uint8_t> ProgramManagerService::frameBytes(const std::string& name, const std::vector<uint8_t>& payload) {
  return Zerin::LayerByteMessage(name.c_str(), payload.data(), static_cast<uint32_t>(payload.size())).bytes;
}

}  // namespace ZerinSim
