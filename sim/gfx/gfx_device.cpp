#include "gfx_device.h"

namespace ZerinSim::Gfx {

ULONG referenceCount(IUnknown* object) {
  if (!object) return 0;
  object->AddRef();
  return object->Release();
}

namespace {

// {6c1d2f4e-93a0-4b57-8e1f-2d3c4b5a6978}
constexpr GUID kDestructionWatch = {0x6c1d2f4e, 0x93a0, 0x4b57, {0x8e, 0x1f, 0x2d, 0x3c, 0x4b, 0x5a, 0x69, 0x78}};

// Held by the watched object as private data; it lets go when the object is destroyed.
class DestructionWatch final : public IUnknown {
 public:
  explicit DestructionWatch(std::atomic<int>& counter) : destroyed(counter) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (!IsEqualGUID(riid, IID_IUnknown)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *out = static_cast<IUnknown*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return references.fetch_add(1) + 1; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = references.fetch_sub(1) - 1;
    if (count == 0) {
      destroyed.fetch_add(1);
      delete this;
    }
    return count;
  }

 private:
  std::atomic<int>& destroyed;
  std::atomic<ULONG> references{1};
};

}  // namespace

bool countDestruction(ID3D11DeviceChild* object, std::atomic<int>& destroyed) {
  if (!object) return false;
  auto* watch = new DestructionWatch(destroyed);
  const HRESULT result = object->SetPrivateDataInterface(kDestructionWatch, watch);
  watch->Release();  // the object holds it now, or nobody does
  return SUCCEEDED(result);
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
