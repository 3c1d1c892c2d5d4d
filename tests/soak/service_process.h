#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ZerinSoak {

// The program manager service as a child process: arguments in, commands on its standard
// input, its standard output read line by line on a thread of this object, and a hard kill.
class ServiceProcess {
 public:
  ServiceProcess() = default;
  ~ServiceProcess();  // kills a child still running
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  bool start(const std::string& program, const std::vector<std::string>& arguments);
  bool send(const std::string& line);
  // Waits until a line of output starts with `prefix` after the first `from` lines; its index,
  // or -1 when the output ended or the time ran out first.
  long waitForLine(const std::string& prefix, size_t from, int timeoutMs);
  size_t lineCount();
  // Kills the child at once (no chance to finish what it writes), waits for it and for the end
  // of its output.
  void kill();
  // Every line the child wrote so far.
  std::vector<std::string> lines();
  // The same, handed over: the object keeps none of them.
  std::vector<std::string> takeLines();

 private:
  void readOutput();

  std::mutex mutex;  // guards output and ended
  std::condition_variable changed;
  std::vector<std::string> output;
  bool ended = false;
  std::thread reader;
#if defined(_WIN32)
  void* process = nullptr;
  void* input = nullptr;
  void* outputPipe = nullptr;
#else
  int pid = -1;
  int input = -1;
  int outputPipe = -1;
#endif
};

}  // namespace ZerinSoak
