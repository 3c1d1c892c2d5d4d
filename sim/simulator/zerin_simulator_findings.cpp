// The simulator's end of the runtime's API-use checks: findings kept and logged, the strictness
// the configuration sets or a test overrides, and the exports that read them.
#include "zerin_simulator_findings.h"

#include <atomic>
#include <string>

#include "runtime_state.h"
#include "simulator.h"

namespace ZerinSim {

namespace {

// -1 follows the configuration; 0 or 1 was set by zerinsim_SetStrict. Read under the library lock
// by the calls, written without it by the export.
std::atomic<int> strictOverride{-1};

}  // namespace

namespace hooks {

void finding(const char* id, int64_t frame, const char* sentence) {
  Simulator& simulator = Simulator::instance();
  // Each id is logged once, when first seen; the report counts the rest.
  if (simulator.findings().add(id, frame, sentence))
    simulator.log(std::string("API use: ") + id + " at frame " + std::to_string(frame) + ": " + sentence);
}

bool strict() {
  const int set = strictOverride.load();
  return set >= 0 ? set != 0 : Simulator::instance().config().strict;
}

}  // namespace hooks

}  // namespace ZerinSim

extern "C" {

ZERINLIB_API int32_t zerinsim_SetStrict(int32_t strict) {
  const bool before = ZerinSim::hooks::strict();
  ZerinSim::strictOverride.store(strict != 0 ? 1 : 0);
  return before ? 1 : 0;
}

ZERINLIB_API int32_t zerinsim_FindingCount(void) {
  return static_cast<int32_t>(ZerinSim::Simulator::instance().findings().all().size());
}

ZERINLIB_API int32_t zerinsim_GetFinding(int32_t index, char* id, int32_t idSize, int64_t* frame, int64_t* count) {
  const auto found = ZerinSim::Simulator::instance().findings().all();
  if (index < 0 || static_cast<size_t>(index) >= found.size()) return 0;
  const ZerinSim::Finding& finding = found[static_cast<size_t>(index)];
  if (frame) *frame = finding.frame;
  if (count) *count = finding.count;
  return ZerinSim::copyOut(finding.id, id, idSize);
}

ZERINLIB_API int32_t zerinsim_GetFindingSentence(int32_t index, char* sentence, int32_t size) {
  const auto found = ZerinSim::Simulator::instance().findings().all();
  if (index < 0 || static_cast<size_t>(index) >= found.size()) return 0;
  return ZerinSim::copyOut(found[static_cast<size_t>(index)].sentence, sentence, size);
}

ZERINLIB_API void zerinsim_ClearFindings(void) { ZerinSim::Simulator::instance().findings().clear(); }

}  // extern "C"
