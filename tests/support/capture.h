#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// What this test process wrote to the debugger output, read as a debugger reads it: on Windows
// through the system's DBWIN buffer, which every process of the Wine prefix writes to; a relay
// hands each process the texts carrying its id (debug_output_relay.h). On POSIX from the socket
// on which a watcher of this process receives them. Reading starts with the program, so every
// text counts from the start; one text per call of the platform's debugger output.
//
// The texts arrive asynchronously: debugOutput() and clearCaptures() first write a marker to the
// debugger output and wait until it has come back, so they see everything written before the
// call (a test fails if it does not come back in 30 s).
namespace ZerinTest {

std::vector<std::string> debugOutput();

// Forgets the debugger output received so far, and what reached a running ConsoleCapture.
void clearCaptures();

// How many characters of one text the debugger receives: the DBWIN buffer holds 4091 and a
// terminator after the process id; POSIX passes texts whole.
#if defined(_WIN32)
constexpr size_t kDebuggerTextLimit = 4091;
#else
constexpr size_t kDebuggerTextLimit = static_cast<size_t>(-1);
#endif

// Text that reached the console in one attribute; line ends are "\n".
struct ConsoleText {
  uint16_t attribute;
  std::string text;
  bool operator==(const ConsoleText& other) const { return attribute == other.attribute && text == other.text; }
};

inline void PrintTo(const ConsoleText& piece, std::ostream* out) {
  *out << "{" << piece.attribute << ", \"" << piece.text << "\"}";
}

// Standard output is a console meanwhile, so that the colours of what reaches it can be read
// back: on Windows a console screen buffer that is also STD_OUTPUT_HANDLE (under Wine this needs
// a display), on POSIX a pseudo-terminal. It starts in kStartAttribute, which the logger never
// sets. What gtest prints meanwhile lands there too, so check after finish().
// The logger takes the console handle once, at its first line: on Windows create this before
// anything in the process logs, i.e. in a child process (runTestInChild). One at a time, for a
// few kilobytes of text.
class ConsoleCapture {
 public:
  static constexpr uint16_t kStartAttribute = 0x1F;

  ConsoleCapture();
  ~ConsoleCapture();
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  bool ready() const;                // false when no console could be made; the reason is in error()
  const std::string& error() const;
  std::vector<ConsoleText> text();   // what reached the console since the start or the last clear
  uint16_t attribute();              // the attribute in force now
  void clear();
  void finish();                     // gives standard output back

  struct Console;  // the platform's console and what was read from it

 private:
  std::unique_ptr<Console> console;
  std::string failure;
};

// While a ConsoleCapture runs: the attribute of each piece of text that reached the console
// since it started or since clearCaptures(), then the attribute in force now (one error line:
// {12, 7}). Empty without a ConsoleCapture. Reading does not flush stdout: it shows what reached
// the console.
std::vector<uint16_t> consoleAttributes();

// Captures what is written to a standard stream of the process (its file descriptor) meanwhile.
class StreamCapture {
 public:
  explicit StreamCapture(FILE* stream);
  ~StreamCapture();
  std::string finish();  // restores the stream and returns what was written

 private:
  FILE* stream;
  int savedDescriptor = -1;
  std::string path;
  bool finished = false;
};

class StdoutCapture : public StreamCapture {
 public:
  StdoutCapture() : StreamCapture(stdout) {}
};

class StderrCapture : public StreamCapture {
 public:
  StderrCapture() : StreamCapture(stderr) {}
};

}  // namespace ZerinTest
