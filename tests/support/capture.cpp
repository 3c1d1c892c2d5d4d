#include "capture.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/export.h"

#if defined(_WIN32)
#include <io.h>
#include <process.h>
namespace {
int closeDescriptor(int descriptor) { return _close(descriptor); }
}  // namespace
#else
#include <unistd.h>
namespace {
int closeDescriptor(int descriptor) { return close(descriptor); }
}  // namespace
#endif

namespace {

std::mutex captureMutex;  // guards both vectors; hooks are called from any thread
std::vector<std::string> capturedOutput;
std::vector<uint16_t> capturedAttributes;

}  // namespace

ZERIN_C_EXPORT void ZerinCaptureDebugOutput(const char* text) {
  std::lock_guard<std::mutex> lock(captureMutex);
  capturedOutput.emplace_back(text);
}

ZERIN_C_EXPORT void ZerinCaptureConsoleAttribute(uint16_t attribute) {
  std::lock_guard<std::mutex> lock(captureMutex);
  capturedAttributes.push_back(attribute);
}

namespace ZerinTest {

std::vector<std::string> debugOutput() {
  std::lock_guard<std::mutex> lock(captureMutex);
  return capturedOutput;
}

std::vector<uint16_t> consoleAttributes() {
  std::lock_guard<std::mutex> lock(captureMutex);
  return capturedAttributes;
}

void clearCaptures() {
  std::lock_guard<std::mutex> lock(captureMutex);
  capturedOutput.clear();
  capturedAttributes.clear();
}

StreamCapture::StreamCapture(FILE* captured) : stream(captured) {
  static int counter = 0;
  std::ostringstream name;
  name << "zerin-stream-" << getpid() << "-" << fileno(stream) << "-" << counter++ << ".txt";
  path = name.str();
  std::fflush(stream);
  savedDescriptor = dup(fileno(stream));
  FILE* file = std::fopen(path.c_str(), "wb");
  dup2(fileno(file), fileno(stream));
  std::fclose(file);
}

StreamCapture::~StreamCapture() { finish(); }

std::string StreamCapture::finish() {
  if (finished) return {};
  finished = true;
  std::fflush(stream);
  dup2(savedDescriptor, fileno(stream));
  closeDescriptor(savedDescriptor);
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::remove(path.c_str());
  return text;
}

}  // namespace ZerinTest
