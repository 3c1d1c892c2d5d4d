#pragma once
// A Direct3D 11 device for tests and the simulated engine, on both targets: the system's
// hardware device on Windows, the software device of sim/gfx elsewhere.
#include <d3d11.h>

#include <atomic>
#include <utility>

namespace ZerinSim::Gfx {

// Holds one reference to a COM object and releases it when it goes.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  // Takes over a reference the caller already holds.
  static Ref adopt(T* object) {
    Ref ref;
    ref.object = object;
    return ref;
  }
  // Takes a reference of its own.
  static Ref share(T* object) {
    if (object) object->AddRef();
    return adopt(object);
  }
  Ref(const Ref& other) : object(other.object) {
    if (object) object->AddRef();
  }
  Ref(Ref&& other) noexcept : object(std::exchange(other.object, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(object, other.object);
    return *this;
  }
  ~Ref() { reset(); }

  void reset() {
    if (T* old = std::exchange(object, nullptr)) old->Release();
  }
  // For out parameters: releases what is held and hands out the slot.
  T** put() {
    reset();
    return &object;
  }
  T* detach() { return std::exchange(object, nullptr); }
  T* get() const { return object; }
  T* operator->() const { return object; }
  explicit operator bool() const { return object != nullptr; }

 private:
  T* object = nullptr;
};

// The count of references an object has now (AddRef then Release).
ULONG referenceCount(IUnknown* object);

// Adds one to `destroyed` when `object` is destroyed: after its last reference, and after the
// views and bindings that keep it in memory have gone too. Uses the object's private data.
bool countDestruction(ID3D11DeviceChild* object, std::atomic<int>& destroyed);

struct Device {
  Ref<ID3D11Device> device;
  Ref<ID3D11DeviceContext> context;
  D3D_FEATURE_LEVEL featureLevel = D3D_FEATURE_LEVEL_9_1;
  HRESULT result = E_FAIL;  // of D3D11CreateDevice
  explicit operator bool() const { return device && context; }
};

// D3D11CreateDevice with no adapter, the hardware driver type, feature level 11_0 and the
// immediate context. Check the result with `if (device)`; `result` says why it failed.
Device createDevice();

}  // namespace ZerinSim::Gfx
