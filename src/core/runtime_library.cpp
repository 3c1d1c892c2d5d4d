#include "core/runtime_library.h"

#include <atomic>
#include <filesystem>
#include <fstream>

#include "core/plugin_log.h"
#include "logging/utilities.h"
#include "platform/environment.h"
#include "platform/shared_library.h"

namespace Zerin::runtime {

namespace {

constexpr const char* kFunctionNames[] = {
#define ZERIN_RUNTIME_FUNCTION_NAME(name) #name,
    ZERIN_RUNTIME_FUNCTIONS(ZERIN_RUNTIME_FUNCTION_NAME)
#undef ZERIN_RUNTIME_FUNCTION_NAME
};
static_assert(sizeof kFunctionNames / sizeof *kFunctionNames == static_cast<size_t>(Function::count), "");

constexpr const char* kFileName = "ZerinRuntime.txt";

std::string trimmed(std::string text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // a byte-order mark, as editors save one
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

Selection selectedHere() {
  std::string environment;
  if (!platform::readEnvironmentVariable("ZERIN_RUNTIME", environment)) environment.clear();
  const std::string filePath = platform::besideProgram(kFileName);
  std::ifstream file(filePath);
  std::string line;
  if (file && std::getline(file, line)) return selectRuntime(environment, &line, filePath);
  return selectRuntime(environment, nullptr, filePath);
}

// What a failure says: ZerinLib's texts as they always were, the others naming the selection.
std::string whatFailed(const Selection& selection, const std::string& verb) {
  if (selection.why.empty()) return selection.name + " " + verb;
  if (selection.name.empty()) return "Runtime library " + selection.fileName + " (" + selection.why + ") " + verb;
  return selection.name + " (" + selection.why + ") " + verb;
}

struct Runtime {
  platform::SharedLibrary library;
  void* functions[static_cast<size_t>(Function::count)] = {};
  Selection selection = selectedHere();
  std::string unavailableReason;

  Runtime() {
    const std::string& fileName = selection.fileName;
    std::string failure;
    if (!library.open(fileName, failure)) {
      if (failure.empty()) failure = lastErrorText();
      // The system's own text (tests match it): must not be corrected.
      unavailableReason = selection.name.empty()
                              ? whatFailed(selection, "not loaded") + ": " + failure
                              : whatFailed(selection, "not loaded") + ": looked for " + fileName + " in " +
                                    platform::SharedLibrary::searchDescription() + ": " + failure;
      return;
    }
    for (size_t i = 0; i < static_cast<size_t>(Function::count); ++i) {
      functions[i] = library.symbol(kFunctionNames[i]);
      if (functions[i]) continue;
      // The system's own text (tests match it): must not be corrected.
      unavailableReason = whatFailed(selection, "refused") + ": " + fileName + " has no function " + kFunctionNames[i];
      for (void*& function : functions) function = nullptr;
      library.close();
      return;
    }
  }
};

// Made on the first call of any thread (a function-local static is made once, the others wait).
// The library is never closed: a DLL must not unload another under the loader lock, where the
// plug-in's globals are destroyed, and the runtime's own threads may still be ending then.
const Runtime& theRuntime() {
  static const Runtime instance;
  // A chosen runtime says so once, outside the static's construction: the log's callback may
  // call the plug-in again. The default stays quiet, as it always was.
  static std::atomic<bool> announced{false};
  if (!instance.selection.why.empty() && !announced.exchange(true)) {
    if (instance.unavailableReason.empty())
      pluginLog("Runtime library: %s (%s)", instance.selection.fileName.c_str(), instance.selection.why.c_str());
    else pluginLog("%s", instance.unavailableReason.c_str());
  }
  return instance;
}

// Set by a call refused for want of the library, cleared when zerin_GetError reports it; any
// thread, as the runtime's own error of no session is the process's.
std::atomic<bool> unavailableErrorPending{false};

}  // namespace

Selection selectRuntime(const std::string& environment, const std::string* fileLine, const std::string& filePath) {
  std::string choice = trimmed(environment);
  std::string why = choice.empty() ? "" : "ZERIN_RUNTIME=" + choice;
  bool fromFile = false;
  if (choice.empty() && fileLine) {
    choice = trimmed(*fileLine);
    why = choice.empty() ? "" : filePath + ": " + choice;
    fromFile = true;
  }
  if (choice.empty()) return {"ZerinLib", platform::SharedLibrary::fileName("ZerinLib"), ""};
  if (choice == "simulator") return {"ZerinSimulator", platform::SharedLibrary::fileName("ZerinSimulator"), why};
  std::filesystem::path path(choice);
  if (fromFile && path.is_relative()) path = std::filesystem::path(filePath).parent_path() / path;
  return {"", path.string(), why};
}

void leaveUnavailableError() { unavailableErrorPending.store(true); }

bool takeUnavailableError() { return unavailableErrorPending.exchange(false); }

void* address(Function function) { return theRuntime().functions[static_cast<size_t>(function)]; }

bool loaded() { return theRuntime().unavailableReason.empty(); }

const std::string& unavailableReason() { return theRuntime().unavailableReason; }

}  // namespace Zerin::runtime
