// The engine's editor as the bindings meet it: Mono embedded, the plug-in loaded once for the
// whole process (UnityPluginLoad, a render thread), the simulated runtime and the program
// manager service around it, and every play mode's scripts in a fresh child domain that is
// unloaded after it, as the editor does at each entry into play mode and each script change.
//
//   zerin_editor_host [--play-modes N] [--case NAME] [--assemblies DIR] [--scripts FILE]
//                     [--standard-error FILE] [--phase-limit SECONDS]     (--help lists them)
//
// The cases below are played in turn (--case keeps one). Prints the counts and a last line
// "editor host: N passed, M failed" (each play mode, and the checks of the whole run); exits
// non-zero when anything failed.
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <mono/metadata/mono-config.h>

#include "call_ledger.h"
#include "callback_guard.h"
#include "command_line.h"
#include "engine_host.h"
#include "platform/shared_library.h"
#include "program_manager_service.h"
#include "script_domain.h"
#include "standard_error_file.h"
#include "watchdog.h"
#include "zerin_sim_control.h"
#include "zerin_sim_devices.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The engine's enums, as the stubs take them.
enum PlayModeState { EnteredEditMode = 0, ExitingEditMode = 1, EnteredPlayMode = 2, ExitingPlayMode = 3 };
constexpr int kSubsystemRegistration = 4;

constexpr auto kUnloadHeldUp = 1s;
constexpr auto kQuitBound = 5s;
constexpr int kFramesPerPlayMode = 4;
// Handlers of the in-flight case sleep this long, so that the unload meets them under way.
constexpr int kSlowHandlerMs = 100;

struct Case {
  const char* name;
  int playModes;        // in one domain: more than one when domain reload is off
  bool tidy;            // the scripts' OnDestroy runs when play mode ends, before the unload
  bool serviceAbsent;   // Connect waits on a worker thread for the service's pipe
  int handlerSleepMs;   // a log line, a stream frame and a message in flight at the unload
  bool quit;            // the editor quits while playing (a process of its own)
};

const Case kCases[] = {
    {"tidy", 1, true, false, 0, false},
    {"recompiled", 1, false, false, 0, false},
    {"connect-waiting", 1, false, true, 0, false},
    {"in-flight", 1, false, false, kSlowHandlerMs, false},
    {"reload-off", 3, true, false, 0, false},
    {"quit", 1, false, false, 0, true},
};

const Case* caseNamed(const std::string& name) {
  for (const Case& played : kCases)
    if (name == played.name) return &played;
  return nullptr;
}

struct Options {
  int playModes = 50;
  std::string only;
  AssemblyFiles files{Zerin::platform::programFolder(), Zerin::platform::programFolder() + "/PlayModeScripts.dll"};
  std::string standardError = "editor-host-stderr.txt";
  int phaseLimitSeconds = 20;
  bool quitChild = false;  // this process is the editor of one "quit" play mode
};

struct Resources {
  size_t threads = 0, descriptors = 0, heap = 0;
};

size_t entriesIn(const char* folder) {
  size_t count = 0;
  if (DIR* dir = opendir(folder)) {
    while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
  return count;
}

Resources measure() {
  const struct mallinfo2 heap = mallinfo2();
  // opendir holds one descriptor while it counts.
  return Resources{entriesIn("/proc/self/task"), entriesIn("/proc/self/fd") - 1, heap.uordblks + heap.hblkhd};
}

// Pushes a message to one client of the service every few milliseconds while it runs.
class MessagePusher {
 public:
  MessagePusher(ZerinSim::ProgramManagerService& service, uint64_t client)
      : thread([this, &service, client] {
          std::unique_lock<std::mutex> lock(mutex);
          while (!stopping) {
            service.push(client, "EditorHostNews", std::vector<uint8_t>(8, 0x5a));
            wake.wait_for(lock, 5ms, [this] { return stopping; });
          }
        }) {}
  ~MessagePusher() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    wake.notify_all();
    thread.join();
  }

 private:
  std::mutex mutex;  // guards stopping
  std::condition_variable wake;
  bool stopping = false;
  std::thread thread;  // joined by the destructor
};

struct Totals {
  int playModes = 0, passed = 0, failed = 0;
  int sessionsOpened = 0, sessionsClosed = 0;
  int unloads = 0, unloadsHeldUp = 0, quits = 0;
  Clock::duration longestUnload{}, longestQuit{};
};

class Editor {
 public:
  Editor(const Options& options, Watchdog& watchdog) : options(options), watchdog(watchdog) {
    mono_config_parse(nullptr);
    root = mono_jit_init_version("ZerinEditor", "v4.0.30319");
    if (!engine.load() || !engine.startRendering()) startError = "the engine did not start: " + engine.error();
    if (startError.empty() && !installCallbackGuards(engine)) startError = "the plug-in lacks its exports";
    // A long run reads neither the calls nor the frames back.
    zerinsim_SetCallLogging(0);
    zerinsim_SetKeptFrameCount(1);
    zerinsim_SetStreamFrameInterval(5000);
  }

  const std::string& error() const { return startError; }
  Totals& totals() { return counts; }
  ZerinSim::EngineHost& host() { return engine; }

  // A domain's life: its play modes (a "quit" one ends the process instead, elsewhere). The
  // service lives as long, so that what it records of its clients is gone after.
  void playDomain(const Case& played) {
    const int serial = ++domains;
    std::vector<std::string> problems;
    const std::string label = std::string(played.name) + " #" + std::to_string(serial);
    watchdog.enter(label + ": domain start");
    ZerinSim::ProgramManagerService service;
    if (!played.serviceAbsent && !service.start()) problems.push_back("the service did not start");
    ScriptDomain domain(root, options.files, "PlayMode" + std::to_string(serial));
    guardDomain(domain.handle(), serial);
    if (!domain.error().empty()) problems.push_back(domain.error());
    note(problems, domain.callEngine("RunInitializeOnLoad"));
    std::unique_ptr<MessagePusher> pusher;
    for (int round = 0; round < played.playModes && domain.error().empty(); ++round) {
      watchdog.enter(label + ": play-mode start");
      startPlayMode(domain, serial, played, problems);
      watchdog.enter(label + ": frames");
      if (played.handlerSleepMs > 0) {
        pusher = std::make_unique<MessagePusher>(service, service.lastClientId());
        if (!framesUntilCallbacksFlow(domain, serial)) problems.push_back("the callbacks were never all on their way");
      } else {
        frames(domain, kFramesPerPlayMode);
      }
      if (played.tidy) {
        watchdog.enter(label + ": play-mode exit");
        exitPlayMode(domain, problems);
      }
    }
    const DomainCalls calls = callLedger().of(serial);
    watchdog.enter(label + ": unload");
    // The reload as the editor's user waits for it: the engine's event, then the unload.
    const auto reload = Clock::now();
    note(problems, domain.callEngine("BeforeAssemblyReload"));
    unload(domain, serial, reload, problems);
    pusher.reset();
    watchdog.enter(label + ": the render thread after the unload");
    engine.renderThread().waitUntilIdle();
    if (played.serviceAbsent && !service.start()) problems.push_back("the service did not start");
    watchdog.enter(label + ": what the domain left");
    checkLeftovers(calls, problems);
    score(label, played.playModes, problems);
  }

  // The "quit" play mode of a child process: plays until the parent says quit, then quits.
  int playUntilQuit() {
    const int serial = ++domains;
    std::vector<std::string> problems;
    watchdog.enter("quit: play mode");
    auto domain = std::make_unique<ScriptDomain>(root, options.files, "PlayMode");
    guardDomain(domain->handle(), serial);
    if (!domain->error().empty()) problems.push_back(domain->error());
    note(problems, domain->callEngine("RunInitializeOnLoad"));
    startPlayMode(*domain, serial, *caseNamed("quit"), problems);
    frames(*domain, kFramesPerPlayMode);
    std::printf("ready\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) problems.push_back("no word from the parent");
    watchdog.enter("quit: quitting");
    const auto quitting = Clock::now();
    note(problems, domain->callEngine("Quitting"));
    engine.renderThread().waitUntilIdle();
    unload(*domain, serial, quitting, problems);
    domain.reset();
    const int left = zerinsim_LiveObjectCount("session");
    if (left != 0) problems.push_back("the session was left open at the quit");
    engine.unload();
    for (const std::string& problem : problems) std::printf("quit-child: %s\n", problem.c_str());
    // The child's own text (its parent reads it back below): must not be corrected.
    std::printf("quit-child: sessions opened %d, closed %d, unload %lld ms\n", counts.sessionsOpened,
                counts.sessionsOpened - left,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(counts.longestUnload).count()));
    std::fflush(stdout);
    return problems.empty() ? 0 : 1;
  }

  void score(const std::string& label, int playModes, const std::vector<std::string>& problems) {
    counts.playModes += playModes;
    (problems.empty() ? counts.passed : counts.failed) += playModes;
    for (const std::string& problem : problems) std::printf("FAILED %s: %s\n", label.c_str(), problem.c_str());
    std::fflush(stdout);
  }

 private:
  static void note(std::vector<std::string>& problems, const std::string& failure) {
    if (!failure.empty()) problems.push_back(failure);
  }

  void startPlayMode(ScriptDomain& domain, int serial, const Case& played, std::vector<std::string>& problems) {
    int loadType = kSubsystemRegistration, state = EnteredPlayMode;
    note(problems, domain.callEngine("RunRuntimeInitializeMethods", &loadType));
    note(problems, domain.callEngine("PlayModeStateChanged", &state));
    int32_t sleepMs = played.handlerSleepMs;
    MonoBoolean onWorker = played.serviceAbsent;
    int32_t domainSerial = serial;
    void* args[] = {&domainSerial, &sleepMs, &onWorker};
    const int openedBefore = callLedger().of(serial).sessionsOpened;
    note(problems, domain.callScripts("Start", args, 3));
    const DomainCalls calls = callLedger().of(serial);
    if (calls.sessionsOpened == openedBefore) problems.push_back("Session.Open failed");
    counts.sessionsOpened += calls.sessionsOpened - openedBefore;
    if (played.serviceAbsent &&
        !callLedger().waitFor(serial, [](const DomainCalls& now) { return now.connectWaiting; }, 5s))
      problems.push_back("the worker never started to connect");
  }

  void exitPlayMode(ScriptDomain& domain, std::vector<std::string>& problems) {
    int state = ExitingPlayMode;
    note(problems, domain.callEngine("PlayModeStateChanged", &state));
    note(problems, domain.callScripts("Stop", nullptr, 0));
    state = EnteredEditMode;
    note(problems, domain.callEngine("PlayModeStateChanged", &state));
  }

  // The render thread runs each frame's sync, start and submission while the scripts update.
  void issueFrame(bool raiseError) {
    // The render thread logs the error at its next event.
    if (raiseError) zerinsim_RaiseError(ZERIN_ERROR_DEVICE_LOST);
    for (int event : {20, 10, 11}) engine.renderThread().issuePluginEvent(event);
  }

  void frames(ScriptDomain& domain, int count) {
    for (int frame = 0; frame < count; ++frame) {
      issueFrame(false);
      domain.callScripts("Update", nullptr, 0);
      engine.renderThread().waitUntilIdle();
    }
  }

  // Frames go on, each with a log line of the render thread, until log lines, stream frames and
  // program manager messages have all reached their handlers and one handler is under way: the
  // unload then meets each kind on its way (under way, or queued where the bindings queue them).
  bool framesUntilCallbacksFlow(ScriptDomain& domain, int serial) {
    const auto flowing = [](const DomainCalls& calls) {
      bool underWay = false;
      for (int kind = 0; kind < kCallbackKinds; ++kind) {
        if (calls.started[kind] == 0) return false;
        underWay = underWay || calls.inFlight(kind);
      }
      return underWay;
    };
    for (const auto deadline = Clock::now() + 5s; Clock::now() < deadline;) {
      issueFrame(true);
      domain.callScripts("Update", nullptr, 0);
      if (callLedger().waitFor(serial, flowing, 30ms)) return true;
      engine.renderThread().waitUntilIdle();
    }
    return false;
  }

  void unload(ScriptDomain& domain, int serial, Clock::time_point start, std::vector<std::string>& problems) {
    const std::string failure = domain.unload();
    const auto took = Clock::now() - start;
    callLedger().markUnloaded(serial);
    ++counts.unloads;
    counts.longestUnload = std::max(counts.longestUnload, took);
    if (took > kUnloadHeldUp) {
      ++counts.unloadsHeldUp;
      problems.push_back("the unload took " +
                         std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()) + " ms");
    }
    if (!failure.empty()) problems.push_back("the unload failed: " + failure);
  }

  // The scripts' session and clients must be gone with their domain; what is left is closed
  // here, so that the next play mode starts as in a fresh editor.
  void checkLeftovers(const DomainCalls& calls, std::vector<std::string>& problems) {
    if (zerinsim_LiveObjectCount("session") != 0) {
      problems.push_back("the session was left open");
      engine.exports().EndSession();
      counts.sessionsClosed += calls.sessionsOpened - 1;
    } else {
      counts.sessionsClosed += calls.sessionsOpened;
    }
    for (int32_t client : calls.clients) {
      // Only a client that still exists connects (the service is there again by now).
      if (!engine.exports().ProgramManagerClient_Connect(client)) continue;
      problems.push_back("client " + std::to_string(client) + " was left alive");
      engine.exports().ProgramManagerClient_Destroy(client);
    }
    if (calls.sessionsRefused != 0) problems.push_back("a session was refused");
  }

  const Options& options;
  Watchdog& watchdog;
  MonoDomain* root = nullptr;
  ZerinSim::EngineHost engine{ZerinSim::EngineOptions{true, true, true}};
  std::string startError;
  int domains = 0;
  Totals counts;
};

// Reads one line from `fd` (without its end) until `deadline`; false at the end of the stream
// or the deadline.
bool readLine(int fd, std::string& line, Clock::time_point deadline) {
  line.clear();
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd ready{fd, POLLIN, 0};
    if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
    char c;
    if (read(fd, &c, 1) != 1) return false;
    if (c == '\n') return true;
    line.push_back(c);
  }
}

// A "quit" play mode: an editor of its own (this program again) plays, the service pushes
// messages to its client, and the editor quits; it must end within kQuitBound, with its own
// checks passed.
void playQuit(Editor& editor, const Options& options, Watchdog& watchdog) {
  static int quits = 0;
  const std::string label = "quit #" + std::to_string(++quits);
  std::vector<std::string> problems;
  ZerinSim::ProgramManagerService service;
  if (!service.start()) problems.push_back("the service did not start");
  watchdog.enter(label + ": the child editor plays");
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
    editor.score(label, 1, {"no pipes"});
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  const std::string program = Zerin::platform::programFolder() + "/zerin_editor_host";
  const std::string standardError = options.standardError + ".quit";
  const char* argv[] = {program.c_str(), "--quit-child", "--assemblies", options.files.folder.c_str(),
                        "--scripts", options.files.scripts.c_str(), "--standard-error", standardError.c_str(),
                        nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  close(fromChild[1]);
  std::string line, output;
  if (spawned != 0) {
    problems.push_back("the child editor did not start");
  } else if (!readLine(fromChild[0], line, Clock::now() + 20s) || line != "ready") {
    problems.push_back("the child editor never got to play: \"" + line + "\"");
  } else {
    watchdog.enter(label + ": the child editor quits");
    MessagePusher pusher(service, service.lastClientId());
    const auto quitAt = Clock::now();
    const ssize_t written = write(toChild[1], "quit\n", 5);
    static_cast<void>(written);
    while (readLine(fromChild[0], line, quitAt + kQuitBound)) output += line + "\n";
    ++editor.totals().quits;
    editor.totals().longestQuit = std::max(editor.totals().longestQuit, Clock::now() - quitAt);
    if (Clock::now() >= quitAt + kQuitBound) {
      problems.push_back("the child editor did not end within 5 s of its quit");
      printStacks(child);
      kill(child, SIGKILL);
    }
  }
  close(toChild[1]);
  close(fromChild[0]);
  int status = 0;
  if (spawned == 0) waitpid(child, &status, 0);
  if (spawned == 0 && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
    problems.push_back(WIFSIGNALED(status) ? "the child editor died of signal " + std::to_string(WTERMSIG(status))
                                           : "the child editor ended with status " + std::to_string(WEXITSTATUS(status)));
  }
  int opened = 0, closed = 0;
  const auto counted = output.find("quit-child: sessions opened");
  if (counted != std::string::npos) std::sscanf(output.c_str() + counted, "quit-child: sessions opened %d, closed %d", &opened, &closed);
  editor.totals().sessionsOpened += opened;
  editor.totals().sessionsClosed += closed;
  if (!problems.empty() && !output.empty()) problems.push_back("its report:\n" + output);
  editor.score(label, 1, problems);
}

// The command line: a run has at least one play mode, and --case names one of the cases.
void declare(CLI::App& app, Options& options) {
  std::vector<std::string> names;
  for (const Case& played : kCases) names.push_back(played.name);
  app.add_option("--play-modes", options.playModes, "play modes to run, from 1 (default 50)")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  app.add_option("--case", options.only, "play this case only")->type_name("NAME")->check(CLI::IsMember(names));
  app.add_option("--assemblies", options.files.folder, "the folder of the engine's assemblies")->type_name("DIR");
  app.add_option("--scripts", options.files.scripts, "the assembly of the play modes' scripts")->type_name("FILE");
  app.add_option("--standard-error", options.standardError,
                 "where the plug-in's log goes (default " + options.standardError + ")")
      ->type_name("FILE");
  app.add_option("--phase-limit", options.phaseLimitSeconds,
                 "seconds a phase may take before the stacks are printed (default 20)")
      ->type_name("S");
  // The child editor of a "quit" case, started by this program itself.
  app.add_flag("--quit-child", options.quitChild)->group("");
}

// The quit's last check, after the plug-in's own end (its static destructors).
void reportLateCallsAtExit() {
  const uint64_t late = callLedger().lateCalls();
  if (late == 0) return;
  std::printf("quit-child: %llu calls reached the unloaded domain as the process ended (first: %s)\n",
              static_cast<unsigned long long>(late), callLedger().firstLateCall().c_str());
  std::fflush(stdout);
  _exit(3);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  ZerinCommandLine::App app(
      "Plays the engine's editor: each play mode's scripts in a child domain that is unloaded after it.",
      "zerin_editor_host");
  declare(app, options);
  if (const auto status = app.parseOrExit(argc, argv)) return *status;
  // Before the plug-in loads: its static destructors run before this, at the end of the process.
  if (options.quitChild) std::atexit(reportLateCallsAtExit);
  ZerinSim::keepLoggerOffConsole();
  if (!getenv("ZERIN_PIPE_DIR")) {
    static char folder[] = "/tmp/zerin-editor-host-XXXXXX";
    if (mkdtemp(folder)) setenv("ZERIN_PIPE_DIR", folder, 1);
  }
  // The plug-in writes every log line to standard error: into a file, as the editor's log.
  ZerinSim::StandardErrorFile standardError(options.standardError);
  Watchdog watchdog(std::chrono::seconds(options.phaseLimitSeconds), [] { return callLedger().threadsOfLiveDomains(); });
  Editor editor(options, watchdog);
  if (!editor.error().empty()) {
    std::printf("%s\neditor host: 0 passed, 1 failed\n", editor.error().c_str());
    return 1;
  }
  if (options.quitChild) return editor.playUntilQuit();

  std::printf("Play modes of the editor: plug-in log in %s\n", options.standardError.c_str());
  // Threads and descriptors must come back to where they started. The heap is compared from the
  // end of the first round of cases on: Mono fills caches of its own in the first domains
  // (reflection over the engine's assemblies: some 13 MiB), and keeps some memory for every
  // domain it unloads (measured with a bare embedding: 9 KiB a domain where the engine's
  // assemblies are scanned for initialise methods; 16.5 KiB a domain here, over 1,000 play
  // modes); a leak of a play mode's objects would come on top.
  const Resources start = measure();
  Resources settled;
  int unloadsInRound = 0;
  bool measured = false;
  int scheduled = 0;
  const size_t round = options.only.empty() ? std::size(kCases) : 1;
  for (size_t turn = 0, played = 0; scheduled < options.playModes; ++turn) {
    const Case& next = kCases[turn % std::size(kCases)];
    if (!options.only.empty() && options.only != next.name) continue;
    scheduled += next.playModes;
    if (next.quit) playQuit(editor, options, watchdog);
    else editor.playDomain(next);
    if (++played == round) {
      settled = measure();
      unloadsInRound = editor.totals().unloads;
      measured = scheduled < options.playModes;
    }
  }
  watchdog.enter("the end");
  constexpr size_t kThreadSlack = 0, kDescriptorSlack = 0, kHeapSlack = 1 << 20, kHeapPerDomain = 24 << 10;
  const size_t heapAllowed = settled.heap + kHeapSlack + kHeapPerDomain * (editor.totals().unloads - unloadsInRound);
  const auto back = [&](const Resources& now) {
    return now.threads <= start.threads + kThreadSlack && now.descriptors <= start.descriptors + kDescriptorSlack &&
           now.heap <= heapAllowed;
  };
  // Joined threads leave the system's list a moment later: a short wait for the level accepted.
  Resources after = measure();
  for (const auto deadline = Clock::now() + 5s; measured && !back(after) && Clock::now() < deadline; after = measure())
    std::this_thread::sleep_for(5ms);
  // The editor's end: the plug-in is unloaded, and logs as it goes, after every domain.
  editor.host().unload();
  const Totals& totals = editor.totals();

  struct Check {
    const char* what;
    bool passed;
  };
  const uint64_t late = callLedger().lateCalls();
  std::vector<Check> checks = {
      {"sessions closed", totals.sessionsClosed == totals.sessionsOpened},
      {"calls into unloaded domains", late == 0},
      {"unloads held up", totals.unloadsHeldUp == 0},
  };
  if (measured) {
    checks.push_back({"threads", after.threads <= start.threads + kThreadSlack});
    checks.push_back({"descriptors", after.descriptors <= start.descriptors + kDescriptorSlack});
    checks.push_back({"heap", after.heap <= heapAllowed});
  }
  std::printf("play modes        %d (%d passed, %d failed)\n", totals.playModes, totals.passed, totals.failed);
  std::printf("sessions          %d opened, %d closed\n", totals.sessionsOpened, totals.sessionsClosed);
  std::printf("unloaded domains  %llu calls reached them%s%s\n", static_cast<unsigned long long>(late),
              late ? "; first: " : "", late ? callLedger().firstLateCall().c_str() : "");
  std::printf("unloads           %d, longest %lld ms, %d held up over 1 s\n", totals.unloads,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(totals.longestUnload).count()),
              totals.unloadsHeldUp);
  std::printf("quits             %d, the slowest process ended %lld ms after it was told to quit (bound %lld s)\n",
              totals.quits,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(totals.longestQuit).count()),
              static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(kQuitBound).count()));
  if (measured) {
    std::printf("threads           %zu at the start, %zu at the end (slack %zu)\n", start.threads, after.threads,
                kThreadSlack);
    std::printf("descriptors       %zu at the start, %zu at the end (slack %zu)\n", start.descriptors,
                after.descriptors, kDescriptorSlack);
    std::printf("native heap       %zu KiB at the start, %zu KiB after the first round, %zu KiB at the end (allowed "
                "%zu KiB: %zu KiB, and %zu KiB a domain unloaded since)\n",
                start.heap / 1024, settled.heap / 1024, after.heap / 1024, heapAllowed / 1024, kHeapSlack / 1024,
                kHeapPerDomain / 1024);
  } else {
    std::printf("resources         not compared: the run ends within its first round\n");
  }
  int passed = totals.passed, failed = totals.failed;
  for (const Check& check : checks) {
    (check.passed ? passed : failed) += 1;
    if (!check.passed) std::printf("FAILED %s\n", check.what);
  }
  // The program's own text (its CTest test and the parent of a quit case match it): must not be corrected.
  std::printf("editor host: %d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  // The domains are gone; the editor's own end (the service, the engine) follows.
  return failed == 0 ? 0 : 1;
}
