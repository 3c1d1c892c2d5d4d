#include "core/runtime_library.h"

#include <atomic>

#include "logging/utilities.h"
#include "platform/shared_library.h"

namespace Zerin::runtime {

namespace {

constexpr const char* kFunctionNames[] = {
#define ZERIN_RUNTIME_FUNCTION_NAME(name) #name,
    ZERIN_RUNTIME_FUNCTIONS(ZERIN_RUNTIME_FUNCTION_NAME)
#undef ZERIN_RUNTIME_FUNCTION_NAME
};
static_assert(sizeof kFunctionNames / sizeof *kFunctionNames == static_cast<size_t>(Function::count), "");

struct Runtime {
  platform::SharedLibrary library;
  void* functions[static_cast<size_t>(Function::count)] = {};
  std::string unavailableReason;

  Runtime() {
    const std::string fileName = platform::SharedLibrary::fileName("ZerinLib");
    std::string failure;
    if (!library.open(fileName, failure)) {
      if (failure.empty()) failure = lastErrorText();
      // The system's own text (tests match it): must not be corrected.
      unavailableReason = "ZerinLib not loaded: looked for " + fileName + " in " +
                          platform::SharedLibrary::searchDescription() + ": " + failure;
      return;
    }
    for (size_t i = 0; i < static_cast<size_t>(Function::count); ++i) {
      functions[i] = library.symbol(kFunctionNames[i]);
      if (functions[i]) continue;
      // The system's own text (tests match it): must not be corrected.
      unavailableReason = "ZerinLib refused: " + fileName + " has no function " + kFunctionNames[i];
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
  return instance;
}

// Set by a call refused for want of the library, cleared when zerin_GetError reports it; any
// thread, as the runtime's own error of no session is the process's.
std::atomic<bool> unavailableErrorPending{false};

}  // namespace

void leaveUnavailableError() { unavailableErrorPending.store(true); }

bool takeUnavailableError() { return unavailableErrorPending.exchange(false); }

void* address(Function function) { return theRuntime().functions[static_cast<size_t>(function)]; }

bool loaded() { return theRuntime().unavailableReason.empty(); }

const std::string& unavailableReason() { return theRuntime().unavailableReason; }

}  // namespace Zerin::runtime
