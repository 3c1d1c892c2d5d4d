#include "openvr/system_lifecycle.h"

#include "logging/logger.h"

namespace Zerin::openVR {

namespace {

constexpr const char* kInitTag = "Zerin::openVR::init";

vr::IVRSystem* vrSystem = nullptr;

}  // namespace

vr::IVRSystem* currentSystem() { return vrSystem; }

bool initializeSystem() {
  logMessage(kInitTag, LogLevel::Info, "Initialize OpenVR");
  if (!vr::VR_IsRuntimeInstalled()) {
    logMessage(kInitTag, LogLevel::Error, "No runtime installed");
    return false;
  }
  vrSystem = nullptr;
  if (!vr::VR_IsHmdPresent()) {
    logMessage(kInitTag, LogLevel::Error, "No HMD present");
    return false;
  }
  vr::EVRInitError error = vr::VRInitError_None;
  vrSystem = vr::VR_Init(&error, vr::VRApplication_Background);
  if (error != vr::VRInitError_None) {
    logMessage(kInitTag, LogLevel::Error, "Failed to initialize openVR: %d", static_cast<int>(error));
    vrSystem = nullptr;
    return false;
  }
  if (!vrSystem) {
    logMessage(kInitTag, LogLevel::Error, "VR system is not valid");
    return false;
  }
  logMessage(kInitTag, LogLevel::Info, "Init success: %s", "true");
  return true;
}

void shutdownSystem() {
  vr::VR_Shutdown();
  vrSystem = nullptr;
}

}  // namespace Zerin::openVR
