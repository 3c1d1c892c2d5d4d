#include "call_ledger.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdio>

#define EDITORHOST_API extern "C" __attribute__((visibility("default")))

// The scripts' "__Internal" import: found in the program's own symbols (linked with -rdynamic).
EDITORHOST_API void editorhost_Report(int32_t domain, int32_t what, int32_t value) {
  callLedger().record(domain, what, value);
}

void CallLedger::record(int32_t domain, int32_t what, int32_t value) {
  std::lock_guard<std::mutex> lock(mutex);
  if (unloaded.count(domain) != 0) {
    if (late++ == 0) {
      char text[96];
      std::snprintf(text, sizeof text, "report %d from play-mode domain %d", what, domain);
      firstLate = text;
    }
    return;
  }
  DomainCalls& calls = domains[domain];
  static const char* const kWhat[] = {"log", "", "frame", "", "message", "", "session", "session", "client",
                                      "connect", "connect"};
  std::string& thread = calls.threads[gettid()];
  if (thread.empty()) {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    thread = std::string("\"") + name + "\":";
  }
  const std::string kind = what >= 0 && what < static_cast<int32_t>(ScriptReport::Count) ? kWhat[what] : "?";
  if (!kind.empty() && thread.find(" " + kind) == std::string::npos) thread += " " + kind;
  const auto report = static_cast<ScriptReport>(what);
  if (what >= 0 && report <= ScriptReport::MessageEnd) {
    (what % 2 == 0 ? calls.started : calls.ended)[what / 2] += 1;
  } else if (report == ScriptReport::SessionOpened) {
    ++calls.sessionsOpened;
  } else if (report == ScriptReport::SessionRefused) {
    ++calls.sessionsRefused;
  } else if (report == ScriptReport::ClientCreated) {
    calls.clients.push_back(value);
  } else if (report == ScriptReport::ConnectWaiting) {
    calls.connectWaiting = true;
  } else if (report == ScriptReport::Connected) {
    ++calls.connected;
  }
  changed.notify_all();
}

bool CallLedger::callAllowed(int32_t domain, const char* what) {
  std::lock_guard<std::mutex> lock(mutex);
  if (unloaded.count(domain) == 0) return true;
  if (late++ == 0) firstLate = std::string(what) + " for play-mode domain " + std::to_string(domain);
  return false;
}

void CallLedger::markUnloaded(int32_t domain) {
  std::lock_guard<std::mutex> lock(mutex);
  unloaded.insert(domain);
  domains.erase(domain);
}

DomainCalls CallLedger::of(int32_t domain) const {
  std::lock_guard<std::mutex> lock(mutex);
  const auto found = domains.find(domain);
  return found == domains.end() ? DomainCalls{} : found->second;
}

bool CallLedger::waitFor(int32_t domain, const std::function<bool(const DomainCalls&)>& condition,
                         std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex);
  return changed.wait_for(lock, timeout, [&] {
    const auto found = domains.find(domain);
    return condition(found == domains.end() ? DomainCalls{} : found->second);
  });
}

std::string CallLedger::threadsOfLiveDomains() const {
  std::lock_guard<std::mutex> lock(mutex);
  std::string text;
  for (const auto& [domain, calls] : domains) {
    text += "threads that ran scripts of play-mode domain " + std::to_string(domain) + ":\n";
    for (const auto& [id, what] : calls.threads) text += "  LWP " + std::to_string(id) + " " + what + "\n";
  }
  return text;
}

uint64_t CallLedger::lateCalls() const {
  std::lock_guard<std::mutex> lock(mutex);
  return late;
}

std::string CallLedger::firstLateCall() const {
  std::lock_guard<std::mutex> lock(mutex);
  return firstLate;
}

CallLedger& callLedger() {
  // Never destroyed: handlers may still report while the process ends.
  static CallLedger* const ledger = new CallLedger;
  return *ledger;
}
