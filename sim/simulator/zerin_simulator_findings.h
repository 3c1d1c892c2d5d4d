#pragma once
// The headset simulator's API-use checks as tests and the engine's scripts steer and read them.
// Exported by ZerinSimulator beside the zerinsim_* control surface. The ids are listed, with what
// breaks each and how strict and lenient runs answer it, in sim/runtime/api_rules.h.
#include <stdint.h>

#include "zerin_lib.h"

#ifdef __cplusplus
extern "C" {
#endif

// Non-zero: a call that breaks a rule fails as the runtime's (strict, the configuration's default);
// 0: it is only reported and goes on (lenient). Overrides the configuration's "strict" from now
// on; returns the strictness before the call.
ZERINLIB_API int32_t zerinsim_SetStrict(int32_t strict);

// Findings of the run so far, one per id, in the order first seen.
ZERINLIB_API int32_t zerinsim_FindingCount(void);
// Finding `index`: copies its id into `id` when `idSize` is enough, and writes the frame it was
// first seen in and how often it happened where the pointers are not NULL. Returns the size the
// id needs, terminator included; 0 when there is no such finding (then nothing is written).
ZERINLIB_API int32_t zerinsim_GetFinding(int32_t index, char* id, int32_t idSize, int64_t* frame, int64_t* count);
// The sentence of finding `index`, as zerinsim_GetFinding copies the id.
ZERINLIB_API int32_t zerinsim_GetFindingSentence(int32_t index, char* sentence, int32_t size);
// Forgets every finding (the report then lists only later ones).
ZERINLIB_API void zerinsim_ClearFindings(void);

#ifdef __cplusplus
}  // extern "C"
#endif
