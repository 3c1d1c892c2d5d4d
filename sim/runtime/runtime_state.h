#pragma once
// The simulated runtime's state, shared by the API and the control surface.
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "api_rules.h"
#include "frame_state.h"
#include "zerin_lib.h"
#include "zerin_version.h"

#if defined(__MINGW32__)
#define ZERINSIM_PRINTF(at, first) __attribute__((format(gnu_printf, at, first)))
#else
#define ZERINSIM_PRINTF(at, first) __attribute__((format(printf, at, first)))
#endif

namespace ZerinSim {

// Copies `text` and its terminator into a caller's buffer when it fits; the size it needs.
inline int32_t copyOut(const std::string& text, char* buffer, int32_t size) {
  const auto needed = static_cast<int32_t>(text.size() + 1);
  if (buffer && size >= needed) std::memcpy(buffer, text.c_str(), static_cast<size_t>(needed));
  return needed;
}

struct SessionRecord {
  uint64_t serial = 0;  // tells a session from a later one at the same address
  int64_t layerId = 0;
  bool hasLayerId = false;
  int32_t visible = 1;
  int32_t transparent = 0;
  int64_t lastHeartbeat = 0;
  ZerinErrorCode pendingError = 0;  // for zerin_GetError(this session)
};

struct FrameInfoRecord {
  ZerinFrameInfo info{};
  ZerinFrameView views[ZERIN_VIEW_COUNT]{};
};

struct SubmitInfoRecord {
  ZerinSubmitInfo info{};
  ZerinViewport viewports[ZERIN_VIEW_COUNT]{};
};

// One live object the runtime made, by its name in the call log.
struct NamedObject {
  std::string kind;  // "session", "event", "frameInfo", "submitInfo"
  std::string name;  // "session#1"
};

class RuntimeState {
 public:
  static RuntimeState& instance();
  ~RuntimeState();

  std::mutex mutex;  // guards every member below; no callback runs while it is held

  std::string version = ZERIN_RUNTIME_VERSION;
  bool available = true;
  // For zerin_GetError(NULL): errors of calls that name no open session. Each open session
  // keeps its own (SessionRecord::pendingError), so that a session's errors reach only those
  // who ask with its handle.
  ZerinErrorCode libraryError = 0;
  // Ordered with std::less<> so that a call looks its name up without making a string.
  std::map<std::string, std::deque<ZerinErrorCode>, std::less<>> injectedFailures;
  std::vector<std::string> calls;
  bool callLogging = true;  // off for long runs (the demo), where the log would only grow

  std::map<ZerinSession, std::unique_ptr<SessionRecord>> sessions;
  std::map<ZerinEvent*, std::unique_ptr<ZerinEvent>> events;
  std::map<ZerinFrameInfo*, std::unique_ptr<FrameInfoRecord>> frameInfos;
  // Freed frame-info records, newest last: kept allocated and poisoned for a while, so that a
  // write into a record after its zerin_FreeFrameInfo is caught instead of landing in memory
  // that something else took over.
  std::deque<std::unique_ptr<FrameInfoRecord>> freedFrameInfos;
  int32_t writesToFreedRecords = 0;
  std::map<ZerinSubmitInfo*, std::unique_ptr<SubmitInfoRecord>> submitInfos;
  // Addresses of records freed by the client (submit infos, events, meshes; frame infos are kept
  // among freedFrameInfos), so that a later use is told from a stray pointer. An address leaves
  // when a new record takes it.
  std::set<const void*> freedRecords;
  // Frame clock, frame cycle, swap chains and submitted frames.
  FrameRoad frames;
  // Events waiting for zerin_PollEvent, oldest first.
  std::deque<ZerinEvent> pendingEvents;

  std::map<std::string, std::string> config;
  std::map<std::string, std::deque<std::optional<std::string>>> queuedConfig;

  // Texts handed out by zerin_GetErrorDesc; nodes never move, so the pointers stay valid.
  std::map<ZerinErrorCode, std::string> unknownErrorTexts;
  std::set<std::string> notImplementedTexts;
  const char* lastNotImplementedText = nullptr;

  void reset();

  // zerin_FreeFrameInfo's end of a record: poisoned and kept among the freed ones.
  void retireFrameInfo(std::unique_ptr<FrameInfoRecord> record);
  bool retired(const FrameInfoRecord* record) const;
  FrameInfoRecord* retiredFrameInfo(const ZerinFrameInfo* info) const;
  // The runtime writes `record` now; a freed one is reported and counted (the write still
  // happens, as it would in a runtime that trusts its client).
  void noteWrite(const FrameInfoRecord* record, const char* function);
  void recordFreed(const void* record);
  void recordMade(const void* record) { freedRecords.erase(record); }
  bool wasFreed(const void* record) const { return freedRecords.count(record) != 0; }

  // Runs before the named function takes the library lock; see zerinsim_SetCallHook.
  void runCallHook(const char* function);

  // Names objects in the call log.
  std::string nameObject(const void* object, const std::string& kind);
  void nameMember(const void* member, const std::string& name);
  void forget(const void* object);
  std::string describe(const void* pointer) const;
  void* find(const std::string& name) const;
  int32_t liveCount(const std::string& kind) const;

  bool validSession(ZerinSession session) const { return sessions.count(session) != 0; }
  // The serial of an open session; 0 when it is not open.
  uint64_t sessionSerial(ZerinSession session) const {
    const auto found = sessions.find(session);
    return found != sessions.end() ? found->second->serial : 0;
  }
  uint64_t nextSessionSerial() { return ++sessionSerials; }
  // The error zerin_GetError(session) reads: the library's for NULL, the session's while it is
  // open, none for any other handle.
  ZerinErrorCode* pendingErrorOf(ZerinSession session);

  struct CallHook {
    std::string function;
    void (*hook)(void*) = nullptr;
    void* context = nullptr;
  };
  std::mutex hookMutex;  // guards callHook alone; taken without `mutex`, or inside it
  CallHook callHook;

 private:
  std::map<const void*, NamedObject> names;
  std::map<std::string, int> counters;
  uint64_t sessionSerials = 0;
};

// One API call: holds the lock for the whole call, records it with its arguments and result,
// and applies a failure injected for it.
class Call {
 public:
  explicit Call(const char* function);
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  // The first session among the arguments is the one the call's errors go to (see errorsTo).
  template <class... Arguments>
  void arguments(const Arguments&... values) {
    (noteSession(values), ...);
    if (!runtime.callLogging) return;
    std::string list;
    ((list += (list.empty() ? "" : ", ") + text(values)), ...);
    argumentText = list;
  }

  RuntimeState& state() { return runtime; }
  // The lock on the state, for calls that wait (and so let other calls in meanwhile).
  std::unique_lock<std::mutex>& heldLock() { return lock; }
  // True when a failure was injected for this call: its code is the call's error.
  bool injectedFailure() const { return failedByInjection; }
  // The call's error, left for zerin_GetError when the call ends; a later one replaces it.
  void fail(ZerinErrorCode code) { failure = code; }
  // Takes the call's error back: it is not left for zerin_GetError.
  ZerinErrorCode takeFailure() { return std::exchange(failure, std::nullopt).value_or(0); }
  // The call's error goes to `session` if it is still the same open session when the call
  // ends, else to the library's. Only the first session named counts; a call that names none
  // leaves its error to the library.
  void errorsTo(ZerinSession session);
  // Refuses a null or closed session handle; true when the call may go on.
  bool checkSession(ZerinSession session);
  // A broken API-use rule (api_rules.h), reported with a sentence made from `format` after the
  // call's name, at the latest frame of the call's session. broke: true when the call stops with
  // `code` (strict), false when it goes on (lenient). refuse: it stops with `code` in both modes.
  // report: it goes on in both.
  bool broke(Rule rule, ZerinErrorCode code, const char* format, ...) ZERINSIM_PRINTF(4, 5);
  void refuse(Rule rule, ZerinErrorCode code, const char* format, ...) ZERINSIM_PRINTF(4, 5);
  void report(Rule rule, const char* format, ...) ZERINSIM_PRINTF(3, 4);
  // Reports a finding and nothing more: for a caller that weighs several problems itself.
  void tell(Rule rule, const char* format, va_list arguments);
  // Fails as a function that a later stage of the runtime completes.
  void notImplemented();
  // Notes the result in the log line and returns it.
  template <class T>
  T result(T value) {
    if (runtime.callLogging) resultText = text(value);
    return value;
  }

 private:
  RuntimeState& runtime;
  std::unique_lock<std::mutex> lock;
  const char* function;  // a literal: a call with the log off allocates nothing
  std::string argumentText;
  std::string resultText;
  bool failedByInjection = false;
  std::optional<ZerinErrorCode> failure;
  bool sessionNamed = false;
  ZerinSession errorSession = nullptr;
  uint64_t errorSessionSerial = 0;  // 0: the session named was not open

  int64_t findingFrame() const;

  template <class T>
  void noteSession(const T&) {}
  void noteSession(ZerinSession session) { errorsTo(session); }

  // Output buffers are passed as const void*, so that only strings are read as text.
  std::string text(const char* value) const;
  std::string text(const void* value) const { return runtime.describe(value); }
  static std::string text(int32_t value) { return std::to_string(value); }
  static std::string text(uint32_t value) { return std::to_string(value); }
  static std::string text(int64_t value) { return std::to_string(value); }
  static std::string text(uint64_t value) { return std::to_string(value); }
  static std::string text(double value);
};

const char* errorDescription(RuntimeState& state, ZerinErrorCode code);

// A session closes: its swap chains go with it and a zerin_WaitSync on it returns.
void endSessionFrames(RuntimeState& state, ZerinSession session);

}  // namespace ZerinSim
