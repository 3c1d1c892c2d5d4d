#pragma once
// The platform halves of capture.cpp: capture_win.cpp and capture_posix.cpp.
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "capture.h"

struct ZerinTest::ConsoleCapture::Console {
#if defined(_WIN32)
  void* screen = nullptr;       // the console screen buffer; stays open, the logger keeps its handle
  void* savedStdout = nullptr;  // STD_OUTPUT_HANDLE before
#else
  int master = -1;              // the pseudo-terminal; the slave side is standard output meanwhile
  int slave = -1;
  std::string unparsed;         // the start of an escape sequence that a read cut off
  std::vector<ConsoleText> text;
  uint16_t attribute = kStartAttribute;
#endif
  int savedDescriptor = -1;     // standard output before; -1 once given back
};

namespace ZerinTest::internal {

// Written to the debugger output to learn when everything written before it has arrived.
constexpr const char* kMarkerPrefix = "\x1bZerinTestMarker ";

// The texts a platform's reader thread took in, kept until a test asks for them.
class Arrivals {
 public:
  void add(std::string text);
  // Waits up to 30 s for `marker`, then appends the texts that arrived, markers left out.
  bool takeUpTo(const std::string& marker, std::vector<std::string>& texts);

 private:
  std::mutex mutex;  // guards texts and lastMarker
  std::condition_variable markerArrived;
  std::vector<std::string> texts;
  std::string lastMarker;
};

// Waits until every text this process wrote to the debugger output before the call has been
// received, and appends the texts not yet handed out, in order. False, with the reason in
// `error`, when they do not arrive in time.
bool receiveDebugOutput(std::vector<std::string>& texts, std::string& error);

// Makes standard output the console; false with the reason in `error`.
bool openConsole(ConsoleCapture::Console& console, std::string& error);
void readConsole(ConsoleCapture::Console& console, std::vector<ConsoleText>& text, uint16_t& attribute);
void clearConsole(ConsoleCapture::Console& console);
void giveBackStandardOutput(ConsoleCapture::Console& console);

// Adds one character shown in `attribute`, joining it to the last piece when that has the same.
void appendConsoleText(std::vector<ConsoleText>& text, uint16_t attribute, char c);

}  // namespace ZerinTest::internal
