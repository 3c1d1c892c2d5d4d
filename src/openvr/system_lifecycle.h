#pragma once
#include "openvr/openvr_api.h"

// The one process-wide OpenVR system interface of this library and how it comes and goes.
// No lock: initialisation and shutdown must not overlap each other or any forward.
namespace Zerin::openVR {

// Null until an initialisation succeeds, and after shutdown or a failed initialisation.
vr::IVRSystem* currentSystem();

// Initialises OpenVR as a background application, logging each step; true when the system
// interface is held. When no runtime is installed, the interface held before is kept.
bool initializeSystem();

// Shuts OpenVR down whether or not it was initialised, and forgets the interface.
void shutdownSystem();

}  // namespace Zerin::openVR
