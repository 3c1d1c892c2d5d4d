#include "openvr/system_lifecycle.h"

#include "logging/logger.h"

namespace Zerin::openVR {

namespace {

// The system's own tag (tests match it): must not be corrected.
constexpr const char* kInitTag = "Zerin::openVR::init";

vr::IVRSystem* vrSystem = nullptr;

}  // namespace

vr::IVRSystem* currentSystem() { return vrSystem; }

bool initializeSystem() {
  // The system's own text (tests match it): must not be corrected.
  logMessage(kInitTag, LogLevel::Info, "Initialize OpenVR");
  if (!vr::VR_IsRuntimeInstalled()) {
    // The system's own text (tests match it): must not be corrected.
    logMessage(kInitTag, LogLevel::Error, "No runtime installed");
    return false;
  }
  vrSystem = nullptr;
  if (!vr::VR_IsHmdPresent()) {
    // The system's own text (tests match it): must not be corrected.
    logMessage(kInitTag, LogLevel::Error, "No HMD present");
    return false;
  }
  vr::EVRInitError error = vr::VRInitError_None;
  vrSystem = vr::VR_Init(&error, vr::VRApplication_Background);
  if (error != vr::VRInitError_None) {
    // The system's own text (tests match it): must not be corrected.
    logMessage(kInitTag, LogLevel::Error, "Failed to initialize openVR: %d", static_cast<int>(error));
    vrSystem = nullptr;
    return false;
  }
  if (!vrSystem) {
    // The system's own text (tests match it): must not be corrected.
    logMessage(kInitTag, LogLevel::Error, "VR system is not valid");
    return false;
  }
  // The system's own text (tests match it): must not be corrected.
  logMessage(kInitTag, LogLevel::Info, "Init success: %s", "true");
  return true;
}

void shutdownSystem() {
  vr::VR_Shutdown();
  vrSystem = nullptr;
}

}  // namespace Zerin::openVR
