#pragma once
// The plug-in's three callback setters (SetDebugLog, SetProgramManagerUnityMessageHandler,
// MRStartDataStream), taken over through Mono's dll map so that every callback the plug-in makes
// passes the host first, which knows the domain that set it: a call whose domain is unloaded is
// counted as a late call and goes no further (it would run code that is gone).
#include <mono/metadata/appdomain.h>

#include <cstdint>

#include "engine_host.h"

// After the plug-in is loaded and before any script runs.
bool installCallbackGuards(const ZerinSim::EngineHost& engine);
// The domain whose scripts call the setters from now on is known as `serial`.
void guardDomain(MonoDomain* domain, int32_t serial);
