#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Zerin {
class PipeServer;
}

namespace ZerinSim {

// \\.\pipe\ZerinProgramManager
inline constexpr char kProgramManagerPipe[] = "\\\\.\\pipe\\ZerinProgramManager";

// What the service does with a RequestHandshake.
enum class HandshakeMode {
  Answer,          // an 8-byte ResponseHandshake at once
  Never,           // no answer
  Late,            // the answer after the handshake delay
  GarbageFirst,    // bytes without a frame signature, then the answer
  AnswerAndClose,  // the answer, then the connection is closed
  CloseMidFrame,   // the first half of the answer's frame, then the connection is closed
};

// One frame the service received.
struct ReceivedFrame {
  uint64_t client = 0;  // the connection it came on
  std::string name;
  std::vector<uint8_t> payload;
  uint32_t size = 0;  // of the whole frame
  std::chrono::steady_clock::time_point time;
};

// One connection the service accepted; ids count from 1 over the service's whole life.
struct ClientRecord {
  uint64_t id = 0;
  std::string name;             // from its RequestHandshake
  uint32_t handshakeValue = 0;  // the first word of the answer it was sent (0: none yet)
  uint32_t handshakes = 0;
  uint32_t pings = 0;
  uint32_t restartRequests = 0;
  uint32_t corruptFrames = 0;  // frames whose signature or lengths were wrong, dropped whole
  bool connected = false;
};

class ServiceConnection;

// A program manager service for tests and the demo. It listens on the program manager's pipe,
// serves several clients at once, answers handshakes with an 8-byte ResponseHandshake whose
// first word is a value of its choosing (the connection's id unless set), counts pings,
// records every frame it receives, and can push any message to a client. It reads frames as a
// plain service does, trusting each length field (a frame cut short swallows the next one). Fault modes let
// tests make it misbehave: not answer, answer late, send garbage, close mid-frame, stop
// reading, go away and come back (stop, start).
class ProgramManagerService {
 public:
  // At most `maxInstances` clients are served at once (the pipe's instances); later ones find
  // the pipe busy until one leaves.
  explicit ProgramManagerService(std::string pipeName = kProgramManagerPipe, uint32_t maxInstances = 255);
  ~ProgramManagerService();
  ProgramManagerService(const ProgramManagerService&) = delete;
  ProgramManagerService& operator=(const ProgramManagerService&) = delete;

  // Creates the pipe (clients find it from now on) and starts accepting. False when the pipe
  // cannot be created.
  bool start();
  // Goes away at once: the pipe and every connection are closed; what they had not read is
  // lost. The records stay; start() brings the service back.
  void stop();
  bool isRunning() const;

  // For handshakes from now on.
  void setHandshakeMode(HandshakeMode mode, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
  // The first word of every answer from now on; 0 (the default) answers each connection's id.
  void setHandshakeValue(uint32_t value);
  // False: no connection reads any more (once a read already under way ends), so clients'
  // writes fill the pipe; true reads on. Also for connections made later.
  void setReading(bool reading);

  // Queue bytes for a client; they are written in order by the connection's writer. False when
  // there is no such open connection. `sent` runs on the writer once the whole frame is written.
  bool push(uint64_t client, const std::string& name, const std::vector<uint8_t>& payload,
            std::function<void()> sent = nullptr);
  bool pushBytes(uint64_t client, std::vector<uint8_t> bytes);
  // Writes the first half of the frame, then closes the connection.
  bool closeMidFrame(uint64_t client, const std::string& name, const std::vector<uint8_t>& payload);
  bool disconnect(uint64_t client);

  std::vector<ClientRecord> clients() const;
  ClientRecord client(uint64_t id) const;
  std::vector<ReceivedFrame> frames() const;
  std::vector<ReceivedFrame> frames(const std::string& name) const;
  uint64_t lastClientId() const;
  size_t connectedCount() const;

  // Waits until `condition` holds, looking at once and after every event (connection, frame,
  // disconnection). It runs without the service's lock, so it may call the accessors above.
  // False when the time ran out first.
  bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

  // Joins the threads of connections that have ended. Returns how many were reaped.
  size_t reap();

  // Called with a line per event (connections, handshakes, requests), on the service's threads.
  void setEventSink(std::function<void(const std::string&)> sink);

  static std::vector<uint8_t> frameBytes(const std::string& name, const std::vector<uint8_t>& payload);

 private:
  friend class ServiceConnection;
  void runAccept();
  void received(ServiceConnection& connection, const std::string& name, const std::vector<uint8_t>& payload,
                uint32_t size);
  void ended(uint64_t id);
  void corrupted(uint64_t id);
  void event(const std::string& line);
  void notifyChanged();
  std::shared_ptr<ServiceConnection> findConnection(uint64_t id) const;
  std::vector<std::shared_ptr<ServiceConnection>> takeEnded();
  // Waits until a connection has ended (true) or the service stops (false).
  bool waitForEnded();

  const std::string pipeName;
  const uint32_t maxInstances;

  // Guards everything below except the accept thread itself and lifecycle, which only
  // start() and stop() touch (from one thread at a time).
  mutable std::mutex mutex;
  mutable std::condition_variable changed;  // notified after every event
  uint64_t generation = 0;                   // counts the events
  std::map<uint64_t, std::shared_ptr<ServiceConnection>> connections;
  std::map<uint64_t, ClientRecord> records;
  std::vector<ReceivedFrame> received_;
  uint64_t nextId = 1;
  HandshakeMode handshakeMode = HandshakeMode::Answer;
  std::chrono::milliseconds handshakeDelay{0};
  uint32_t handshakeValue = 0;
  bool reading = true;
  bool running = false;
  std::function<void(const std::string&)> sink;

  std::mutex lifecycleMutex;  // serialises start() and stop()
  std::unique_ptr<Zerin::PipeServer> server;
  std::thread acceptThread;
};

}  // namespace ZerinSim
