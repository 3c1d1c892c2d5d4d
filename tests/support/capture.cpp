#include "capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

#include "capture_platform.h"

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

namespace ZerinTest {

namespace {

// Guards capturedOutput and runningConsole; tests may read from any thread.
std::mutex captureMutex;
std::vector<std::string> capturedOutput;
ConsoleCapture* runningConsole = nullptr;

void receiveLocked() {
  std::string error;
  if (!internal::receiveDebugOutput(capturedOutput, error)) ADD_FAILURE() << "debugger output: " << error;
}

}  // namespace

std::vector<std::string> debugOutput() {
  std::lock_guard<std::mutex> lock(captureMutex);
  receiveLocked();
  return capturedOutput;
}

void clearCaptures() {
  std::lock_guard<std::mutex> lock(captureMutex);
  receiveLocked();
  capturedOutput.clear();
  if (runningConsole) runningConsole->clear();
}

std::vector<uint16_t> consoleAttributes() {
  std::lock_guard<std::mutex> lock(captureMutex);
  std::vector<uint16_t> attributes;
  if (!runningConsole) return attributes;
  for (const auto& piece : runningConsole->text()) attributes.push_back(piece.attribute);
  attributes.push_back(runningConsole->attribute());
  return attributes;
}

void internal::Arrivals::add(std::string text) {
  std::lock_guard<std::mutex> lock(mutex);
  const bool marker = text.rfind(kMarkerPrefix, 0) == 0;
  if (marker) lastMarker = text;
  texts.push_back(std::move(text));
  if (marker) markerArrived.notify_all();
}

bool internal::Arrivals::takeUpTo(const std::string& marker, std::vector<std::string>& taken) {
  std::unique_lock<std::mutex> lock(mutex);
  const bool arrived = markerArrived.wait_for(lock, std::chrono::seconds(30), [&] { return lastMarker == marker; });
  for (auto& text : texts)
    if (text.rfind(kMarkerPrefix, 0) != 0) taken.push_back(std::move(text));
  texts.clear();
  return arrived;
}

void internal::appendConsoleText(std::vector<ConsoleText>& text, uint16_t attribute, char c) {
  if (text.empty() || text.back().attribute != attribute) text.push_back({attribute, {}});
  text.back().text += c;
}

ConsoleCapture::ConsoleCapture() : console(std::make_unique<Console>()) {
  std::lock_guard<std::mutex> lock(captureMutex);
  if (runningConsole) {
    failure = "another ConsoleCapture is running";
  } else if (internal::openConsole(*console, failure)) {
    runningConsole = this;
  }
}

ConsoleCapture::~ConsoleCapture() { finish(); }

bool ConsoleCapture::ready() const { return failure.empty(); }

const std::string& ConsoleCapture::error() const { return failure; }

std::vector<ConsoleText> ConsoleCapture::text() {
  std::vector<ConsoleText> text;
  uint16_t attribute = 0;
  if (ready()) internal::readConsole(*console, text, attribute);
  return text;
}

uint16_t ConsoleCapture::attribute() {
  std::vector<ConsoleText> text;
  uint16_t attribute = 0;
  if (ready()) internal::readConsole(*console, text, attribute);
  return attribute;
}

void ConsoleCapture::clear() {
  if (ready()) internal::clearConsole(*console);
}

void ConsoleCapture::finish() {
  std::lock_guard<std::mutex> lock(captureMutex);
  if (runningConsole != this) return;
  internal::giveBackStandardOutput(*console);
  runningConsole = nullptr;
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
