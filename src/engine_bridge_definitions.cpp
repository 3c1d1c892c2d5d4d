// The address of every function zerin/engine_bridge.h declares: a declaration that nothing in
// the library defines fails the library's link, before any test runs.
#include "zerin/engine_bridge.h"

namespace {

#define ZERIN_BRIDGE_EXPORT(name) reinterpret_cast<const void*>(&name),
[[maybe_unused]] __attribute__((used)) const void* const everyExport[] = {
#include "zerin/engine_bridge_exports.inc"
};
#undef ZERIN_BRIDGE_EXPORT

}  // namespace
