#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What every library instance in this test program wrote to the debugger output and which
// console attributes it set, in order, read through the process hooks the program exports.
namespace ZerinTest {

std::vector<std::string> debugOutput();
std::vector<uint16_t> consoleAttributes();
void clearCaptures();

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
