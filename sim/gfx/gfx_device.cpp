#include "gfx_device.h"

namespace ZerinSim::Gfx {

ULONG referenceCount(IUnknown* object) {
  if (!object) return 0;
  object->AddRef();
  return object->Release();
}

Device createDevice() {
  Device made;
  const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0};
  made.result = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, levels, 1, D3D11_SDK_VERSION,
                                  made.device.put(), &made.featureLevel, made.context.put());
  if (FAILED(made.result)) {
    made.device.reset();
    made.context.reset();
  }
  return made;
}

}  // namespace ZerinSim::Gfx
