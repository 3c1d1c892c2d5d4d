#pragma once
// What the play modes' scripts tell the host (editorhost_Report, called by P/Invoke from every
// handler and from the scripts' phases), kept by play-mode domain: the handlers under way,
// sessions, clients, and every report that came from a domain after the host unloaded it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// Keep in step with PlayModeScripts.Report.
enum class ScriptReport : int32_t {
  LogStart, LogEnd, FrameStart, FrameEnd, MessageStart, MessageEnd,
  SessionOpened, SessionRefused, ClientCreated, ConnectWaiting, Connected, Count
};

// The three script callbacks: log line, stream frame, program manager message.
constexpr int kCallbackKinds = 3;

struct DomainCalls {
  int started[kCallbackKinds] = {};
  int ended[kCallbackKinds] = {};
  int sessionsOpened = 0;
  int sessionsRefused = 0;
  std::vector<int32_t> clients;  // handles, as created
  bool connectWaiting = false;
  int connected = 0;
  // The system's threads that ran the domain's scripts: id -> name and what they ran.
  std::map<int, std::string> threads;

  bool inFlight(int kind) const { return started[kind] > ended[kind]; }
};

class CallLedger {
 public:
  // From any thread; `domain` is the serial the host gave the domain's scripts.
  void record(int32_t domain, int32_t what, int32_t value);
  // False, and a late call counted, when `domain` is unloaded: for a callback about to enter it.
  bool callAllowed(int32_t domain, const char* what);
  // Every report of `domain` from now on is a late call.
  void markUnloaded(int32_t domain);
  DomainCalls of(int32_t domain) const;
  // Waits until `condition` holds for the calls of `domain`; false when the time ran out.
  bool waitFor(int32_t domain, const std::function<bool(const DomainCalls&)>& condition,
               std::chrono::milliseconds timeout) const;
  // The threads that ran scripts of domains not unloaded yet, one line each.
  std::string threadsOfLiveDomains() const;
  uint64_t lateCalls() const;
  std::string firstLateCall() const;

 private:
  mutable std::mutex mutex;  // guards everything below: reports come from engine and script threads
  mutable std::condition_variable changed;
  std::map<int32_t, DomainCalls> domains;
  std::set<int32_t> unloaded;
  uint64_t late = 0;
  std::string firstLate;
};

CallLedger& callLedger();
