#include "graphics_device.h"

namespace ZerinSim {

// The software Direct3D 11 stand-in is not part of this build yet: no device is handed out.
bool GraphicsDevice::create() {
  lastError = "no software Direct3D 11 device in this build";
  return false;
}

void GraphicsDevice::destroy() { device = nullptr; }

uint32_t GraphicsDevice::referenceCount(ID3D11Device*) { return 0; }

}  // namespace ZerinSim
