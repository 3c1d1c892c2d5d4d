#pragma once
// The plug-in's exports as a host binds them by name: one pointer for each function that
// zerin/engine_bridge.h declares, typed by its prototype, so that no host can call one with
// another signature. Every host (engine host, demo, tests, benchmarks, soaks) binds this table.
#include <string>

#include "platform/shared_library.h"
#include "zerin/engine_bridge.h"

namespace ZerinSim {

struct BridgeExports {
#define ZERIN_BRIDGE_EXPORT(name) decltype(&::name) name = nullptr;
#include "zerin/engine_bridge_exports.inc"
#undef ZERIN_BRIDGE_EXPORT

  // Looks every export up in `library`; false, with the first one it lacks in `missing` and
  // every pointer null, when the library does not export them all.
  bool resolve(const Zerin::platform::SharedLibrary& library, std::string& missing);
};

}  // namespace ZerinSim
