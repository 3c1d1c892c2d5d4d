#include "bridge_exports.h"

namespace ZerinSim {

bool BridgeExports::resolve(const Zerin::platform::SharedLibrary& library, std::string& missing) {
  BridgeExports found;
  missing.clear();
#define ZERIN_BRIDGE_EXPORT(name)                                             \
  found.name = reinterpret_cast<decltype(found.name)>(library.symbol(#name)); \
  if (!found.name && missing.empty()) missing = #name;
#include "zerin/engine_bridge_exports.inc"
#undef ZERIN_BRIDGE_EXPORT
  *this = missing.empty() ? found : BridgeExports{};
  return missing.empty();
}

}  // namespace ZerinSim
