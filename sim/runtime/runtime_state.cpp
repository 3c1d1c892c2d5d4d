#include "runtime_state.h"

#include "simulator_hooks.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define ZERINSIM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZERINSIM_ASAN 1
#endif
#endif
#if defined(ZERINSIM_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace ZerinSim {

namespace {

// Freed records kept before the oldest is really freed: far more than a client can still be
// writing through at once.
constexpr size_t kKeptFreedRecords = 256;
// Freed addresses remembered; past that the oldest in address order go (a long run's records
// are few: the plug-in makes them per session).
constexpr size_t kRememberedFreedRecords = 4096;
constexpr unsigned char kFreedByte = 0xdd;

void poison(FrameInfoRecord* record) {
  std::memset(static_cast<void*>(record), kFreedByte, sizeof *record);
#if defined(ZERINSIM_ASAN)
  ASAN_POISON_MEMORY_REGION(record, sizeof *record);
#endif
}

void unpoison(FrameInfoRecord* record) {
#if defined(ZERINSIM_ASAN)
  ASAN_UNPOISON_MEMORY_REGION(record, sizeof *record);
#else
  (void)record;
#endif
}

void dropFreed(std::deque<std::unique_ptr<FrameInfoRecord>>& freed, size_t keep) {
  while (freed.size() > keep) {
    unpoison(freed.front().get());
    freed.pop_front();
  }
}

}  // namespace

RuntimeState& RuntimeState::instance() {
  static RuntimeState& state = *[] {
    static RuntimeState made;
    hooks::stateMade(made);
    return &made;
  }();
  return state;
}

RuntimeState::~RuntimeState() { dropFreed(freedFrameInfos, 0); }

void RuntimeState::reset() {
  version = ZERIN_RUNTIME_VERSION;
  available = true;
  libraryError = 0;
  injectedFailures.clear();
  calls.clear();
  callLogging = true;
  sessions.clear();
  events.clear();
  // A wait still in progress writes its record when it wakes: the records stay allocated.
  for (auto& [info, record] : frameInfos) retireFrameInfo(std::move(record));
  frameInfos.clear();
  writesToFreedRecords = 0;
  submitInfos.clear();
  freedRecords.clear();
  frames.reset();
  pendingEvents.clear();
  config.clear();
  queuedConfig.clear();
  lastNotImplementedText = nullptr;
  names.clear();
  counters.clear();
  std::lock_guard<std::mutex> hooks(hookMutex);
  callHook = CallHook{};
}

void RuntimeState::retireFrameInfo(std::unique_ptr<FrameInfoRecord> record) {
  poison(record.get());
  freedFrameInfos.push_back(std::move(record));
  dropFreed(freedFrameInfos, kKeptFreedRecords);
}

bool RuntimeState::retired(const FrameInfoRecord* record) const {
  return std::any_of(freedFrameInfos.begin(), freedFrameInfos.end(),
                     [record](const auto& freed) { return freed.get() == record; });
}

FrameInfoRecord* RuntimeState::retiredFrameInfo(const ZerinFrameInfo* info) const {
  for (const auto& freed : freedFrameInfos)
    if (&freed->info == info) return freed.get();
  return nullptr;
}

void RuntimeState::noteWrite(const FrameInfoRecord* record, const char* function) {
  if (!retired(record)) return;
  ++writesToFreedRecords;
  std::fprintf(stderr, "ZerinLib: %s writes a frame-info record that was freed\n", function);
}

void RuntimeState::recordFreed(const void* record) {
  if (freedRecords.size() >= kRememberedFreedRecords) freedRecords.erase(freedRecords.begin());
  freedRecords.insert(record);
}

void RuntimeState::runCallHook(const char* function) {
  CallHook due;
  {
    std::lock_guard<std::mutex> lock(hookMutex);
    if (!callHook.hook || callHook.function != function) return;
    due = std::exchange(callHook, CallHook{});
  }
  due.hook(due.context);
}

ZerinErrorCode* RuntimeState::pendingErrorOf(ZerinSession session) {
  if (!session) return &libraryError;
  const auto found = sessions.find(session);
  return found != sessions.end() ? &found->second->pendingError : nullptr;
}

std::string RuntimeState::nameObject(const void* object, const std::string& kind) {
  const std::string name = kind + "#" + std::to_string(++counters[kind]);
  names[object] = {kind, name};
  return name;
}

// Members (e.g. the viewports of a submit info) are named but not counted as live objects.
void RuntimeState::nameMember(const void* member, const std::string& name) { names[member] = {"", name}; }

void RuntimeState::forget(const void* object) { names.erase(object); }

std::string RuntimeState::describe(const void* pointer) const {
  if (!pointer) return "null";
  const auto found = names.find(pointer);
  if (found != names.end()) return found->second.name;
  char text[32];
  std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<uintptr_t>(pointer));
  return text;
}

void* RuntimeState::find(const std::string& name) const {
  for (const auto& [pointer, object] : names)
    if (object.name == name) return const_cast<void*>(pointer);
  return nullptr;
}

int32_t RuntimeState::liveCount(const std::string& kind) const {
  int32_t count = 0;
  for (const auto& entry : names)
    if (entry.second.kind == kind) ++count;
  return count;
}

Call::Call(const char* name)
    : runtime(RuntimeState::instance()), lock(runtime.mutex, std::defer_lock), function(name) {
  runtime.runCallHook(function);
  lock.lock();
  const auto found = runtime.injectedFailures.empty() ? runtime.injectedFailures.end()
                                                      : runtime.injectedFailures.find(std::string_view(function));
  if (found != runtime.injectedFailures.end() && !found->second.empty()) {
    failure = found->second.front();
    found->second.pop_front();
    failedByInjection = true;
  }
}

Call::~Call() {
  if (failure) {
    const auto owner = runtime.sessions.find(errorSession);
    const bool sameSession = owner != runtime.sessions.end() && owner->second->serial == errorSessionSerial;
    (sameSession ? owner->second->pendingError : runtime.libraryError) = *failure;
  }
  if (!runtime.callLogging) return;
  std::string line = std::string(function) + "(" + argumentText + ")";
  if (!resultText.empty()) line += " -> " + resultText;
  runtime.calls.push_back(std::move(line));
}

void Call::errorsTo(ZerinSession session) {
  if (sessionNamed) return;
  sessionNamed = true;
  errorSession = session;
  errorSessionSerial = runtime.sessionSerial(session);
}

bool Call::checkSession(ZerinSession session) {
  if (runtime.validSession(session)) return true;
  refuse(Rule::SessionClosed, ZERIN_ERROR_INVALID_SESSION,
         session ? "the session handle names no open session (closed, or never made)" : "the session handle is null");
  return false;
}

bool Call::broke(Rule rule, ZerinErrorCode code, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  tell(rule, format, arguments);
  va_end(arguments);
  if (!hooks::strict()) return false;
  fail(code);
  return true;
}

void Call::refuse(Rule rule, ZerinErrorCode code, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  tell(rule, format, arguments);
  va_end(arguments);
  fail(code);
}

void Call::report(Rule rule, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  tell(rule, format, arguments);
  va_end(arguments);
}

// Made on the stack: the stand-in drops every finding, and a steady frame must not allocate.
void Call::tell(Rule rule, const char* format, va_list arguments) {
  char sentence[384];
  const int prefix = std::snprintf(sentence, sizeof sentence, "%s: ", function);
  if (prefix > 0 && static_cast<size_t>(prefix) < sizeof sentence)
    std::vsnprintf(sentence + prefix, sizeof sentence - static_cast<size_t>(prefix), format, arguments);
  hooks::finding(ruleId(rule), findingFrame(), sentence);
}

// The call's session when it is still open; else the only open one (the plug-in holds one).
int64_t Call::findingFrame() const {
  ZerinSession session = nullptr;
  if (errorSessionSerial != 0 && runtime.sessionSerial(errorSession) == errorSessionSerial) session = errorSession;
  else if (runtime.sessions.size() == 1) session = runtime.sessions.begin()->first;
  const auto found = runtime.frames.sessions.find(session);
  return found != runtime.frames.sessions.end() ? found->second.synced : 0;
}

void Call::notImplemented() {
  const auto stored = runtime.notImplementedTexts.insert(std::string("Not implemented in this runtime: ") + function);
  runtime.lastNotImplementedText = stored.first->c_str();
  fail(ZERIN_ERROR_NOT_IMPLEMENTED);
}

std::string Call::text(const char* value) const {
  if (!value) return "null";
  return "\"" + std::string(value) + "\"";
}

std::string Call::text(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

const char* errorDescription(RuntimeState& state, ZerinErrorCode code) {
  switch (code) {
    case ZERIN_SUCCESS: return "No error";
    case ZERIN_ERROR_UNKNOWN: return "Unknown error";
    case ZERIN_ERROR_INVALID_ARGUMENT: return "Invalid argument";
    case ZERIN_ERROR_INVALID_SESSION: return "Invalid session";
    case ZERIN_ERROR_NOT_IMPLEMENTED:
      return state.lastNotImplementedText ? state.lastNotImplementedText : "Not implemented in this runtime";
    case ZERIN_ERROR_RUNTIME_UNAVAILABLE:
      return hooks::startProblem().empty() ? "Runtime not available" : hooks::startProblem().c_str();
    case ZERIN_ERROR_OUT_OF_MEMORY: return "Out of memory";
    case ZERIN_ERROR_DEVICE_LOST: return "Device lost";
    case ZERIN_ERROR_NOT_FOUND: return "Not found";
    case ZERIN_ERROR_INVALID_STATE: return "Invalid state";
    default: break;
  }
  auto& text = state.unknownErrorTexts[code];
  if (text.empty()) text = "Unknown error code " + std::to_string(code);
  return text.c_str();
}

}  // namespace ZerinSim
