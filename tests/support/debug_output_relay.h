#pragma once
// Windows only. Reads the debugger output of the whole Wine prefix (a Windows session) through
// the DBWIN buffer, as a debugger does, and relays each text to the inbox of the process that
// wrote it. Only one DBWIN reader can work in a session: of all relays, the one holding a named
// mutex reads; the others wait to take over when its process ends. scripts/windows-session runs
// one for the whole session (zerin_debug_output_relay), so that the reading never changes hands
// while tests run; each test program carries one too, for when it runs on its own.
#include <cstdint>
#include <string>
#include <thread>

namespace ZerinTest::internal {

// The mailslot through which a process receives its texts: the 4-byte process id, then the text.
std::string debugOutputInboxName(uint32_t processId);

class DebugOutputRelay {
 public:
  DebugOutputRelay();
  ~DebugOutputRelay();  // hands the reading over
  DebugOutputRelay(const DebugOutputRelay&) = delete;
  DebugOutputRelay& operator=(const DebugOutputRelay&) = delete;

  const std::string& error() const { return setupError; }  // empty when it runs

 private:
  void run();
  unsigned long checkTheGrant();
  void relayText();

  void* mapping = nullptr;      // DBWIN_BUFFER
  void* dataReady = nullptr;    // DBWIN_DATA_READY
  void* bufferReady = nullptr;  // DBWIN_BUFFER_READY
  void* writers = nullptr;      // DBWinMutex, which every writer holds while it uses the buffer
  void* relayRole = nullptr;
  void* stop = nullptr;         // manual reset; set once, by the destructor
  const char* view = nullptr;
  std::string setupError;
  std::thread relay;            // owned here, joined by the destructor
};

}  // namespace ZerinTest::internal
