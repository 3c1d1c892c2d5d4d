#pragma once
#include <new>
#include <utility>

namespace Zerin::platform {

// A reference that keeps the module holding this code (a DLL, a shared object or the program)
// loaded while it lives.
//
// Threads of a library must never outlive its code. On Windows a DLL's globals are destroyed
// under the loader lock, where a thread cannot finish (its exit waits for that same lock), so
// they cannot be joined there: a DLL whose threads run must not be unloaded at all, and keeps
// itself loaded with this reference until they have been joined. POSIX systems destroy a
// shared object's globals without such a lock, so joining works there and the reference holds
// nothing.
class ModuleHold {
 public:
  ModuleHold() = default;
  ~ModuleHold() { release(); }
  ModuleHold(ModuleHold&& other) noexcept : module(other.module) { other.module = nullptr; }
  ModuleHold& operator=(ModuleHold&& other) noexcept;
  ModuleHold(const ModuleHold&) = delete;
  ModuleHold& operator=(const ModuleHold&) = delete;

  // A reference to the module this function was linked into (empty where none is needed).
  static ModuleHold acquire();
  // Drops the reference. Never the last one from the module's own code while it runs: the
  // caller's own reference (it is running the module's code) keeps the module loaded.
  void release();
  bool held() const { return module != nullptr; }

 private:
  void* module = nullptr;
};

// True where a module is held while its threads run: there, the globals of a DLL are destroyed
// with threads still registered only when the process is ending, after the system has stopped
// those threads (perhaps while they held locks).
#if defined(_WIN32)
constexpr bool kThreadsHoldTheirModule = true;
constexpr bool kConditionVariablesHoldHandles = true;
#else
constexpr bool kThreadsHoldTheirModule = false;
constexpr bool kConditionVariablesHoldHandles = false;
#endif

// True while the process is ending and the system has already stopped its other threads (a
// DLL's globals destroyed at process exit on Windows); false where threads run on until the
// globals are gone.
bool processIsEnding();

// A global that is or holds a condition variable, whose destruction at the process's end would
// wait for ever for a thread that no longer gets anywhere: on POSIX systems for any thread still
// waiting in it, on Windows for one the system stopped between its wake-up and its return. POSIX
// condition variables hold nothing of the system's but their memory, which goes with the module:
// there such a global is never destroyed. Windows ones hold handles: there it is destroyed with
// the module's other globals, except at the process's end.
template <class T>
class KeptAtProcessEnd {
 public:
  template <class... Args>
  explicit KeptAtProcessEnd(Args&&... args) {
    new (storage) T(std::forward<Args>(args)...);
  }
  ~KeptAtProcessEnd() {
    if (kConditionVariablesHoldHandles && !processIsEnding()) get().~T();
  }
  KeptAtProcessEnd(const KeptAtProcessEnd&) = delete;
  KeptAtProcessEnd& operator=(const KeptAtProcessEnd&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(storage)); }
  const T& get() const { return *std::launder(reinterpret_cast<const T*>(storage)); }
  T* operator->() { return &get(); }
  const T* operator->() const { return &get(); }

 private:
  alignas(T) unsigned char storage[sizeof(T)];
};

}  // namespace Zerin::platform
