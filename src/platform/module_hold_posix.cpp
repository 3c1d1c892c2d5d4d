#include "platform/module_hold.h"

namespace Zerin::platform {

ModuleHold& ModuleHold::operator=(ModuleHold&& other) noexcept {
  if (this != &other) {
    release();
    module = other.module;
    other.module = nullptr;
  }
  return *this;
}

// Unloading joins the threads from the destructors: nothing to hold.
ModuleHold ModuleHold::acquire() { return ModuleHold(); }

void ModuleHold::release() { module = nullptr; }

// Threads run on during exit() until the process is gone.
bool processIsEnding() { return false; }

}  // namespace Zerin::platform
