#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What every library instance in this test program wrote to the debugger output and which
// console attributes it set, in order, read through the process hooks the program exports.
namespace ZerinTest {

std::vector<std::string> debugOutput();
std::vector<uint16_t> consoleAttributes();
void clearCaptures();

// Captures what is written to the process's standard output (file descriptor 1) meanwhile.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string finish();  // restores stdout and returns what was written

 private:
  int savedDescriptor = -1;
  std::string path;
  bool finished = false;
};

}  // namespace ZerinTest
