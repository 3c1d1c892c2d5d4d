#include <d3d11.h>

#include <cstdio>

#include "graphics_device.h"

namespace ZerinSim {

bool GraphicsDevice::create() {
  destroy();
  D3D_FEATURE_LEVEL level{};
  const HRESULT result = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                           D3D11_SDK_VERSION, &device, &level, nullptr);
  if (FAILED(result)) {
    char text[64];
    std::snprintf(text, sizeof text, "D3D11CreateDevice failed: 0x%08lX", static_cast<unsigned long>(result));
    lastError = text;
    device = nullptr;
    return false;
  }
  return true;
}

void GraphicsDevice::destroy() {
  if (device) device->Release();
  device = nullptr;
}

uint32_t GraphicsDevice::referenceCount(ID3D11Device* device) {
  if (!device) return 0;
  device->AddRef();
  return device->Release();
}

}  // namespace ZerinSim
